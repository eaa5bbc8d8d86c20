#pragma once

// What the library says about itself: its type library and its version block.

#include "com/TypeInfo.h"

#include <QByteArray>
#include <QString>

namespace strovel {

const platform::com::TypeLibInfo& typeLibrary();
// The version block as JSON: language, code page, numeric versions and the string table.
QByteArray versionBlock();

inline constexpr int ToolboxBitmapId = 30000;

// The maker's rights notice, in the version block and the about box.
inline const QString RightsNotice =
    QStringLiteral("Copyright (C) 2026 Quandor. All rights reserved.");

} // namespace strovel
