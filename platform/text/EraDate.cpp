#include "text/EraDate.h"

#include <QLoggingCategory>
#include <memory>
#include <unicode/gregocal.h>
#include <unicode/smpdtfmt.h>

Q_DECLARE_LOGGING_CATEGORY(lcText)

namespace platform {

QString japaneseEraDatePrefix(const QDate& date)
{
    UErrorCode status = U_ZERO_ERROR;
    const icu::Locale japanese("ja_JP@calendar=japanese");
    // "y=latn": years in plain digits, so an era's first year is "1" and not "元".
    icu::SimpleDateFormat format(icu::UnicodeString::fromUTF8("Gy年M月d日（EEEE） "),
                                 icu::UnicodeString::fromUTF8("y=latn"), japanese, status);
    // The day's noon in the local time zone stands for the day.
    icu::GregorianCalendar gregorian(status);
    if (U_FAILURE(status)) {
        qCWarning(lcText) << "cannot format era dates:" << u_errorName(status);
        return {};
    }
    gregorian.clear();
    gregorian.set(date.year(), date.month() - 1, date.day(), 12, 0, 0);
    const UDate instant = gregorian.getTime(status);
    icu::UnicodeString text;
    format.format(instant, text);
    if (U_FAILURE(status))
        return {};
    return QString(reinterpret_cast<const QChar*>(text.getBuffer()), text.length());
}

} // namespace platform
