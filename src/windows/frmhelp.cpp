#include "windows/frmhelp.h"

#include "button_xp/Button_XP.h"
#include "windows/ColourKey.h"
#include "windows/CommandButtons.h"
#include "windows/WindowLook.h"
#include "windows/XpFrame.h"

#include <QApplication>
#include <QCloseEvent>
#include <QDir>
#include <QImageReader>
#include <QLabel>
#include <QListWidget>
#include <QScreen>

namespace velmora {

frmhelp::frmhelp(const AppContext& context)
    : QWidget(nullptr, Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                           Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint),
      context_(context) {
    setObjectName(QStringLiteral("frmhelp"));
    setAttribute(Qt::WA_DeleteOnClose);
    setWindowTitle(QStringLiteral("Help "));
    setWindowIcon(applicationIcon(context_.resourcesFolder));
    // 14640 × 9375 twips of client area.
    setFixedSize(976, 625);
    QPalette palette = this->palette();
    palette.setColor(QPalette::Window, colourOf(kButtonFace));
    setPalette(palette);
    setAutoFillBackground(true);

    Picture1_ = new QLabel(this);
    Picture1_->setObjectName(QStringLiteral("Picture1"));
    Picture1_->setGeometry(8, 8, 640, 609);
    Picture1_->setFrameStyle(QFrame::Panel | QFrame::Sunken);
    Picture1_->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    Picture1_->setAutoFillBackground(true);

    Dir1_ = new QListWidget(this);
    Dir1_->setGeometry(656, 8, 312, 104);
    Dir1_->setFont(controlFont());
    Dir1_->setEnabled(false);

    File1_ = new QListWidget(this);
    File1_->setGeometry(656, 118, 312, 196);
    File1_->setFont(controlFont());
    File1_->setPalette(textBoxPalette());
    File1_->setSortingEnabled(false);

    map_ = new XpFrame(QStringLiteral("Map dt06.img"), this);
    map_->setForeColor(0x80000012u);
    map_->setGeometry(656, 320, 312, 250);
    Label1_ = new QLabel(mapText(), map_);
    QFont bold = controlFont();
    bold.setBold(true);
    Label1_->setFont(bold);
    Label1_->setTextFormat(Qt::PlainText);
    Label1_->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    Label1_->setGeometry(12, 24, 292, 218);

    cmdDownload_ = makeCommandButton(QStringLiteral("frmhelp"), QStringLiteral("cmdDownload"),
                                     QStringLiteral("Download DDS Plugins For PhotoShop"), this);
    if (cmdDownload_->host().size().isEmpty()) {
        cmdDownload_->host().resize(137, 25);
    }
    cmdDownload_->host().move(656 + (312 - cmdDownload_->host().width()) / 2, 584);
    connect(cmdDownload_.get(), &Button_XP::Click, this, &frmhelp::cmdDownload_Click);

    connect(File1_, &QListWidget::itemClicked, this, &frmhelp::File1_Click);
    // Moving through the list with the keys shows each file too; a mouse press is
    // handled by the click.
    connect(File1_, &QListWidget::currentRowChanged, this, [this] {
        if (QApplication::mouseButtons() == Qt::NoButton) {
            File1_Click();
        }
    });

    if (const QScreen* screen = QGuiApplication::primaryScreen()) {
        move(screen->availableGeometry().center() - QPoint(width() / 2, height() / 2));
    }

    // Load: Dir1 on the folder "Image"; its change fills File1.
    const QString folder = QString::fromStdU16String(context_.applicationFolder.u16string()) +
                           QStringLiteral("/Image");
    Dir1_Change(folder);
}

frmhelp::~frmhelp() = default;

const QString& frmhelp::mapText() {
    static const QString text = QStringLiteral("1431   Exhibition\r\n"
                                               "1432   Champions League\r\n"
                                               "1433   Become A Legend\r\n"
                                               "1434   Master League\r\n"
                                               "1435   Community\r\n"
                                               "1436   League - Cup\r\n"
                                               "1437   Online  \r\n"
                                               "1438   Training\r\n"
                                               "1439   Edit\r\n"
                                               "1440   System Settings\r\n"
                                               "1441   Gallery  \r\n"
                                               "1442   Extra Content\r\n"
                                               "1443   Copa Santander Libertadores ");
    return text;
}

QString frmhelp::downloadAddress() {
    return QStringLiteral("https://developer.nvidia.com/texture-tools-exporter");
}

QString frmhelp::notAPictureText() {
    return QStringLiteral("Cannot show this file.");
}

void frmhelp::Dir1_Change(const QString& path) {
    // The folder list shows the path from its root down, the folder itself last and current.
    Dir1_->clear();
    const QString clean = QDir::cleanPath(path);
    const QStringList parts = clean.split(QLatin1Char('/'), Qt::SkipEmptyParts);
    Dir1_->addItem(QStringLiteral("/"));
    QString indent = QStringLiteral("  ");
    for (const QString& part : parts) {
        Dir1_->addItem(indent + part);
        indent += QStringLiteral("  ");
    }
    Dir1_->setCurrentRow(Dir1_->count() - 1);

    file1Path_ = clean;
    const QSignalBlocker quiet(File1_);
    File1_->clear();
    // A missing folder lists nothing; every file of an existing one is listed.
    const QDir dir(clean);
    const QStringList files = dir.exists()
                                  ? dir.entryList(QDir::Files | QDir::Hidden | QDir::System,
                                                  QDir::Name | QDir::IgnoreCase)
                                  : QStringList();
    File1_->addItems(files);
}

void frmhelp::File1_Click() {
    const QListWidgetItem* item = File1_->currentItem();
    if (item == nullptr) {
        return;
    }
    const QString fullName = file1Path_ + QStringLiteral("/") + item->text();
    QImageReader reader(fullName);
    const QImage picture = reader.read();
    if (picture.isNull()) {
        Picture1_->setPixmap(QPixmap());
        Picture1_->setText(notAPictureText());
        return;
    }
    // Natural size from the top-left corner; the box cuts off what does not fit.
    Picture1_->setPixmap(QPixmap::fromImage(picture));
}

void frmhelp::cmdDownload_Click() {
    if (context_.openUrl) {
        context_.openUrl(downloadAddress());
    }
}

void frmhelp::closeEvent(QCloseEvent* event) {
    emit unloaded();
    QWidget::closeEvent(event);
}

} // namespace velmora
