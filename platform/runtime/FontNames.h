#pragma once

#include "runtime/RuntimeExport.h"

namespace platform {

// Stored settings and designs name the fonts "ＭＳ ゴシック" and "ＭＳ Ｐゴシック" (and their
// Latin names). They are kept as stored and resolved to the IPA Gothic fonts, which have the
// same fixed and proportional designs. Call once after the application object exists.
PLATFORM_RUNTIME_EXPORT void installFontSubstitutions();

} // namespace platform
