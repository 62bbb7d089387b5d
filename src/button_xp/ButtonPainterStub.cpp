#include "button_xp/Button_XP.h"

// Stand-ins so the control links while its painting is not in the library yet; the real
// definitions override these.
namespace velmora {

__attribute__((weak)) void paintButton(Button_XP&) {}
__attribute__((weak)) void handleButtonResize(Button_XP&) {}

} // namespace velmora
