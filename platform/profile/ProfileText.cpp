#include "ProfileText.h"

#include <algorithm>

namespace platform::profile {

namespace {

bool isBlank(char c)
{
    return c == ' ' || c == '\t';
}

bool isLeadByte(unsigned char byte)
{
    return (byte >= 0x81 && byte <= 0x9F) || (byte >= 0xE0 && byte <= 0xFC);
}

char asciiLower(char c)
{
    return (c >= 'A' && c <= 'Z') ? char(c - 'A' + 'a') : c;
}

std::string_view trimmed(std::string_view s)
{
    while (!s.empty() && isBlank(s.front()))
        s.remove_prefix(1);
    while (!s.empty() && (isBlank(s.back()) || s.back() == '\r'))
        s.remove_suffix(1);
    return s;
}

// One line of the text: where it starts, where its content ends (before CR LF or LF) and
// where the next line starts.
struct Line
{
    size_t begin = 0;
    size_t contentEnd = 0;
    size_t next = 0;
    std::string_view content;
};

// Lines end in CR LF, LF or CR alone, as files written on any system may.
Line lineAt(std::string_view text, size_t begin)
{
    const size_t end = text.find_first_of("\r\n", begin);
    Line line;
    line.begin = begin;
    line.contentEnd = end == std::string_view::npos ? text.size() : end;
    line.next = line.contentEnd;
    if (end != std::string_view::npos)
        line.next += text.compare(end, 2, "\r\n") == 0 ? 2 : 1;
    line.content = text.substr(begin, line.contentEnd - begin);
    return line;
}

// The section name of a header line, or nullopt for other lines.
std::optional<std::string_view> sectionName(std::string_view content)
{
    const std::string_view s = trimmed(content);
    if (s.empty() || s.front() != '[')
        return std::nullopt;
    // The last "]" that is a character of its own, not the second byte of a two-byte one.
    size_t close = std::string_view::npos;
    for (size_t i = 1; i < s.size(); ++i) {
        if (isLeadByte(static_cast<unsigned char>(s[i])) && i + 1 < s.size())
            ++i;
        else if (s[i] == ']')
            close = i;
    }
    if (close == std::string_view::npos)
        return trimmed(s.substr(1));
    return trimmed(s.substr(1, close - 1));
}

struct Entry
{
    std::string_view key;
    std::string_view value;
};

std::optional<Entry> entryOf(std::string_view content)
{
    const size_t eq = content.find('=');
    if (eq == std::string_view::npos)
        return std::nullopt;
    return Entry{trimmed(content.substr(0, eq)), trimmed(content.substr(eq + 1))};
}

// Where things are in the text for one section and key.
struct Location
{
    bool sectionFound = false;
    size_t sectionEnd = 0;        // where a new key of the section goes
    std::optional<Line> keyLine;  // the key's line, when present
    std::string_view storedKey;   // its spelling
    std::string_view storedValue; // its value, blanks dropped, quotes kept
};

Location locate(std::string_view text, std::string_view section, std::string_view key)
{
    Location where;
    bool inSection = false;
    for (size_t pos = 0; pos < text.size();) {
        const Line line = lineAt(text, pos);
        pos = line.next;
        if (const auto name = sectionName(line.content)) {
            if (inSection) {
                where.sectionEnd = line.begin; // just before the next header
                return where;
            }
            inSection = !where.sectionFound && namesMatch(*name, section);
            where.sectionFound = where.sectionFound || inSection;
            continue;
        }
        if (!inSection)
            continue;
        if (const auto entry = entryOf(line.content);
            entry && !where.keyLine && namesMatch(entry->key, key)) {
            where.keyLine = line;
            where.storedKey = entry->key;
            where.storedValue = entry->value;
        }
    }
    where.sectionEnd = text.size();
    return where;
}

std::string_view withoutQuotes(std::string_view value)
{
    if (value.size() >= 2 && (value.front() == '"' || value.front() == '\'') &&
        value.back() == value.front())
        return value.substr(1, value.size() - 2);
    return value;
}

bool endsWithLineEnd(std::string_view text)
{
    return text.empty() || text.back() == '\n' || text.back() == '\r';
}

} // namespace

bool namesMatch(std::string_view a, std::string_view b)
{
    if (a.size() != b.size())
        return false;
    for (size_t i = 0; i < a.size(); ++i) {
        if (isLeadByte(static_cast<unsigned char>(a[i])) && i + 1 < a.size()) {
            if (a[i] != b[i] || a[i + 1] != b[i + 1])
                return false;
            ++i;
        } else if (asciiLower(a[i]) != asciiLower(b[i])) {
            return false;
        }
    }
    return true;
}

std::optional<std::string> findValue(std::string_view text, std::string_view section,
                                     std::string_view key)
{
    const Location where = locate(text, trimmed(section), trimmed(key));
    if (!where.keyLine)
        return std::nullopt;
    return std::string(withoutQuotes(where.storedValue));
}

std::optional<std::string> withValue(std::string_view text, std::string_view section,
                                     std::string_view key, std::string_view value)
{
    section = trimmed(section);
    key = trimmed(key);
    const Location where = locate(text, section, key);
    std::string result;
    result.reserve(text.size() + section.size() + key.size() + value.size() + 8);

    if (where.keyLine) {
        if (where.storedValue == value)
            return std::nullopt;
        const Line& line = *where.keyLine;
        result.append(text.substr(0, line.begin));
        result.append(where.storedKey).append("=").append(value).append("\r\n");
        result.append(text.substr(line.next));
        return result;
    }

    // New lines go at the insertion point; a last line without a line end gets one first.
    const size_t at = where.sectionFound ? where.sectionEnd : text.size();
    result.append(text.substr(0, at));
    if (!endsWithLineEnd(result))
        result.append("\r\n");
    if (!where.sectionFound)
        result.append("[").append(section).append("]\r\n");
    result.append(key).append("=").append(value).append("\r\n");
    result.append(text.substr(at));
    return result;
}

size_t copyValue(std::string_view value, char* buffer, size_t size)
{
    if (!buffer || size == 0)
        return 0;
    size_t count = std::min(value.size(), size - 1);
    if (count < value.size()) {
        // Do not end inside a two-byte character: find where the last whole character ends.
        size_t i = 0;
        while (i < count) {
            const size_t width = isLeadByte(static_cast<unsigned char>(value[i])) ? 2 : 1;
            if (i + width > count)
                break;
            i += width;
        }
        count = i;
    }
    std::copy_n(value.data(), count, buffer);
    buffer[count] = '\0';
    return count;
}

} // namespace platform::profile
