#include "windows/frmMain.h"

#include "base/Formatting.h"
#include "base/GameFileLayout.h"
#include "button_xp/Button_XP.h"
#include "catalogue/MenuAnimationCatalogue.h"
#include "gamefile/GameFileInspection.h"
#include "io/FileIo.h"
#include "platform/FileDialogService.h"
#include "platform/MessageBoxService.h"
#include "velmora/Version.h"
#include "windows/BusyWork.h"
#include "windows/CommandButtons.h"
#include "windows/ScreenPlacement.h"
#include "windows/WindowLook.h"
#include "windows/XpFrame.h"
#include "windows/ZlibTool.h"
#include "windows/clsTrans.h"
#include "windows/frmhelp.h"
#include "workflows/WorkFiles.h"
#include "workflows/Workflows.h"

#include <QApplication>
#include <QDir>
#include <QFileInfo>
#include <QImage>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPainter>
#include <QSettings>

#include <atomic>

namespace velmora {

namespace {

// Open and save flags of the system dialog: long names plus "must exist", or plus "ask
// before overwriting". A new name is what a save is for, so it is taken without a question.
constexpr std::uint32_t kOpenFlags = DialogFlags::LongNames | DialogFlags::FileMustExist;
constexpr std::uint32_t kSaveFlags = DialogFlags::LongNames | DialogFlags::OverwritePrompt;

std::string utf8(const QString& text) {
    return text.toStdString();
}

std::filesystem::path pathOf(const QString& text) {
    return std::filesystem::path(text.toStdU16String());
}

// The second line of Pack's closing message when the game file got the placeholder header.
std::string placeholderNotice() {
    return "Packed with Velmora's placeholder texture header (\"WE00\" and zeros), which the game "
           "may not take: unpack one of your game files in this window before packing, or "
           "install its header once with 'velmora-cli header YOUR_GAME_FILE'.";
}

// What the fit's PSNR means to the eye, for the question that quotes it.
QString psnrInWords(double psnr) {
    if (psnr >= 45)
        return QStringLiteral("differences too small to see");
    if (psnr >= 38)
        return QStringLiteral("differences visible only side by side with the original");
    return QStringLiteral("differences visible");
}

// The fitted image block (DDS header, then 1024 x 1024 B8G8R8A8 rows) as a picture.
QImage fittedPicture(const conversion::FitResult& fitted) {
    constexpr int side = 1024;
    constexpr std::size_t headerSize = 128;
    if (fitted.block.size() != headerSize + std::size_t{side} * side * 4)
        return {};
    // B, G, R, A bytes are ARGB32 words on a little-endian machine.
    QImage image(side, side, QImage::Format_ARGB32);
    const std::uint8_t* pixel = fitted.block.data() + headerSize;
    for (int y = 0; y < side; ++y) {
        auto* line = reinterpret_cast<QRgb*>(image.scanLine(y));
        for (int x = 0; x < side; ++x, pixel += 4)
            line[x] = qRgba(pixel[2], pixel[1], pixel[0], pixel[3]);
    }
    return image;
}

// The name an output dialog suggests: the input's name with the output's extension, in the
// input's folder; nothing when that would be the input itself.
QString suggestedOutput(const QString& input, const QString& extension) {
    if (input.isEmpty())
        return {};
    const QFileInfo file(input);
    const QString suggested = file.absolutePath() + QLatin1Char('/') + file.completeBaseName() +
                              QLatin1Char('.') + extension;
    return QFileInfo(suggested) == file ? QString() : suggested;
}

} // namespace

frmMain::frmMain(const AppContext& context, QWidget* parent)
    : QWidget(parent, Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                          Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint),
      m_context(context), m_CD(*context.dialogs, this), m_userFolder(QDir::homePath()) {
    if (auto work = conversion::PrivateWorkFolder::create("window")) {
        m_work.emplace(std::move(*work));
    } else {
        m_workProblem = work.error().reason;
    }
    setObjectName(QStringLiteral("frmMain"));
    setWindowTitle(QStringLiteral("Velmora v." VELMORA_VERSION));
    setWindowIcon(applicationIcon(m_context.resourcesFolder));
    // 11700 × 5190 twips of client area at 15 twips per pixel.
    setFixedSize(780, 346);
    m_background = windowPicture(m_context.resourcesFolder + QStringLiteral("/background.png"),
                                 devicePixelRatioF());
    buildControls();
    acceptFileDrops();
    centreOnScreen();
    // Unpack needs both of its boxes, however they were filled: Browse, typing, pasting, a
    // drop or `velmora FILE`.
    for (const int box : {2, 3})
        connect(m_txt[static_cast<std::size_t>(box)], &QLineEdit::textChanged, this,
                &frmMain::updateUnpackEnabled);
    updateUnpackEnabled();
}

void frmMain::updateUnpackEnabled() {
    const auto names = [](const QLineEdit* box) { return !box->text().trimmed().isEmpty(); };
    m_cmdWypakuj->setEnabled(names(m_txt[2]) && names(m_txt[3]));
}

frmMain::~frmMain() {
    if (m_help) {
        delete m_help.data();
    }
    if (m_preview) {
        delete m_preview.data();
    }
}

void frmMain::buildControls() {
    // Unpack side, upper left.
    XpFrame* unpack = addFrame(QStringLiteral("Unpack"), this, {8, 6, 372, 196});
    XpFrame* openBin = addFrame(QStringLiteral("Open Bin"), unpack, {10, 22, 352, 54});
    m_txt[2] = addPathBox(openBin, {10, 23, 282, 20});
    m_btnBF =
        addButton(QStringLiteral("btnBF"), QStringLiteral("Browse"), openBin, {300, 24, 41, 17});
    XpFrame* saveDds = addFrame(QStringLiteral("Save DDS"), unpack, {10, 82, 352, 54});
    m_txt[3] = addPathBox(saveDds, {10, 23, 282, 20});
    m_btnCF =
        addButton(QStringLiteral("btnCF"), QStringLiteral("Browse"), saveDds, {300, 24, 41, 17});
    m_cmdWypakuj = addButton(QStringLiteral("cmdWypakuj"), QStringLiteral("Unpack"), unpack,
                             {141, 152, 89, 25});

    // Pack side, upper right.
    XpFrame* pack = addFrame(QStringLiteral("Pack"), this, {388, 6, 384, 264});
    XpFrame* openDds = addFrame(QStringLiteral("Open DDS"), pack, {10, 22, 214, 54});
    m_txt[0] = addPathBox(openDds, {10, 23, 150, 20});
    m_btnDF =
        addButton(QStringLiteral("btnDF"), QStringLiteral("Browse"), openDds, {164, 24, 41, 17});
    XpFrame* saveBin = addFrame(QStringLiteral("Save Bin"), pack, {10, 82, 214, 54});
    m_txt[1] = addPathBox(saveBin, {10, 23, 150, 20});
    m_btnAF =
        addButton(QStringLiteral("btnAF"), QStringLiteral("Browse"), saveBin, {164, 24, 41, 17});
    m_cmdSpakuj =
        addButton(QStringLiteral("cmdSpakuj"), QStringLiteral("Pack"), pack, {10, 156, 105, 25});
    XpFrame* length = addFrame(QStringLiteral("Lenght"), pack, {122, 142, 102, 48});
    m_Text1 = addPathBox(length, {8, 20, 86, 20});
    length->setEnabled(false);
    XpFrame* modes = addFrame(QStringLiteral("Trybe"), pack, {232, 22, 144, 234});
    m_List1 = new QListWidget(modes);
    m_List1->setGeometry(8, 20, 128, 206);
    m_List1->setSortingEnabled(false);
    m_List1->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    // The longest mode name is wider than the list: wrap it rather than cut it short.
    m_List1->setWordWrap(true);
    m_List1->setTextElideMode(Qt::ElideNone);
    m_List1->setPalette(textBoxPalette());
    m_List1->setFont(controlFont());
    m_Label1 = new QLabel(QStringLiteral("Label1"), pack);
    m_Label1->setGeometry(10, 200, 214, 16);
    m_Label1->hide();
    m_Label2 = new QLabel(QStringLiteral("Label2"), pack);
    m_Label2->setGeometry(10, 220, 214, 16);
    m_Label2->hide();
    m_ZlibTool1 = new ZlibTool(this);
    for (QLineEdit* box : m_txt) {
        offerPreview(box);
    }

    // Help, below the Unpack side.
    XpFrame* help = addFrame(QStringLiteral("Help"), this, {8, 208, 372, 62});
    m_cmdTuto =
        addButton(QStringLiteral("cmdTuto"), QStringLiteral(">>>Help<<<"), help, {141, 28, 89, 18});
    // A whole menu at once: beside Help, in the same look.
    m_cmdMenu = makeCommandButtonLike(QStringLiteral("frmMain"), QStringLiteral("cmdTuto"),
                                      QStringLiteral("cmdMenu"), QStringLiteral("Menu..."), help);
    m_cmdMenu->host().move(262, 28);
    m_cmdMenu->host().setVisible(static_cast<bool>(m_context.openMenu));

    // Decoration, lower left; credits, lower right.
    m_Picture1 = new QLabel(this);
    m_Picture1->setObjectName(QStringLiteral("Picture1"));
    m_Picture1->setGeometry(8, 280, 372, 56);
    m_Picture1->setPixmap(windowPicture(
        m_context.resourcesFolder + QStringLiteral("/decoration.png"), devicePixelRatioF()));
    m_Picture1->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    XpFrame* credits = addFrame(QStringLiteral("Credits:"), this, {388, 276, 384, 62});
    const auto addCredit = [credits](const QString& text, int top) {
        auto* label = new QLabel(text, credits);
        label->setGeometry(10, top, 364, 16);
        label->setFont(creditFont());
        QPalette palette = label->palette();
        palette.setColor(QPalette::WindowText, Qt::white);
        label->setPalette(palette);
    };
    addCredit(QStringLiteral("Velmora v." VELMORA_VERSION ": menu tiles to DDS images and back"),
              20);
    addCredit(QStringLiteral("Built on Qt %1, libdeflate and libcanberra")
                  .arg(QString::fromLatin1(qVersion())),
              38);

    connect(m_List1, &QListWidget::itemSelectionChanged, this, &frmMain::List1_Click);
    connect(m_btnBF.get(), &Button_XP::Click, this, &frmMain::btnBF_Click);
    connect(m_btnCF.get(), &Button_XP::Click, this, &frmMain::btnCF_Click);
    connect(m_btnDF.get(), &Button_XP::Click, this, &frmMain::btnDF_Click);
    connect(m_btnAF.get(), &Button_XP::Click, this, &frmMain::btnAF_Click);
    connect(m_cmdWypakuj.get(), &Button_XP::Click, this, &frmMain::cmdWypakuj_Click);
    connect(m_cmdSpakuj.get(), &Button_XP::Click, this, &frmMain::cmdSpakuj_Click);
    connect(m_cmdTuto.get(), &Button_XP::Click, this, &frmMain::cmdTuto_Click);
    connect(m_cmdMenu.get(), &Button_XP::Click, this, &frmMain::cmdMenu_Click);
}

XpFrame* frmMain::addFrame(const QString& caption, QWidget* parent, const QRect& geometry) {
    auto* frame = new XpFrame(caption, parent);
    frame->setGeometry(geometry);
    m_frames.push_back(frame);
    return frame;
}

QLineEdit* frmMain::addPathBox(QWidget* parent, const QRect& geometry) {
    auto* box = new QLineEdit(parent);
    box->setGeometry(geometry);
    box->setPalette(textBoxPalette());
    box->setFont(controlFont());
    return box;
}

std::unique_ptr<Button_XP> frmMain::addButton(const QString& name, const QString& caption,
                                              QWidget* parent, const QRect& geometry) {
    auto button = makeCommandButton(QStringLiteral("frmMain"), name, caption, parent);
    // The design gives the size; the window gives the place.
    if (button->host().size().isEmpty()) {
        button->host().resize(geometry.size());
    }
    button->host().move(geometry.topLeft());
    return button;
}

XpFrame* frmMain::frame(const QString& caption) const {
    for (XpFrame* frame : m_frames) {
        if (frame->Caption() == caption) {
            return frame;
        }
    }
    return nullptr;
}

void frmMain::centreOnScreen() {
    // The background picture is drawn for this one size; only the place can give way. Other
    // windows of Velmora open now, in this program or another, each push this one a step down
    // and right, so that no window hides another exactly.
    placeOnScreen(*this, size(), size(), otherWindowsOpen());
}

int frmMain::otherWindowsOpen() const {
    // Every open main window holds a locked work folder; those of closed or killed windows
    // were removed when this one's was made.
    if (!m_work)
        return 0;
    const std::filesystem::path own = m_work->path();
    int others = 0;
    std::error_code error;
    for (std::filesystem::directory_iterator it(own.parent_path(), error), end; !error && it != end;
         it.increment(error)) {
        const std::string name = it->path().filename().string();
        if (name.rfind("velmora-window-", 0) == 0 && it->path() != own)
            ++others;
    }
    return others;
}

void frmMain::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.fillRect(rect(), QColor(0x0b, 0x1e, 0x3a));
    if (!m_background.isNull()) {
        painter.drawPixmap(0, 0, m_background);
    }
}

void frmMain::Form_Load() {
    clsTrans shaper;
    show();
    // Every frame must have painted before it is captured.
    QApplication::processEvents();
    for (const char* caption : {"Pack", "Unpack", "Trybe", "Lenght", "Open Bin", "Save DDS",
                                "Open DDS", "Save Bin", "Help", "Credits:"}) {
        shaper.DoIT(frame(QString::fromLatin1(caption)));
    }
    shaper.DoIT(m_ZlibTool1);
    const QSignalBlocker quiet(m_List1);
    for (const std::string_view name : MenuAnimationCatalogue::listEntries()) {
        m_List1->addItem(QString::fromLatin1(name.data(), static_cast<qsizetype>(name.size())));
    }
}

void frmMain::List1_Click() {
    m_cmdSpakuj->setEnabled(true);
    const QListWidgetItem* item = m_List1->currentItem();
    const QString text = item != nullptr ? item->text() : QString();
    if (const auto texture = MenuAnimationCatalogue::textureNameFor(utf8(text))) {
        m_Label1->setText(
            QString::fromLatin1(texture->data(), static_cast<qsizetype>(texture->size())));
    }
}

std::filesystem::path frmMain::workFolder() const {
    return m_work ? m_work->path() : std::filesystem::path();
}

const conversion::PrivateWorkFolder* frmMain::workFolderOrSay() {
    if (!m_work) {
        m_context.messages->show(
            QStringLiteral("Velmora could not make its work folder (%1). Put that right (or free "
                           "some space in the temporary folder) and start Velmora again.")
                .arg(QString::fromStdString(m_workProblem)),
            this);
        return nullptr;
    }
    return &*m_work;
}

QString frmMain::userPath(const QString& text) const {
    if (text.isEmpty()) {
        return text;
    }
    return QDir::cleanPath(QDir(m_userFolder).absoluteFilePath(QDir::fromNativeSeparators(text)));
}

bool frmMain::showDialog(bool save, const QString& startName) {
    // Each dialog starts from its own box (or the name suggested for it), never from the name
    // the previous dialog left: an output dialog must not start on an input.
    m_CD.FileName = startName;
    m_CD.InitDir = m_userFolder;
    if (!(save ? m_CD.ShowSave() : m_CD.ShowOpen())) {
        return false;
    }
    m_userFolder = QFileInfo(userPath(m_CD.FileName)).absolutePath();
    return true;
}

QString frmMain::existingFileIn(int box) const {
    const QString path = userPath(txt(box).text());
    return QFileInfo(path).isFile() ? path : QString();
}

QString frmMain::outputStart(int outputBox, int inputBox, const QString& extension) const {
    if (!txt(outputBox).text().trimmed().isEmpty())
        return userPath(txt(outputBox).text());
    return suggestedOutput(existingFileIn(inputBox), extension);
}

void frmMain::btnBF_Click() {
    m_CD.DialogTitle = QStringLiteral("Open game file");
    m_CD.Filter = QString();
    m_CD.DefaultExt = QString();
    m_CD.Flags = kOpenFlags;
    if (!showDialog(false, existingFileIn(2))) {
        return;
    }
    openBinChosen(m_CD.FileName);
}

void frmMain::openBinChosen(const QString& path) {
    txt(2).setText(path);
    const auto* work = workFolderOrSay();
    if (work == nullptr) {
        return;
    }
    const auto copied = conversion::copyToWorkFile(pathOf(userPath(txt(2).text())), work->path(),
                                                   conversion::WorkFile::Temp);
    if (!copied) {
        m_context.messages->show(QString::fromStdString(copied.error().message()), this);
        return;
    }
    rememberGameFile(conversion::workFilePath(work->path(), conversion::WorkFile::Temp));
}

bool frmMain::rememberGameFile(const std::filesystem::path& copy) {
    const auto inspected = conversion::inspectGameFileAt(copy);
    if (!inspected || !inspected->record || !inspected->record->textureHeader) {
        return false;
    }
    const auto& record = *inspected->record;
    GameFileMemory memory;
    // A placeholder is no better than the one shipped: Pack then says so as it would anyway.
    if (!conversion::isPlaceholderHeader(*record.textureHeader)) {
        memory.header = record.textureHeader;
    }
    memory.textureName = record.textureName;
    m_lastGameFile = std::move(memory);
    return true;
}

void frmMain::btnCF_Click() {
    m_CD.DialogTitle = QStringLiteral("Save DDS image as");
    m_CD.Filter = QString();
    m_CD.DefaultExt = QString();
    // A save dialog takes a new name as it is; it asks before replacing a file.
    m_CD.Flags = kSaveFlags;
    if (!showDialog(true, outputStart(3, 2, QStringLiteral("dds")))) {
        return;
    }
    txt(3).setText(m_CD.FileName);
}

void frmMain::btnDF_Click() {
    m_CD.DialogTitle = QStringLiteral("Open picture");
    m_CD.Filter = QString();
    m_CD.DefaultExt = QString();
    m_CD.Flags = kOpenFlags;
    if (!showDialog(false, existingFileIn(0))) {
        return;
    }
    openDdsChosen(m_CD.FileName);
}

void frmMain::openDdsChosen(const QString& path) {
    txt(0).setText(path);
    // The Save Bin box, not the one just filled; Pack replaces this copy before using it, so
    // a failure (an empty or new Save Bin) is no news to the user.
    if (!txt(1).text().isEmpty() && m_work) {
        (void)conversion::copyToWorkFile(pathOf(userPath(txt(1).text())), m_work->path(),
                                         conversion::WorkFile::Template);
    }
}

void frmMain::btnAF_Click() {
    m_CD.DialogTitle = QStringLiteral("Save game file as");
    m_CD.Filter = QString();
    m_CD.DefaultExt = QString();
    m_CD.Flags = kSaveFlags;
    if (!showDialog(true, outputStart(1, 0, QStringLiteral("bin")))) {
        return;
    }
    txt(1).setText(m_CD.FileName);
}

void frmMain::Unpack() {
    const auto* work = workFolderOrSay();
    if (work == nullptr) {
        return;
    }
    // The game file named in the box now is the one converted, whatever Browse copied before.
    const QString gameFile = userPath(txt(2).text());
    const auto copied =
        conversion::copyToWorkFile(pathOf(gameFile), work->path(), conversion::WorkFile::Temp);
    if (!copied) {
        conversion::deleteWorkFiles(work->path());
        report(conversion::Outcome(tl::unexpected(copied.error())));
        return;
    }
    // Read before the run, which ends by deleting the copy; kept only when the run succeeds.
    const auto before = m_lastGameFile;
    const bool readable =
        rememberGameFile(conversion::workFilePath(work->path(), conversion::WorkFile::Temp));
    auto outcome =
        conversion::runUnpack(work->path(), utf8(gameFile), utf8(userPath(txt(3).text())),
                              m_ZlibTool1->component(), &m_pictures);
    if (!outcome) {
        m_lastGameFile = before;
    } else {
        nameWrittenFile(*outcome);
    }
    report(outcome, gameFile);
    if (outcome && readable) {
        followUnpack();
    }
}

void frmMain::nameWrittenFile(conversion::RunReport& report) {
    // The closing message names the file as written, its extension included, not the box.
    if (report.messages.size() >= 2 && !report.writtenPath.empty()) {
        report.messages.back() = utf8(
            QDir::toNativeSeparators(QString::fromStdU16String(report.writtenPath.u16string())));
    }
}

void frmMain::followUnpack() {
    // The picture just unpacked is most often packed back into the same tile.
    if (m_List1->currentItem() == nullptr) {
        if (const auto* mode =
                MenuAnimationCatalogue::findByTextureName(m_lastGameFile->textureName)) {
            const QString name = QString::fromLatin1(
                mode->displayName.data(), static_cast<qsizetype>(mode->displayName.size()));
            const auto items = m_List1->findItems(name, Qt::MatchExactly);
            if (!items.isEmpty()) {
                m_List1->setCurrentItem(items.front());
            }
        }
    }
    offerHeaderInstall();
}

void frmMain::offerHeaderInstall() {
    if (!m_lastGameFile->header) {
        return;
    }
    const std::filesystem::path installed = conversion::userTextureHeaderPath();
    const std::filesystem::path settingsFile = conversion::userConfigPath("velmora.conf");
    std::error_code error;
    if (installed.empty() || settingsFile.empty() || std::filesystem::exists(installed, error)) {
        return;
    }
    QSettings settings(QString::fromStdString(settingsFile.string()), QSettings::IniFormat);
    const QString asked = QStringLiteral("textureHeader/installOffer");
    if (settings.contains(asked)) {
        return; // asked once already, whatever the answer was
    }
    const QString where = QString::fromStdString(installed.string());
    const bool yes = m_context.messages->ask(
        QStringLiteral("This game file carries the game's own texture header, and you have none "
                       "installed. Install it as yours, so that Pack uses it from now on, here "
                       "and in velmora-cli?\n\nIt is saved as %1. Velmora asks this only once.")
            .arg(where),
        this);
    if (yes) {
        std::filesystem::create_directories(installed.parent_path(), error);
        if (const auto saved = conversion::writeFileAtomically(installed, *m_lastGameFile->header);
            !saved) {
            // Not marked as answered: the next genuine game file unpacked asks again.
            m_context.messages->show(
                QStringLiteral("Velmora could not install the texture header as %1: %2. "
                               "'velmora-cli header GAME_FILE' installs it too.")
                    .arg(where, QString::fromStdString(saved.error().reason)),
                this);
            return;
        }
    }
    settings.setValue(asked, yes ? QStringLiteral("installed") : QStringLiteral("declined"));
    settings.sync();
}

conversion::PackOptions frmMain::packOptions() const {
    auto options = conversion::PackOptions::reading(&m_pictures);
    options.textureHeaderFile = conversion::defaultTextureHeader(m_context.programFolder);
    const bool shipped =
        options.textureHeaderFile ==
        conversion::workFilePath(m_context.programFolder, conversion::WorkFile::WE00);
    if (shipped && m_lastGameFile) {
        options.textureHeader = m_lastGameFile->header;
    }
    return options;
}

void frmMain::Pack() {
    const auto* work = workFolderOrSay();
    if (work == nullptr) {
        m_Text1->clear();
        return;
    }
    const QString output = userPath(txt(1).text());
    const std::string image = utf8(userPath(txt(0).text()));
    const std::string textureName = utf8(m_Label1->text());
    const std::filesystem::path folder = work->path();
    std::atomic<bool> stop = false;
    auto options = packOptions();
    options.stop = &stop;
    // Compressing takes long enough to be felt: even the first attempt runs on a worker.
    auto outcome = runWhileBusy(
        this, QStringLiteral("Packing..."),
        [&] {
            return conversion::runPack(folder, image, utf8(output), textureName,
                                       m_ZlibTool1->component(), options);
        },
        &stop);
    // A Cancel that came after the last check is too late: what was written is reported.
    if (stop && !outcome) {
        return; // cancelled: nothing written, the window as it was
    }
    if (!outcome && outcome.error().kind == conversion::ErrorKind::DoesNotFit) {
        bool cancelled = false;
        auto fitted = offerFit(cancelled);
        if (cancelled) {
            return;
        }
        if (!fitted) {
            m_Text1->clear();
            return; // declined: nothing written, nothing more to say
        }
        outcome = std::move(*fitted);
    }
    if (outcome) {
        nameWrittenFile(*outcome);
    }
    // The length shown is always that of the game file last written, never an older one.
    if (outcome && outcome->storedLength) {
        m_Text1->setText(QString::number(*outcome->storedLength));
    } else {
        m_Text1->clear();
    }
    m_Label2->setText(txt(1).text());
    if (outcome && outcome->placeholderHeader && !outcome->messages.empty()) {
        outcome->messages.back() += "\n" + placeholderNotice();
    }
    report(outcome, output);
}

std::optional<conversion::Outcome> frmMain::offerFit(bool& cancelled) {
    const std::string image = utf8(userPath(txt(0).text()));
    const std::string output = utf8(userPath(txt(1).text()));
    const std::string textureName = utf8(m_Label1->text());
    std::atomic<bool> stop = false;
    auto options = packOptions();
    options.stop = &stop;
    const std::filesystem::path folder = workFolder();
    const auto fitted = runWhileBusy(
        this, QStringLiteral("Fitting the image to the game file..."),
        [&] { return conversion::fitPackImage(folder, image, textureName, options); }, &stop);
    if (stop) {
        cancelled = true;
        return std::nullopt;
    }
    if (!fitted) {
        return conversion::Outcome(tl::unexpected(fitted.error()));
    }
    const QString question =
        QStringLiteral(
            "The image is too detailed to fit the game file: %1 bytes compressed, %2 "
            "allowed.\n\nReduce the colour precision just enough to fit? The result differs "
            "from your image by a PSNR of %3 dB: %4.\n(PSNR: 45 dB and more, too small to see; "
            "38 to 45 dB, visible only side by side; 30 to 38 dB, visible.)\n\nShow opens the "
            "fitted image in the preview before you answer.")
            .arg(
                QString::fromStdString(conversion::groupedNumber(fitted->unfittedSize)),
                QString::fromStdString(conversion::groupedNumber(conversion::kCompressedBlockSize)),
                QString::number(fitted->psnr, 'f', 1), psnrInWords(fitted->psnr));
    const auto show = [this, &fitted] {
        showPicture(fittedPicture(*fitted), QStringLiteral("fitted image (not saved)"),
                    QStringLiteral("The image as Pack fits it: PSNR %1 dB, %2.")
                        .arg(QString::number(fitted->psnr, 'f', 1), psnrInWords(fitted->psnr)));
    };
    if (!m_context.messages->askWithShow(question, QStringLiteral("Show"), show, this)) {
        return std::nullopt;
    }
    stop = false;
    conversion::PackOptions withFit = options;
    withFit.fitted = &*fitted;
    auto packed = runWhileBusy(
        this, QStringLiteral("Packing the fitted image..."),
        [&] {
            return conversion::runPack(folder, image, output, textureName, m_ZlibTool1->component(),
                                       withFit);
        },
        &stop);
    if (stop && !packed) {
        cancelled = true;
        return std::nullopt;
    }
    return packed;
}

void frmMain::cmdWypakuj_Click() {
    Unpack();
}

void frmMain::cmdSpakuj_Click() {
    Pack();
}

void frmMain::report(const conversion::Outcome& outcome, const QString& userFile) {
    if (!outcome) {
        // The work files are the program's business: a step that failed on one is reported
        // against the user's file it stood for.
        conversion::StepResult failure = outcome.error();
        if (!failure.file.empty() && failure.file.parent_path() == workFolder()) {
            failure.file = pathOf(userFile);
        }
        m_context.messages->show(QString::fromStdString(failure.message()), this);
        return;
    }
    for (const std::string& message : outcome->messages) {
        m_context.messages->show(QString::fromStdString(message), this);
    }
}

void frmMain::cmdTuto_Click() {
    if (!m_help) {
        m_help = new frmhelp(m_context);
        connect(m_help, &frmhelp::unloaded, this, &QWidget::show);
    }
    m_help->show();
    hide();
    // The preview belongs with this window, which help replaces while it is open.
    if (m_preview) {
        m_preview->hide();
    }
}

void frmMain::cmdMenu_Click() {
    if (!m_context.openMenu)
        return;
    const auto chosen = m_context.dialogs->chooseFolder(
        QStringLiteral("Open the folder of a menu's game files"), this, m_userFolder);
    if (!chosen)
        return;
    m_userFolder = *chosen;
    m_context.openMenu(*chosen);
}

} // namespace velmora
