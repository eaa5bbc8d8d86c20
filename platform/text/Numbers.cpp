#include "text/Numbers.h"

#include <QRegularExpression>

namespace platform {

namespace {

bool isBlank(QChar c)
{
    return c == u' ' || c == u'\t' || c == u'\n' || c == u'\r';
}

} // namespace

double leadingNumber(const QString& text)
{
    QString compact;
    compact.reserve(text.size());
    for (const QChar c : text)
        if (!isBlank(c))
            compact.append(c);
    static const QRegularExpression number(
        QStringLiteral("^[+-]?(\\d+\\.?\\d*|\\.\\d+)([EeDd][+-]?\\d+)?"));
    const QRegularExpressionMatch match = number.match(compact);
    if (!match.hasMatch())
        return 0.0;
    QString found = match.captured(0);
    found.replace(u'D', u'E').replace(u'd', u'e');
    return found.toDouble();
}

std::optional<double> wholeTextNumber(const QString& text)
{
    static const QRegularExpression number(
        QStringLiteral("^[ \\t]*([+-]?(\\d+\\.?\\d*|\\.\\d+)([Ee][+-]?\\d+)?)[ \\t]*$"));
    const QRegularExpressionMatch match = number.match(text);
    if (!match.hasMatch())
        return std::nullopt;
    bool ok = false;
    const double value = match.captured(1).toDouble(&ok);
    return ok ? std::optional<double>(value) : std::nullopt;
}

} // namespace platform
