// JSON text for the command-line tool's machine-readable output.
#pragma once

#include <string>
#include <string_view>

namespace kebu {

// Appends `text` (UTF-16) as a JSON string with its quotes.
// Valid surrogate pairs and all other characters go out as UTF-8; control
// characters and lone surrogates as \u escapes, so the result is always
// valid UTF-8 and says exactly which units the text held.
void AppendJsonString(std::string& out, std::u16string_view text);

}  // namespace kebu
