#include "text/Cp932.h"

#include <QLoggingCategory>
#include <QStringDecoder>
#include <algorithm>
#include <memory>
#include <unicode/ucnv.h>

Q_LOGGING_CATEGORY(lcText, "lumaret.text")

namespace platform {

namespace {

struct ConverterCloser
{
    void operator()(UConverter* converter) const { ucnv_close(converter); }
};
using Converter = std::unique_ptr<UConverter, ConverterCloser>;

// One converter per thread: a converter keeps state between calls and is not thread-safe.
UConverter* windows31j()
{
    thread_local Converter converter = [] {
        UErrorCode error = U_ZERO_ERROR;
        Converter opened(ucnv_open("windows-31j", &error));
        if (U_FAILURE(error))
            qCCritical(lcText) << "ICU has no windows-31j converter:" << u_errorName(error);
        else
            ucnv_setSubstChars(opened.get(), "?", 1, &error);
        return opened;
    }();
    return converter.get();
}

} // namespace

QByteArray toCp932(const QString& text)
{
    UConverter* converter = windows31j();
    if (!converter || text.isEmpty())
        return {};
    ucnv_resetFromUnicode(converter);
    QByteArray bytes(text.size() * 2, Qt::Uninitialized); // at most two bytes per UTF-16 unit
    UErrorCode error = U_ZERO_ERROR;
    const int32_t length =
        ucnv_fromUChars(converter, bytes.data(), int32_t(bytes.size()),
                        reinterpret_cast<const UChar*>(text.utf16()), int32_t(text.size()), &error);
    if (U_FAILURE(error))
        return {};
    bytes.truncate(length);
    return bytes;
}

QString fromCp932(const QByteArray& bytes)
{
    UConverter* converter = windows31j();
    if (!converter || bytes.isEmpty())
        return {};
    ucnv_resetToUnicode(converter);
    QString text(bytes.size(), Qt::Uninitialized); // at most one UTF-16 unit per byte
    UErrorCode error = U_ZERO_ERROR;
    const int32_t length =
        ucnv_toUChars(converter, reinterpret_cast<UChar*>(text.data()), int32_t(text.size()),
                      bytes.constData(), int32_t(bytes.size()), &error);
    if (U_FAILURE(error))
        return {};
    text.truncate(length);
    return text;
}

bool isUtf8Text(const QByteArray& bytes)
{
    if (std::all_of(bytes.begin(), bytes.end(), [](char c) { return uchar(c) < 0x80; }))
        return false;
    QStringDecoder utf8(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
    [[maybe_unused]] const QString text = utf8.decode(bytes);
    return !utf8.hasError();
}

} // namespace platform
