#include "windows/frmhelp.h"

#include "button_xp/Button_XP.h"
#include "platform/MessageBoxService.h"
#include "platform/ShellService.h"
#include "windows/ColourKey.h"
#include "windows/CommandButtons.h"
#include "windows/ScreenPlacement.h"
#include "windows/WindowLook.h"
#include "windows/XpFrame.h"

#include <QApplication>
#include <QCloseEvent>
#include <QDir>
#include <QImageReader>
#include <QLabel>
#include <QListWidget>
#include <QScrollArea>

namespace velmora {

frmhelp::frmhelp(const AppContext& context)
    : QWidget(nullptr, Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                           Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint),
      m_context(context) {
    setObjectName(QStringLiteral("frmhelp"));
    setAttribute(Qt::WA_DeleteOnClose);
    setWindowTitle(QStringLiteral("Help "));
    setWindowIcon(applicationIcon(m_context.resourcesFolder));
    QPalette palette = this->palette();
    palette.setColor(QPalette::Window, colourOf(kButtonFace));
    setPalette(palette);
    setAutoFillBackground(true);

    // The picture box keeps its size; on a screen too small for the window it scrolls.
    m_pictureView = new QScrollArea(this);
    m_pictureView->setFrameShape(QFrame::NoFrame);
    m_pictureView->setBackgroundRole(QPalette::Window);
    m_Picture1 = new QLabel;
    m_Picture1->setObjectName(QStringLiteral("Picture1"));
    m_Picture1->resize(640, 609);
    m_pictureView->setWidget(m_Picture1);
    m_Picture1->setFrameStyle(QFrame::Panel | QFrame::Sunken);
    m_Picture1->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    m_Picture1->setAutoFillBackground(true);

    m_Dir1 = new QListWidget(this);
    m_Dir1->setFont(controlFont());
    m_Dir1->setEnabled(false);

    m_File1 = new QListWidget(this);
    m_File1->setFont(controlFont());
    m_File1->setPalette(textBoxPalette());
    m_File1->setSortingEnabled(false);

    m_map = new XpFrame(QStringLiteral("Map dt06.img"), this);
    m_map->setForeColor(0x80000012u);
    m_Label1 = new QLabel(mapText(), m_map);
    QFont bold = controlFont();
    bold.setBold(true);
    m_Label1->setFont(bold);
    m_Label1->setTextFormat(Qt::PlainText);
    m_Label1->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    m_Label1->setGeometry(12, 24, 292, 218);

    m_cmdDownload = makeCommandButton(QStringLiteral("frmhelp"), QStringLiteral("cmdDownload"),
                                      QStringLiteral("Download DDS Plugins For PhotoShop"), this);
    if (m_cmdDownload->host().size().isEmpty()) {
        m_cmdDownload->host().resize(137, 25);
    }
    connect(m_cmdDownload.get(), &Button_XP::Click, this, &frmhelp::cmdDownload_Click);

    connect(m_File1, &QListWidget::itemClicked, this, &frmhelp::File1_Click);
    // Moving through the list with the keys shows each file too; a mouse press is
    // handled by the click.
    connect(m_File1, &QListWidget::currentRowChanged, this, [this] {
        if (QApplication::mouseButtons() == Qt::NoButton) {
            File1_Click();
        }
    });

    // 14640 × 9375 twips of client area where the screen has room, less where it has not.
    layoutControls(placeOnScreen(*this, QSize(976, 625), kSmallestSize).size());

    // Load: Dir1 on the folder "Image"; its change fills File1.
    const QString folder =
        QString::fromStdU16String(m_context.programFolder.u16string()) + QStringLiteral("/Image");
    Dir1_Change(folder);
}

frmhelp::~frmhelp() = default;

void frmhelp::layoutControls(QSize size) {
    // The right column keeps its width and the picture box view takes the rest; in height
    // the file list gives way first.
    const int column = size.width() - 320;
    m_pictureView->setGeometry(8, 8, size.width() - 336, size.height() - 16);
    m_Dir1->setGeometry(column, 8, 312, 104);
    m_File1->setGeometry(column, 118, 312, size.height() - 429);
    m_map->setGeometry(column, size.height() - 305, 312, 250);
    m_cmdDownload->host().move(column + (312 - m_cmdDownload->host().width()) / 2,
                               size.height() - 41);
}

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
    m_Dir1->clear();
    const QString clean = QDir::cleanPath(path);
    const QStringList parts = clean.split(QLatin1Char('/'), Qt::SkipEmptyParts);
    m_Dir1->addItem(QStringLiteral("/"));
    QString indent = QStringLiteral("  ");
    for (const QString& part : parts) {
        m_Dir1->addItem(indent + part);
        indent += QStringLiteral("  ");
    }
    m_Dir1->setCurrentRow(m_Dir1->count() - 1);

    m_file1Path = clean;
    const QSignalBlocker quiet(m_File1);
    m_File1->clear();
    // A missing folder lists nothing; of an existing one, the pictures the window can show,
    // told by their content, whatever their names say.
    const QDir dir(clean);
    const QStringList files = dir.exists()
                                  ? dir.entryList(QDir::Files | QDir::Hidden | QDir::System,
                                                  QDir::Name | QDir::IgnoreCase)
                                  : QStringList();
    for (const QString& file : files) {
        if (QImageReader(dir.filePath(file)).canRead())
            m_File1->addItem(file);
    }
    // The window opens on the first picture rather than on an empty box.
    if (m_File1->count() > 0) {
        m_File1->setCurrentRow(0);
        File1_Click();
    }
}

void frmhelp::File1_Click() {
    const QListWidgetItem* item = m_File1->currentItem();
    if (item == nullptr) {
        return;
    }
    const QString fullName = m_file1Path + QStringLiteral("/") + item->text();
    QImageReader reader(fullName);
    const QImage picture = reader.read();
    if (picture.isNull()) {
        m_Picture1->setPixmap(QPixmap());
        m_Picture1->setText(notAPictureText());
        return;
    }
    // Natural size from the top-left corner; the box cuts off what does not fit.
    m_Picture1->setPixmap(QPixmap::fromImage(picture));
}

void frmhelp::cmdDownload_Click() {
    if (m_context.shell == nullptr) {
        showDownloadAddress();
        return;
    }
    // Judged by how the opener ends, not by its start: xdg-open starts and then finds no browser.
    m_context.shell->ShellOpenWatched(downloadAddress(), this, [this](bool opened) {
        if (!opened) {
            showDownloadAddress();
        }
    });
}

void frmhelp::showDownloadAddress() {
    // Without a browser the button must still give the user the address to go to.
    if (m_context.clipboard != nullptr) {
        m_context.clipboard->setText(downloadAddress());
    }
    m_context.messages->show(QStringLiteral("No web browser could be started. Open this address "
                                            "in one (it is on the clipboard):\n%1")
                                 .arg(downloadAddress()),
                             this);
}

void frmhelp::closeEvent(QCloseEvent* event) {
    emit unloaded();
    QWidget::closeEvent(event);
}

} // namespace velmora
