#pragma once

#include <QString>

#include <cstdint>
#include <optional>

class QFileDialog;
class QWidget;

namespace velmora {

// The Windows open/save dialog flag bits the windows use; the dialog service maps them
// onto the toolkit's dialog.
namespace DialogFlags {
inline constexpr std::uint32_t OverwritePrompt = 0x2;
inline constexpr std::uint32_t FileMustExist = 0x1000;
inline constexpr std::uint32_t CreatePrompt = 0x2000;
inline constexpr std::uint32_t LongNames = 0x200000;
} // namespace DialogFlags

// Folder chooses an existing folder; the filter and default extension do not apply to it.
enum class FileDialogKind { Open, Save, Folder };

// Everything one showing of the dialog is driven by.
struct FileDialogRequest {
    FileDialogKind kind = FileDialogKind::Open;
    QString title;
    QString filter;     // "Description|pattern|Description|pattern..."; empty lists every file
    QString defaultExt; // added to a name typed without an extension; empty adds none
    QString fileName;   // the name the file-name field starts with
    std::uint32_t flags = 0;
    QString folder; // where a bare name (or nothing) starts; the current folder when empty
};

// Shows an open or save dialog and waits for the user.
class FileDialogService {
  public:
    virtual ~FileDialogService() = default;

    // The confirmed path, or nothing when the user cancelled or the dialog failed.
    virtual std::optional<QString> run(const FileDialogRequest& request, QWidget* parent) = 0;

    // A folder the user chooses, the dialog opening at `start` (the current folder when empty).
    std::optional<QString> chooseFolder(const QString& title, QWidget* parent,
                                        const QString& start = {});
};

// The toolkit's own file dialog.
class QtFileDialogService final : public FileDialogService {
  public:
    std::optional<QString> run(const FileDialogRequest& request, QWidget* parent) override;

    // Sets a dialog up as the request and its flags say; fileName is where it starts.
    static void configure(QFileDialog& dialog, const FileDialogRequest& request,
                          const QString& fileName);
};

} // namespace velmora
