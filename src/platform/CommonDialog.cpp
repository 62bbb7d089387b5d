#include "platform/CommonDialog.h"

namespace velmora {

bool CommonDialog::show(FileDialogKind kind) {
    const FileDialogRequest request{kind,     DialogTitle, Filter, DefaultExt,
                                    FileName, Flags,       InitDir};
    const auto chosen = m_service.run(request, m_parent);
    if (!chosen) {
        return false;
    }
    FileName = *chosen;
    return true;
}

} // namespace velmora
