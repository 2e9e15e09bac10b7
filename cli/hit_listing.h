// Hits as kebu lookup and kebu search print them: numbered entries for
// people, or {"count", "truncated", "hits": [...]} for programs.
#pragma once

#include <cstdint>
#include <string>

#include "dictionary/dic_record.h"

namespace kebu::cli {

class HitListing {
 public:
  // `versionMajor` decides the headword shown (the part after a TAB from
  // version 6 on).
  HitListing(bool json, int32_t versionMajor, size_t count, bool truncated);
  // One hit; `extraJson` (e.g. "\"in\": [...]") is added to its object.
  // False after a write error.
  bool Add(const RecordText& text, const std::string& extraJson = "");
  // Ends the listing and flushes standard output: the exit code.
  int Finish();

 private:
  bool json_;
  bool terminal_;
  int32_t versionMajor_;
  size_t count_;
  bool truncated_;
  size_t added_ = 0;
  std::string out_;
};

}  // namespace kebu::cli
