#pragma once

#include "formats/qt/QtPictureReader.h"
#include "io/PrivateWorkFolder.h"
#include "platform/CommonDialog.h"
#include "windows/AppContext.h"
#include "windows/PreviewWindow.h"
#include "windows/frmhelp.h"
#include "workflows/Outcome.h"
#include "workflows/Workflows.h"

#include <QPixmap>
#include <QPointer>
#include <QWidget>

#include <array>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

class QLabel;
class QLineEdit;
class QListWidget;

namespace velmora {

class Button_XP;
class XpFrame;
class ZlibTool;

// The start-up window: holds every choice of the user (four paths, the menu mode) and runs
// Unpack and Pack on them. Closing it ends the program.
class frmMain : public QWidget {
    Q_OBJECT
  public:
    explicit frmMain(const AppContext& context, QWidget* parent = nullptr);
    ~frmMain() override;

    // Shows the window, lets it paint, cuts its frames to their visible pixels and fills
    // the list of menu modes. Call once, right after construction.
    void Form_Load();

    // The controls, by their names in the window.
    QLineEdit& txt(int index) const { return *m_txt.at(static_cast<std::size_t>(index)); }
    QLineEdit& Text1() const { return *m_Text1; }
    QListWidget& List1() const { return *m_List1; }
    QLabel& Label1() const { return *m_Label1; }
    QLabel& Label2() const { return *m_Label2; }
    Button_XP& btnAF() const { return *m_btnAF; }
    Button_XP& btnBF() const { return *m_btnBF; }
    Button_XP& btnCF() const { return *m_btnCF; }
    Button_XP& btnDF() const { return *m_btnDF; }
    Button_XP& cmdWypakuj() const { return *m_cmdWypakuj; }
    Button_XP& cmdSpakuj() const { return *m_cmdSpakuj; }
    Button_XP& cmdTuto() const { return *m_cmdTuto; }
    Button_XP& cmdMenu() const { return *m_cmdMenu; }
    CommonDialog& CD() { return m_CD; }
    // The frame with this caption, or null.
    XpFrame* frame(const QString& caption) const;
    // The help window while it is open.
    frmhelp* helpWindow() const { return m_help; }
    // The preview window while it is open, and opening it (or turning it) to a path box.
    PreviewWindow* previewWindow() const { return m_preview; }
    void showPreview(QLineEdit& box);
    // Opens the preview window (or turns it) to a picture that is in no box, such as an image
    // as Pack would fit it; `name` titles it, `facts` stand below it.
    void showPicture(const QImage& image, const QString& name, const QString& facts);

    // This window's own work files; empty when the folder could not be made.
    std::filesystem::path workFolder() const;
    // The folder dialogs open in and relative paths are taken from: the last one used, else
    // the user's home.
    const QString& userFolder() const { return m_userFolder; }

    // The workflows, as the Unpack and Pack buttons run them.
    void Unpack();
    void Pack();

    // A file named on the command line, put in the box that takes it: a game file in Open Bin,
    // anything else (a DDS or another picture) in Open DDS.
    void openFile(const QString& path);

  protected:
    void paintEvent(QPaintEvent* event) override;
    // Drops on the window and on every control in it: a file dropped on a side fills that
    // side's input box, one dropped elsewhere goes by its content.
    bool eventFilter(QObject* watched, QEvent* event) override;

  private:
    void buildControls();
    XpFrame* addFrame(const QString& caption, QWidget* parent, const QRect& geometry);
    QLineEdit* addPathBox(QWidget* parent, const QRect& geometry);
    // Double-click and the context menu's "Preview" show the box's file.
    void offerPreview(QLineEdit* box);
    std::unique_ptr<Button_XP> addButton(const QString& name, const QString& caption,
                                         QWidget* parent, const QRect& geometry);
    void centreOnScreen();
    // How many other main windows of Velmora are open, in this program or another.
    int otherWindowsOpen() const;
    void updateUnpackEnabled();
    // The file a box names when it exists, else an empty string.
    QString existingFileIn(int box) const;
    // Where an output dialog starts: its box, else a name made from its input's.
    QString outputStart(int outputBox, int inputBox, const QString& extension) const;
    // Puts the file written, as written, into a successful run's closing message.
    static void nameWrittenFile(conversion::RunReport& report);
    // The preview window, opened beside this one when it is not open yet.
    PreviewWindow& previewOpened();

    void List1_Click();
    void btnBF_Click();
    void btnCF_Click();
    void btnDF_Click();
    void btnAF_Click();
    void cmdWypakuj_Click();
    void cmdSpakuj_Click();
    void cmdTuto_Click();
    // Asks for a menu's folder and opens the menu workspace on it.
    void cmdMenu_Click();
    // What a confirmed Open Bin or Open DDS choice does, whether browsed or dropped.
    void openBinChosen(const QString& path);
    void openDdsChosen(const QString& path);
    void acceptFileDrops();
    // Takes a file dropped on `target` (this window or a control in it).
    void dropFile(const QWidget* target, const QString& path);
    // Success shows the closing messages in order; a failure its one message, naming
    // `userFile` where the failing step named a work file.
    void report(const conversion::Outcome& outcome, const QString& userFile = QString());
    // A path as typed into a box, a relative one taken from the user's folder.
    QString userPath(const QString& text) const;
    // Sets the dialog's start folder, shows it, and on confirmation remembers its folder.
    bool showDialog(bool save, const QString& startName);
    // The work folder, or nothing after saying why there is none.
    const conversion::PrivateWorkFolder* workFolderOrSay();
    // Pack's texture header: the user's installed one, else that of the game file last opened
    // or unpacked in this window (when it is not the placeholder), else the placeholder.
    conversion::PackOptions packOptions() const;
    // Takes the texture header and name of the game file at `copy` (the work copy of the one
    // chosen), when it is a game file whose record can be read; anything else changes nothing.
    // Returns whether it was taken.
    bool rememberGameFile(const std::filesystem::path& copy);
    // After an Unpack: selects the game file's mode when none is chosen, and offers, once ever,
    // to install its genuine texture header when the user has none installed.
    void followUnpack();
    void offerHeaderInstall();
    // Pack found the image too detailed: fit it (without freezing the window), ask, offering
    // a look at the fitted image first, and pack the fitted image on Yes. Nothing on No.
    // `cancelled` tells a Cancel on the progress (nothing written) from a No.
    std::optional<conversion::Outcome> offerFit(bool& cancelled);

    // The game file last opened or unpacked here: its texture header, unless that is the
    // placeholder, and its texture name.
    struct GameFileMemory {
        std::optional<std::array<std::uint8_t, 48>> header;
        std::string textureName;
    };

    AppContext m_context;
    std::optional<GameFileMemory> m_lastGameFile;
    CommonDialog m_CD;
    std::optional<conversion::PrivateWorkFolder> m_work;
    std::string m_workProblem;
    QString m_userFolder;
    QPixmap m_background;
    std::vector<XpFrame*> m_frames;
    std::array<QLineEdit*, 4> m_txt{};
    QLineEdit* m_Text1 = nullptr;
    QListWidget* m_List1 = nullptr;
    QLabel* m_Label1 = nullptr;
    QLabel* m_Label2 = nullptr;
    QLabel* m_Picture1 = nullptr;
    ZlibTool* m_ZlibTool1 = nullptr;
    // Pack takes PNG and the other picture formats as well as DDS.
    images::QtPictureReader m_pictures;
    std::unique_ptr<Button_XP> m_btnBF;
    std::unique_ptr<Button_XP> m_btnCF;
    std::unique_ptr<Button_XP> m_cmdWypakuj;
    std::unique_ptr<Button_XP> m_btnDF;
    std::unique_ptr<Button_XP> m_btnAF;
    std::unique_ptr<Button_XP> m_cmdSpakuj;
    std::unique_ptr<Button_XP> m_cmdTuto;
    std::unique_ptr<Button_XP> m_cmdMenu;
    QPointer<frmhelp> m_help;
    QPointer<PreviewWindow> m_preview;
};

} // namespace velmora
