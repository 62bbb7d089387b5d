#pragma once

#include "formats/qt/QtPictureReader.h"

#include <QDateTime>
#include <QImage>
#include <QLineEdit>
#include <QPointer>
#include <QString>
#include <QWidget>

#include <functional>
#include <memory>

class QButtonGroup;
class QFileSystemWatcher;
class QLabel;
class QScrollArea;
class QStackedWidget;
class QTimer;
class QToolButton;

namespace velmora {

// How the preview draws a picture.
enum class PreviewView {
    ColourWithAlpha, // composited over the checkerboard
    ColourOnly,      // alpha ignored: every pixel opaque
    AlphaOnly,       // alpha as grey, white = opaque
};

// What a read of one file brings the preview: the picture (ARGB32, straight alpha) or why
// there is none, and the facts `velmora-cli info` gives about the file.
struct PreviewContent {
    QString path;
    QImage image;    // null when the file cannot be shown
    QString problem; // why not, in plain words; empty when there is an image
    QString facts;   // one fact a line
};

// Where the preview goes, as a client rectangle, for a `window` (its frame's rectangle) on the
// `available` area of its screen; `frame` is the preview's own title bar and borders.
QRect previewBeside(const QRect& window, const QRect& available, const QMargins& frame);

// Reads a file for the preview. Safe on any thread.
PreviewContent readPreviewContent(const QString& path, const conversion::PictureReader& pictures);

// The picture under the preview's buttons: fitted to the space it has, or one picture pixel
// to one screen pixel, over a checkerboard.
class PreviewPicture : public QWidget {
  public:
    // The checkerboard behind transparent pixels.
    static constexpr QRgb kCheckerLight = 0xffcbcbcb;
    static constexpr QRgb kCheckerDark = 0xff8e8e8e;
    static constexpr int kCheckerSquare = 8;

    explicit PreviewPicture(QWidget* parent = nullptr);

    void setImage(const QImage& image);
    const QImage& image() const { return m_source; }
    void setView(PreviewView view);
    PreviewView view() const { return m_view; }
    void setActualSize(bool actualSize);
    bool actualSize() const { return m_actualSize; }
    // Where the picture is drawn, in this widget's coordinates.
    QRect pictureRect() const;
    QSize sizeHint() const override;

  protected:
    void paintEvent(QPaintEvent* event) override;

  private:
    QSize actualPictureSize() const;

    QImage m_source; // ARGB32, straight alpha
    QImage m_shown;  // the source as the view shows it
    PreviewView m_view = PreviewView::ColourWithAlpha;
    bool m_actualSize = false;
};

// Shows the file a path box of the main window names, and follows the box as its text
// changes. Reading happens on a worker thread; only the latest request is shown.
class PreviewWindow : public QWidget {
    Q_OBJECT
  public:
    // Turns a box's text into the path of the file it names, as the main window does.
    using PathResolver = std::function<QString(const QString& text)>;

    explicit PreviewWindow(QWidget* parent = nullptr);
    ~PreviewWindow() override;

    // Beside `window` (right, left, below or above, where the screen has most room), sized for
    // a square picture; over it, centred on the screen, only where no side has room.
    void placeBeside(const QWidget& window);

    // Shows the file `box` names now and follows its text from here on; a file changed on disk
    // is read again.
    void follow(QLineEdit* box, PathResolver resolve);
    QLineEdit* followedBox() const { return m_box; }
    // Shows a picture that is in no file the boxes name, titled `name`, with `facts` below it,
    // and stops following the box until follow() is called again.
    void showPicture(const QImage& image, const QString& name, const QString& facts);

    void setView(PreviewView view);
    PreviewView view() const { return m_picture->view(); }
    void setActualSize(bool actualSize);

    // The file last shown, or the reason it could not be; its facts.
    const QString& shownPath() const { return m_shownPath; }
    QString problem() const;
    QString facts() const;
    PreviewPicture& picture() const { return *m_picture; }
    // True while a read is pending or running.
    bool isReading() const;

  signals:
    // A read finished and its result is on screen.
    void contentShown();

  private:
    void fileTouched();
    void read();
    void present(const PreviewContent& content);
    void watch(const QString& path);

    QPointer<QLineEdit> m_box;
    PathResolver m_resolve;
    std::shared_ptr<const images::QtPictureReader> m_pictures;
    // Requests are numbered; a result of any but the latest is dropped.
    quint64 m_request = 0;
    quint64 m_shownRequest = 0;
    QString m_shownPath;
    // The shown file as it was when shown, so that only a real change is read again.
    struct Stamp {
        bool exists = false;
        qint64 size = 0;
        QDateTime modified;
        bool operator==(const Stamp&) const = default;
    };
    static Stamp stampOf(const QString& path);
    Stamp m_shownStamp;

    QTimer* m_debounce = nullptr;
    QFileSystemWatcher* m_watcher = nullptr;
    QButtonGroup* m_views = nullptr;
    QToolButton* m_actualSize = nullptr;
    QStackedWidget* m_pages = nullptr;
    QScrollArea* m_scroll = nullptr;
    PreviewPicture* m_picture = nullptr;
    QLabel* m_problem = nullptr;
    QLabel* m_facts = nullptr;
};

} // namespace velmora
