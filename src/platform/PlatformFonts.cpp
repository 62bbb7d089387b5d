#include "platform/PlatformFonts.h"

#include <QFontDatabase>
#include <QStringList>

namespace velmora {

namespace {

QString firstInstalled(const QStringList& candidates) {
    const QStringList families = QFontDatabase::families();
    for (const QString& candidate : candidates)
        if (families.contains(candidate, Qt::CaseInsensitive))
            return candidate;
    return QString();
}

} // namespace

QString msSansSerifSubstitute() {
    // Liberation Sans (Arial's metrics) comes closest in width to the old bitmap face.
    const QString found =
        firstInstalled({QStringLiteral("Liberation Sans"), QStringLiteral("DejaVu Sans")});
    return found.isEmpty() ? QStringLiteral("Sans Serif") : found;
}

void registerFontSubstitutions() {
    const QString substitute = msSansSerifSubstitute();
    // Qt keeps each substitute once, so calling this again adds nothing.
    for (const char* face : {kButtonFontName, "Microsoft Sans Serif"})
        QFont::insertSubstitution(QString::fromLatin1(face), substitute);
    const QString arial = firstInstalled({QStringLiteral("Liberation Sans")});
    if (!arial.isEmpty())
        QFont::insertSubstitution(QStringLiteral("Arial"), arial);
}

QFont defaultButtonFont() {
    QFont font(QString::fromLatin1(kButtonFontName));
    font.setPointSizeF(kButtonFontPointSize);
    return font;
}

} // namespace velmora
