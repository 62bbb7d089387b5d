#pragma once

#include "platform/gdi/StdFont.h"
#include "platform/gdi/StdPicture.h"

#include <QString>

#include <cstdint>
#include <stdexcept>
#include <utility>
#include <variant>
#include <vector>

namespace velmora {

// An error of a property conversion or assignment, with the number the container knows it by.
class PropertyError : public std::runtime_error {
  public:
    enum Code { Overflow = 6, TypeMismatch = 13 };
    PropertyError(Code code, const QString& message);
    Code code() const { return m_code; }

  private:
    Code m_code;
};

// One stored value; the alternative is its type.
struct FlagValue {
    bool value = false; // stored as -1 / 0
    friend bool operator==(const FlagValue&, const FlagValue&) = default;
};
struct NoPicture {
    friend bool operator==(const NoPicture&, const NoPicture&) = default;
};
using PropertyValue = std::variant<std::int32_t, // Long
                                   std::int16_t, // Integer
                                   FlagValue,    // flag
                                   QString,      // text
                                   PicturePtr,   // picture (null = none)
                                   FontData>;    // font

// Conversions applied on loading. Numbers convert between each other (Integer overflows
// outside -32768..32767), flags are -1 or 0, text converts to a number only when it reads as
// one. Throw PropertyError.
std::int32_t toLong(const PropertyValue& value);
std::int16_t toInteger(const PropertyValue& value);
bool toFlag(const PropertyValue& value);
QString toText(const PropertyValue& value);
PicturePtr toPicture(const PropertyValue& value);
FontData toFont(const PropertyValue& value);
// Whether a value equals a default once the default is converted to the value's type.
bool equalsDefault(const PropertyValue& value, const PropertyValue& defaultValue);

// The container's store of named values. Keys are matched without regard to letter case and
// keep the order in which they were first written.
class PropertyBag {
  public:
    virtual ~PropertyBag() = default;

    // The stored value, or the default when the key is absent.
    virtual PropertyValue ReadProperty(const QString& key, const PropertyValue& defaultValue) const;
    // Keeps the value, unless it equals the default: then the key is left out (and removed).
    virtual void WriteProperty(const QString& key, const PropertyValue& value,
                               const PropertyValue& defaultValue);

    // Stores a value as it stands, without the default rule (used when loading a design).
    void set(const QString& key, const PropertyValue& value);
    bool contains(const QString& key) const;
    const PropertyValue* find(const QString& key) const;
    const std::vector<std::pair<QString, PropertyValue>>& entries() const { return m_entries; }
    bool isEmpty() const { return m_entries.empty(); }

  private:
    std::vector<std::pair<QString, PropertyValue>> m_entries;
};

} // namespace velmora
