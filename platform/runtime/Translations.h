#pragma once

#include "runtime/RuntimeExport.h"

namespace platform {

// The program speaks Japanese whatever the system's language: Qt's own texts in the standard
// dialogs, message-box buttons and text boxes' context menus come from Qt's Japanese
// translations. A missing translation is logged; the texts then stay in English. Call once
// after the application object exists.
PLATFORM_RUNTIME_EXPORT void installJapaneseQtTranslations();

} // namespace platform
