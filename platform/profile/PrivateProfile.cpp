#include "profile/PrivateProfile.h"

#include "profile/AtomicFile.h"
#include "profile/ProfileText.h"

#include <QFile>
#include <QLoggingCategory>

Q_LOGGING_CATEGORY(lcProfile, "lumaret.profile")

namespace platform {

namespace {

std::string_view view(const QByteArray& bytes)
{
    return {bytes.constData(), size_t(bytes.size())};
}

// The file's bytes; empty when it is missing or unreadable.
QByteArray fileBytes(const QString& path, bool* readable = nullptr)
{
    QFile file(path);
    const bool ok = file.open(QIODevice::ReadOnly);
    if (readable)
        *readable = ok || !file.exists();
    return ok ? file.readAll() : QByteArray();
}

} // namespace

uint32_t GetPrivateProfileStringA(const QByteArray& section, const QByteArray& key,
                                  const QByteArray& defaultValue, char* buffer, uint32_t size,
                                  const QString& file)
{
    const QByteArray text = fileBytes(file);
    const std::optional<std::string> stored =
        profile::findValue(view(text), view(section), view(key));
    if (stored)
        return uint32_t(profile::copyValue(*stored, buffer, size));
    QByteArray fallback = defaultValue;
    while (fallback.endsWith(' '))
        fallback.chop(1);
    return uint32_t(profile::copyValue(view(fallback), buffer, size));
}

bool WritePrivateProfileStringA(const QByteArray& section, const QByteArray& key,
                                const QByteArray& value, const QString& file)
{
    bool readable = true;
    const QByteArray text = fileBytes(file, &readable);
    if (!readable) {
        qCWarning(lcProfile).noquote() << "cannot read" << file << "to set" << key;
        return false;
    }
    const std::optional<std::string> changed =
        profile::withValue(view(text), view(section), view(key), view(value));
    if (!changed)
        return true; // already stored: the file stays untouched
    return replaceFileContents(file, QByteArray(changed->data(), qsizetype(changed->size())));
}

} // namespace platform
