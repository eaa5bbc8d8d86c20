#pragma once

#include "runtime/RuntimeExport.h"

namespace platform {

// Stored settings and designs name the fonts "ＭＳ ゴシック" and "ＭＳ Ｐゴシック" (and their
// Latin names). They are kept as stored and resolved to the IPA Gothic fonts, which have the
// same fixed and proportional designs. Call once after the application object exists.
PLATFORM_RUNTIME_EXPORT void installFontSubstitutions();

// True for the stored names resolved to the IPA fonts. Their text is laid out in the cell
// height the stored fonts had (points x 96 / 72, rounded, at 96 dpi), so stored settings give
// the boards they gave before; the IPA fonts' own line height is a pixel taller.
PLATFORM_RUNTIME_EXPORT bool hasStoredCellHeight(const QString& family);

} // namespace platform
