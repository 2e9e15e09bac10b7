#include "forms/dic_headword_test.h"

#include <new>

namespace kebu::forms {

DicHeadwordTest::DicHeadwordTest(const std::vector<std::shared_ptr<const DicSource>>& sources) {
  for (const std::shared_ptr<const DicSource>& source : sources) {
    if (source != nullptr) lookups_.push_back(std::make_unique<DicLookup>(source));
  }
}

bool DicHeadwordTest::AnyHit(std::u16string_view key, bool wholeWord) {
  for (const std::unique_ptr<DicLookup>& lookup : lookups_) {
    const LookupResult found = lookup->Lookup(key, wholeWord, 1);
    if (found.count > 0) return true;
    if (found.status.Code() == StatusCode::kOutOfMemory) throw std::bad_alloc();
  }
  return false;
}

}  // namespace kebu::forms
