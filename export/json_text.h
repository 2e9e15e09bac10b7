// JSON strings for the machine-readable outputs (lookup --json, dump --json,
// convert --to jsonl).
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace kebu {

// At most this many bytes per UTF-16 unit: "\u001f" for a control character.
inline constexpr size_t kJsonBytesPerUnit = 6;

// Writes `text` (UTF-16) as a JSON string with its quotes at `out` and
// returns the end. Valid surrogate pairs and all other characters go out as
// UTF-8; control characters (C0, DEL and C1, which a terminal would act
// on) and lone surrogates as \u escapes, so the result is always valid UTF-8,
// safe on a terminal, and says exactly which units the text held. `out`
// has room for 2 + kJsonBytesPerUnit * text.size() bytes.
char* WriteJsonString(char* out, std::u16string_view text);

// The same, appended to a string.
void AppendJsonString(std::string& out, std::u16string_view text);

}  // namespace kebu
