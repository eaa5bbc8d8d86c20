#include "runtime/FontNames.h"

#include <QFont>
#include <QString>

namespace platform {

namespace {

const QString FixedNames[] = {QStringLiteral("ＭＳ ゴシック"), QStringLiteral("MS Gothic")};
const QString ProportionalNames[] = {QStringLiteral("ＭＳ Ｐゴシック"),
                                     QStringLiteral("MS PGothic")};

} // namespace

void installFontSubstitutions()
{
    for (const QString& name : FixedNames)
        QFont::insertSubstitution(name, QStringLiteral("IPAGothic"));
    for (const QString& name : ProportionalNames)
        QFont::insertSubstitution(name, QStringLiteral("IPAPGothic"));
}

bool hasStoredCellHeight(const QString& family)
{
    for (const QString& name : FixedNames)
        if (family.compare(name, Qt::CaseInsensitive) == 0)
            return true;
    for (const QString& name : ProportionalNames)
        if (family.compare(name, Qt::CaseInsensitive) == 0)
            return true;
    return false;
}

} // namespace platform
