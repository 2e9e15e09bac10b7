// Where a full-text query stands in a text, for showing a hit with its
// matches marked: every run of the text's units that equals the query under
// the scan's folding (search/fold.h; none with `exact`), as the scan itself
// compares them (search/text_query.h).
#pragma once

#include <cstddef>
#include <string_view>
#include <vector>

namespace kebu {

// Units [begin, end) of a text.
struct TextRange {
  size_t begin = 0;
  size_t end = 0;
  bool operator==(const TextRange&) const = default;
};

// The matches of `query` in `text`, in order; matches that overlap or touch
// are joined into one range ("aa" in "aaa" is one range of three units). An
// empty query, or one holding a zero unit, matches nothing, as in the scan.
std::vector<TextRange> FindQueryRanges(std::u16string_view text, std::u16string_view query,
                                       bool exact);

}  // namespace kebu
