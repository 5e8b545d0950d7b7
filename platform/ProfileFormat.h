// The text format of profile files, independent of where the text is stored: looking a key
// up in a file's text and producing the text of a file with one key set.
//
// Lines end in LF or CRLF (a CR that ends the text is taken as a cut-off CRLF); every line
// keeps its own line end. A section header is a line whose first non-blank character is
// "[", named by the text up to the first "]" (or the end of the line). A key line holds
// "=": the key is the text before the first "=", the value the text after it, both trimmed
// of blanks. Lines whose first non-blank character is ";" are comments. Other lines are
// kept but never match. Lines before the first section header belong to no section.
//
// Section and key names given by callers are trimmed of blanks too; an empty name never
// matches anything.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace velora::platform {

// The most of a profile file that counts. A larger file (a profile is a few kilobytes; this
// one is damaged, or not a profile at all) holds only the lines that end within its first
// kProfileMaxBytes bytes, and is not written to.
inline constexpr std::size_t kProfileMaxBytes = std::size_t{1} << 20;

// The part of a file's text that counts: the text itself when it is at most
// kProfileMaxBytes long, else its lines that end within that many bytes, each with its line
// end, so that no line is read in part.
std::string_view profileFirstPart(std::string_view text);

// The value of a key in the first section of that name, trimmed, with matching outer
// quotes (double or single) dropped. Nothing when the section or the key is missing.
std::optional<std::string> findProfileValue(std::string_view text, std::string_view section, std::string_view key);

// Whether a key can be written so that reading it back finds it: the section name (trimmed)
// is not empty and holds no CR, LF or "]"; the key name (trimmed) is not empty, holds no
// CR, LF or "=" and does not start with "[" or ";"; the value holds no CR or LF. Anything
// else would change the file's structure (a value with a line feed could add keys or
// sections of its own), so writes refuse it.
bool isStorableProfileEntry(std::string_view section, std::string_view key, std::string_view value);

// The text of the file with the key set to the value. Every other line stays byte for byte;
// an existing key line (the first one of that key in the first section of that name) is
// replaced in place, keeping the key's spelling and indentation and the line's own end; a
// new key goes after the last key line of the section (after the header when there is
// none), before any comments or blank lines that close the section; a new section goes at
// the end of the text, after a blank line unless the text is empty or already ends in one.
// New lines use the line end of the file's first line (LF in an empty file or one without
// any line end). When a line must follow a last line that has no line end, that line end
// is added first. Returns the text unchanged when the entry is not storable (see above).
std::string setProfileValue(std::string_view text, std::string_view section, std::string_view key,
                            std::string_view value);

// An integer value as profile reads give it: leading blanks, an optional sign, then the
// leading decimal digits (0 when there are none); wraps modulo 2^32 like the original.
std::int32_t parseProfileInt(std::string_view value);

// What a text read gives: the key's value cut to maxChars characters, or, when the file
// (fileText is nothing), the section or the key is missing, the default with its trailing
// blanks removed, cut likewise.
std::string profileReadString(std::optional<std::string_view> fileText, std::string_view section, std::string_view key,
                              std::string_view defaultValue, std::size_t maxChars);

// What an integer read gives: parseProfileInt of the key's value, or the default when the
// file (fileText is nothing), the section or the key is missing or the value is empty.
std::int32_t profileReadInt(std::optional<std::string_view> fileText, std::string_view section, std::string_view key,
                            std::int32_t defaultValue);

// Removes blanks (spaces and tabs) from both ends.
std::string_view trimBlanks(std::string_view text);

// Whether two names are equal when ASCII letters are compared without regard to case.
bool equalsIgnoringCase(std::string_view a, std::string_view b);

} // namespace velora::platform
