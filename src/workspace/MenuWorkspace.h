#pragma once

#include "formats/qt/QtPictureReader.h"
#include "windows/AppContext.h"
#include "workspace/MenuFolder.h"

#include <QFuture>
#include <QImage>
#include <QPointer>
#include <QProgressDialog>
#include <QString>
#include <QWidget>

#include <array>
#include <atomic>
#include <filesystem>
#include <memory>
#include <optional>

class QFileSystemWatcher;
class QLabel;
class QLineEdit;

namespace velmora {

class Button_XP;
class PreviewWindow;

namespace watch {
class PictureWatch;
}

namespace workspace {

enum class TileState { Original, Edited, Opening, Packing, Fitted, Refused, Missing, Conflict };

// One tile of the menu as the workspace shows it: its thumbnail, mode name and state. Takes the
// keyboard focus; Return asks for Edit, the context-menu key (or a right click) for its menu.
class TileView : public QWidget {
    Q_OBJECT
  public:
    TileView(int position, QWidget* parent);

    int position() const { return m_position; }
    TileState state() const { return m_state; }
    const QString& detail() const { return m_detail; }
    // The state in words, as the tile shows it: "original", "fitted (PSNR 41.2 dB)", ...
    QString stateText() const;
    void setState(TileState state, const QString& detail = QString());
    void setThumbnail(const QImage& image);
    const QImage& thumbnail() const { return m_thumbnail; }

  signals:
    void editRequested();
    void menuRequested(const QPoint& global);
    void moveRequested(int key);
    void pictureDropped(const QString& path);

  protected:
    void paintEvent(QPaintEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void contextMenuEvent(QContextMenuEvent* event) override;
    void dragEnterEvent(QDragEnterEvent* event) override;
    void dropEvent(QDropEvent* event) override;

  private:
    int m_position;
    TileState m_state = TileState::Missing;
    QString m_detail;
    QImage m_thumbnail;
};

// The state shared with the picture watch, whose threads ask for a picture's target.
struct TileBook;

// A whole menu in one window: its 13 tiles laid out as the game lays them out, each found among
// the folder's game files by the texture name in its record. Edit unpacks a tile into the
// menu's edit folder and opens it in the user's editor; every save there is packed back into
// the tile's game file. The first write to a game file keeps its original, which Restore brings
// back.
class MenuWorkspace : public QWidget {
    Q_OBJECT
  public:
    MenuWorkspace(const AppContext& context, const QString& folder, QWidget* parent = nullptr);
    ~MenuWorkspace() override;

    TileView& tile(int position) const { return *m_tiles.at(static_cast<std::size_t>(position)); }
    const QString& folder() const { return m_folder; }
    std::filesystem::path dataFolder() const { return m_dataFolder; }
    std::filesystem::path editFolder() const { return m_dataFolder / "edit"; }
    std::filesystem::path originalsFolder() const { return m_dataFolder / "originals"; }
    // The game file of a tile, when exactly one holds it.
    std::optional<std::filesystem::path> gameFileOf(int position) const;
    // The edit picture of a tile.
    std::filesystem::path editPictureOf(int position) const;
    // True while the picture watch keeps the edit folder packed.
    bool watching() const { return m_watch != nullptr; }
    // Thumbnails still being read.
    int thumbnailsPending() const { return m_thumbnailsPending; }

    // The actions of a tile's menu.
    void edit(int position);
    void replace(int position, const QString& picture);
    void browseReplace(int position);
    void restoreOriginal(int position);
    void preview(int position);
    void exportAll(bool png);
    void packAllFrom();
    void chooseEditor();
    // Reads the folder again: tiles, states and thumbnails.
    void reload();
    // A folder without game files, or one that is gone: offers to choose another.
    void offerAnotherFolder();
    // What the window told the user last, in its status line.
    QString status() const;

  signals:
    // A tile's state or thumbnail changed.
    void tileChanged(int position);

  protected:
    void paintEvent(QPaintEvent* event) override;
    void showEvent(QShowEvent* event) override;

  private:
    void buildControls();
    void layoutTiles();
    QProgressDialog* stoppableProgress(const QString& label, int count,
                                       const std::shared_ptr<std::atomic<bool>>& stop);
    void startWatch();
    // The watch told that the edit folder went: the folder is made and watched again.
    void editFolderGone();
    void showTileMenu(int position, const QPoint& global);
    void moveFocus(int from, int key);
    void readThumbnail(int position);
    // A game file whose bytes on disk are not the ones last seen here was changed by another
    // program: it is read again, never written over.
    void folderChanged();
    void watchEvent(int position, int kind, std::optional<double> psnr, const QString& message);
    // Where the tile stands against its kept original.
    TileState restingState(int position) const;
    // Says why a tile cannot be written, or nothing when it can.
    QString unwritableReason(int position) const;
    // Says why a tile cannot be written just now (a pack into it, or its unpack for Edit, is
    // running), or nothing. The caller holds the book's lock.
    static QString busyReason(const TileBook& book, int position);
    // Puts the unpacked edit picture in place and starts the editor on it, back on the window's
    // thread once the unpack has ended.
    void editUnpacked(int position, const conv::Result<>& unpacked, TileState before,
                      const QString& beforeDetail);
    bool startEditor(const QString& picture);
    QString configuredEditor() const;

    AppContext m_context;
    QString m_folder;
    std::filesystem::path m_dataFolder;
    std::shared_ptr<TileBook> m_book;
    std::array<TileView*, kTileCount> m_tiles{};
    QLabel* m_title = nullptr;
    QLabel* m_status = nullptr;
    std::unique_ptr<Button_XP> m_menuButton;
    std::unique_ptr<Button_XP> m_editorButton;
    std::shared_ptr<const images::QtPictureReader> m_pictures;
    std::unique_ptr<watch::PictureWatch> m_watch;
    QFileSystemWatcher* m_folderWatcher = nullptr;
    QPointer<PreviewWindow> m_preview;
    QLineEdit* m_previewBox = nullptr;
    int m_thumbnailsPending = 0;
    // Which read of each tile's thumbnail is the latest: an older one that ends later is dropped.
    std::array<std::uint64_t, kTileCount> m_thumbnailRead{};
    // Set when the window closes, for the workers it started to see.
    std::shared_ptr<std::atomic<bool>> m_closing = std::make_shared<std::atomic<bool>>(false);
    // Edit's unpacks, waited for when the window closes so that none ends after it.
    std::array<QFuture<conv::Result<>>, kTileCount> m_unpacks{};
    bool m_focusGiven = false;
    // The menu's folder was not there at the last reading: moved away or removed.
    bool m_folderGone = false;
    // What the status line says of damaged game files in the folder, cleared once they are not.
    QString m_unreadableNote;
};

} // namespace workspace
} // namespace velmora
