// The register map window's caption, headings and the names it is announced by, word for word.
#pragma once

#include <QLatin1String>

namespace larkspur::text {

inline constexpr QLatin1String kRegisterMapTitle("Register View");
inline constexpr QLatin1String kRegisterMapArea("Register map");
inline constexpr QLatin1String kRegisterMapClose("Close");
inline constexpr QLatin1String kRegisterHeading("Reg #");
// "B7" to "B0" above the bit columns.
inline constexpr QLatin1String kBitHeading("B%1");

} // namespace larkspur::text
