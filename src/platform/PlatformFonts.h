#pragma once

#include <QFont>
#include <QString>

namespace velmora {

// The face our window designs name for their buttons, and its size in points.
inline constexpr const char* kButtonFontName = "MS Sans Serif";
inline constexpr double kButtonFontPointSize = 8.25;

// Registers the substitutes for the Windows faces the designs name ("MS Sans Serif" has no
// metric-compatible font here). Call once at start, before any widget is created; calling it
// again does no harm.
void registerFontSubstitutions();

// The face "MS Sans Serif" is drawn with after registerFontSubstitutions().
QString msSansSerifSubstitute();

// "MS Sans Serif", 8.25 pt.
QFont defaultButtonFont();

} // namespace velmora
