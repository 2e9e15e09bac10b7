// UTF-16 to UTF-8 encoding of runs of units.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace kebu {

// Encodes `count` UTF-16 units as UTF-8 into `out` (no terminator written)
// and returns the number of bytes. With out == nullptr only the count is
// returned; it equals the count with a buffer. A valid surrogate pair becomes
// one 4-byte sequence, a lone surrogate becomes EF BF BD (U+FFFD); a 0 unit
// inside the run becomes a 0 byte. The caller gives room for 3 bytes per unit.
uint32_t Utf16ToUtf8(const char16_t* units, uint32_t count, uint8_t* out);

// Convenience forms for the tools: whole strings. Utf8ToUtf16 turns each
// ill-formed sequence (and an encoded surrogate) into U+FFFD: one U+FFFD for
// each maximal subpart of a sequence (the longest start of a well-formed
// sequence, else one byte), and one for a whole encoded surrogate ED A0-BF xx.
std::string Utf16ToUtf8(std::u16string_view text);
// `wellFormed`, when given, tells whether the text was well-formed UTF-8
// (no U+FFFD was put in for a bad sequence).
std::u16string Utf8ToUtf16(std::string_view text, bool* wellFormed = nullptr);
// The same, appended to `out`; returns whether the text was well-formed.
bool AppendUtf8AsUtf16(std::string_view text, std::u16string* out);
// Where `text` stops being well-formed UTF-8 (the offset of the first byte of
// the first ill-formed sequence), or npos.
size_t FindBadUtf8(std::string_view text);

// Appends `text` as UTF-8 for a terminal: control characters (C0 but TAB and
// line feed, DEL, C1) become visible escapes ("\x1b", "\u009b") instead of
// reaching the terminal.
void AppendVisibleUtf8(std::u16string_view text, std::string* out);

}  // namespace kebu
