#pragma once

// The two ways the programs read numbers typed as text.

#include "text/TextExport.h"

#include <QString>
#include <optional>

namespace platform {

// The number at the start of the text: blanks (spaces, tabs, line feeds) are skipped wherever
// they stand, reading stops at the first character that can not continue the number, and a
// text without a number gives 0. "5a" is 5, " 1 2" is 12, "abc" is 0, "1e3" is 1000.
PLATFORM_TEXT_EXPORT double leadingNumber(const QString& text);

// The whole text as a number, blanks around it allowed: an optional sign, digits with an
// optional decimal point, an optional exponent. "5a" and "" are not numbers; " 60.5 " is.
PLATFORM_TEXT_EXPORT std::optional<double> wholeTextNumber(const QString& text);

} // namespace platform
