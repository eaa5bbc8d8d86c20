#pragma once

// Private-profile (INI) text on the byte level, in code page 932, without any file access:
// finding a key's value and producing the text with one key set. Plain C++ so it can be
// fuzzed on its own.
//
// Reading: "[Name]" opens section Name (anything after the last "]" is ignored; a "]" that
// is the second byte of a two-byte character does not count); "key=value"
// lines hold values, other lines are ignored (";" does not start a comment). Spaces and tabs
// around section names, keys and values are dropped. ASCII letters in names match without
// regard to case; nothing else folds. Only the first section of a name is searched, and in
// it only the first key of a name. Lines end in CR LF, LF or CR alone; the last line may lack
// one.
//
// Writing changes one line or inserts lines and keeps every other byte; inserted and
// rewritten lines end in CR LF.

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>

namespace platform::profile {

// The stored value of the key, blanks around it dropped and one pair of matching quotes
// (" or ') around it removed; nullopt when the section or the key is missing.
std::optional<std::string> findValue(std::string_view text, std::string_view section,
                                     std::string_view key);

// The text with the key set to the value: the key's line rewritten in place (keeping the
// key's stored spelling), or a new line at the end of the section (just before the next
// section header), or a new section at the end. nullopt when the value is already stored.
std::optional<std::string> withValue(std::string_view text, std::string_view section,
                                     std::string_view key, std::string_view value);

// Copies at most size - 1 bytes of value into buffer, never ending inside a two-byte
// character, and terminates it with a zero byte. Returns the bytes copied.
size_t copyValue(std::string_view value, char* buffer, size_t size);

// ASCII letters without regard to case, two-byte characters exactly.
bool namesMatch(std::string_view a, std::string_view b);

} // namespace platform::profile
