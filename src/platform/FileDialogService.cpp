#include "platform/FileDialogService.h"

#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QMessageBox>
#include <QStringList>

namespace velmora {

std::optional<QString> FileDialogService::chooseFolder(const QString& title, QWidget* parent,
                                                       const QString& start) {
    FileDialogRequest request;
    request.kind = FileDialogKind::Folder;
    request.title = title;
    request.folder = start;
    return run(request, parent);
}

namespace {

// "Text (*.txt)|*.txt|All|*.*" becomes the toolkit's "Text (*.txt) (*.txt)" list.
QStringList nameFiltersOf(const QString& filter) {
    const QStringList parts = filter.split(QLatin1Char('|'));
    QStringList filters;
    for (qsizetype i = 0; i + 1 < parts.size(); i += 2) {
        QString patterns = parts[i + 1];
        patterns.replace(QLatin1Char(';'), QLatin1Char(' '));
        filters << QStringLiteral("%1 (%2)").arg(parts[i], patterns);
    }
    return filters;
}

void startAt(QFileDialog& dialog, const QString& fileName, const QString& folder) {
    const QFileInfo info(fileName);
    // A bare name (or nothing) starts in the given folder, else the current one, as the system
    // dialog does.
    const bool hasFolder =
        fileName.contains(QLatin1Char('/')) || fileName.contains(QLatin1Char('\\'));
    if (hasFolder && info.absoluteDir().exists()) {
        dialog.setDirectory(info.absolutePath());
    } else {
        dialog.setDirectory(folder.isEmpty() ? QDir::currentPath() : folder);
    }
    dialog.selectFile(hasFolder ? info.fileName() : fileName);
}

} // namespace

void QtFileDialogService::configure(QFileDialog& dialog, const FileDialogRequest& request,
                                    const QString& fileName) {
    dialog.setWindowTitle(request.title);
    const bool save = request.kind == FileDialogKind::Save;
    dialog.setAcceptMode(save ? QFileDialog::AcceptSave : QFileDialog::AcceptOpen);
    const bool mustExist = (request.flags & DialogFlags::FileMustExist) != 0;
    dialog.setFileMode(mustExist ? QFileDialog::ExistingFile : QFileDialog::AnyFile);
    if (request.kind == FileDialogKind::Folder) {
        dialog.setFileMode(QFileDialog::Directory);
        dialog.setOption(QFileDialog::ShowDirsOnly, true);
    }
    dialog.setOption(QFileDialog::DontConfirmOverwrite,
                     (request.flags & DialogFlags::OverwritePrompt) == 0);
    const QStringList filters = nameFiltersOf(request.filter);
    if (!filters.isEmpty()) {
        dialog.setNameFilters(filters);
    }
    dialog.setDefaultSuffix(request.defaultExt);
    startAt(dialog, fileName, request.folder);
}

std::optional<QString> QtFileDialogService::run(const FileDialogRequest& request, QWidget* parent) {
    QString fileName = request.fileName;
    for (;;) {
        QFileDialog dialog(parent);
        configure(dialog, request, fileName);
        if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) {
            return std::nullopt;
        }
        const QString chosen = QDir::toNativeSeparators(dialog.selectedFiles().constFirst());
        const bool askCreate = (request.flags & DialogFlags::CreatePrompt) != 0;
        if (!askCreate || QFileInfo::exists(chosen)) {
            return chosen;
        }
        const auto answer = QMessageBox::question(
            parent, request.title,
            QStringLiteral("%1\nThis file does not exist.\nCreate the file?").arg(chosen),
            QMessageBox::Yes | QMessageBox::No, QMessageBox::Yes);
        if (answer == QMessageBox::Yes) {
            return chosen;
        }
        // No: back to the dialog with the name kept, as the system dialog does.
        fileName = chosen;
    }
}

} // namespace velmora
