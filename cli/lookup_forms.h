// kebu lookup --forms: when the key is no headword, the hits of its
// dictionary forms (running: run; 食べました: 食べる).
#pragma once

#include <string_view>

#include "dictionary/dic_reader.h"

namespace kebu::cli {

// When `key` has no whole-word hit in `reader` but forms of it
// (forms/word_finder.h) are headwords: lists the whole-word hits of each
// form, at most `limit` in all (0: no limit), JSON hits with "form", says
// on standard error what was done, and returns true with the exit code in
// *exit. Otherwise returns false (saying so when no form was found either):
// the key's own hits are listed as usual. Missing language tools are named
// on standard error.
bool ListFormHits(DicReader& reader, const char* dict, std::u16string_view key, bool json, int limit,
                  int* exit);

}  // namespace kebu::cli
