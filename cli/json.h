// JSON text for the command-line tool's machine-readable output.
#pragma once

#include <string>

namespace kebu {

// Appends `text` (zero-terminated UTF-16) as a JSON string with its quotes.
// Valid surrogate pairs and all other characters go out as UTF-8; control
// characters and lone surrogates as \u escapes, so the result is always
// valid UTF-8 and says exactly which units the text held.
void AppendJsonString(std::string& out, const char16_t* text);

}  // namespace kebu
