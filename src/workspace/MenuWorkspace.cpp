#include "workspace/MenuWorkspace.h"

#include "button_xp/Button_XP.h"
#include "catalogue/MenuAnimationCatalogue.h"
#include "io/FileIo.h"
#include "io/PrivateWorkFolder.h"
#include "platform/FileDialogService.h"
#include "platform/MessageBoxService.h"
#include "platform/ShellService.h"
#include "windows/CommandButtons.h"
#include "windows/PreviewWindow.h"
#include "windows/WindowLook.h"
#include "workflows/ShownPicture.h"
#include "workflows/WorkFiles.h"
#include "workspace/TileWork.h"
#ifdef VELMORA_WORKSPACE_WATCH
#include "watch/PictureWatch.h"
#else
// Built without the picture watch: Edit still unpacks and opens the editor, saves are not packed.
namespace velmora::watch {
class PictureWatch {
  public:
    virtual ~PictureWatch() = default;
};
} // namespace velmora::watch
#endif

#include <QContextMenuEvent>
#include <QDir>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QFileInfo>
#include <QFileSystemWatcher>
#include <QFuture>
#include <QGridLayout>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMimeData>
#include <QPainter>
#include <QPainterPath>
#include <QProcess>
#include <QProgressDialog>
#include <QScreen>
#include <QSettings>
#include <QTimer>
#include <QUrl>
#include <QVBoxLayout>
#include <QtConcurrent/QtConcurrentRun>

#include <unistd.h>
#include <wordexp.h>

#include <atomic>
#include <mutex>

namespace velmora::workspace {

namespace fs = std::filesystem;

// What the picture watch's threads and the window share, under one lock.
struct TileBook {
    struct Entry {
        std::vector<TileFile> files;
        FileStamp known;                // the game file as last read or written here
        std::uint64_t unpackedHash = 0; // the edit picture as Edit unpacked it
        bool busy = false;              // a pack into it is running
        bool opening = false;           // Edit is unpacking it (the window's thread only)
    };
    std::mutex mutex;
    std::array<Entry, kTileCount> entries;
    fs::path originals;
};

namespace {

// The answer the watch gets for an edit picture that still holds what Edit unpacked: packing it
// would only rewrite the game file with the pixels it has.
const char* const kUnchanged = "the picture is as it was unpacked";

constexpr std::size_t kLargestPicture = 256u * 1024u * 1024u;

std::uint64_t hashOfFile(const fs::path& path) {
    auto bytes = conv::readWholeFile(path, kLargestPicture);
    if (!bytes)
        return 0;
    std::uint64_t hash = 1469598103934665603ull;
    for (const std::uint8_t b : *bytes) {
        hash ^= b;
        hash *= 1099511628211ull;
    }
    return hash ^ bytes->size();
}

QString shown(const fs::path& path) {
    return QString::fromStdU16String(path.u16string());
}
fs::path pathOf(const QString& text) {
    return fs::path(text.toStdU16String());
}

std::string textureStem(int position) {
    const auto name =
        MenuAnimationCatalogue::rows()[static_cast<std::size_t>(position)].textureName;
    return fs::path(std::string(name)).stem().string();
}

QString displayName(int position) {
    const auto name =
        MenuAnimationCatalogue::rows()[static_cast<std::size_t>(position)].displayName;
    return QString::fromUtf8(name.data(), static_cast<qsizetype>(name.size())).trimmed();
}

// The tile an edit picture belongs to, by its name: "<texture name without .tex>.png".
[[maybe_unused]] int positionOfPicture(const fs::path& picture) {
    const std::string stem = picture.stem().string();
    for (const MenuAnimation& row : MenuAnimationCatalogue::rows())
        if (textureStem(row.position) == stem)
            return row.position;
    return -1;
}

// The tile a picture in a folder of pictures is for: its name is the texture name or the mode's
// name ("topModeSelect_Mov03_ML.png", "master-league.png").
int positionForPictureName(const QString& stem) {
    std::string text = stem.toStdString();
    if (const auto* row = MenuAnimationCatalogue::findForCommandLine(text + ".tex"))
        return row->position;
    if (const auto* row = MenuAnimationCatalogue::findForCommandLine(text))
        return row->position;
    for (char& c : text)
        if (c == '-' || c == '_')
            c = ' ';
    if (const auto* row = MenuAnimationCatalogue::findForCommandLine(text))
        return row->position;
    return -1;
}

// The words of a command as a shell splits them (quotes, backslashes, $VARIABLES, ~), never
// running a command inside it: one with $(...) or `...` is refused. Empty when it cannot be
// split.
QStringList shellWords(const QString& command) {
    const QByteArray text = command.toLocal8Bit();
    wordexp_t words{};
    const int error = ::wordexp(text.constData(), &words, WRDE_NOCMD);
    if (error != 0) {
        if (error == WRDE_NOSPACE)
            ::wordfree(&words);
        return {};
    }
    QStringList result;
    for (std::size_t i = 0; i < words.we_wordc; ++i)
        result << QString::fromLocal8Bit(words.we_wordv[i]);
    ::wordfree(&words);
    return result;
}

// A path as one word of such a command, whatever characters it holds.
QString shellQuoted(const QString& path) {
    QString quoted = path;
    quoted.replace(QLatin1Char('\''), QLatin1String("'\\''"));
    return QLatin1Char('\'') + quoted + QLatin1Char('\'');
}

bool sameBytes(const fs::path& a, const fs::path& b) {
    const auto first = conv::readWholeFile(a, kLargestPicture);
    const auto second = conv::readWholeFile(b, kLargestPicture);
    return first && second && *first == *second;
}

// The colours of the game's menu, tile by tile.
QColor tileColour(int position) {
    static const std::array<QRgb, kTileCount> colours{
        0xff2f6fb5, 0xff234f96, 0xffb4532e, 0xff2e8b57, 0xff7a4fb5, 0xffb08a2e, 0xff2f9fb0,
        0xff5e8a2e, 0xffb02e6a, 0xff6a6a6a, 0xff3559b5, 0xff8e2eb0, 0xffb07a2e};
    return QColor::fromRgb(colours.at(static_cast<std::size_t>(position)));
}

QImage thumbnailOf(const fs::path& gameFile, const conv::PictureReader& pictures) {
    auto picture = conv::readShownPicture(gameFile, &pictures);
    if (!picture)
        return {};
    const conv::Picture small = conv::scaleToFit(*picture, 128);
    QImage image(reinterpret_cast<const uchar*>(small.bgra.data()), static_cast<int>(small.width),
                 static_cast<int>(small.height), static_cast<qsizetype>(small.width) * 4,
                 QImage::Format_ARGB32);
    return image.copy();
}

} // namespace

// A window-modal progress over `count` steps whose Cancel sets `stop` for the worker to see.
QProgressDialog* MenuWorkspace::stoppableProgress(const QString& label, int count,
                                                  const std::shared_ptr<std::atomic<bool>>& stop) {
    auto* progress = new QProgressDialog(label, QStringLiteral("Cancel"), 0, count, this);
    progress->setWindowModality(Qt::WindowModal);
    progress->setMinimumDuration(300);
    connect(progress, &QProgressDialog::canceled, this, [stop] { *stop = true; });
    // Gone with the window before its job ends: the job stops after the tile in hand rather
    // than run on unseen.
    connect(progress, &QObject::destroyed, [stop] { *stop = true; });
    return progress;
}

// ---- TileView ----

TileView::TileView(int position, QWidget* parent) : QWidget(parent), m_position(position) {
    setObjectName(QStringLiteral("tile%1").arg(position));
    setFocusPolicy(Qt::StrongFocus);
    setAcceptDrops(true);
    setMinimumSize(160, 84);
    setToolTip(displayName(position));
}

QString TileView::stateText() const {
    switch (m_state) {
    case TileState::Original:
        return QStringLiteral("original");
    case TileState::Edited:
        return QStringLiteral("edited");
    case TileState::Opening:
        return QStringLiteral("opening...");
    case TileState::Packing:
        return QStringLiteral("packing...");
    case TileState::Fitted:
        return QStringLiteral("fitted (%1)").arg(m_detail);
    case TileState::Refused:
        return QStringLiteral("refused: %1").arg(m_detail);
    case TileState::Missing:
        return QStringLiteral("missing");
    case TileState::Conflict:
        return QStringLiteral("conflict: %1").arg(m_detail);
    }
    return {};
}

void TileView::setState(TileState state, const QString& detail) {
    m_state = state;
    m_detail = detail;
    setToolTip(displayName(m_position) + QStringLiteral("\n") + stateText());
    update();
}

void TileView::setThumbnail(const QImage& image) {
    m_thumbnail = image;
    update();
}

void TileView::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    const QRectF box = QRectF(rect()).adjusted(2, 2, -2, -2);
    QPainterPath outline;
    outline.addRoundedRect(box, 8, 8);
    QColor fill = tileColour(m_position);
    if (m_state == TileState::Missing || m_state == TileState::Conflict)
        fill = fill.darker(170);
    painter.fillPath(outline, fill);
    painter.setPen(QPen(hasFocus() ? QColor(Qt::yellow) : QColor(Qt::white), hasFocus() ? 3 : 1.5));
    painter.drawPath(outline);

    // The thumbnail, square, over a checkerboard, on the left.
    // Square, and never so wide that the name beside it has no room.
    const int side = std::max(16, std::min(height() - 16, width() * 2 / 5));
    const QRect thumb(8, 8, side, side);
    painter.setRenderHint(QPainter::SmoothPixmapTransform);
    for (int y = 0; y < side; y += 8)
        for (int x = 0; x < side; x += 8)
            painter.fillRect(
                QRect(thumb.x() + x, thumb.y() + y, std::min(8, side - x), std::min(8, side - y)),
                ((x + y) / 8) % 2 ? QColor(0x8e, 0x8e, 0x8e) : QColor(0xcb, 0xcb, 0xcb));
    if (!m_thumbnail.isNull()) {
        const QSize fitted = m_thumbnail.size().scaled(thumb.size(), Qt::KeepAspectRatio);
        const QRect target(thumb.topLeft() +
                               QPoint((side - fitted.width()) / 2, (side - fitted.height()) / 2),
                           fitted);
        painter.drawImage(target, m_thumbnail);
    }
    painter.setPen(QColor(255, 255, 255, 160));
    painter.drawRect(thumb);

    // Entry, name and state beside it.
    const int left = thumb.right() + 10;
    const QRect text(left, 6, width() - left - 8, height() - 12);
    QFont font = this->font();
    font.setBold(true);
    font.setPixelSize(13);
    painter.setFont(font);
    painter.setPen(Qt::white);
    const auto& row = MenuAnimationCatalogue::rows()[static_cast<std::size_t>(m_position)];
    const QFontMetrics bold(font);
    painter.drawText(QRect(text.x(), text.y(), text.width(), bold.height()), Qt::AlignLeft,
                     bold.elidedText(displayName(m_position), Qt::ElideRight, text.width()));
    QFont small = this->font();
    small.setPixelSize(11);
    painter.setFont(small);
    const QFontMetrics metrics(small);
    painter.setPen(QColor(255, 255, 255, 190));
    painter.drawText(QRect(text.x(), text.y() + bold.height() + 1, text.width(), metrics.height()),
                     Qt::AlignLeft, QStringLiteral("#%1").arg(row.entryNumber));
    QColor stateColour = Qt::white;
    if (m_state == TileState::Refused || m_state == TileState::Conflict)
        stateColour = QColor(0xff, 0xd0, 0x40);
    else if (m_state == TileState::Missing)
        stateColour = QColor(0xd0, 0xd0, 0xd0);
    painter.setPen(stateColour);
    const int stateTop = text.y() + bold.height() + metrics.height() + 4;
    const QRect stateRect(text.x(), stateTop, text.width(), text.bottom() - stateTop);
    const QString words = stateText();
    // Wrapped over the lines there is room for, the last cut with an ellipsis.
    const int lines = std::max(1, stateRect.height() / metrics.lineSpacing());
    QString fitted;
    QString rest = words;
    for (int line = 0; line < lines && !rest.isEmpty(); ++line) {
        if (line == lines - 1) {
            fitted += metrics.elidedText(rest, Qt::ElideRight, stateRect.width());
            break;
        }
        int take = rest.size();
        while (take > 1 && metrics.horizontalAdvance(rest.left(take)) > stateRect.width())
            --take;
        if (take < rest.size()) {
            const int blank = rest.left(take).lastIndexOf(QLatin1Char(' '));
            if (blank > 0)
                take = blank + 1;
        }
        fitted += rest.left(take).trimmed() + QLatin1Char('\n');
        rest = rest.mid(take).trimmed();
    }
    painter.drawText(stateRect, Qt::AlignLeft | Qt::AlignTop, fitted.trimmed());
}

void TileView::keyPressEvent(QKeyEvent* event) {
    switch (event->key()) {
    case Qt::Key_Return:
    case Qt::Key_Enter:
        emit editRequested();
        return;
    case Qt::Key_Menu:
        emit menuRequested(mapToGlobal(rect().center()));
        return;
    case Qt::Key_F10:
        if (event->modifiers() & Qt::ShiftModifier) {
            emit menuRequested(mapToGlobal(rect().center()));
            return;
        }
        break;
    case Qt::Key_Left:
    case Qt::Key_Right:
    case Qt::Key_Up:
    case Qt::Key_Down:
        emit moveRequested(event->key());
        return;
    default:
        break;
    }
    QWidget::keyPressEvent(event);
}

void TileView::mouseDoubleClickEvent(QMouseEvent* event) {
    if (event->button() == Qt::LeftButton)
        emit editRequested();
}

void TileView::mousePressEvent(QMouseEvent* event) {
    setFocus(Qt::MouseFocusReason);
    QWidget::mousePressEvent(event);
}

void TileView::contextMenuEvent(QContextMenuEvent* event) {
    setFocus(Qt::OtherFocusReason);
    emit menuRequested(event->globalPos());
}

void TileView::dragEnterEvent(QDragEnterEvent* event) {
    const QMimeData* mime = event->mimeData();
    if (mime->hasUrls() && mime->urls().size() == 1 && mime->urls().front().isLocalFile() &&
        QFileInfo(mime->urls().front().toLocalFile()).isFile())
        event->acceptProposedAction();
}

void TileView::dropEvent(QDropEvent* event) {
    const QString path = event->mimeData()->urls().front().toLocalFile();
    event->acceptProposedAction();
    // Taken once the drop has ended, so a question does not hold up the program it came from.
    QTimer::singleShot(0, this, [this, path] { emit pictureDropped(path); });
}

// ---- MenuWorkspace ----

MenuWorkspace::MenuWorkspace(const AppContext& context, const QString& folder, QWidget* parent)
    : QWidget(parent), m_context(context), m_book(std::make_shared<TileBook>()),
      m_pictures(std::make_shared<images::QtPictureReader>()) {
    setObjectName(QStringLiteral("MenuWorkspace"));
    setWindowIcon(applicationIcon(m_context.resourcesFolder));
    images::QtPictureReader::loadPlugIns();
    m_folder = QFileInfo(folder).absoluteFilePath();
    buildControls();
    m_folderWatcher = new QFileSystemWatcher(this);
    auto* debounce = new QTimer(this);
    debounce->setSingleShot(true);
    debounce->setInterval(250);
    connect(debounce, &QTimer::timeout, this, &MenuWorkspace::folderChanged);
    // The folder's parent is watched too: a folder renamed or moved away tells its own watch
    // nothing. Only the folder's going or coming back matters there.
    connect(m_folderWatcher, &QFileSystemWatcher::directoryChanged, this,
            [this, debounce](const QString& changed) {
                if (changed == m_folder || m_folderGone == QFileInfo(m_folder).isDir())
                    debounce->start();
            });
    connect(m_folderWatcher, &QFileSystemWatcher::fileChanged, debounce,
            qOverload<>(&QTimer::start));
    reload();
}

MenuWorkspace::~MenuWorkspace() {
    // The watch first: its threads call back into this window.
    m_watch.reset();
    // An unpack for Edit still running puts no picture in the edit folder now, and is waited
    // for: its end is then never told to a window that is gone.
    *m_closing = true;
    for (auto& unpack : m_unpacks)
        unpack.waitForFinished();
    if (m_preview)
        delete m_preview.data();
}

void MenuWorkspace::buildControls() {
    auto* outer = new QVBoxLayout(this);
    outer->setContentsMargins(12, 8, 12, 10);
    outer->setSpacing(8);
    m_title = new QLabel(this);
    QFont titleFont = font();
    titleFont.setBold(true);
    titleFont.setPixelSize(16);
    m_title->setFont(titleFont);
    QPalette light = m_title->palette();
    light.setColor(QPalette::WindowText, Qt::white);
    m_title->setPalette(light);
    outer->addWidget(m_title);

    auto* grid = new QGridLayout;
    grid->setSpacing(8);
    for (int position = 0; position < kTileCount; ++position) {
        auto* tile = new TileView(position, this);
        m_tiles.at(static_cast<std::size_t>(position)) = tile;
        // As the game's menu: four rows of four, the last tile across the bottom row.
        if (position < 12)
            grid->addWidget(tile, position / 4, position % 4);
        else
            grid->addWidget(tile, 3, 0, 1, 4);
        connect(tile, &TileView::editRequested, this, [this, position] { edit(position); });
        connect(tile, &TileView::menuRequested, this,
                [this, position](const QPoint& where) { showTileMenu(position, where); });
        connect(tile, &TileView::moveRequested, this,
                [this, position](int key) { moveFocus(position, key); });
        connect(tile, &TileView::pictureDropped, this,
                [this, position](const QString& path) { replace(position, path); });
    }
    outer->addLayout(grid, 1);

    auto* bottom = new QHBoxLayout;
    m_status = new QLabel(this);
    m_status->setObjectName(QStringLiteral("status"));
    m_status->setPalette(light);
    m_status->setWordWrap(true);
    bottom->addWidget(m_status, 1);
    // The main window's buttons, in its look.
    m_menuButton =
        makeCommandButtonLike(QStringLiteral("frmMain"), QStringLiteral("cmdTuto"),
                              QStringLiteral("cmdAllTiles"), QStringLiteral("All tiles..."), this);
    m_menuButton->host().setFixedSize(89, 22);
    m_editorButton =
        makeCommandButtonLike(QStringLiteral("frmMain"), QStringLiteral("cmdTuto"),
                              QStringLiteral("cmdEditor"), QStringLiteral("Editor..."), this);
    m_editorButton->host().setFixedSize(89, 22);
    bottom->addWidget(&m_menuButton->host());
    bottom->addWidget(&m_editorButton->host());
    outer->addLayout(bottom);
    connect(m_menuButton.get(), &Button_XP::Click, this, [this] {
        QMenu menu(this);
        menu.addAction(QStringLiteral("Export all as PNG..."), this, [this] { exportAll(true); });
        menu.addAction(QStringLiteral("Export all as DDS..."), this, [this] { exportAll(false); });
        menu.addAction(QStringLiteral("Pack all from a folder..."), this,
                       &MenuWorkspace::packAllFrom);
        menu.addSeparator();
        menu.addAction(QStringLiteral("Read the folder again"), this, &MenuWorkspace::reload);
        menu.exec(m_menuButton->host().mapToGlobal(QPoint(0, m_menuButton->host().height())));
    });
    connect(m_editorButton.get(), &Button_XP::Click, this, &MenuWorkspace::chooseEditor);

    m_previewBox = new QLineEdit(this);
    m_previewBox->hide();

    // Sized for the screen it opens on, as large as the tiles want and no larger.
    const QScreen* screen = QGuiApplication::primaryScreen();
    const QRect available = screen ? screen->availableGeometry() : QRect(0, 0, 1024, 768);
    resize(std::min(available.width() - 40, 1040), std::min(available.height() - 60, 680));
    move(available.center() - rect().center());
}

void MenuWorkspace::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    QLinearGradient gradient(0, 0, 0, height());
    gradient.setColorAt(0, QColor(0x16, 0x26, 0x3f));
    gradient.setColorAt(1, QColor(0x0f, 0x3a, 0x3f));
    painter.fillRect(rect(), gradient);
}

void MenuWorkspace::showEvent(QShowEvent* event) {
    QWidget::showEvent(event);
    if (m_focusGiven)
        return;
    m_focusGiven = true;
    tile(0).setFocus(Qt::OtherFocusReason);
    bool any = false;
    for (const auto& entry : m_book->entries)
        any = any || !entry.files.empty();
    if (!any)
        QTimer::singleShot(0, this, &MenuWorkspace::offerAnotherFolder);
}

QString MenuWorkspace::status() const {
    return m_status->text();
}

void MenuWorkspace::offerAnotherFolder() {
    const QString text =
        m_folderGone
            ? QStringLiteral("The folder \"%1\" was moved away or removed: its tiles can no "
                             "longer be read or written.\nChoose the menu's folder again?")
                  .arg(m_folder)
            : QStringLiteral("No game file of the menu is in \"%1\": Velmora looks for the files "
                             "whose record names one of the 13 tiles.\nChoose another folder?")
                  .arg(m_folder);
    if (!m_context.messages->ask(text, this))
        return;
    const auto chosen =
        m_context.dialogs->chooseFolder(QStringLiteral("Choose the menu's folder"), this, m_folder);
    if (!chosen)
        return;
    m_folder = QFileInfo(*chosen).absoluteFilePath();
    m_watch.reset();
    reload();
    bool any = false;
    for (const auto& entry : m_book->entries)
        any = any || !entry.files.empty();
    if (!any)
        QTimer::singleShot(0, this, &MenuWorkspace::offerAnotherFolder);
}

std::optional<fs::path> MenuWorkspace::gameFileOf(int position) const {
    std::lock_guard lock(m_book->mutex);
    const auto& files = m_book->entries.at(static_cast<std::size_t>(position)).files;
    if (files.size() != 1)
        return std::nullopt;
    return files.front().path;
}

fs::path MenuWorkspace::editPictureOf(int position) const {
    return editFolder() / (textureStem(position) + ".png");
}

TileState MenuWorkspace::restingState(int position) const {
    const auto gameFile = gameFileOf(position);
    if (!gameFile)
        return TileState::Missing;
    const fs::path kept = originalPath(originalsFolder(), textureStem(position) + ".tex");
    std::error_code error;
    if (!fs::exists(kept, error) || sameBytes(kept, *gameFile))
        return TileState::Original;
    return TileState::Edited;
}

void MenuWorkspace::reload() {
    setWindowTitle(QStringLiteral("Velmora - Menu: %1").arg(QFileInfo(m_folder).fileName()));
    m_title->setText(QStringLiteral("Menu: %1").arg(QDir::toNativeSeparators(m_folder)));
    m_dataFolder = menuDataFolder(pathOf(m_folder));
    const bool wasGone = m_folderGone;
    m_folderGone = !QFileInfo(m_folder).isDir();
    auto scan = scanMenuFolder(pathOf(m_folder));
    {
        std::lock_guard lock(m_book->mutex);
        m_book->originals = originalsFolder();
    }
    if (wasGone && !m_folderGone)
        m_status->clear();
    if (m_folderGone) {
        m_status->setText(QStringLiteral("The folder \"%1\" was moved away or removed: its tiles "
                                         "can no longer be read or written.")
                              .arg(m_folder));
        scan = MenuScan{};
    } else if (!scan) {
        m_status->setText(QStringLiteral("\"%1\" cannot be read: %2.")
                              .arg(m_folder, QString::fromStdString(scan.error().reason)));
        scan = MenuScan{};
    }
    std::vector<int> changed;
    {
        std::lock_guard lock(m_book->mutex);
        for (int position = 0; position < kTileCount; ++position) {
            auto& entry = m_book->entries.at(static_cast<std::size_t>(position));
            auto& found = scan->tiles.at(static_cast<std::size_t>(position));
            const bool same = entry.files.size() == found.size() && found.size() == 1 &&
                              entry.files.front().path == found.front().path &&
                              stampOf(found.front().path) == entry.known;
            if (same && !tile(position).thumbnail().isNull())
                continue;
            entry.files = std::move(found);
            entry.known = entry.files.size() == 1 ? stampOf(entry.files.front().path) : FileStamp{};
            changed.push_back(position);
        }
    }
    for (const int position : changed) {
        std::vector<TileFile> files;
        {
            std::lock_guard lock(m_book->mutex);
            files = m_book->entries.at(static_cast<std::size_t>(position)).files;
        }
        if (files.size() > 1) {
            QStringList names;
            for (const TileFile& file : files)
                names << QString::fromStdU16String(file.path.filename().u16string());
            tile(position).setState(TileState::Conflict,
                                    names.join(QStringLiteral(", ")) +
                                        QStringLiteral(" hold this tile; neither is written"));
            ++m_thumbnailRead.at(static_cast<std::size_t>(position));
            tile(position).setThumbnail({});
        } else if (files.empty()) {
            tile(position).setState(TileState::Missing);
            ++m_thumbnailRead.at(static_cast<std::size_t>(position));
            tile(position).setThumbnail({});
        } else {
            tile(position).setState(restingState(position));
            readThumbnail(position);
        }
        emit tileChanged(position);
    }
    // Every game file and the folder itself, so that a change by another program is seen.
    if (!m_folderWatcher->files().isEmpty())
        m_folderWatcher->removePaths(m_folderWatcher->files());
    if (!m_folderWatcher->directories().isEmpty())
        m_folderWatcher->removePaths(m_folderWatcher->directories());
    if (!m_folderGone)
        m_folderWatcher->addPath(m_folder);
    if (const QString parent = QFileInfo(m_folder).absolutePath(); QFileInfo(parent).isDir())
        m_folderWatcher->addPath(parent);
    for (int position = 0; position < kTileCount; ++position)
        if (const auto file = gameFileOf(position))
            m_folderWatcher->addPath(shown(*file));
    if (scan->gameFiles > 0 && !folderWritable(pathOf(m_folder)))
        m_status->setText(QStringLiteral("This folder is read-only: the tiles can be looked at "
                                         "and exported, not edited."));
    // A damaged game file would otherwise leave its tile "missing" with no word of why.
    if (m_status->text() == m_unreadableNote)
        m_status->clear();
    m_unreadableNote.clear();
    if (!scan->unreadable.empty()) {
        QStringList named;
        for (const auto& [file, reason] : scan->unreadable)
            named << QStringLiteral("%1 (%2)").arg(
                QString::fromStdU16String(file.filename().u16string()),
                QString::fromStdString(reason));
        m_unreadableNote = QStringLiteral("Damaged game files, whose tiles cannot be told: %1.")
                               .arg(named.join(QStringLiteral("; ")));
        m_status->setText(m_unreadableNote);
    }
    if (!m_watch)
        startWatch();
}

void MenuWorkspace::readThumbnail(int position) {
    const auto gameFile = gameFileOf(position);
    if (!gameFile)
        return;
    ++m_thumbnailsPending;
    const std::uint64_t read = ++m_thumbnailRead.at(static_cast<std::size_t>(position));
    auto pictures = m_pictures;
    const fs::path path = *gameFile;
    QtConcurrent::run([pictures, path] {
        return thumbnailOf(path, *pictures);
    }).then(this, [this, position, read](const QImage& image) {
        --m_thumbnailsPending;
        if (read != m_thumbnailRead.at(static_cast<std::size_t>(position)))
            return;
        tile(position).setThumbnail(image);
        emit tileChanged(position);
    });
}

void MenuWorkspace::folderChanged() {
    bool busy = false;
    {
        std::lock_guard lock(m_book->mutex);
        for (const auto& entry : m_book->entries)
            busy = busy || entry.busy;
    }
    if (busy) {
        // Our own write is under way; its end says what the file holds.
        QTimer::singleShot(300, this, &MenuWorkspace::folderChanged);
        return;
    }
    QStringList changedByOthers;
    {
        std::lock_guard lock(m_book->mutex);
        for (int position = 0; position < kTileCount; ++position) {
            const auto& entry = m_book->entries.at(static_cast<std::size_t>(position));
            if (entry.files.size() == 1 && stampOf(entry.files.front().path) != entry.known)
                changedByOthers << QString::fromStdU16String(
                    entry.files.front().path.filename().u16string());
        }
    }
    const bool wasGone = m_folderGone;
    reload();
    // Asked once as the folder goes, and only of a window the user sees.
    if (m_folderGone && !wasGone && isVisible())
        QTimer::singleShot(0, this, &MenuWorkspace::offerAnotherFolder);
    if (!changedByOthers.isEmpty() && !m_folderGone)
        m_status->setText(QStringLiteral("Changed by another program, read again: %1.")
                              .arg(changedByOthers.join(QStringLiteral(", "))));
}

QString MenuWorkspace::unwritableReason(int position) const {
    const auto gameFile = gameFileOf(position);
    if (!gameFile) {
        std::lock_guard lock(m_book->mutex);
        if (m_book->entries.at(static_cast<std::size_t>(position)).files.size() > 1)
            return QStringLiteral("Two or more files in this folder hold %1: Velmora writes "
                                  "neither. Move all but one out of the folder.")
                .arg(displayName(position));
        if (m_folderGone)
            return QStringLiteral("The folder \"%1\" was moved away or removed: %2 can no "
                                  "longer be written. Open the menu where it is now.")
                .arg(m_folder, displayName(position));
        return QStringLiteral("No game file in this folder holds %1.").arg(displayName(position));
    }
    std::error_code error;
    if (!fs::exists(*gameFile, error))
        return QStringLiteral("\"%1\" is no longer there: another program moved or removed it.")
            .arg(shown(*gameFile));
    if (!folderWritable(gameFile->parent_path()) || !writable(*gameFile))
        return QStringLiteral("\"%1\" is read-only: Velmora could not pack your changes into it. "
                              "Copy the menu to a folder you may write in, and open that.")
            .arg(shown(*gameFile));
    return {};
}

QString MenuWorkspace::busyReason(const TileBook& book, int position) {
    const auto& entry = book.entries.at(static_cast<std::size_t>(position));
    if (entry.busy)
        return QStringLiteral("%1 is being packed; try again in a moment.")
            .arg(displayName(position));
    if (entry.opening)
        return QStringLiteral("%1 is being opened for editing; try again in a moment.")
            .arg(displayName(position));
    return {};
}

void MenuWorkspace::startWatch() {
#ifdef VELMORA_WORKSPACE_WATCH
    if (m_dataFolder.empty())
        return;
    std::error_code error;
    fs::create_directories(editFolder(), error);
    if (error) {
        m_status->setText(QStringLiteral("The edit folder \"%1\" cannot be made: %2.")
                              .arg(shown(editFolder()), QString::fromStdString(error.message())));
        return;
    }
    watch::WatchOptions options;
    options.folder = editFolder();
    options.dataFolder = m_context.programFolder;
    options.pictures = m_pictures.get();
    options.fit = true;
    options.packExisting = false;
    auto book = m_book;
    options.targetFor = [book](const fs::path& picture) -> conv::Result<watch::PackTarget> {
        const int position = positionOfPicture(picture);
        if (position < 0)
            return conv::fail(conv::ErrorKind::Unsupported,
                              "its name is not one of the menu's tiles");
        std::lock_guard lock(book->mutex);
        auto& entry = book->entries.at(static_cast<std::size_t>(position));
        if (entry.files.size() != 1)
            return conv::fail(conv::ErrorKind::NotFound,
                              entry.files.empty() ? "the tile has no game file in the folder"
                                                  : "two or more game files hold the tile");
        const TileFile& file = entry.files.front();
        if (stampOf(file.path) != entry.known)
            return conv::fail(conv::ErrorKind::WriteFailed,
                              "another program changed the game file; it has been read again, "
                              "save the picture once more to pack it");
        if (entry.unpackedHash != 0 && hashOfFile(picture) == entry.unpackedHash)
            return conv::fail(conv::ErrorKind::Stopped, kUnchanged);
        entry.unpackedHash = 0;
        if (auto kept = keepOriginal(file.path, book->originals, file.textureName); !kept)
            return conv::fail(conv::ErrorKind::WriteFailed,
                              "its original could not be kept: " + kept.error().reason);
        return watch::PackTarget{file.path, file.textureName,
                                 std::vector<std::uint8_t>(file.header.begin(), file.header.end())};
    };
    options.report = [this, book](const watch::WatchEvent& event) {
        // The edit folder went (a clean-up of our data folder, say): the watch has ended, and
        // saves would go unpacked unless it is made and watched again.
        if (event.gone != watch::WatchEvent::FolderGone::No) {
            QMetaObject::invokeMethod(this, &MenuWorkspace::editFolderGone, Qt::QueuedConnection);
            return;
        }
        const int position = positionOfPicture(event.picture);
        if (position < 0)
            return;
        {
            std::lock_guard lock(book->mutex);
            auto& entry = book->entries.at(static_cast<std::size_t>(position));
            entry.busy = event.kind == watch::WatchEvent::Kind::Packing;
            if (event.kind == watch::WatchEvent::Kind::Written)
                entry.known = stampOf(event.output);
        }
        QMetaObject::invokeMethod(
            this,
            [this, position, kind = static_cast<int>(event.kind), psnr = event.psnr,
             message = QString::fromStdString(event.message)] {
                watchEvent(position, kind, psnr, message);
            },
            Qt::QueuedConnection);
    };
    auto started = watch::PictureWatch::start(std::move(options));
    if (!started) {
        m_status->setText(
            QStringLiteral("Saves in \"%1\" cannot be followed: %2.")
                .arg(shown(editFolder()), QString::fromStdString(started.error().reason)));
        return;
    }
    m_watch = std::move(*started);
#endif
}

void MenuWorkspace::editFolderGone() {
    m_watch.reset();
    startWatch();
    if (m_watch)
        m_status->setText(QStringLiteral("The edit folder \"%1\" was removed or moved away; it is "
                                         "made again, and saves there are packed as before.")
                              .arg(shown(editFolder())));
}

void MenuWorkspace::watchEvent(int position, int kind, std::optional<double> psnr,
                               const QString& message) {
#ifdef VELMORA_WORKSPACE_WATCH
    using Kind = watch::WatchEvent::Kind;
    switch (static_cast<Kind>(kind)) {
    case Kind::Packing:
        tile(position).setState(TileState::Packing);
        break;
    case Kind::Written:
        if (psnr)
            tile(position).setState(TileState::Fitted,
                                    QStringLiteral("PSNR %1 dB").arg(*psnr, 0, 'f', 1));
        else
            tile(position).setState(TileState::Edited);
        readThumbnail(position);
        break;
    case Kind::Refused:
        if (message.contains(QLatin1String(kUnchanged)))
            tile(position).setState(restingState(position));
        else
            tile(position).setState(TileState::Refused, message);
        break;
    }
    emit tileChanged(position);
#else
    (void)position;
    (void)kind;
    (void)psnr;
    (void)message;
#endif
}

void MenuWorkspace::moveFocus(int from, int key) {
    int to = from;
    if (key == Qt::Key_Left)
        to = from - 1;
    else if (key == Qt::Key_Right)
        to = from + 1;
    else if (key == Qt::Key_Up)
        to = from == 12 ? 8 : from - 4;
    else if (key == Qt::Key_Down)
        to = from >= 8 ? 12 : from + 4;
    if (to >= 0 && to < kTileCount)
        tile(to).setFocus(Qt::TabFocusReason);
}

void MenuWorkspace::showTileMenu(int position, const QPoint& global) {
    QMenu menu(this);
    menu.addAction(QStringLiteral("Edit"), this, [this, position] { edit(position); });
    menu.addAction(QStringLiteral("Replace with a picture..."), this,
                   [this, position] { browseReplace(position); });
    QAction* restore = menu.addAction(QStringLiteral("Restore original"), this,
                                      [this, position] { restoreOriginal(position); });
    std::error_code error;
    restore->setEnabled(
        gameFileOf(position).has_value() &&
        fs::exists(originalPath(originalsFolder(), textureStem(position) + ".tex"), error));
    menu.addAction(QStringLiteral("Preview"), this, [this, position] { preview(position); });
    menu.exec(global);
}

QString MenuWorkspace::configuredEditor() const {
    const fs::path settingsFile = conv::userConfigPath("velmora.conf");
    if (settingsFile.empty())
        return {};
    QSettings settings(shown(settingsFile), QSettings::IniFormat);
    return settings.value(QStringLiteral("workspace/editor")).toString();
}

void MenuWorkspace::chooseEditor() {
    FileDialogRequest request;
    request.kind = FileDialogKind::Open;
    request.title = QStringLiteral("Choose the program that edits the tiles");
    request.flags = DialogFlags::FileMustExist;
    request.folder = QStringLiteral("/usr/bin");
    const auto chosen = m_context.dialogs->run(request, this);
    if (!chosen)
        return;
    const fs::path settingsFile = conv::userConfigPath("velmora.conf");
    if (settingsFile.empty()) {
        m_context.messages->show(QStringLiteral("Velmora cannot remember the editor: neither "
                                                "XDG_CONFIG_HOME nor HOME is set."),
                                 this);
        return;
    }
    QSettings settings(shown(settingsFile), QSettings::IniFormat);
    // Quoted, so that a path with blanks or quotes stays one program.
    settings.setValue(QStringLiteral("workspace/editor"), shellQuoted(*chosen));
    settings.sync();
    m_status->setText(QStringLiteral("Tiles open in %1 from now on.").arg(*chosen));
}

bool MenuWorkspace::startEditor(const QString& picture) {
    QString command = qEnvironmentVariable("VELMORA_EDITOR");
    QString from = QStringLiteral("VELMORA_EDITOR");
    if (command.trimmed().isEmpty()) {
        command = configuredEditor();
        from = QStringLiteral("the editor chosen with Editor...");
    }
    const QString howToChoose =
        QStringLiteral("Choose one with the Editor... button, or set VELMORA_EDITOR to its "
                       "command (for example \"gimp\").");
    if (!command.trimmed().isEmpty()) {
        QStringList arguments = shellWords(command);
        const QString program = arguments.isEmpty() ? QString() : arguments.takeFirst();
        arguments << picture;
        if (program.isEmpty() || !QProcess::startDetached(program, arguments)) {
            m_context.messages->show(
                QStringLiteral("The editor \"%1\" (%2) cannot be started. %3")
                    .arg(program.isEmpty() ? command : program, from, howToChoose),
                this);
            return false;
        }
        return true;
    }
    m_context.shell->ShellOpenWatched(picture, this, [this, howToChoose](bool opened) {
        if (!opened)
            m_context.messages->show(
                QStringLiteral("No program opens PNG pictures on this desktop. %1")
                    .arg(howToChoose),
                this);
    });
    return true;
}

void MenuWorkspace::edit(int position) {
    if (const QString reason = unwritableReason(position); !reason.isEmpty()) {
        m_context.messages->show(reason, this);
        return;
    }
    if (m_dataFolder.empty()) {
        m_context.messages->show(QStringLiteral("Velmora has no folder for your edits: neither "
                                                "XDG_DATA_HOME nor HOME is set."),
                                 this);
        return;
    }
    const fs::path gameFile = *gameFileOf(position);
    bool changedElsewhere = false;
    {
        std::lock_guard lock(m_book->mutex);
        changedElsewhere =
            stampOf(gameFile) != m_book->entries.at(static_cast<std::size_t>(position)).known;
    }
    if (changedElsewhere)
        folderChanged();
    std::error_code error;
    fs::create_directories(editFolder(), error);
    if (error) {
        m_context.messages->show(
            QStringLiteral("The edit folder \"%1\" cannot be made: %2.")
                .arg(shown(editFolder()), QString::fromStdString(error.message())),
            this);
        return;
    }
    if (!m_watch)
        startWatch();
    const fs::path picture = editPictureOf(position);
    // A picture left from an earlier session holds the user's work: it is opened as it is.
    const bool present = fs::exists(picture, error);
    {
        std::lock_guard lock(m_book->mutex);
        auto& entry = m_book->entries.at(static_cast<std::size_t>(position));
        // A second Edit while the first still unpacks waits for the editor the first opens.
        if (entry.opening)
            return;
        entry.opening = !present;
    }
    const TileState before = tile(position).state();
    const QString beforeDetail = tile(position).detail();
    if (present) {
        editUnpacked(position, {}, before, beforeDetail);
        return;
    }
    tile(position).setState(TileState::Opening);
    emit tileChanged(position);
    auto book = m_book;
    auto pictures = m_pictures;
    auto closing = m_closing;
    auto& unpack = m_unpacks.at(static_cast<std::size_t>(position));
    unpack = QtConcurrent::run(
        [book, pictures, closing, gameFile, picture, position]() -> conv::Result<> {
            // Unpacked aside and only then put in the edit folder, its bytes known by then: the
            // watch sees it arrive and must take it for the unchanged tile it is.
            auto aside = conv::PrivateWorkFolder::create("menu-edit");
            if (!aside)
                return conv::fail(aside.error());
            const fs::path unpacked = aside->path() / "tile.png";
            if (auto result = unpackTile(gameFile, unpacked, *pictures); !result)
                return result;
            const std::uint64_t hash = hashOfFile(unpacked);
            {
                std::lock_guard lock(book->mutex);
                book->entries.at(static_cast<std::size_t>(position)).unpackedHash = hash;
            }
            // A window closed meanwhile starts no editor, so it leaves no picture either.
            return conv::copyFileAtomically(
                unpacked, picture, UINT64_MAX, [closing](const fs::path&) -> conv::Result<> {
                    if (*closing)
                        return conv::fail(conv::ErrorKind::Stopped, "the window was closed");
                    return {};
                });
        });
    unpack.then(this, [this, position, before, beforeDetail](const conv::Result<>& result) {
        {
            std::lock_guard lock(m_book->mutex);
            m_book->entries.at(static_cast<std::size_t>(position)).opening = false;
        }
        editUnpacked(position, result, before, beforeDetail);
    });
}

void MenuWorkspace::editUnpacked(int position, const conv::Result<>& unpacked, TileState before,
                                 const QString& beforeDetail) {
    // Back to what the tile showed, unless something else has told its state meanwhile.
    if (tile(position).state() == TileState::Opening) {
        tile(position).setState(before, beforeDetail);
        emit tileChanged(position);
    }
    if (!unpacked) {
        m_context.messages->show(
            QStringLiteral("%1 cannot be unpacked for editing: %2")
                .arg(displayName(position), QString::fromStdString(unpacked.error().reason)),
            this);
        return;
    }
    const auto gameFile = gameFileOf(position);
    const fs::path picture = editPictureOf(position);
    if (startEditor(shown(picture)))
        m_status->setText(QStringLiteral("Editing %1: every save of %2 is packed into %3.")
                              .arg(displayName(position), shown(picture.filename()),
                                   gameFile ? shown(gameFile->filename()) : QString()));
}

void MenuWorkspace::browseReplace(int position) {
    FileDialogRequest request;
    request.kind = FileDialogKind::Open;
    request.title = QStringLiteral("Replace %1 with a picture").arg(displayName(position));
    request.filter = QStringLiteral("Pictures|*.png;*.dds;*.tga;*.bmp;*.jpg;*.jpeg;*.tif;*.tiff;*."
                                    "webp|All files|*");
    request.flags = DialogFlags::FileMustExist;
    if (const auto chosen = m_context.dialogs->run(request, this))
        replace(position, *chosen);
}

void MenuWorkspace::replace(int position, const QString& picturePath) {
    if (const QString reason = unwritableReason(position); !reason.isEmpty()) {
        m_context.messages->show(reason, this);
        return;
    }
    TileFile file;
    {
        std::lock_guard lock(m_book->mutex);
        auto& entry = m_book->entries.at(static_cast<std::size_t>(position));
        if (const QString reason = busyReason(*m_book, position); !reason.isEmpty()) {
            m_context.messages->show(reason, this);
            return;
        }
        if (stampOf(entry.files.front().path) != entry.known) {
            m_context.messages->show(
                QStringLiteral("Another program changed the game file of %1: it has been read "
                               "again. Drop the picture once more to replace it.")
                    .arg(displayName(position)),
                this);
            QTimer::singleShot(0, this, &MenuWorkspace::folderChanged);
            return;
        }
        file = entry.files.front();
        if (auto kept = keepOriginal(file.path, m_book->originals, file.textureName); !kept) {
            m_context.messages->show(
                QStringLiteral("The original of %1 cannot be kept, so it is "
                               "left as it is: %2")
                    .arg(displayName(position), QString::fromStdString(kept.error().reason)),
                this);
            return;
        }
        entry.busy = true;
    }
    tile(position).setState(TileState::Packing);
    const auto run = [this, position, file, picture = pathOf(picturePath)](bool fit) {
        auto pictures = m_pictures;
        return QtConcurrent::run([pictures, picture, file, fit] {
            return packTile(picture, file.path, file.textureName, file.header, fit, *pictures);
        });
    };
    const auto finish = [this, position, file](const conv::Result<PackedTile>& result) {
        {
            std::lock_guard lock(m_book->mutex);
            auto& entry = m_book->entries.at(static_cast<std::size_t>(position));
            entry.busy = false;
            entry.known = stampOf(file.path);
        }
        if (!result) {
            tile(position).setState(TileState::Refused,
                                    QString::fromStdString(result.error().reason));
            m_context.messages->show(
                QStringLiteral("%1 was left as it was: %2")
                    .arg(displayName(position), QString::fromStdString(result.error().reason)),
                this);
        } else if (result->fittedPsnr) {
            tile(position).setState(
                TileState::Fitted,
                QStringLiteral("PSNR %1 dB").arg(*result->fittedPsnr, 0, 'f', 1));
        } else {
            tile(position).setState(TileState::Edited);
        }
        readThumbnail(position);
        emit tileChanged(position);
    };
    run(false).then(this, [this, position, run, finish](const conv::Result<PackedTile>& first) {
        if (first || first.error().kind != conv::ErrorKind::DoesNotFit) {
            finish(first);
            return;
        }
        const bool fit = m_context.messages->ask(
            QStringLiteral("The picture has more detail than a game file holds. Pack it into %1 "
                           "with its colour precision reduced just enough to fit?")
                .arg(displayName(position)),
            this);
        if (!fit) {
            finish(conv::Result<PackedTile>(conv::fail(first.error())));
            return;
        }
        run(true).then(this, finish);
    });
}

void MenuWorkspace::restoreOriginal(int position) {
    if (const QString reason = unwritableReason(position); !reason.isEmpty()) {
        m_context.messages->show(reason, this);
        return;
    }
    const fs::path gameFile = *gameFileOf(position);
    const fs::path kept = originalPath(originalsFolder(), textureStem(position) + ".tex");
    std::error_code error;
    if (!fs::exists(kept, error)) {
        m_context.messages->show(QStringLiteral("%1 is as it came: Velmora has not written its "
                                                "game file.")
                                     .arg(displayName(position)),
                                 this);
        return;
    }
    {
        std::lock_guard lock(m_book->mutex);
        auto& entry = m_book->entries.at(static_cast<std::size_t>(position));
        if (const QString reason = busyReason(*m_book, position); !reason.isEmpty()) {
            m_context.messages->show(reason, this);
            return;
        }
        if (auto copied = conv::copyFileAtomically(kept, gameFile); !copied) {
            m_context.messages->show(
                QStringLiteral("The original of %1 cannot be put back: %2")
                    .arg(displayName(position), QString::fromStdString(copied.error().reason)),
                this);
            return;
        }
        entry.known = stampOf(gameFile);
        entry.unpackedHash = 0;
    }
    // The edit picture is ours and now stale: the next Edit unpacks the original again.
    fs::remove(editPictureOf(position), error);
    tile(position).setState(TileState::Original);
    readThumbnail(position);
    emit tileChanged(position);
}

void MenuWorkspace::preview(int position) {
    const auto gameFile = gameFileOf(position);
    if (!gameFile) {
        m_context.messages->show(unwritableReason(position), this);
        return;
    }
    if (!m_preview) {
        m_preview = new PreviewWindow(nullptr);
        m_preview->setAttribute(Qt::WA_QuitOnClose, false);
        m_preview->setWindowIcon(windowIcon());
        m_preview->placeBeside(*this);
    }
    m_previewBox->setText(shown(*gameFile));
    m_preview->follow(m_previewBox, [](const QString& text) { return text; });
    m_preview->show();
    m_preview->raise();
}

void MenuWorkspace::exportAll(bool png) {
    const auto chosen =
        m_context.dialogs->chooseFolder(png ? QStringLiteral("Export every tile as PNG to")
                                            : QStringLiteral("Export every tile as DDS to"),
                                        this);
    if (!chosen)
        return;
    const fs::path target = pathOf(*chosen);
    struct Job {
        int position;
        fs::path gameFile;
        fs::path output;
    };
    std::vector<Job> jobs;
    int existing = 0;
    for (int position = 0; position < kTileCount; ++position) {
        if (const auto file = gameFileOf(position)) {
            Job job{position, *file, target / (textureStem(position) + (png ? ".png" : ".dds"))};
            std::error_code error;
            existing += fs::exists(job.output, error) ? 1 : 0;
            jobs.push_back(std::move(job));
        }
    }
    if (existing > 0 &&
        !m_context.messages->ask(
            QStringLiteral("%1 of the pictures are in \"%2\" already. Replace them?")
                .arg(existing)
                .arg(*chosen),
            this))
        return;
    const auto stop = std::make_shared<std::atomic<bool>>(false);
    auto* progress = stoppableProgress(QStringLiteral("Exporting the tiles..."),
                                       static_cast<int>(jobs.size()), stop);
    auto pictures = m_pictures;
    QPointer<QProgressDialog> shownProgress(progress);
    QtConcurrent::run([jobs, pictures, stop, shownProgress] {
        QStringList failures;
        int done = 0;
        for (const Job& job : jobs) {
            if (*stop)
                break;
            if (auto result = unpackTile(job.gameFile, job.output, *pictures); !result)
                failures << QStringLiteral("%1: %2").arg(
                    displayName(job.position), QString::fromStdString(result.error().reason));
            ++done;
            // Told through the application, which outlives the window: the progress is looked
            // at on the window's thread only, where it may be gone once the window is closed.
            QMetaObject::invokeMethod(
                QCoreApplication::instance(),
                [shownProgress, done] {
                    if (shownProgress)
                        shownProgress->setValue(done);
                },
                Qt::QueuedConnection);
        }
        return std::make_pair(done - static_cast<int>(failures.size()), failures);
    }).then(this, [this, progress, chosen](const std::pair<int, QStringList>& result) {
        progress->deleteLater();
        QString text =
            QStringLiteral("%1 tiles exported to \"%2\".").arg(result.first).arg(*chosen);
        if (!result.second.isEmpty())
            text += QStringLiteral("\nNot exported:\n") + result.second.join(QLatin1Char('\n'));
        m_context.messages->show(text, this);
    });
}

void MenuWorkspace::packAllFrom() {
    const auto chosen = m_context.dialogs->chooseFolder(
        QStringLiteral("Pack every tile from the pictures in"), this);
    if (!chosen)
        return;
    struct Job {
        int position;
        fs::path picture;
        TileFile file;
    };
    std::vector<Job> jobs;
    QStringList skipped;
    std::array<bool, kTileCount> taken{};
    const QFileInfoList entries = QDir(*chosen).entryInfoList(QDir::Files, QDir::Name);
    for (const QFileInfo& entry : entries) {
        const int position = positionForPictureName(entry.completeBaseName());
        if (position < 0 || taken.at(static_cast<std::size_t>(position)))
            continue;
        if (const QString reason = unwritableReason(position); !reason.isEmpty()) {
            skipped << reason;
            continue;
        }
        std::lock_guard lock(m_book->mutex);
        auto& book = m_book->entries.at(static_cast<std::size_t>(position));
        if (book.busy || stampOf(book.files.front().path) != book.known) {
            skipped << QStringLiteral("%1: its game file is being written or was changed by "
                                      "another program")
                           .arg(displayName(position));
            continue;
        }
        taken.at(static_cast<std::size_t>(position)) = true;
        jobs.push_back({position, pathOf(entry.absoluteFilePath()), book.files.front()});
    }
    if (jobs.empty()) {
        m_context.messages->show(
            QStringLiteral("No picture in \"%1\" is named after a tile (its texture name, such "
                           "as topModeSelect_Mov03_ML.png, or its mode, such as "
                           "master-league.png).%2")
                .arg(*chosen,
                     skipped.isEmpty() ? QString() : QStringLiteral("\n") + skipped.join('\n')),
            this);
        return;
    }
    const bool fit = m_context.messages->ask(
        QStringLiteral("Pack %1 pictures into the menu. Fit the pictures that have more detail "
                       "than a game file holds (colour precision reduced just enough), rather "
                       "than leave their tiles as they are?")
            .arg(jobs.size()),
        this);
    {
        std::lock_guard lock(m_book->mutex);
        std::vector<Job> kept;
        for (Job& job : jobs) {
            // Never written without its original: Restore could not give it back.
            if (auto original =
                    keepOriginal(job.file.path, m_book->originals, job.file.textureName);
                !original) {
                skipped << QStringLiteral("%1: its original cannot be kept, so it is left as it "
                                          "is: %2")
                               .arg(displayName(job.position),
                                    QString::fromStdString(original.error().reason));
                continue;
            }
            m_book->entries.at(static_cast<std::size_t>(job.position)).busy = true;
            kept.push_back(std::move(job));
        }
        jobs = std::move(kept);
    }
    for (const Job& job : jobs)
        tile(job.position).setState(TileState::Packing);
    const auto stop = std::make_shared<std::atomic<bool>>(false);
    auto* progress = stoppableProgress(QStringLiteral("Packing the tiles..."),
                                       static_cast<int>(jobs.size()), stop);
    auto pictures = m_pictures;
    QPointer<QProgressDialog> shownProgress(progress);
    using Outcomes = std::vector<std::pair<int, conv::Result<PackedTile>>>;
    QtConcurrent::run([jobs, pictures, stop, fit, shownProgress] {
        Outcomes outcomes;
        for (const Job& job : jobs) {
            if (*stop) {
                outcomes.emplace_back(job.position,
                                      conv::fail(conv::ErrorKind::Stopped, "cancelled"));
                continue;
            }
            outcomes.emplace_back(job.position,
                                  packTile(job.picture, job.file.path, job.file.textureName,
                                           job.file.header, fit, *pictures));
            QMetaObject::invokeMethod(
                QCoreApplication::instance(),
                [shownProgress, done = static_cast<int>(outcomes.size())] {
                    if (shownProgress)
                        shownProgress->setValue(done);
                },
                Qt::QueuedConnection);
        }
        return outcomes;
    }).then(this, [this, progress, skipped](const Outcomes& outcomes) {
        progress->deleteLater();
        QStringList failures = skipped;
        int written = 0;
        for (const auto& [position, result] : outcomes) {
            {
                std::lock_guard lock(m_book->mutex);
                auto& entry = m_book->entries.at(static_cast<std::size_t>(position));
                entry.busy = false;
                if (entry.files.size() == 1)
                    entry.known = stampOf(entry.files.front().path);
            }
            if (result) {
                ++written;
                if (result->fittedPsnr)
                    tile(position).setState(
                        TileState::Fitted,
                        QStringLiteral("PSNR %1 dB").arg(*result->fittedPsnr, 0, 'f', 1));
                else
                    tile(position).setState(TileState::Edited);
                readThumbnail(position);
            } else {
                tile(position).setState(restingState(position));
                failures << QStringLiteral("%1: %2").arg(
                    displayName(position), QString::fromStdString(result.error().reason));
            }
            emit tileChanged(position);
        }
        QString text = QStringLiteral("%1 tiles packed.").arg(written);
        if (!failures.isEmpty())
            text += QStringLiteral("\nNot packed:\n") + failures.join(QLatin1Char('\n'));
        m_context.messages->show(text, this);
    });
}

} // namespace velmora::workspace
