// Files handed to the program from outside: `velmora FILE`, as the desktop starts it.
#include "windows/frmMain.h"

#include "conversion/FileIo.h"
#include "conversion/ImageInput.h"
#include "conversion/WorkFiles.h"
#include "platform/MessageBoxService.h"
#include "windows/AppContext.h"

#include <QFileInfo>
#include <QLineEdit>

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
    m_userFolder = file.absolutePath();
    if (conversion::identifyFile(head->bytes).kind != conversion::FileKind::GameFile) {
        txt(0).setText(file.absoluteFilePath());
        return;
    }
    txt(2).setText(file.absoluteFilePath());
    // The copy Unpack reads, as Open Bin's own button makes it.
    const auto* work = workFolderOrSay();
    if (work == nullptr)
        return;
    const auto copied = conversion::copyToWorkFile(bytes, work->path(), conversion::WorkFile::Temp);
    if (!copied)
        m_context.messages->show(QString::fromStdString(copied.error().message()), this);
}

} // namespace velmora
