// Comparing large texts in tests: on a mismatch, the first difference and
// what surrounds it (gtest's line diff of two large texts takes too much
// memory).
#pragma once

#include <gtest/gtest.h>

#include <algorithm>
#include <string>

namespace kebu::testing {

inline ::testing::AssertionResult SameText(const std::string& actual,
                                           const std::string& expected) {
  if (actual == expected) return ::testing::AssertionSuccess();
  const size_t n = std::min(actual.size(), expected.size());
  size_t at = 0;
  while (at < n && actual[at] == expected[at]) ++at;
  const size_t from = at < 80 ? 0 : at - 80;
  return ::testing::AssertionFailure()
         << "sizes " << actual.size() << " and " << expected.size()
         << ", first difference at byte " << at << "\n  actual:   "
         << ::testing::PrintToString(actual.substr(from, 160)) << "\n  expected: "
         << ::testing::PrintToString(expected.substr(from, 160));
}

}  // namespace kebu::testing
