#pragma once

#include "windows/AppContext.h"

#include <QString>
#include <QWidget>

#include <memory>

class QLabel;
class QListWidget;

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

    QLabel& Picture1() const { return *Picture1_; }
    QListWidget& Dir1() const { return *Dir1_; }
    QListWidget& File1() const { return *File1_; }
    QLabel& Label1() const { return *Label1_; }
    Button_XP& cmdDownload() const { return *cmdDownload_; }
    // The folder File1 lists.
    QString File1Path() const { return file1Path_; }
    // The caption Picture1 shows when a file is not a picture it can show.
    static QString notAPictureText();

  signals:
    // The window is closing; the main window shows itself again.
    void unloaded();

  protected:
    void closeEvent(QCloseEvent* event) override;

  private:
    void Dir1_Change(const QString& path);
    void File1_Click();
    void cmdDownload_Click();

    AppContext context_;
    QLabel* Picture1_ = nullptr;
    QListWidget* Dir1_ = nullptr;
    QListWidget* File1_ = nullptr;
    XpFrame* map_ = nullptr;
    QLabel* Label1_ = nullptr;
    std::unique_ptr<Button_XP> cmdDownload_;
    QString file1Path_;
};

} // namespace velmora
