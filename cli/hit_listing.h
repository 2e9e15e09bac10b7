// Hits as kebu lookup and kebu search print them: numbered entries for
// people, or {"count", "truncated", "hits": [...]} for programs.
#pragma once

#include <cstdint>
#include <string>

#include "base/status.h"
#include "dictionary/dic_record.h"
#include "export/atomic_output.h"

namespace kebu::cli {

class HitListing {
 public:
  // `dict` and `what` ("lookup", "search") are named in its messages;
  // `versionMajor` decides the headword shown (the part after a TAB from
  // version 6 on). Written through AtomicOutput: SIGINT, SIGTERM and SIGHUP
  // end it even while it waits for a slow reader.
  HitListing(const char* dict, const char* what, bool json, int32_t versionMajor, size_t count,
             bool truncated);
  // One hit; `extraJson` (e.g. "\"in\": [...]") is added to its object.
  // False after a write error or a cancel: Finish tells which.
  bool Add(const RecordText& text, const std::string& extraJson = "");
  // Hit `number` (from 1) could not be read (the file changed under the
  // listing): said on stderr, and the listing ends there unfinished (JSON
  // without its end), so that no program takes it for the whole list.
  // The exit code, 1.
  int Unreadable(size_t number);
  // Ends the listing and says how a failed one failed: the exit code.
  int Finish();

 private:
  bool Flush();

  const char* dict_;
  const char* what_;
  bool json_;
  bool terminal_;
  int32_t versionMajor_;
  size_t count_;
  bool truncated_;
  size_t added_ = 0;
  std::string out_;
  AtomicOutput output_;
  Status status_;
};

}  // namespace kebu::cli
