#pragma once

#include <QString>

#include <memory>

class QWidget;

namespace velmora {

class Button_XP;

// A command button of a window, with the settings its window's design stores for it.
// formName is the window ("frmMain", "frmhelp"), name the button's name in it.
std::unique_ptr<Button_XP> makeCommandButton(const QString& formName, const QString& name,
                                             const QString& caption, QWidget* parent);

} // namespace velmora
