// Window designs from arbitrary bytes: each input is either refused with a message or read
// into a design that writes back to the same JSON and loads into real buttons without a crash.
#include "button_xp/ButtonDesign.h"
#include "button_xp/Button_XP.h"

#include <QApplication>
#include <QByteArray>

#include <cstdint>
#include <cstdio>
#include <cstdlib>

namespace {

// Loading into a button paints it; a design with more buttons than any window has adds no
// new paths, only time.
constexpr std::size_t kMaxButtonsLoaded = 8;

// Never destroyed: the widgets library tears itself down at exit in an order that a late
// QApplication destructor would trip over.
QApplication* g_app = nullptr;

[[noreturn]] void fail(const char* what, const QString& detail = {}) {
    std::fprintf(stderr, "design fault: %s %s\n", what, qPrintable(detail));
    std::abort();
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int* argc, char*** argv) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    g_app = new QApplication(*argc, *argv);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const QByteArray bytes(reinterpret_cast<const char*>(data), static_cast<qsizetype>(size));
    const velmora::DesignResult read = velmora::parseDesign(bytes);
    if (!read) {
        if (read.error().isEmpty()) {
            fail("a design was refused without a message");
        }
        return 0;
    }

    const QByteArray written = velmora::serializeDesign(*read);
    const velmora::DesignResult again = velmora::parseDesign(written);
    if (!again) {
        fail("a design that was read does not read back after saving:", again.error());
    }
    if (velmora::serializeDesign(*again) != written) {
        fail("saving and reading a design changes it");
    }

    std::size_t loaded = 0;
    for (const velmora::ControlDesign& control : read->controls) {
        if (++loaded > kMaxButtonsLoaded) {
            break;
        }
        velmora::Button_XP button(nullptr, control.name);
        // A value that fails its conversion stops the load with a message; both are fine.
        (void)velmora::applyDesign(button, control);
    }
    return 0;
}
