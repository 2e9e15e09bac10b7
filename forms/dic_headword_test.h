// HeadwordTest over open dictionaries: a whole-word lookup in each.
//
// Thread safety: the test holds a lookup of its own for each dictionary
// (over the shared, read-only DicSource), so it may run on another thread
// than the readers that opened them; one thread uses one test.
#pragma once

#include <memory>
#include <vector>

#include "dictionary/dic_lookup.h"
#include "dictionary/dic_source.h"
#include "forms/word_finder.h"

namespace kebu::forms {

class DicHeadwordTest : public HeadwordTest {
 public:
  // The dictionaries looked in (null entries are passed over).
  explicit DicHeadwordTest(const std::vector<std::shared_ptr<const DicSource>>& sources);

  // True when a lookup in any of them finds the word whole (or, for
  // HasPrefix, any headword that begins with it); std::bad_alloc when one
  // ran out of memory.
  bool IsHeadword(std::u16string_view word) override { return AnyHit(word, true); }
  bool HasPrefix(std::u16string_view prefix) override { return AnyHit(prefix, false); }

 private:
  bool AnyHit(std::u16string_view key, bool wholeWord);
  std::vector<std::unique_ptr<DicLookup>> lookups_;
};

}  // namespace kebu::forms
