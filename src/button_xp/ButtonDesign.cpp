#include "button_xp/ButtonDesign.h"

#include "button_xp/Button_XP.h"

#include <QBuffer>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QJsonValue>

#include <cmath>
#include <limits>

namespace velmora {

namespace {

// Anything past this is not a window design; refuse it rather than decode it.
constexpr qsizetype kMaxDesignBytes = 16 * 1024 * 1024;

struct ParseError {
    QString message;
};

[[noreturn]] void fail(const QString& message) {
    throw ParseError{message};
}

double wholeNumber(const QJsonValue& value, double low, double high, const QString& what) {
    if (!value.isDouble())
        fail(QStringLiteral("%1 must be a number").arg(what));
    const double number = value.toDouble();
    if (!std::isfinite(number) || number != std::floor(number) || number < low || number > high)
        fail(QStringLiteral("%1 is out of range").arg(what));
    return number;
}

FontData fontFromJson(const QJsonValue& value, const QString& key) {
    if (!value.isObject())
        fail(QStringLiteral("font value of \"%1\" must be an object").arg(key));
    const QJsonObject o = value.toObject();
    FontData font;
    font.name = o.value(QLatin1String("name")).toString(font.name);
    const QJsonValue size = o.value(QLatin1String("size"));
    if (!size.isUndefined()) {
        if (!size.isDouble() || !std::isfinite(size.toDouble()) || size.toDouble() <= 0 ||
            size.toDouble() > 2048)
            fail(QStringLiteral("font size of \"%1\" is out of range").arg(key));
        font.size = size.toDouble();
    }
    font.bold = o.value(QLatin1String("bold")).toBool(false);
    font.italic = o.value(QLatin1String("italic")).toBool(false);
    font.underline = o.value(QLatin1String("underline")).toBool(false);
    font.strikethrough = o.value(QLatin1String("strikethrough")).toBool(false);
    const QJsonValue weight = o.value(QLatin1String("weight"));
    if (!weight.isUndefined())
        font.weight = short(wholeNumber(weight, 0, 1000, QStringLiteral("font weight")));
    const QJsonValue charset = o.value(QLatin1String("charset"));
    if (!charset.isUndefined())
        font.charset = short(wholeNumber(charset, 0, 255, QStringLiteral("font charset")));
    return font;
}

QJsonObject fontToJson(const FontData& font) {
    return QJsonObject{{QStringLiteral("name"), font.name},
                       {QStringLiteral("size"), font.size},
                       {QStringLiteral("bold"), font.bold},
                       {QStringLiteral("italic"), font.italic},
                       {QStringLiteral("underline"), font.underline},
                       {QStringLiteral("strikethrough"), font.strikethrough},
                       {QStringLiteral("weight"), font.weight},
                       {QStringLiteral("charset"), font.charset}};
}

PicturePtr pictureFromJson(const QJsonValue& value, const QString& key) {
    if (value.isNull())
        return nullptr;
    if (!value.isObject())
        fail(QStringLiteral("picture value of \"%1\" must be an object or null").arg(key));
    const QJsonObject o = value.toObject();
    const int kind =
        int(wholeNumber(o.value(QLatin1String("kind")), 0, 3, QStringLiteral("picture kind")));
    if (kind == 0)
        return std::make_shared<StdPicture>();
    if (kind != StdPicture::Bitmap && kind != StdPicture::Icon)
        fail(QStringLiteral("picture kind of \"%1\" is unknown").arg(key));
    const QByteArray encoded = o.value(QLatin1String("png")).toString().toLatin1();
    const auto decoded =
        QByteArray::fromBase64Encoding(encoded, QByteArray::AbortOnBase64DecodingErrors);
    if (!decoded)
        fail(QStringLiteral("picture data of \"%1\" is not base64").arg(key));
    QImage image;
    if (!image.loadFromData(*decoded, "PNG"))
        fail(QStringLiteral("picture data of \"%1\" is not a PNG image").arg(key));
    const int w = int(wholeNumber(o.value(QLatin1String("himetricWidth")), 0, 1e7,
                                  QStringLiteral("picture width")));
    const int h = int(wholeNumber(o.value(QLatin1String("himetricHeight")), 0, 1e7,
                                  QStringLiteral("picture height")));
    return std::make_shared<StdPicture>(StdPicture::Type(kind), image, w, h);
}

QJsonValue pictureToJson(const PicturePtr& picture) {
    if (!picture)
        return QJsonValue(QJsonValue::Null);
    QJsonObject o{{QStringLiteral("kind"), int(picture->type())}};
    if (picture->type() == StdPicture::Empty)
        return o;
    QByteArray png;
    QBuffer buffer(&png);
    buffer.open(QIODevice::WriteOnly);
    picture->image().save(&buffer, "PNG");
    o.insert(QStringLiteral("png"), QString::fromLatin1(png.toBase64()));
    o.insert(QStringLiteral("himetricWidth"), picture->Width());
    o.insert(QStringLiteral("himetricHeight"), picture->Height());
    return o;
}

PropertyValue valueFromJson(const QString& type, const QJsonValue& value, const QString& key) {
    if (type == QLatin1String("Long"))
        return std::int32_t(wholeNumber(value, std::numeric_limits<std::int32_t>::min(),
                                        std::numeric_limits<std::int32_t>::max(),
                                        QStringLiteral("\"%1\"").arg(key)));
    if (type == QLatin1String("Integer"))
        return std::int16_t(wholeNumber(value, -32768, 32767, QStringLiteral("\"%1\"").arg(key)));
    if (type == QLatin1String("flag")) {
        if (!value.isBool())
            fail(QStringLiteral("flag value of \"%1\" must be true or false").arg(key));
        return FlagValue{value.toBool()};
    }
    if (type == QLatin1String("text")) {
        if (!value.isString())
            fail(QStringLiteral("text value of \"%1\" must be a string").arg(key));
        return value.toString();
    }
    if (type == QLatin1String("picture"))
        return pictureFromJson(value, key);
    if (type == QLatin1String("font"))
        return fontFromJson(value, key);
    fail(QStringLiteral("value type \"%1\" of \"%2\" is unknown").arg(type, key));
}

QJsonObject entryToJson(const QString& key, const PropertyValue& value) {
    QJsonObject o{{QStringLiteral("key"), key}};
    if (const auto* v = std::get_if<std::int32_t>(&value)) {
        o.insert(QStringLiteral("type"), QStringLiteral("Long"));
        o.insert(QStringLiteral("value"), *v);
    } else if (const auto* v = std::get_if<std::int16_t>(&value)) {
        o.insert(QStringLiteral("type"), QStringLiteral("Integer"));
        o.insert(QStringLiteral("value"), *v);
    } else if (const auto* v = std::get_if<FlagValue>(&value)) {
        o.insert(QStringLiteral("type"), QStringLiteral("flag"));
        o.insert(QStringLiteral("value"), v->value);
    } else if (const auto* v = std::get_if<QString>(&value)) {
        o.insert(QStringLiteral("type"), QStringLiteral("text"));
        o.insert(QStringLiteral("value"), *v);
    } else if (const auto* v = std::get_if<PicturePtr>(&value)) {
        o.insert(QStringLiteral("type"), QStringLiteral("picture"));
        o.insert(QStringLiteral("value"), pictureToJson(*v));
    } else if (const auto* v = std::get_if<FontData>(&value)) {
        o.insert(QStringLiteral("type"), QStringLiteral("font"));
        o.insert(QStringLiteral("value"), fontToJson(*v));
    }
    return o;
}

ControlDesign controlFromJson(const QJsonValue& value, qsizetype index) {
    if (!value.isObject())
        fail(QStringLiteral("control %1 must be an object").arg(index));
    const QJsonObject o = value.toObject();
    ControlDesign control;
    control.name = o.value(QLatin1String("name")).toString();
    if (control.name.isEmpty())
        fail(QStringLiteral("control %1 has no name").arg(index));
    const QJsonValue properties = o.value(QLatin1String("properties"));
    if (!properties.isArray())
        fail(QStringLiteral("control \"%1\" has no property list").arg(control.name));
    for (const QJsonValue& entry : properties.toArray()) {
        if (!entry.isObject())
            fail(QStringLiteral("a property of \"%1\" is not an object").arg(control.name));
        const QJsonObject e = entry.toObject();
        const QString key = e.value(QLatin1String("key")).toString();
        if (key.isEmpty())
            fail(QStringLiteral("a property of \"%1\" has no key").arg(control.name));
        if (control.values.contains(key))
            fail(QStringLiteral("\"%1\" is stored twice for \"%2\"").arg(key, control.name));
        control.values.set(key, valueFromJson(e.value(QLatin1String("type")).toString(),
                                              e.value(QLatin1String("value")), key));
    }
    return control;
}

} // namespace

QSize ControlDesign::pixelSize() const {
    const PropertyValue* x = values.find(QStringLiteral("_extentx"));
    const PropertyValue* y = values.find(QStringLiteral("_extenty"));
    if (!x || !y)
        return QSize();
    try {
        const double w = UserControl::ScaleX(toLong(*x), ScaleUnit::Himetric, ScaleUnit::Pixels);
        const double h = UserControl::ScaleY(toLong(*y), ScaleUnit::Himetric, ScaleUnit::Pixels);
        // No window is larger than this; a stored extent past it is not a real size.
        constexpr double kMax = 32767.0;
        if (w < 0 || h < 0 || w > kMax || h > kMax)
            return QSize();
        return QSize(int(std::lround(w)), int(std::lround(h)));
    } catch (const PropertyError&) {
        return QSize();
    }
}

const ControlDesign* WindowDesign::control(const QString& name) const {
    for (const ControlDesign& c : controls) {
        if (c.name.compare(name, Qt::CaseInsensitive) == 0)
            return &c;
    }
    return nullptr;
}

DesignResult parseDesign(const QByteArray& bytes) {
    if (bytes.size() > kMaxDesignBytes)
        return tl::unexpected(QStringLiteral("The design is too large."));
    QJsonParseError jsonError;
    const QJsonDocument document = QJsonDocument::fromJson(bytes, &jsonError);
    if (jsonError.error != QJsonParseError::NoError)
        return tl::unexpected(QStringLiteral("The design is not valid JSON: %1 at offset %2.")
                                  .arg(jsonError.errorString())
                                  .arg(jsonError.offset));
    if (!document.isObject())
        return tl::unexpected(QStringLiteral("The design must be a JSON object."));
    try {
        const QJsonObject root = document.object();
        WindowDesign design;
        design.window = root.value(QLatin1String("window")).toString();
        const QJsonValue controls = root.value(QLatin1String("controls"));
        if (!controls.isArray())
            fail(QStringLiteral("the design has no control list"));
        const QJsonArray list = controls.toArray();
        for (qsizetype i = 0; i < list.size(); ++i) {
            ControlDesign control = controlFromJson(list.at(i), i);
            if (design.control(control.name))
                fail(QStringLiteral("control \"%1\" appears twice").arg(control.name));
            design.controls.push_back(std::move(control));
        }
        return design;
    } catch (const ParseError& e) {
        return tl::unexpected(QStringLiteral("The design cannot be read: %1.").arg(e.message));
    }
}

DesignResult loadDesign(const QString& path) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return tl::unexpected(QStringLiteral("The design \"%1\" cannot be opened: %2.")
                                  .arg(path, file.errorString()));
    // Read one byte past the limit so an oversized file is refused, not truncated.
    return parseDesign(file.read(kMaxDesignBytes + 1));
}

QByteArray serializeDesign(const WindowDesign& design) {
    QJsonArray controls;
    for (const ControlDesign& control : design.controls) {
        QJsonArray properties;
        for (const auto& [key, value] : control.values.entries())
            properties.append(entryToJson(key, value));
        controls.append(QJsonObject{{QStringLiteral("name"), control.name},
                                    {QStringLiteral("properties"), properties}});
    }
    const QJsonObject root{{QStringLiteral("window"), design.window},
                           {QStringLiteral("controls"), controls}};
    return QJsonDocument(root).toJson(QJsonDocument::Indented);
}

conversion::Result<void, QString> applyDesign(Button_XP& button, const ControlDesign& design) {
    const QSize size = design.pixelSize();
    if (size.isValid())
        button.host().resize(size);
    try {
        button.ReadProperties(design.values);
    } catch (const PropertyError& e) {
        return tl::unexpected(QStringLiteral("The stored settings of \"%1\" cannot be loaded: %2.")
                                  .arg(design.name, QString::fromUtf8(e.what())));
    }
    return {};
}

ControlDesign captureDesign(const Button_XP& button, const QString& name) {
    ControlDesign design;
    design.name = name;
    const UserControl& host = button.host();
    design.values.set(QStringLiteral("_extentx"),
                      std::int32_t(std::lround(UserControl::ScaleX(host.width(), ScaleUnit::Pixels,
                                                                   ScaleUnit::Himetric))));
    design.values.set(QStringLiteral("_extenty"),
                      std::int32_t(std::lround(UserControl::ScaleY(host.height(), ScaleUnit::Pixels,
                                                                   ScaleUnit::Himetric))));
    button.WriteProperties(design.values);
    return design;
}

} // namespace velmora
