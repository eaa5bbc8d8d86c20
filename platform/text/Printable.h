#pragma once

#include "text/TextExport.h"

#include <QString>

namespace platform {

// Text from outside (a shared folder, another PC, a movie) as it may reach a log or a terminal:
// control characters (ESC, BEL, line breaks), bidirectional and other format characters
// (U+202E, U+200E) and line and paragraph separators become "\u{XXXX}", so no such text can
// move the cursor, colour a terminal, reorder a line or forge one.
PLATFORM_TEXT_EXPORT QString printable(const QString& text);

} // namespace platform
