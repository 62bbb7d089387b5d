#include "button_xp/PropertyBag.h"

#include <cmath>
#include <limits>

namespace velmora {

PropertyError::PropertyError(Code code, const QString& message)
    : std::runtime_error(message.toStdString()), m_code(code) {}

namespace {

[[noreturn]] void overflow() {
    throw PropertyError(PropertyError::Overflow, QStringLiteral("Overflow"));
}

[[noreturn]] void typeMismatch() {
    throw PropertyError(PropertyError::TypeMismatch, QStringLiteral("Type mismatch"));
}

// A number read from text, rounded half to even as a whole-number conversion does.
double numberFromText(const QString& text) {
    const QString trimmed = text.trimmed();
    if (trimmed.compare(QLatin1String("True"), Qt::CaseInsensitive) == 0)
        return -1;
    if (trimmed.compare(QLatin1String("False"), Qt::CaseInsensitive) == 0)
        return 0;
    bool ok = false;
    const double number = trimmed.toDouble(&ok);
    if (!ok || !std::isfinite(number))
        typeMismatch();
    return std::nearbyint(number);
}

double asNumber(const PropertyValue& value) {
    if (const auto* v = std::get_if<std::int32_t>(&value))
        return *v;
    if (const auto* v = std::get_if<std::int16_t>(&value))
        return *v;
    if (const auto* v = std::get_if<FlagValue>(&value))
        return v->value ? -1 : 0;
    if (const auto* v = std::get_if<QString>(&value))
        return numberFromText(*v);
    typeMismatch();
}

} // namespace

std::int32_t toLong(const PropertyValue& value) {
    const double number = asNumber(value);
    if (number < std::numeric_limits<std::int32_t>::min() ||
        number > std::numeric_limits<std::int32_t>::max())
        overflow();
    return std::int32_t(number);
}

std::int16_t toInteger(const PropertyValue& value) {
    const double number = asNumber(value);
    if (number < std::numeric_limits<std::int16_t>::min() ||
        number > std::numeric_limits<std::int16_t>::max())
        overflow();
    return std::int16_t(number);
}

bool toFlag(const PropertyValue& value) {
    return asNumber(value) != 0;
}

QString toText(const PropertyValue& value) {
    if (const auto* v = std::get_if<QString>(&value))
        return *v;
    if (const auto* v = std::get_if<std::int32_t>(&value))
        return QString::number(*v);
    if (const auto* v = std::get_if<std::int16_t>(&value))
        return QString::number(*v);
    if (const auto* v = std::get_if<FlagValue>(&value))
        return v->value ? QStringLiteral("True") : QStringLiteral("False");
    typeMismatch();
}

PicturePtr toPicture(const PropertyValue& value) {
    if (const auto* v = std::get_if<PicturePtr>(&value))
        return *v;
    typeMismatch();
}

FontData toFont(const PropertyValue& value) {
    if (const auto* v = std::get_if<FontData>(&value))
        return *v;
    typeMismatch();
}

bool equalsDefault(const PropertyValue& value, const PropertyValue& defaultValue) {
    try {
        if (const auto* v = std::get_if<std::int32_t>(&value))
            return *v == toLong(defaultValue);
        if (const auto* v = std::get_if<std::int16_t>(&value))
            return *v == toInteger(defaultValue);
        if (const auto* v = std::get_if<FlagValue>(&value))
            return v->value == toFlag(defaultValue);
        if (const auto* v = std::get_if<QString>(&value))
            return *v == toText(defaultValue);
        if (const auto* v = std::get_if<PicturePtr>(&value)) {
            const PicturePtr other = toPicture(defaultValue);
            if (!*v || !other)
                return !*v && !other;
            return *v == other || **v == *other;
        }
        if (const auto* v = std::get_if<FontData>(&value))
            return *v == toFont(defaultValue);
    } catch (const PropertyError&) {
        // A default that cannot take the value's type is simply different.
    }
    return false;
}

const PropertyValue* PropertyBag::find(const QString& key) const {
    for (const auto& [name, value] : m_entries) {
        if (name.compare(key, Qt::CaseInsensitive) == 0)
            return &value;
    }
    return nullptr;
}

bool PropertyBag::contains(const QString& key) const {
    return find(key) != nullptr;
}

PropertyValue PropertyBag::ReadProperty(const QString& key,
                                        const PropertyValue& defaultValue) const {
    const PropertyValue* stored = find(key);
    return stored ? *stored : defaultValue;
}

void PropertyBag::set(const QString& key, const PropertyValue& value) {
    for (auto& [name, stored] : m_entries) {
        if (name.compare(key, Qt::CaseInsensitive) == 0) {
            stored = value;
            return;
        }
    }
    m_entries.emplace_back(key, value);
}

void PropertyBag::WriteProperty(const QString& key, const PropertyValue& value,
                                const PropertyValue& defaultValue) {
    if (equalsDefault(value, defaultValue)) {
        // A value back at its default must not leave an older stored value behind.
        std::erase_if(m_entries, [&key](const auto& entry) {
            return entry.first.compare(key, Qt::CaseInsensitive) == 0;
        });
        return;
    }
    set(key, value);
}

} // namespace velmora
