#include "windows/CommandButtons.h"

#include "button_xp/ButtonDesign.h"
#include "button_xp/Button_XP.h"

#include <QHash>

namespace velmora {

namespace {

// Each window's design is read once from the program's resources.
const WindowDesign* designOf(const QString& formName) {
    static QHash<QString, std::optional<WindowDesign>> designs;
    auto it = designs.find(formName);
    if (it == designs.end()) {
        DesignResult result = loadDesign(QStringLiteral(":/designs/%1.json").arg(formName));
        if (!result) {
            qWarning("Velmora: the design of %s cannot be read: %s", qPrintable(formName),
                     qPrintable(result.error()));
        }
        it = designs.insert(formName, result ? std::optional(std::move(*result)) : std::nullopt);
    }
    return it->has_value() ? &it->value() : nullptr;
}

} // namespace

std::unique_ptr<Button_XP> makeCommandButton(const QString& formName, const QString& name,
                                             const QString& caption, QWidget* parent) {
    auto button = std::make_unique<Button_XP>(parent, name);
    const WindowDesign* design = designOf(formName);
    const ControlDesign* stored = design != nullptr ? design->control(name) : nullptr;
    if (stored != nullptr) {
        const auto applied = applyDesign(*button, *stored);
        if (applied) {
            return button;
        }
        qWarning("Velmora: %s.%s: %s", qPrintable(formName), qPrintable(name),
                 qPrintable(applied.error()));
    }
    // Without its design the button still works, with the caption the window gives it.
    button->setCaption(caption);
    return button;
}

std::unique_ptr<Button_XP> makeCommandButtonLike(const QString& formName, const QString& like,
                                                 const QString& name, const QString& caption,
                                                 QWidget* parent) {
    auto button = std::make_unique<Button_XP>(parent, name);
    const WindowDesign* design = designOf(formName);
    if (const ControlDesign* stored = design != nullptr ? design->control(like) : nullptr) {
        if (const auto applied = applyDesign(*button, *stored); !applied) {
            qWarning("Velmora: %s.%s: %s", qPrintable(formName), qPrintable(like),
                     qPrintable(applied.error()));
        }
    }
    button->setCaption(caption);
    return button;
}

} // namespace velmora
