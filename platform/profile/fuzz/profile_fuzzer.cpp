// libFuzzer target for the private-profile text functions: reading and writing any bytes
// must neither crash nor break the rules that callers rely on. Build and run with
// ./run-fuzzer (see that script).
//
// Input: three length bytes, then section, key and value of those lengths, then the text.

#include "../ProfileText.h"

#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

using namespace platform::profile;

namespace {

bool isBlank(char c)
{
    return c == ' ' || c == '\t';
}

// Names and values that a line can hold as they are.
bool isPlain(std::string_view s, bool isName)
{
    if (s.empty())
        return !isName;
    if (isBlank(s.front()) || isBlank(s.back()))
        return false;
    if (s.find_first_of(isName ? "\r\n=[]" : "\r\n") != std::string_view::npos)
        return false;
    if (!isName && s.size() >= 2 && (s.front() == '"' || s.front() == '\'') &&
        s.back() == s.front())
        return false;
    return true;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    if (size < 3)
        return 0;
    std::string_view input(reinterpret_cast<const char*>(data), size);
    size_t lengths[3] = {size_t(data[0] % 32), size_t(data[1] % 32), size_t(data[2] % 64)};
    input.remove_prefix(3);
    std::string_view parts[3];
    for (int i = 0; i < 3; ++i) {
        const size_t n = std::min(lengths[i], input.size());
        parts[i] = input.substr(0, n);
        input.remove_prefix(n);
    }
    const auto [section, key, value] = parts;
    const std::string_view text = input;

    const auto found = findValue(text, section, key);
    if (found && found->size() > text.size())
        std::abort();

    const auto written = withValue(text, section, key, value);
    if (isPlain(section, true) && isPlain(key, true) && isPlain(value, false)) {
        // What was written reads back.
        const auto readBack = findValue(written ? std::string_view(*written) : text, section, key);
        if (!readBack || *readBack != value)
            std::abort();
        // Writing it again changes nothing.
        if (written && withValue(*written, section, key, value))
            std::abort();
    }

    char buffer[40];
    const size_t bufferSize = 1 + data[0] % sizeof buffer;
    const size_t copied = copyValue(text, buffer, bufferSize);
    if (copied >= bufferSize || buffer[copied] != '\0' ||
        std::string_view(buffer, copied) != text.substr(0, copied))
        std::abort();
    return 0;
}
