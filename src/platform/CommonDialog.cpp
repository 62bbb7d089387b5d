#include "platform/CommonDialog.h"

namespace velmora {

bool CommonDialog::show(FileDialogKind kind) {
    const FileDialogRequest request{kind, DialogTitle, Filter, DefaultExt, FileName, Flags};
    const auto chosen = service_.run(request, parent_);
    if (!chosen) {
        return false;
    }
    FileName = *chosen;
    return true;
}

} // namespace velmora
