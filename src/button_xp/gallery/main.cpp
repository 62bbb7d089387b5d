#include "button_xp/Button_XP.h"
#include "platform/CursorService.h"
#include "platform/PlatformFonts.h"

#include <QApplication>
#include <QCoreApplication>
#include <QDir>
#include <QFocusEvent>
#include <QImage>
#include <QMouseEvent>
#include <QSaveFile>
#include <QString>
#include <QWidget>

#include <cstdio>
#include <functional>

namespace {

using velmora::Button_XP;

constexpr int kWidth = 75;
constexpr int kHeight = 23;
constexpr velmora::OleColor kButtonFace = 0x8000000F;

// Keeps the pointer over the button while its image is taken, so the leave poll cannot end the
// hover state before the picture is written.
class PointerOverButton final : public velmora::CursorService {
  public:
    explicit PointerOverButton(QWidget* target) : m_target(target) {}
    QPoint GetCursorPos() const override { return m_target->mapToGlobal(QPoint(1, 1)); }
    QWidget* WindowFromPoint(const QPoint&) const override { return m_target; }

  private:
    QWidget* m_target;
};

void sendMouse(QWidget* target, QEvent::Type type, Qt::MouseButton button) {
    const QPointF local(kWidth / 2, kHeight / 2);
    const Qt::MouseButtons held =
        type == QEvent::MouseButtonPress ? Qt::MouseButtons(button) : Qt::MouseButtons();
    QMouseEvent event(type, local, target->mapToGlobal(local), button, held, Qt::NoModifier);
    QCoreApplication::sendEvent(target, &event);
}

void sendFocusIn(QWidget* target) {
    QFocusEvent event(QEvent::FocusIn, Qt::TabFocusReason);
    QCoreApplication::sendEvent(target, &event);
}

struct State {
    const char* name;
    std::function<void(Button_XP&)> reach;
};

const State kStates[] = {
    {"normal", [](Button_XP&) {}},
    {"hover", [](Button_XP& b) { sendMouse(&b.host(), QEvent::MouseMove, Qt::NoButton); }},
    {"pressed",
     [](Button_XP& b) { sendMouse(&b.host(), QEvent::MouseButtonPress, Qt::LeftButton); }},
    {"focus", [](Button_XP& b) { sendFocusIn(&b.host()); }},
    {"focus_hover",
     [](Button_XP& b) {
         sendFocusIn(&b.host());
         sendMouse(&b.host(), QEvent::MouseMove, Qt::NoButton);
     }},
    {"disabled", [](Button_XP& b) { b.setEnabled(false); }},
    {"default", [](Button_XP& b) { b.host().setExtenderDefault(true); }},
};

QImage render(int style, const State& state) {
    QWidget window;
    window.resize(kWidth + 20, kHeight + 20);
    // Takes the focus the window hands out when it is shown, so only the focus states have it.
    QWidget focusSink(&window);
    focusSink.setFocusPolicy(Qt::StrongFocus);
    focusSink.setGeometry(0, 0, 1, 1);
    Button_XP button(&window, QStringLiteral("Command1"));
    PointerOverButton pointer(&button.host());
    button.setCursorService(&pointer);
    button.host().setAmbientUserMode(true);
    button.host().setGeometry(10, 10, kWidth, kHeight);
    button.setCaption(QStringLiteral("Button"));
    button.setBackColor(kButtonFace);
    button.setButtonStyle(style);
    window.show();
    focusSink.setFocus();
    QCoreApplication::processEvents();
    state.reach(button);
    return button.host().persistentImage().copy(0, 0, kWidth, kHeight);
}

bool writePng(const QImage& image, const QString& path, QString& error) {
    // Written to a temporary file and renamed, so a failed run leaves no half-written picture.
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly) || !image.save(&file, "PNG") || !file.commit()) {
        error = file.errorString();
        return false;
    }
    return true;
}

} // namespace

int main(int argc, char* argv[]) {
    // The gallery needs no display; it draws off screen unless told otherwise.
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    velmora::registerFontSubstitutions();

    const QStringList args = QCoreApplication::arguments();
    if (args.size() != 2) {
        std::fprintf(stderr, "usage: velmora-gallery OUT_DIR\n");
        return 2;
    }
    const QString outDir = args.at(1);
    if (!QDir().mkpath(outDir)) {
        std::fprintf(stderr, "velmora-gallery: cannot create the folder %s\n",
                     qPrintable(QDir::toNativeSeparators(outDir)));
        return 1;
    }

    int written = 0;
    for (int style = 0; style <= 4; ++style) {
        for (const State& state : kStates) {
            const QString path = QDir(outDir).filePath(
                QStringLiteral("style%1_%2.png").arg(style).arg(QLatin1String(state.name)));
            QString error;
            if (!writePng(render(style, state), path, error)) {
                std::fprintf(stderr, "velmora-gallery: cannot write %s: %s\n",
                             qPrintable(QDir::toNativeSeparators(path)), qPrintable(error));
                return 1;
            }
            ++written;
        }
    }
    std::printf("%d pictures written to %s\n", written,
                qPrintable(QDir::toNativeSeparators(outDir)));
    return 0;
}
