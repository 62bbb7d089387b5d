// Files handed to the program from outside: `velmora FILE`, as the desktop starts it.
#include "windows/frmMain.h"

#include "io/FileIo.h"
#include "platform/MessageBoxService.h"
#include "windows/AppContext.h"
#include "workflows/ImageInput.h"

#include <QFileInfo>

namespace velmora {

void frmMain::openFile(const QString& path) {
    const QFileInfo file(path);
    const auto bytes = std::filesystem::path(file.absoluteFilePath().toStdU16String());
    const auto head = conversion::readBlock(bytes, 0, 16);
    if (!head) {
        m_context.messages->show(QStringLiteral("Velmora cannot open \"%1\": %2.")
                                     .arg(path, QString::fromStdString(head.error().reason)),
                                 this);
        return;
    }
    // As if chosen with Browse, like a dropped file.
    m_userFolder = file.absolutePath();
    if (conversion::identifyFile(head->bytes).kind == conversion::FileKind::GameFile)
        openBinChosen(file.absoluteFilePath());
    else
        openDdsChosen(file.absoluteFilePath());
}

} // namespace velmora
