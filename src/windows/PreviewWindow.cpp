#include "windows/PreviewWindow.h"

#include "base/Formatting.h"
#include "io/FileIo.h"
#include "windows/ScreenPlacement.h"
#include "workflows/FileFacts.h"
#include "workflows/ShownPicture.h"

#include <QButtonGroup>
#include <QDir>
#include <QFileInfo>
#include <QFileSystemWatcher>
#include <QFutureWatcher>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPainter>
#include <QScreen>
#include <QScrollArea>
#include <QStackedWidget>
#include <QTimer>
#include <QToolButton>
#include <QVBoxLayout>
#include <QtConcurrent/QtConcurrentRun>

#include <algorithm>
#include <cmath>

namespace velmora {

namespace {

namespace conv = velmora::conversion;

// Typing a path changes the box at every key; the file is read once the typing pauses.
constexpr int kFollowDelayMs = 250;
// As much as the shown picture reads; a larger file is no picture to look at.
constexpr std::size_t kMaxPreviewFileSize = 64u * 1024u * 1024u;
constexpr QSize kWantedSize(600, 720);
constexpr QSize kSmallestSize(320, 320);
// What the window holds besides a square picture: the buttons above, the facts below.
constexpr int kChromeHeight = kWantedSize.height() - kWantedSize.width();

QString text(const std::string& utf8) {
    return QString::fromStdString(utf8);
}

QImage toImage(const conv::Picture& picture) {
    QImage image(static_cast<int>(picture.width), static_cast<int>(picture.height),
                 QImage::Format_ARGB32);
    if (image.isNull())
        return image;
    const std::uint8_t* pixel = picture.bgra.data();
    for (int y = 0; y < image.height(); ++y) {
        auto* line = reinterpret_cast<QRgb*>(image.scanLine(y));
        for (int x = 0; x < image.width(); ++x, pixel += 4)
            line[x] = qRgba(pixel[2], pixel[1], pixel[0], pixel[3]);
    }
    return image;
}

QString packLine(const conv::FileFacts& facts) {
    return QStringLiteral("Pack: ") +
           (facts.packAction ? text(*facts.packAction)
                             : QStringLiteral("refused: ") + text(facts.packAction.error().reason));
}

QString factsText(const conv::FileFacts& facts) {
    const QString fileSize = text(conv::groupedNumber(facts.fileSize)) + QStringLiteral(" bytes");
    const auto size = [](std::uint32_t width, std::uint32_t height) {
        return QStringLiteral("Size: %1x%2").arg(width).arg(height);
    };
    QStringList lines;
    switch (facts.kind) {
    case conv::FileFacts::Kind::GameFile: {
        // Any file that is no picture is read as a game file; without the game's header it is
        // not called one.
        lines << (facts.game.hasLeadBytes || facts.game.hasMagic
                      ? QStringLiteral("Game file, ")
                      : QStringLiteral("Unknown file, ")) +
                     fileSize;
        if (!facts.game.record)
            break;
        const conv::RecordInfo& record = *facts.game.record;
        if (record.image.isDds)
            lines << size(record.image.width, record.image.height)
                  << QStringLiteral("Layout: ") + text(record.image.pixelFormat);
        else
            lines << QStringLiteral("Layout: not a DDS image");
        lines << QStringLiteral("Texture name: ") + (record.textureName.empty()
                                                         ? QStringLiteral("(none)")
                                                         : text(record.textureName));
        if (facts.mode)
            lines << QStringLiteral("Mode: %1 \"%2\"")
                         .arg(facts.mode->position)
                         .arg(QString::fromLatin1(
                                  facts.mode->displayName.data(),
                                  static_cast<qsizetype>(facts.mode->displayName.size()))
                                  .trimmed());
        else
            lines << QStringLiteral("Mode: not in the catalogue");
        break;
    }
    case conv::FileFacts::Kind::Dds:
        lines << QStringLiteral("DDS image, ") + fileSize;
        if (const auto& layout = facts.ddsLayout)
            lines << size(layout->width, layout->height)
                  << QStringLiteral("Layout: ") + text(layout->format)
                  << QStringLiteral("Mip levels: %1").arg(layout->mipCount);
        else if (const auto& summary = facts.ddsSummary)
            lines << size(summary->width, summary->height)
                  << QStringLiteral("Layout: ") + text(summary->pixelFormat);
        lines << packLine(facts);
        break;
    case conv::FileFacts::Kind::Picture:
        if (const auto& picture = facts.picture)
            lines << text(picture->format) + QStringLiteral(" picture, ") + fileSize
                  << size(picture->width, picture->height)
                  << QStringLiteral("Layout: ") +
                         (picture->layout.empty() ? QStringLiteral("(not known before decoding)")
                                                  : text(picture->layout));
        else
            lines << QStringLiteral("Picture, ") + fileSize;
        lines << packLine(facts);
        break;
    }
    return lines.join(QLatin1Char('\n'));
}

} // namespace

PreviewContent readPreviewContent(const QString& path, const conv::PictureReader& pictures) {
    PreviewContent content;
    content.path = path;
    const std::filesystem::path file(path.toStdU16String());
    // Read once for both the facts and the picture: the file may change between two reads
    // (a Pack into it), and a large picture costs its read twice. One too large for the picture
    // still has its facts, read as `info` reads them.
    const auto bytes = conv::readWholeFile(file, kMaxPreviewFileSize);
    const auto picture = [&]() -> conv::Result<conv::Picture> {
        if (bytes) {
            conv::ShownFile shown = conv::shownFileOf(*bytes, &pictures);
            content.facts = factsText(shown.facts);
            return std::move(shown.picture);
        }
        if (const auto facts = conv::gatherFileFacts(file, &pictures))
            content.facts = factsText(*facts);
        return conv::readShownPicture(file, &pictures);
    }();
    if (picture)
        content.image = toImage(*picture);
    if (!picture || content.image.isNull())
        content.problem =
            QStringLiteral("Velmora cannot show \"%1\": %2.")
                .arg(QFileInfo(path).fileName(),
                     picture ? QStringLiteral("there is not enough memory for the picture")
                             : text(picture.error().reason));
    return content;
}

PreviewPicture::PreviewPicture(QWidget* parent) : QWidget(parent) {
    setObjectName(QStringLiteral("previewPicture"));
}

void PreviewPicture::setImage(const QImage& image) {
    m_source = image;
    setView(m_view);
}

void PreviewPicture::setView(PreviewView view) {
    m_view = view;
    switch (view) {
    case PreviewView::ColourWithAlpha:
        m_shown = m_source;
        break;
    case PreviewView::ColourOnly:
        m_shown = m_source.copy();
        for (int y = 0; y < m_shown.height(); ++y) {
            auto* line = reinterpret_cast<QRgb*>(m_shown.scanLine(y));
            for (int x = 0; x < m_shown.width(); ++x)
                line[x] |= 0xff000000u;
        }
        m_shown.reinterpretAsFormat(QImage::Format_RGB32);
        break;
    case PreviewView::AlphaOnly:
        m_shown = QImage(m_source.size(), QImage::Format_Grayscale8);
        for (int y = 0; y < m_shown.height(); ++y) {
            const auto* source = reinterpret_cast<const QRgb*>(m_source.constScanLine(y));
            uchar* grey = m_shown.scanLine(y);
            for (int x = 0; x < m_shown.width(); ++x)
                grey[x] = static_cast<uchar>(qAlpha(source[x]));
        }
        break;
    }
    if (m_actualSize)
        resize(actualPictureSize());
    update();
}

void PreviewPicture::setActualSize(bool actualSize) {
    m_actualSize = actualSize;
    if (actualSize)
        resize(actualPictureSize());
    update();
}

QSize PreviewPicture::actualPictureSize() const {
    // One picture pixel to one pixel of the screen, whatever its scale.
    const qreal ratio = devicePixelRatioF();
    return QSize(qCeil(m_source.width() / ratio), qCeil(m_source.height() / ratio));
}

QSize PreviewPicture::sizeHint() const {
    return m_actualSize ? actualPictureSize() : QSize(512, 512);
}

QRect PreviewPicture::pictureRect() const {
    if (m_source.isNull())
        return {};
    QSize size = actualPictureSize();
    if (!m_actualSize)
        size = m_source.size().scaled(this->size(), Qt::KeepAspectRatio);
    QRect target(QPoint(0, 0), size);
    target.moveCenter(rect().center());
    // Never above or left of the widget: the scroll area shows a larger picture from its corner.
    target.moveTopLeft(QPoint(std::max(0, target.left()), std::max(0, target.top())));
    return target;
}

void PreviewPicture::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    const QRect target = pictureRect();
    if (target.isEmpty())
        return;
    QPixmap checker(2 * kCheckerSquare, 2 * kCheckerSquare);
    checker.fill(QColor::fromRgb(kCheckerLight));
    {
        QPainter squares(&checker);
        squares.fillRect(kCheckerSquare, 0, kCheckerSquare, kCheckerSquare,
                         QColor::fromRgb(kCheckerDark));
        squares.fillRect(0, kCheckerSquare, kCheckerSquare, kCheckerSquare,
                         QColor::fromRgb(kCheckerDark));
    }
    painter.setBrushOrigin(target.topLeft());
    painter.fillRect(target, QBrush(checker));
    // Smooth when shrinking; magnified pixels stay sharp squares, to be seen one by one.
    const qreal ratio = devicePixelRatioF();
    painter.setRenderHint(QPainter::SmoothPixmapTransform,
                          target.width() * ratio < m_shown.width() - 0.5);
    painter.drawImage(target, m_shown);
}

PreviewWindow::PreviewWindow(QWidget* parent)
    : QWidget(parent, Qt::Window), m_pictures(std::make_shared<images::QtPictureReader>()) {
    setObjectName(QStringLiteral("previewWindow"));
    setAttribute(Qt::WA_DeleteOnClose);
    setWindowTitle(QStringLiteral("Preview"));

    m_debounce = new QTimer(this);
    m_debounce->setSingleShot(true);
    m_debounce->setInterval(kFollowDelayMs);
    connect(m_debounce, &QTimer::timeout, this, &PreviewWindow::read);
    m_watcher = new QFileSystemWatcher(this);
    connect(m_watcher, &QFileSystemWatcher::fileChanged, this, &PreviewWindow::fileTouched);
    connect(m_watcher, &QFileSystemWatcher::directoryChanged, this, &PreviewWindow::fileTouched);

    auto* buttons = new QHBoxLayout;
    m_views = new QButtonGroup(this);
    const auto addView = [&](PreviewView view, const QString& caption, const QString& key) {
        auto* button = new QToolButton(this);
        button->setText(caption);
        button->setCheckable(true);
        button->setShortcut(QKeySequence(key));
        button->setToolTip(QStringLiteral("%1 (%2)").arg(caption, key));
        m_views->addButton(button, static_cast<int>(view));
        buttons->addWidget(button);
    };
    addView(PreviewView::ColourWithAlpha, QStringLiteral("Colour with alpha"), QStringLiteral("1"));
    addView(PreviewView::ColourOnly, QStringLiteral("Colour only"), QStringLiteral("2"));
    addView(PreviewView::AlphaOnly, QStringLiteral("Alpha only"), QStringLiteral("3"));
    m_views->button(static_cast<int>(PreviewView::ColourWithAlpha))->setChecked(true);
    connect(m_views, &QButtonGroup::idClicked, this,
            [this](int id) { setView(static_cast<PreviewView>(id)); });
    buttons->addStretch();
    m_actualSize = new QToolButton(this);
    m_actualSize->setText(QStringLiteral("1:1"));
    m_actualSize->setCheckable(true);
    m_actualSize->setShortcut(QKeySequence(QStringLiteral("0")));
    m_actualSize->setToolTip(
        QStringLiteral("One picture pixel to one screen pixel, else fitted to the window (0)"));
    connect(m_actualSize, &QToolButton::toggled, this, &PreviewWindow::setActualSize);
    buttons->addWidget(m_actualSize);

    m_picture = new PreviewPicture;
    m_scroll = new QScrollArea;
    m_scroll->setWidget(m_picture);
    m_scroll->setWidgetResizable(true);
    m_scroll->setAlignment(Qt::AlignCenter);
    m_scroll->setBackgroundRole(QPalette::Dark);
    m_problem = new QLabel;
    m_problem->setObjectName(QStringLiteral("previewProblem"));
    // File names and reasons are shown as they are, never taken for markup.
    m_problem->setTextFormat(Qt::PlainText);
    m_problem->setWordWrap(true);
    m_problem->setAlignment(Qt::AlignCenter);
    m_problem->setMargin(24);
    m_problem->setTextInteractionFlags(Qt::TextSelectableByMouse);
    m_pages = new QStackedWidget;
    m_pages->addWidget(m_scroll);
    m_pages->addWidget(m_problem);
    m_facts = new QLabel;
    m_facts->setObjectName(QStringLiteral("previewFacts"));
    m_facts->setTextFormat(Qt::PlainText);
    m_facts->setTextInteractionFlags(Qt::TextSelectableByMouse);
    m_facts->setWordWrap(true);

    auto* layout = new QVBoxLayout(this);
    layout->addLayout(buttons);
    layout->addWidget(m_pages, 1);
    layout->addWidget(m_facts);
    setMinimumSize(kSmallestSize);
    resize(kWantedSize);
}

PreviewWindow::~PreviewWindow() = default;

QRect previewBeside(const QRect& window, const QRect& available, const QMargins& frame) {
    // The client size for a square picture within `room` (a frame's outer size), or an empty
    // size where even the smallest does not fit.
    const auto squareIn = [&frame](QSize room) {
        const QSize inner = room.shrunkBy(frame);
        const int side =
            std::min({inner.width(), inner.height() - kChromeHeight, kWantedSize.width()});
        if (side < kSmallestSize.width() || side + kChromeHeight < kSmallestSize.height())
            return QSize();
        return QSize(side, side + kChromeHeight);
    };
    // The strips of the screen beside the window, each as wide or tall as the screen.
    const QRect strips[] = {
        QRect(QPoint(window.right() + 1, available.top()), available.bottomRight()),
        QRect(available.topLeft(), QPoint(window.left() - 1, available.bottom())),
        QRect(QPoint(available.left(), window.bottom() + 1), available.bottomRight()),
        QRect(available.topLeft(), QPoint(available.right(), window.top() - 1)),
    };
    QRect best;
    for (std::size_t i = 0; i < std::size(strips); ++i) {
        const QRect strip = strips[i].intersected(available);
        const QSize size = strip.isValid() ? squareIn(strip.size()) : QSize();
        if (size.isEmpty() || (best.isValid() && size.width() <= best.width()))
            continue;
        const QSize outer = size.grownBy(frame);
        QPoint at;
        if (i < 2) {
            // Beside it: next to it, level with its top where the screen allows.
            at.setX(i == 0 ? strip.left() : strip.right() + 1 - outer.width());
            at.setY(std::clamp(window.top(), strip.top(), strip.bottom() + 1 - outer.height()));
        } else {
            at.setY(i == 2 ? strip.top() : strip.bottom() + 1 - outer.height());
            at.setX(std::clamp(window.left(), strip.left(), strip.right() + 1 - outer.width()));
        }
        best = QRect(at + QPoint(frame.left(), frame.top()), size);
    }
    if (best.isValid())
        return best;
    // No side has room: over the window, centred on the screen, as large as it allows.
    QSize size = squareIn(available.size());
    if (size.isEmpty())
        size = kSmallestSize;
    return placeOnArea(size, kSmallestSize, available, frame);
}

void PreviewWindow::placeBeside(const QWidget& window) {
    const QScreen* screen = window.screen();
    if (screen == nullptr)
        screen = QGuiApplication::primaryScreen();
    if (screen == nullptr)
        return;
    // A usual title bar and border: this window has not been shown yet.
    const QMargins frame(4, 30, 4, 4);
    const QRect client = previewBeside(window.frameGeometry(), screen->availableGeometry(), frame);
    resize(client.size());
    move(client.topLeft() - QPoint(frame.left(), frame.top()));
}

void PreviewWindow::showPicture(const QImage& image, const QString& name, const QString& facts) {
    if (m_box)
        disconnect(m_box, nullptr, this, nullptr);
    m_box = nullptr;
    m_debounce->stop();
    // A read still running for the box is stale from now on.
    m_shownRequest = ++m_request;
    PreviewContent content;
    content.image = image.convertToFormat(QImage::Format_ARGB32);
    if (content.image.isNull())
        content.problem = QStringLiteral("There is no picture to show.");
    content.facts = facts;
    present(content);
    setWindowTitle(QStringLiteral("Preview - ") + name);
}

void PreviewWindow::follow(QLineEdit* box, PathResolver resolve) {
    if (m_box)
        disconnect(m_box, nullptr, this, nullptr);
    m_box = box;
    m_resolve = std::move(resolve);
    connect(box, &QLineEdit::textChanged, this, [this] {
        // What is being read for the old text is stale from now on, whenever it arrives.
        ++m_request;
        m_debounce->start();
    });
    m_debounce->stop();
    read();
}

void PreviewWindow::setView(PreviewView view) {
    if (QAbstractButton* button = m_views->button(static_cast<int>(view)))
        button->setChecked(true);
    m_picture->setView(view);
}

void PreviewWindow::setActualSize(bool actualSize) {
    m_actualSize->setChecked(actualSize);
    m_scroll->setWidgetResizable(!actualSize);
    m_picture->setActualSize(actualSize);
}

QString PreviewWindow::problem() const {
    return m_pages->currentWidget() == m_problem ? m_problem->text() : QString();
}

QString PreviewWindow::facts() const {
    return m_facts->text();
}

bool PreviewWindow::isReading() const {
    return m_debounce->isActive() || m_shownRequest != m_request;
}

void PreviewWindow::read() {
    const quint64 request = ++m_request;
    const QString path = m_box && m_resolve ? m_resolve(m_box->text()) : QString();
    if (path.isEmpty()) {
        PreviewContent empty;
        empty.problem = QStringLiteral("The box is empty: type or choose a file to see it here.");
        m_shownRequest = request;
        present(empty);
        return;
    }
    auto* reading = new QFutureWatcher<PreviewContent>(this);
    connect(reading, &QFutureWatcherBase::finished, this, [this, reading, request] {
        reading->deleteLater();
        // A box changed again meanwhile makes this result stale.
        if (request != m_request)
            return;
        m_shownRequest = request;
        present(reading->result());
    });
    reading->setFuture(QtConcurrent::run(
        [path, pictures = m_pictures] { return readPreviewContent(path, *pictures); }));
}

void PreviewWindow::present(const PreviewContent& content) {
    m_shownPath = content.path;
    m_shownStamp = stampOf(content.path);
    setWindowTitle(content.path.isEmpty()
                       ? QStringLiteral("Preview")
                       : QStringLiteral("Preview - ") + QFileInfo(content.path).fileName());
    m_picture->setImage(content.image);
    m_problem->setText(content.problem);
    m_pages->setCurrentWidget(content.image.isNull() ? static_cast<QWidget*>(m_problem) : m_scroll);
    m_facts->setText(content.facts);
    m_facts->setVisible(!content.facts.isEmpty());
    watch(content.path);
    emit contentShown();
}

void PreviewWindow::watch(const QString& path) {
    if (!m_watcher->files().isEmpty())
        m_watcher->removePaths(m_watcher->files());
    if (!m_watcher->directories().isEmpty())
        m_watcher->removePaths(m_watcher->directories());
    if (path.isEmpty())
        return;
    // The folder too: a file saved by renaming a new one over it, or made anew, shows there.
    const QFileInfo file(path);
    if (file.exists())
        m_watcher->addPath(path);
    if (file.absoluteDir().exists())
        m_watcher->addPath(file.absolutePath());
}

PreviewWindow::Stamp PreviewWindow::stampOf(const QString& path) {
    if (path.isEmpty())
        return {};
    const QFileInfo file(path);
    return {file.exists(), file.size(), file.lastModified()};
}

void PreviewWindow::fileTouched() {
    if (stampOf(m_shownPath) != m_shownStamp)
        m_debounce->start();
}

} // namespace velmora
