// kebu lookup's suggestions and patterns: --similar, --glob, and the "did
// you mean" line when a key finds nothing.
#pragma once

#include <string>

#include "dictionary/dic_reader.h"

namespace kebu::cli {

// Headwords listed by --similar unless --limit says otherwise.
inline constexpr long long kSimilarListLimit = 20;
// Headwords the "did you mean" line names at most (as the window's line).
inline constexpr int kDidYouMeanLimit = 10;

// Lists the headwords similar to `key`, best first, each with its first
// record's entry (JSON: and its "distance"); at most `limit` (0: all). The
// exit code.
int ListSimilar(DicReader& reader, const char* dict, const std::u16string& key, long long limit,
                bool json);
// Lists the records whose headword matches `pattern`, in file order; at most
// `limit` (0: all). The exit code.
int ListPattern(DicReader& reader, const char* dict, const std::u16string& pattern, long long limit,
                bool json);
// After a lookup of `key` found nothing: "no hits; did you mean: A, B, ..."
// on standard error, when there are similar headwords.
void SuggestSimilar(DicReader& reader, const std::u16string& key);

}  // namespace kebu::cli
