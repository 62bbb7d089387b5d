#pragma once

#include "windows/AppContext.h"

#include <QSize>
#include <QString>
#include <QWidget>

#include <memory>

class QLabel;
class QListWidget;
class QScrollArea;

namespace velmora {

class Button_XP;
class XpFrame;

// Where the menu tiles live in the game's archive, with reference pictures from the folder
// "Image" and a link to a DDS plug-in for an image editor. Opened from the main window, which
// it replaces while it is open; it unloads itself when closed.
class frmhelp : public QWidget {
    Q_OBJECT
  public:
    explicit frmhelp(const AppContext& context);
    ~frmhelp() override;

    // The fixed entry list shown in the frame "Map dt06.img": 13 lines joined by CR LF.
    static const QString& mapText();
    // The page that cmdDownload opens.
    static QString downloadAddress();

    // The smallest the window gets on a small screen: the right column whole, a strip of
    // the picture box beside it.
    static constexpr QSize kSmallestSize{496, 480};

    QLabel& Picture1() const { return *m_Picture1; }
    // Scrolls Picture1 where the window is smaller than its design.
    QScrollArea& pictureView() const { return *m_pictureView; }
    QListWidget& Dir1() const { return *m_Dir1; }
    QListWidget& File1() const { return *m_File1; }
    QLabel& Label1() const { return *m_Label1; }
    Button_XP& cmdDownload() const { return *m_cmdDownload; }
    // The folder File1 lists.
    QString File1Path() const { return m_file1Path; }
    // The caption Picture1 shows when a file is not a picture it can show.
    static QString notAPictureText();

  signals:
    // The window is closing; the main window shows itself again.
    void unloaded();

  protected:
    void closeEvent(QCloseEvent* event) override;

  private:
    void layoutControls(QSize size);
    void Dir1_Change(const QString& path);
    void File1_Click();
    void cmdDownload_Click();
    // The message and the clipboard that stand in for a browser that could not be started.
    void showDownloadAddress();

    AppContext m_context;
    QScrollArea* m_pictureView = nullptr;
    QLabel* m_Picture1 = nullptr;
    QListWidget* m_Dir1 = nullptr;
    QListWidget* m_File1 = nullptr;
    XpFrame* m_map = nullptr;
    QLabel* m_Label1 = nullptr;
    std::unique_ptr<Button_XP> m_cmdDownload;
    QString m_file1Path;
};

} // namespace velmora
