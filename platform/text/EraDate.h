#pragma once

#include "text/TextExport.h"

#include <QDate>
#include <QString>

namespace platform {

// The date as the telop's prefix: Japanese era and year of the era, month and day without
// leading zeros, the full weekday in full-width brackets and one blank, for example
// "令和3年4月5日（月曜日） ". The first year of an era is "1".
PLATFORM_TEXT_EXPORT QString japaneseEraDatePrefix(const QDate& date);

} // namespace platform
