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

// A button the design does not hold, in the look of one it does (`like`), with its own name and
// caption: a new command that stands among the designed ones.
std::unique_ptr<Button_XP> makeCommandButtonLike(const QString& formName, const QString& like,
                                                 const QString& name, const QString& caption,
                                                 QWidget* parent);

} // namespace velmora
