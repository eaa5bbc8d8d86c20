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
    return WritePrivateProfileStrings(section, {{key, value}}, file);
}

bool WritePrivateProfileStrings(const QByteArray& section,
                                const QList<std::pair<QByteArray, QByteArray>>& keyValues,
                                const QString& file)
{
    bool readable = true;
    const QByteArray original = fileBytes(file, &readable);
    if (!readable) {
        qCWarning(lcProfile).noquote() << "cannot read" << file << "to set its keys";
        return false;
    }
    std::string text(original.constData(), size_t(original.size()));
    bool changed = false;
    for (const auto& [key, value] : keyValues) {
        if (auto next = profile::withValue(text, view(section), view(key), view(value))) {
            text = std::move(*next);
            changed = true;
        }
    }
    if (!changed)
        return true; // all already stored: the file stays untouched
    return replaceFileContents(file, QByteArray(text.data(), qsizetype(text.size())));
}

} // namespace platform
