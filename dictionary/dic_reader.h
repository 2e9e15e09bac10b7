// The one object through which a dictionary is opened, searched and read.
//
// Thread safety: a DicReader is used by one thread (the window's, or the
// command's). Work on other threads takes a cursor or a lookup of its own
// (NewCursor, NewLookup), which shares the open file, header and index and
// nothing else; Close and Open on the reader do not disturb it.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

#include "base/status.h"
#include "dictionary/dic_cursor.h"
#include "dictionary/dic_header.h"
#include "dictionary/dic_lookup.h"
#include "dictionary/dic_record.h"
#include "dictionary/dic_source.h"
#include "dictionary/dic_text.h"
#include "dictionary/limits.h"

namespace kebu {

class DicReader {
 public:
  DicReader() = default;
  ~DicReader() { Close(); }
  DicReader(const DicReader&) = delete;
  DicReader& operator=(const DicReader&) = delete;

  // Opens the dictionary at `path` (the file system's bytes). Fails with
  // kInvalidArgument when a dictionary is open already, with DicFile::Open's
  // status when the file cannot be opened, with kCorrupt (kUnsupported for
  // a version below 4) when its header is refused, and with kOutOfMemory;
  // the message says why ("file too short ...", "is a FIFO, not a
  // dictionary file", "No such file or directory"). A header that was read
  // (256 bytes) stays in GetHeader() also when it is refused.
  Status Open(const std::string& path);
  void Close();
  bool IsOpen() const { return source_ != nullptr; }

  const DicHeader& GetHeader() const { return header_; }
  int32_t GetVersionMajor() const { return versionMajor_; }
  // Whether `path` names the open dictionary file (links count).
  bool IsDictionaryFile(const std::string& path) const;

  // Lookup on the reader's own DicLookup (see there); no hits while closed.
  LookupResult Lookup(std::u16string_view key, bool wholeWord, int limit);
  LookupResult LookupAfter(std::u16string_view key, bool wholeWord, const RecordPosition& after,
                           int limit);
  uint32_t HitCount() const { return lookup_ != nullptr ? lookup_->HitCount() : 0; }
  // See DicLookup::HitPosition; i below HitCount().
  const RecordPosition& HitPosition(uint32_t i) const { return lookup_->HitPosition(i); }
  bool GetHit(uint32_t i, RecordText* text, const TextCapacities& capacities = kWindowCapacities,
              const SubstitutionTable* table = nullptr);
  bool GetHit(const RecordPosition& position, RecordText* text,
              const TextCapacities& capacities = kWindowCapacities,
              const SubstitutionTable* table = nullptr);
  void ClearHits();

  void DumpHeaderInfo(char* buffer, int32_t capacity) const;

  // Sequential reading on the reader's own cursor (see DicCursor).
  bool Rewind();
  bool SeekIndexEntry(int32_t n);
  ReadStatus ReadNext(RecordText* text, const TextCapacities& capacities = kWindowCapacities,
                      const SubstitutionTable* table = nullptr);

  // A cursor or a lookup of its own over the open dictionary, for work on
  // another thread; null while closed.
  std::unique_ptr<DicCursor> NewCursor() const;
  std::unique_ptr<DicLookup> NewLookup() const;
  // The open dictionary itself; null while closed.
  std::shared_ptr<const DicSource> Source() const { return source_; }

 private:
  std::shared_ptr<DicSource> source_;
  DicHeader header_;  // kept after Close and after a refused header
  int32_t versionMajor_ = 0;
  std::unique_ptr<DicLookup> lookup_;  // lookup and hit fetching
  std::unique_ptr<DicCursor> cursor_;  // sequential reading
};

}  // namespace kebu
