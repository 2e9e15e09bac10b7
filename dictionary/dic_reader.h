// The one object through which a dictionary is opened, searched and read.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "dictionary/dic_block_reader.h"
#include "dictionary/dic_file.h"
#include "dictionary/dic_header.h"
#include "dictionary/dic_index.h"

namespace kebu {

// One hit of a lookup.
struct SearchHit {
  int32_t indexEntry = 0;
  int32_t block = 0;
  int32_t recordOffset = 0;
  uint32_t headwordOffset = 0;  // into the hit string pool
  int32_t translationOffset = 0;
  int32_t exampleOffset = 0;
  int32_t pronunciationOffset = 0;
  uint16_t headwordLength = 0;
  uint16_t translationLength = 0;
  uint16_t exampleLength = 0;
  uint16_t pronunciationLength = 0;
  int16_t attribute = 0;
};

// Substitution of pronunciation codes 32..255: a code whose entry has a
// first unit other than 0 becomes that unit, then the second if not 0.
struct SubstitutionTable {
  char16_t entries[256][2] = {};
};

// Kana folding of version-6 keys: the replacement of `unit`, or 0.
char16_t FoldKana(char16_t unit);

// Pronunciation substitution: writes the codes of `source` through the table
// into `out` (room for capacity + 1 units), stopping once capacity - 1 units
// are written, and returns the number of units written.
int SubstituteUnits(const char16_t* source, int count, char16_t* out, int capacity,
                    const SubstitutionTable& table);
int SubstituteBytes(const uint8_t* source, int count, char16_t* out, int capacity,
                    const SubstitutionTable& table);

// Lengths of the four texts as zero-terminated texts: the units before the
// first zero unit (a text may hold one where its bytes held a zero).
struct TextLengths {
  uint32_t headword = 0;
  uint32_t translation = 0;
  uint32_t example = 0;
  uint32_t pronunciation = 0;
};

// Growth steps of the hit table and the hit string pool.
inline constexpr uint32_t kHitTableStep = 1024;
inline constexpr uint32_t kHitPoolStep = 16384;

class DicReader {
 public:
  DicReader();
  virtual ~DicReader();
  DicReader(const DicReader&) = delete;
  DicReader& operator=(const DicReader&) = delete;

  // 0 on success, -1 when already open, when the file cannot be opened, or
  // when its header is refused. LastError() then says why.
  int Open(const char16_t* path);
  void Close();
  bool IsOpen() const { return isOpen_ != 0; }

  const DicHeader& GetHeader() const { return header_; }
  int32_t GetVersionMajor() const { return versionMajor_; }

  // Finds the records whose headword begins with `key` (wholeWord 0) or
  // equals it, at most `limit` of them when limit > 0. *truncated is set to 1
  // when the count reached the limit. Returns the number of hits.
  uint32_t Lookup(const char16_t* key, int wholeWord, int limit, int* truncated);

  // Hit i as zero-terminated UTF-16 texts; each buffer has room for its
  // capacity + 1 units. 0 on success, -1 when i is out of range or the hit's
  // record area cannot be loaded.
  int GetHit(int i, char16_t* headword, int headwordCapacity,
             char16_t* translation, int translationCapacity, char16_t* example,
             int exampleCapacity, char16_t* pronunciation,
             int pronunciationCapacity, int* attribute,
             const SubstitutionTable* table);
  void ClearHits();

  uint32_t GetHitCount() const { return hitCount_; }
  const SearchHit* GetHitInfo(int i) const;
  uint32_t GetHitCapacity() const { return hitCapacity_; }
  uint32_t GetPoolSize() const { return poolSize_; }

  void DumpHeaderInfo(char* buffer, int32_t capacity) const;

  // Sequential reading of every record in file order. A caller that has no
  // use for the pronunciation may pass none (nullptr): it is then not
  // converted. `lengths`, when given, receives the units of each text.
  int Rewind();
  int SeekIndexEntry(int32_t n);
  int ReadNext(char16_t* headword, int headwordCapacity, char16_t* translation,
               int translationCapacity, char16_t* example, int exampleCapacity,
               char16_t* pronunciation, int pronunciationCapacity,
               int* attribute, const SubstitutionTable* table,
               RecordPosition* position, TextLengths* lengths = nullptr);

  // Why the last Open failed ("file too short (100 bytes)", "signature not
  // found", "No such file or directory"...); empty after a success.
  const std::string& LastError() const { return lastError_; }

  // Parts, for tests and tools; null while closed.
  DicIndex* GetIndex() { return index_.get(); }
  DicBlockReader* GetBlockReader() { return blocks_.get(); }

 private:
  bool RecordHit(int32_t entry, uint32_t block, int32_t recordOffset,
                 const uint8_t* headword, const RecordFields& fields);
  // Converts `length` bytes of dictionary text into `out` (capacity units,
  // room for capacity + 1) and terminates it.
  // With `textLength`, also its length as a zero-terminated text.
  void DecodeText(const uint8_t* bytes, uint32_t length, char16_t* out, int capacity,
                  uint32_t* textLength = nullptr) const;
  void DecodePronunciation(const uint8_t* bytes, uint32_t length, char16_t* out,
                           int capacity, const SubstitutionTable* table, bool cp932Raw,
                           uint32_t* textLength = nullptr) const;

  DicFile file_;
  DicHeader header_;
  int32_t versionMajor_ = 0;
  int32_t seqEntry_ = 0;
  int32_t seqBlock_ = 0;
  std::vector<SearchHit> hits_;
  uint32_t hitCount_ = 0;
  uint32_t hitCapacity_ = 0;
  std::vector<uint8_t> pool_;
  uint32_t poolSize_ = 0;
  uint32_t poolUsed_ = 0;
  std::unique_ptr<DicIndex> index_;
  std::unique_ptr<DicBlockReader> blocks_;
  int isOpen_ = 0;
  bool seqEnded_ = true;  // sequential reading ended; only a seek goes on
  std::string lastError_;
};

}  // namespace kebu
