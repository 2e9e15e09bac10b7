// Fuzz target: the input as a whole dictionary file, through everything that
// reads one: open, the header report, lookups of keys taken from the file
// (prefix and whole word, limits 10,000 and 3), hits at the window's and the
// smallest capacities, sequential reading, the export, and a count.
//
// Besides the sanitizers it checks what must hold for any file:
//  - every hit can be fetched; a limited lookup gives the first hits of the
//    unlimited one, `truncated` exactly when the limit was reached, and
//    DicLookup::Count gives the unlimited count;
//  - nothing is lost: sequential reading gives the hits of the empty key,
//    record for record (texts and positions), and the export writes each of
//    them once, in order, as well-formed UTF-8;
//  - texts keep to their capacities;
//  - a file of at most 1 KiB makes the live heap grow by 8 MiB at most;
//  - a file that shrinks or changes under the open reader only fails reads.
#include <sanitizer/allocator_interface.h>
#include <stdlib.h>
#include <sys/mman.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <fstream>
#include <iterator>
#include <memory>
#include <string>
#include <vector>

#include "codec/utf8.h"
#include "dictionary/dic_reader.h"
#include "export/plain_text_export.h"

namespace {

using namespace kebu;

[[noreturn]] void Fail(const char* what) { std::fprintf(stderr, "check failed: %s\n", what), std::abort(); }
#define CHECK(cond) ((cond) ? void() : Fail(#cond))

constexpr TextCapacities kSmallest[] = {{1, 1, 1, 1}, {2, 3, 2, 3}};
const SubstitutionTable kTable = [] {  // one- and two-unit entries
  SubstitutionTable table;
  for (int c = 0x20; c < 0x100; c += 3) table.entries[c][0] = 0x304B, table.entries[c][1] = c & 1 ? 0x3099 : 0;
  return table;
}();
constexpr size_t kMaxKeys = 24;
constexpr uint32_t kHitsFetched = 40;  // and the last one

// Live heap bytes and their peak, kept by the sanitizer's allocation hooks.
int64_t gLive = 0, gPeak = 0;
void OnMalloc(const volatile void*, size_t size) { gPeak = std::max(gPeak, gLive += int64_t(size)); }
void OnFree(const volatile void* p) { gLive -= int64_t(__sanitizer_get_allocated_size(const_cast<void*>(p))); }

// The input as a file in memory, opened again through /proc; the export's
// target in a private folder (on /dev/shm, so its flush costs nothing).
struct Files {
  int fd = memfd_create("kebu-fuzz.dic", 0);
  std::string dic = "/proc/self/fd/" + std::to_string(fd);
  std::string folder = [] {
    std::string shm = "/dev/shm/kebu-fuzz-XXXXXX", tmp = "/tmp/kebu-fuzz-XXXXXX";
    return mkdtemp(shm.data()) != nullptr ? shm : (CHECK(mkdtemp(tmp.data()) != nullptr), tmp);
  }();
  std::string text = folder + "/export.txt";
  void Write(const uint8_t* data, size_t size) const {
    CHECK(ftruncate(fd, 0) == 0 && pwrite(fd, data, size, 0) == ssize_t(size));
  }
  ~Files() { unlink(text.c_str()), rmdir(folder.c_str()), close(fd); }
};

// Texts within their capacities: BOCU-1 keeps capacity - 1 units, code page
// 932 capacity; a pronunciation through a table may take the capacity.
bool Fits(const RecordText& t, const TextCapacities& c, bool bocu) {
  const auto room = [&](int capacity) { return size_t(std::max(capacity, 1) - bocu); };
  return t.headword.size() <= room(c.headword) && t.translation.size() <= room(c.translation) &&
         t.example.size() <= room(c.example) && t.pronunciation.size() <= size_t(std::max(c.pronunciation, 2));
}

// The same record, texts and position; the pronunciation only where both
// paths decode it alike (sequential reading keeps code page 932 bytes as
// they are).
bool Same(const RecordText& a, const RecordText& b, bool bocu) {
  return a.headword == b.headword && a.translation == b.translation && a.example == b.example &&
         a.position == b.position && a.attribute == b.attribute &&
         (!bocu || a.pronunciation == b.pronunciation);
}

void CheckReports(const DicReader& reader) {
  for (int32_t capacity : {2048, 276, 275, 256, 20, 19, 2, 1}) {
    std::vector<char> buffer(size_t(capacity), '\x7F');
    reader.DumpHeaderInfo(buffer.data(), capacity);
    CHECK(std::string_view(buffer.data(), buffer.size()).find('\0') != std::string_view::npos);
  }
}

// What the export writes for these records, as its format says.
std::string ExportOf(const std::vector<RecordText>& records) {
  std::string out;
  for (const RecordText& r : records) {
    char line[80];
    const RecordPosition& p = r.position;
    std::snprintf(line, sizeof line, "[index=%d data=%d:%d]\n", p.indexEntry, p.block, p.recordOffset);
    out += line;
    if (r.headword.empty()) continue;
    out += Utf16ToUtf8(r.headword) + "\n";
    if (r.translation.empty()) continue;
    out += Utf16ToUtf8(r.translation) + (r.example.empty() ? "" : " / " + Utf16ToUtf8(r.example)) + "\n";
  }
  return out;
}

// A key that version-6 folding turns back into the given one.
std::u16string Unfold(std::u16string key) {
  for (char16_t& u : key) {
    if (u >= u'a' && u <= u'z') u = char16_t(u - 0x20);
    if (u == u' ') u = u'-';
    if (u != 0 && FoldKana(char16_t(u + 1)) == u) ++u;       // a voiced kana
    else if (u != 0 && FoldKana(char16_t(u - 1)) == u) --u;  // a small one
  }
  return key;
}

// Keys: fixed ones, the index keys, headwords and the input's last bytes,
// each with the part before a TAB, its folded and unfolded forms and its
// first half.
std::vector<std::u16string> Keys(const DicReader& reader, const std::vector<RecordText>& seq,
                                 const uint8_t* data, size_t size) {
  std::vector<std::u16string> sources, keys = {u"", u"a", u"A-B", u"\u30AC\u30C3", u"\uFFFD",
                                               std::u16string(1100, u'k')};
  const DicIndex& index = reader.Source()->index;
  for (int32_t n : {0, 1, index.EntryLimit() / 2, index.EntryLimit() - 1}) {
    uint32_t block = 0, length = 0;
    const uint8_t* key = nullptr;
    if (n < 0 || !index.ReadEntry(uint32_t(n), &block, &key, &length)) continue;
    DecodeText(reader.GetHeader().IsBocu1(), key, length, 1100, &sources.emplace_back());
  }
  for (size_t i = 0; i < seq.size(); i += seq.size() / 3 + 1) sources.push_back(seq[i].headword);
  std::u16string& tail = sources.emplace_back();
  for (size_t i = size > 16 ? size - 16 : 0; i + 1 < size; i += 2) tail += char16_t(data[i] | data[i + 1] << 8);
  for (const std::u16string& s : sources) {
    const std::u16string cut = s.substr(0, s.find(u'\t'));
    for (const std::u16string& k : {s, cut, FoldKey(cut), Unfold(cut), cut.substr(0, cut.size() / 2)}) {
      if (keys.size() < kMaxKeys && std::find(keys.begin(), keys.end(), k) == keys.end()) keys.push_back(k);
    }
  }
  return keys;
}

// The lookups of one key: unlimited, counted, limited; every hit fetched.
void CheckLookups(DicReader& reader, DicLookup& counter, const std::u16string& key, bool wholeWord,
                  bool bocu) {
  const LookupResult unlimited = reader.Lookup(key, wholeWord, 0);
  const uint32_t all = unlimited.count;
  if (!unlimited.status.IsOk()) return;
  CHECK(!unlimited.truncated && all == reader.HitCount());
  CHECK(counter.Count(key, wholeWord) == all);
  std::vector<RecordPosition> positions;
  std::vector<RecordText> fetched;
  RecordText t;
  for (uint32_t i = 0; i < all; ++i) {
    CHECK(reader.GetHit(i, &t, kWholeTexts));
    positions.push_back(t.position);
    if (i < kHitsFetched) fetched.push_back(t);
  }
  // Page by page, going on behind the last hit: the same hits; and a hit
  // read again by its position is the hit.
  for (uint32_t from = 0; from < all;) {
    const LookupResult page = from == 0 ? reader.Lookup(key, wholeWord, 3)
                                        : reader.LookupAfter(key, wholeWord, positions[from - 1], 3);
    if (!page.status.IsOk()) return;
    CHECK(page.count == std::min<uint32_t>(3, all - from));
    for (uint32_t i = 0; i < page.count; ++i) CHECK(reader.HitPosition(i) == positions[from + i]);
    from += page.count;
  }
  for (size_t i = fetched.size(); i-- > 0;) {
    CHECK(reader.GetHit(positions[i], &t, kWholeTexts) && t.headword == fetched[i].headword &&
          t.translation == fetched[i].translation && t.pronunciation == fetched[i].pronunciation);
  }
  for (int limit : {10000, 3}) {
    const LookupResult limited = reader.Lookup(key, wholeWord, limit);
    const uint32_t n = limited.count;
    if (!limited.status.IsOk()) return;
    CHECK(n == std::min(all, uint32_t(limit)) && limited.truncated == (n == uint32_t(limit)));
    CHECK(!reader.GetHit(n, &t));
    for (uint32_t i = 0; i < n; ++i) {
      if (i == kHitsFetched) i = n - 1;
      CHECK(reader.GetHit(i, &t) && Fits(t, kWindowCapacities, bocu) && t.position == positions[i]);
      const TextCapacities& small = kSmallest[i % 2];
      CHECK(reader.GetHit(i, &t, small, i % 4 < 2 ? &kTable : nullptr) && Fits(t, small, bocu));
    }
  }
}

// What the window and the export do with a small file (the export's own
// buffer is fixed), nothing kept by the harness: the live heap may grow by
// 8 MiB at most.
void CheckHeap(const Files& files) {
  const int64_t base = gLive;
  gPeak = gLive;
  {
    DicReader reader;
    if (reader.Open(files.dic).IsOk()) {
      RecordText t;
      for (const char16_t* key : {u"", u"a"}) {
        const uint32_t n = reader.Lookup(key, false, 10000).count;
        for (uint32_t i = 0; i < n && i < 16; ++i) reader.GetHit(i, &t);
      }
      for (reader.Rewind(); reader.ReadNext(&t) != ReadStatus::kEnd;) {}
    }
  }
  CHECK(gPeak - base <= (8 << 20));
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  __sanitizer_install_malloc_and_free_hooks(OnMalloc, OnFree);
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static const Files files;
  files.Write(data, size);
  if (size <= 1024) CheckHeap(files);
  DicReader reader;
  CheckReports(reader);  // the all-zero header before any open
  RecordText t;
  if (const Status opened = reader.Open(files.dic); !opened.IsOk()) {
    CHECK(!reader.IsOpen() && !opened.Message().empty() && reader.NewCursor() == nullptr);
    CHECK(reader.Lookup(u"", false, 0).count == 0 && !reader.Rewind());
    CHECK(reader.ReadNext(&t) == ReadStatus::kEnd);
    CHECK(ExportPlainText(reader.Source(), files.text, {}).Code() == StatusCode::kInvalidArgument);
    CheckReports(reader);
    return 0;
  }
  CHECK(!reader.Open(files.dic).IsOk());  // open already
  CheckReports(reader);
  const bool bocu = reader.GetHeader().IsBocu1();

  // Sequential reading, and the lookup of the empty key record for record.
  std::vector<RecordText> seq;
  int64_t skipped = 0;
  CHECK(reader.Rewind() == (reader.Source()->index.EntryLimit() > 0));
  for (ReadStatus s; (s = reader.ReadNext(&t)) != ReadStatus::kEnd;) {
    CHECK(Fits(t, kWindowCapacities, bocu));
    if (s == ReadStatus::kRecord) seq.push_back(t);
    skipped += s == ReadStatus::kSkippedArea;
  }
  const LookupResult everything = reader.Lookup(u"", false, 0);
  const uint32_t all = everything.count;
  CHECK(all == seq.size() || (everything.status.Code() == StatusCode::kOutOfMemory && all < seq.size()));
  for (uint32_t i = 0; i < all; ++i) CHECK(reader.GetHit(i, &t) && Same(t, seq[i], bocu));

  // The export writes each record once, in order.
  unlink(files.text.c_str());
  ExportStats stats;
  const Status result = ExportPlainText(reader.Source(), files.text, {}, {-1}, &stats);
  CHECK(stats.written == int64_t(seq.size()) && stats.skippedAreas == skipped);
  if (seq.empty() && reader.GetHeader().nword() > 0) {
    CHECK(result.Code() == StatusCode::kCorrupt && access(files.text.c_str(), F_OK) != 0);
  } else {
    CHECK(result.IsOk());
    std::ifstream in(files.text, std::ios::binary);
    const std::string text{std::istreambuf_iterator<char>(in), {}};
    bool wellFormed = false;
    Utf8ToUtf16(text, &wellFormed);
    CHECK(wellFormed && text.size() == stats.bytes && text == ExportOf(seq));
  }

  // Lookups of keys from the file.
  const std::unique_ptr<DicLookup> counter = reader.NewLookup();
  for (const std::u16string& key : Keys(reader, seq, data, size)) {
    for (bool wholeWord : {false, true}) CheckLookups(reader, *counter, key, wholeWord, bocu);
  }

  // The file shrinks to half under the open reader, then changes (shifted
  // by a byte): reads may fail, nothing else may happen.
  const uint32_t hits = reader.Lookup(u"", false, 64).count;
  const std::unique_ptr<DicCursor> cursor = reader.NewCursor();
  reader.Rewind();
  cursor->Rewind();
  files.Write(data, size / 2);
  for (int step = 0; step < 2; ++step) {
    for (uint32_t i = 0; i < hits; ++i) reader.GetHit(i, &t, kSmallest[i % 2]);
    for (int i = 0; i < 64 && reader.ReadNext(&t) != ReadStatus::kEnd; ++i) CHECK(Fits(t, kWholeTexts, bocu));
    for (int i = 0; i < 64 && cursor->ReadNext(&t) != ReadStatus::kEnd; ++i) {}
    counter->Count(u"a", step == 1);
    if (size > 1) files.Write(data + 1, size - 1);
  }
  reader.Close();
  CHECK(reader.Lookup(u"", false, 0).count == 0 && !reader.Rewind());
  return 0;
}
