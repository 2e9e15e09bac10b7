#include "search/match_ranges.h"

#include <algorithm>
#include <string>

#include "search/fold.h"

namespace kebu {

namespace {

std::u16string Folded(std::u16string_view text, bool exact) {
  std::u16string units(text);
  if (!exact) FoldSearchUnits(units.data(), units.size());
  return units;
}

}  // namespace

std::vector<TextRange> FindQueryRanges(std::u16string_view text, std::u16string_view query,
                                       bool exact) {
  std::vector<TextRange> ranges;
  if (query.empty() || query.find(u'\0') != std::u16string_view::npos) return ranges;
  const std::u16string units = Folded(text, exact);
  const std::u16string wanted = Folded(query, exact);
  // Every start is tried, so that overlapping matches ("aa" in "aaa") all mark.
  for (size_t at = units.find(wanted); at != std::u16string::npos; at = units.find(wanted, at + 1)) {
    const size_t end = at + wanted.size();
    if (!ranges.empty() && at <= ranges.back().end) {
      ranges.back().end = std::max(ranges.back().end, end);
    } else {
      ranges.push_back({at, end});
    }
  }
  return ranges;
}

}  // namespace kebu
