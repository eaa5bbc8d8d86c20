#include "runtime/FontNames.h"

#include <QFont>
#include <QString>

namespace platform {

void installFontSubstitutions()
{
    const QString gothic = QStringLiteral("IPAGothic");
    const QString pgothic = QStringLiteral("IPAPGothic");
    QFont::insertSubstitution(QStringLiteral("ＭＳ ゴシック"), gothic);
    QFont::insertSubstitution(QStringLiteral("MS Gothic"), gothic);
    QFont::insertSubstitution(QStringLiteral("ＭＳ Ｐゴシック"), pgothic);
    QFont::insertSubstitution(QStringLiteral("MS PGothic"), pgothic);
}

} // namespace platform
