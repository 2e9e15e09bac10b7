// Fuzz target: arbitrary bytes as a whole dictionary file, through everything
// that reads one: open, the header report, index search and lookups (prefix
// and whole word, keys taken from the file itself and folded variants of
// them), every hit at small and normal capacities, a full sequential read and
// an export into a file.
//
// Besides the sanitizers, the target checks what must hold for any file:
//  - every hit of a lookup can be fetched (GetHit gives 0), hit counts keep to
//    the limit, and texts keep to their capacities;
//  - nothing is lost: the records of a sequential read are the first hits of
//    a lookup of the empty key, at the same places with the same texts, and
//    the export writes each of them once, as well-formed UTF-8;
//  - a file of at most 1 KiB never makes the heap grow by more than a few MB
//    (8 MiB) while the window's and the export's work is done with it;
//  - a file that shrinks or changes under the open reader gives failed reads,
//    never a fault.
#include <fcntl.h>
#include <sanitizer/allocator_interface.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <map>
#include <string>
#include <vector>

#include "dictionary/dic_index.h"
#include "dictionary/dic_reader.h"
#include "dictionary/dic_text.h"
#include "dictionary/header_report.h"
#include "export/plain_text_export.h"

namespace {

using namespace kebu;

// The window's capacities.
constexpr int kHeadwordCap = 1024;
constexpr int kTranslationCap = 3000;
constexpr int kExampleCap = 20000;
constexpr int kPronunciationCap = 1000;

// Work bounds of one input. A file can name one record area from many index
// entries, so records read (and hits) can grow with the square of the file's
// size; these keep one input well under the time-out without hiding a hang.
constexpr size_t kMaxSequential = 100000;
constexpr int kLookupLimit = 10000;  // as the window asks
constexpr size_t kMaxKeys = 30;
constexpr size_t kLookupBudget = 2000000;  // records met by all lookups of one input
constexpr uint32_t kHitsFetched = 48;

// Heap bound for small files.
constexpr size_t kSmallFile = 1024;
constexpr int64_t kSmallFileHeapBytes = 8 << 20;

[[noreturn]] void Fail(const char* what) {
  std::fprintf(stderr, "kebu dic_fuzzer: check failed: %s\n", what);
  std::abort();
}
#define CHECK(cond)                \
  do {                             \
    if (!(cond)) Fail(#cond);      \
  } while (0)

// Live heap bytes and their peak, kept by the sanitizer's allocation hooks.
int64_t gLive = 0;
int64_t gPeak = 0;
void OnMalloc(const volatile void*, size_t size) {
  gLive += static_cast<int64_t>(size);
  if (gLive > gPeak) gPeak = gLive;
}
void OnFree(const volatile void* p) {
  gLive -= static_cast<int64_t>(__sanitizer_get_allocated_size(const_cast<const void*>(p)));
}

// A file descriptor in memory and the path that opens it again.
struct MemFile {
  int fd = -1;
  std::u16string path;
  explicit MemFile(const char* name) {
    fd = memfd_create(name, 0);
    std::string p;
    if (fd >= 0) {
      p = "/proc/self/fd/" + std::to_string(fd);
    } else {
      p = std::string("/tmp/") + name + "." + std::to_string(getpid());
      fd = open(p.c_str(), O_RDWR | O_CREAT | O_TRUNC, 0600);
      if (fd < 0) Fail("cannot create a temporary file");
    }
    path.assign(p.begin(), p.end());
  }
  void Write(const uint8_t* data, size_t size) const {
    if (ftruncate(fd, 0) != 0) Fail("ftruncate");
    size_t done = 0;
    while (done < size) {
      const ssize_t n = pwrite(fd, data + done, size - done, static_cast<off_t>(done));
      if (n <= 0) Fail("pwrite");
      done += static_cast<size_t>(n);
    }
  }
  std::vector<uint8_t> Read() const {
    struct stat st;
    if (fstat(fd, &st) != 0) Fail("fstat");
    std::vector<uint8_t> out(static_cast<size_t>(st.st_size));
    size_t done = 0;
    while (done < out.size()) {
      const ssize_t n = pread(fd, out.data() + done, out.size() - done, static_cast<off_t>(done));
      if (n <= 0) break;
      done += static_cast<size_t>(n);
    }
    out.resize(done);
    return out;
  }
};

// Buffers of exactly capacity + 1 units, so that the sanitizer sees a write
// behind the room the contract promises.
struct Texts {
  std::vector<char16_t> headword, translation, example, pronunciation;
  int hc, tc, ec, pc;
  Texts(int h, int t, int e, int p)
      : headword(h + 1), translation(t + 1), example(e + 1), pronunciation(p + 1),
        hc(h), tc(t), ec(e), pc(p) {}
  void CheckFits() const {
    CHECK(UnitLength(headword.data()) <= static_cast<uint32_t>(hc));
    CHECK(UnitLength(translation.data()) <= static_cast<uint32_t>(tc));
    CHECK(UnitLength(example.data()) <= static_cast<uint32_t>(ec));
    CHECK(UnitLength(pronunciation.data()) <= static_cast<uint32_t>(pc));
  }
};

int GetHit(DicReader& r, int i, Texts& t, int* attribute, const SubstitutionTable* table) {
  return r.GetHit(i, t.headword.data(), t.hc, t.translation.data(), t.tc, t.example.data(), t.ec,
                  t.pronunciation.data(), t.pc, attribute, table);
}

struct SeqRecord {
  RecordPosition position;
  std::u16string headword, translation, example;
  int attribute = 0;
};

// A substitution table made from the input, with one- and two-unit entries.
SubstitutionTable MakeTable(const uint8_t* data, size_t size) {
  SubstitutionTable table;
  for (size_t i = 0; i + 2 < size && i < 96; i += 3) {
    const unsigned code = 0x20 + data[i] % 0xE0;
    table.entries[code][0] = static_cast<char16_t>(0x3000 + data[i + 1]);
    if (data[i + 2] & 1) table.entries[code][1] = static_cast<char16_t>(0x3000 + data[i + 2]);
  }
  return table;
}

void CheckReports(DicReader& reader) {
  for (int32_t capacity : {2048, 276, 275, 256, 20, 19, 2, 1}) {
    std::vector<char> buffer(static_cast<size_t>(capacity));
    reader.DumpHeaderInfo(buffer.data(), capacity);
    CHECK(std::memchr(buffer.data(), 0, buffer.size()) != nullptr);
  }
}

// Records that a lookup of the empty key meets: the records of each index
// entry's area, up to the first entry that cannot be read or loaded. Each
// area is walked once; what a lookup costs follows from it.
size_t RecordsInReach(DicReader& reader) {
  DicIndex* index = reader.GetIndex();
  DicBlockReader* blocks = reader.GetBlockReader();
  const int32_t limit = std::min(reader.GetHeader().nindex2(), index->EntryLimit());
  std::map<uint32_t, size_t> perArea;
  std::vector<uint8_t> key(kMaxKeyLength + 1);
  size_t total = 0;
  for (int32_t n = 0; n < limit; ++n) {
    uint32_t block = 0, keyLength = 0;
    if (index->ReadEntry(static_cast<uint32_t>(n), &block, key.data(), &keyLength) != 0) break;
    auto known = perArea.find(block);
    if (known == perArea.end()) {
      if (blocks->LoadBlock(static_cast<int32_t>(block)) != 0) break;
      size_t count = 0;
      RecordFields fields;
      while (blocks->ParseRecord(nullptr, &fields, nullptr) == 0) ++count;
      known = perArea.emplace(block, count).first;
    }
    total += known->second;
  }
  return total;
}

// Each byte sequence is well-formed UTF-8 without encoded surrogates.
bool IsUtf8(const std::vector<uint8_t>& s) {
  size_t i = 0;
  while (i < s.size()) {
    const uint8_t b = s[i];
    int trail;
    uint32_t c;
    if (b < 0x80) { ++i; continue; }
    if (b >= 0xC2 && b <= 0xDF) trail = 1, c = b & 0x1F;
    else if (b >= 0xE0 && b <= 0xEF) trail = 2, c = b & 0x0F;
    else if (b >= 0xF0 && b <= 0xF4) trail = 3, c = b & 0x07;
    else return false;
    if (i + trail >= s.size()) return false;
    for (int k = 1; k <= trail; ++k) {
      if ((s[i + k] & 0xC0) != 0x80) return false;
      c = (c << 6) | (s[i + k] & 0x3F);
    }
    if ((trail == 2 && c < 0x800) || (trail == 3 && (c < 0x10000 || c > 0x10FFFF)) ||
        (c >= 0xD800 && c <= 0xDFFF)) {
      return false;
    }
    i += trail + 1;
  }
  return true;
}

// The unfolded form of a key: what version-6 folding turns back into it
// (lower case to upper case, space to '-', plain kana to voiced or small).
std::u16string Unfold(const std::u16string& key) {
  static const std::vector<char16_t> inverse = [] {
    std::vector<char16_t> v(0x10000, 0);
    for (uint32_t u = 0x3000; u < 0x3100; ++u) {
      const char16_t f = FoldKana(static_cast<char16_t>(u));
      if (f != 0 && v[f] == 0) v[f] = static_cast<char16_t>(u);
    }
    return v;
  }();
  std::u16string out = key;
  for (char16_t& u : out) {
    if (u >= u'a' && u <= u'z') u = static_cast<char16_t>(u - 0x20);
    else if (u == u' ') u = u'-';
    else if (inverse[u] != 0) u = inverse[u];
  }
  return out;
}

std::u16string Decode(bool bocu, const uint8_t* bytes, uint32_t length) {
  std::vector<char16_t> out(1102);
  DecodeDictionaryText(bocu, bytes, length, out.data(), 1100);
  return std::u16string(out.data());
}

// What the window and the export do with a file, with nothing kept by the
// harness: the heap may grow by a few MB at most.
void HeapPass(const MemFile& dicFile, size_t size) {
  const int64_t baseLive = gLive;
  gPeak = gLive;
  {
    DicReader reader;
    if (reader.Open(dicFile.path.c_str()) == 0) {
      Texts t(kHeadwordCap, kTranslationCap, kExampleCap, kPronunciationCap);
      int truncated = 0;
      for (const char16_t* key : {u"", u"a"}) {
        const uint32_t hits = reader.Lookup(key, 0, kLookupLimit, &truncated);
        int attribute = 0;
        for (uint32_t i = 0; i < hits && i < 16; ++i) {
          GetHit(reader, static_cast<int>(i), t, &attribute, nullptr);
        }
      }
      // The export's own buffer is fixed; what it reads comes from here.
      if (reader.Rewind() == 0) {
        int attribute = 0;
        for (size_t i = 0; i < kMaxSequential; ++i) {
          if (reader.ReadNext(t.headword.data(), t.hc, t.translation.data(), t.tc,
                              t.example.data(), t.ec, t.pronunciation.data(), t.pc, &attribute,
                              nullptr, nullptr) != 0) {
            break;
          }
        }
      }
    }
  }
  if (gPeak - baseLive > kSmallFileHeapBytes) {
    std::fprintf(stderr, "heap grew by %lld bytes for a file of %zu bytes\n",
                 static_cast<long long>(gPeak - baseLive), size);
    Fail("a small file keeps the heap small");
  }
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  __sanitizer_install_malloc_and_free_hooks(OnMalloc, OnFree);
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static const MemFile dicFile("kebu-fuzz.dic");
  static const MemFile exportFile("kebu-fuzz.txt");
  dicFile.Write(data, size);
  if (size <= kSmallFile) HeapPass(dicFile, size);

  {
    DicReader reader;
    CheckReports(reader);  // the all-zero header before any open
    if (reader.Open(dicFile.path.c_str()) != 0) {
      CHECK(!reader.IsOpen());
      CHECK(!reader.LastError().empty());
      int truncated = 0;
      CHECK(reader.Lookup(u"a", 0, 0, &truncated) == 0);
      CHECK(reader.Rewind() == -1);
      Texts t(kHeadwordCap, kTranslationCap, kExampleCap, kPronunciationCap);
      int attribute = 0;
      CHECK(reader.ReadNext(t.headword.data(), t.hc, t.translation.data(), t.tc,
                            t.example.data(), t.ec, t.pronunciation.data(), t.pc, &attribute,
                            nullptr, nullptr) == -1);
      CHECK(ExportPlainText(reader, exportFile.path.c_str(), ExportHooks()) ==
            ExportResult::kNothingToRead);
      CheckReports(reader);
    } else {
      CHECK(reader.Open(dicFile.path.c_str()) == -1);  // open already
      CheckReports(reader);
      const bool bocu = reader.GetHeader().IsBocu1();
      const SubstitutionTable table = MakeTable(data, size);

      // Sequential reading at the export's capacities.
      std::vector<SeqRecord> seq;
      bool seqCapped = false;
      const bool rewound = reader.Rewind() == 0;
      {
        Texts t(kHeadwordCap, kTranslationCap, kExampleCap, kPronunciationCap);
        if (rewound) {
          SeqRecord r;
          TextLengths lengths;
          while (reader.ReadNext(t.headword.data(), t.hc, t.translation.data(), t.tc,
                                 t.example.data(), t.ec, t.pronunciation.data(), t.pc,
                                 &r.attribute, nullptr, &r.position, &lengths) == 0) {
            t.CheckFits();
            CHECK(lengths.headword == UnitLength(t.headword.data()));
            CHECK(lengths.translation == UnitLength(t.translation.data()));
            CHECK(lengths.example == UnitLength(t.example.data()));
            CHECK(lengths.pronunciation == UnitLength(t.pronunciation.data()));
            r.headword = t.headword.data();
            r.translation = t.translation.data();
            r.example = t.example.data();
            seq.push_back(r);
            if (seq.size() >= kMaxSequential) {
              seqCapped = true;
              break;
            }
          }
        }
      }
      // Again at the smallest capacities, with a table, without the
      // pronunciation and the position.
      for (int cap : {2, 3}) {
        Texts t(cap, cap, cap, cap);
        if (reader.Rewind() != 0) break;
        for (int i = 0; i < 2000; ++i) {
          int attribute = 0;
          const bool withTable = (i & 1) != 0;
          if (reader.ReadNext(t.headword.data(), t.hc, t.translation.data(), t.tc,
                              t.example.data(), t.ec, withTable ? t.pronunciation.data() : nullptr,
                              t.pc, &attribute, withTable ? &table : nullptr, nullptr) != 0) {
            break;
          }
          t.CheckFits();
        }
      }
      // Seeks, valid or not, and a few records behind each.
      {
        Texts t(kHeadwordCap, kTranslationCap, kExampleCap, kPronunciationCap);
        const int32_t limit = reader.GetIndex()->EntryLimit();
        for (int32_t n : {-1, 0, 1, limit / 2, limit - 1, limit, INT32_MAX}) {
          const int s = reader.SeekIndexEntry(n);
          if (n < 0 || n >= limit) CHECK(s == -1);
          for (int i = 0; i < 4; ++i) {
            int attribute = 0;
            RecordPosition position;
            const int got = reader.ReadNext(t.headword.data(), t.hc, t.translation.data(), t.tc,
                                            t.example.data(), t.ec, t.pronunciation.data(), t.pc,
                                            &attribute, &table, &position);
            if (s != 0) CHECK(got == -1);
            if (got != 0) break;
            CHECK(position.indexEntry >= n);
          }
        }
      }

      // Keys: fixed ones, then index keys, headwords and the input's last
      // bytes, each with its folded-away forms (the part before a TAB,
      // upper case, '-', voiced kana) and its first half.
      std::vector<std::u16string> keys = {u"", u"a", u"A-B", u"\u30AC\u30C3", u"\uFFFD",
                                          std::u16string(1100, u'k')};
      {
        std::vector<std::u16string> sources;
        DicIndex* index = reader.GetIndex();
        const int32_t limit = index->EntryLimit();
        std::vector<uint8_t> key(kMaxKeyLength + 1);
        for (int32_t n : {0, 1, limit / 2, limit - 1}) {
          uint32_t block = 0, keyLength = 0;
          if (n < 0 || index->ReadEntry(static_cast<uint32_t>(n), &block, key.data(), &keyLength) != 0) {
            continue;
          }
          CHECK(keyLength <= static_cast<uint32_t>(kMaxKeyLength));
          CHECK(key[keyLength] == 0);
          sources.push_back(Decode(bocu, key.data(), keyLength));
        }
        for (size_t i = 0; i < seq.size() && i < 3; ++i) sources.push_back(seq[i].headword);
        if (!seq.empty()) sources.push_back(seq.back().headword);
        std::u16string tail;
        for (size_t i = size > 16 ? size - 16 : 0; i + 1 < size; i += 2) {
          const char16_t u = static_cast<char16_t>(data[i] | data[i + 1] << 8);
          if (u != 0) tail.push_back(u);
        }
        sources.push_back(tail);
        for (const std::u16string& source : sources) {
          keys.push_back(source);
          const size_t tab = source.find(u'\t');
          const std::u16string cut = tab == std::u16string::npos ? source : source.substr(0, tab);
          if (cut.size() != source.size()) keys.push_back(cut);
          keys.push_back(Unfold(cut));
          if (cut.size() > 1) keys.push_back(cut.substr(0, cut.size() / 2));
        }
        std::sort(keys.begin() + 6, keys.end());
        keys.erase(std::unique(keys.begin() + 6, keys.end()), keys.end());
        // As many as the work budget allows for the records a lookup can meet.
        const size_t scan = RecordsInReach(reader) + 1;
        const size_t allowed = std::clamp<size_t>(kLookupBudget / (4 * scan), 3, kMaxKeys);
        if (keys.size() > allowed) keys.resize(allowed);
      }
      Texts normal(kHeadwordCap, kTranslationCap, kExampleCap, kPronunciationCap);
      Texts small2(2, 2, 2, 2);
      Texts small3(3, 3, 3, 3);
      for (const std::u16string& key : keys) {
        for (int wholeWord : {0, 1}) {
          for (int limit : {kLookupLimit, 3}) {
            int truncated = -1;
            const uint32_t hits = reader.Lookup(key.c_str(), wholeWord, limit, &truncated);
            CHECK(hits == reader.GetHitCount());
            CHECK(hits <= static_cast<uint32_t>(limit));
            CHECK(truncated == (hits == static_cast<uint32_t>(limit) ? 1 : 0));
            int attribute = 0;
            CHECK(GetHit(reader, -1, normal, &attribute, nullptr) == -1);
            CHECK(GetHit(reader, static_cast<int>(hits), normal, &attribute, nullptr) == -1);
            for (uint32_t i = 0; i < hits; ++i) {
              if (i == kHitsFetched && i + 1 < hits) i = hits - 1;  // and the last
              const int n = static_cast<int>(i);
              CHECK(GetHit(reader, n, normal, &attribute, nullptr) == 0);
              normal.CheckFits();
              CHECK(attribute >= 0 && attribute <= 15);
              CHECK(GetHit(reader, n, normal, &attribute, &table) == 0);
              normal.CheckFits();
              CHECK(GetHit(reader, n, (i & 1) ? small3 : small2, &attribute,
                           (i & 2) ? &table : nullptr) == 0);
              ((i & 1) ? small3 : small2).CheckFits();
            }
          }
        }
      }

      // Nothing is lost: a sequential read gives the first hits of the empty
      // key, in the same order, at the same places, with the same texts.
      if (!seqCapped) {
        const size_t n = std::min<size_t>(seq.size(), kLookupLimit - 1);
        int truncated = 0;
        const uint32_t hits = reader.Lookup(u"", 0, static_cast<int>(n + 1), &truncated);
        CHECK(hits >= n);
        for (size_t i = 0; i < n; ++i) {
          const SearchHit* hit = reader.GetHitInfo(static_cast<int>(i));
          CHECK(hit != nullptr);
          CHECK(hit->indexEntry == seq[i].position.indexEntry);
          CHECK(hit->block == seq[i].position.block);
          CHECK(hit->recordOffset == seq[i].position.recordOffset);
          int attribute = -1;
          CHECK(GetHit(reader, static_cast<int>(i), normal, &attribute, nullptr) == 0);
          CHECK(seq[i].headword == normal.headword.data());
          CHECK(seq[i].translation == normal.translation.data());
          CHECK(seq[i].example == normal.example.data());
          CHECK(seq[i].attribute == attribute);
        }

        // The export writes each record once, as well-formed UTF-8.
        ExportOptions options;
        options.stopAfterEntry = -1;
        ExportStats stats;
        int pumps = 0;
        ExportHooks hooks;
        hooks.pump = [&] { ++pumps; };
        hooks.setTitle = [](const std::string& title) { CHECK(!title.empty()); };
        CHECK(ExportPlainText(reader, exportFile.path.c_str(), hooks, options, &stats) ==
              (rewound ? ExportResult::kDone : ExportResult::kNothingToRead));
        CHECK(stats.written == static_cast<int64_t>(seq.size()));
        CHECK(pumps == static_cast<int>(seq.size()));
        const std::vector<uint8_t> text = exportFile.Read();
        CHECK(text.size() == stats.bytes);
        CHECK(IsUtf8(text));
      }

      // The file changes under the open reader: cut to half, then the
      // input shifted by one byte. Reads may fail; nothing else may happen.
      {
        int truncated = 0;
        const uint32_t before = reader.Lookup(u"", 0, 64, &truncated);
        reader.Rewind();
        dicFile.Write(data, size / 2);
        for (int step = 0; step < 2; ++step) {
          int attribute = 0;
          for (uint32_t i = 0; i < before; ++i) {
            GetHit(reader, static_cast<int>(i), normal, &attribute, nullptr);
            normal.CheckFits();
          }
          for (int i = 0; i < 64; ++i) {
            if (reader.ReadNext(normal.headword.data(), normal.hc, normal.translation.data(),
                                normal.tc, normal.example.data(), normal.ec,
                                normal.pronunciation.data(), normal.pc, &attribute, nullptr,
                                nullptr) != 0) {
              break;
            }
            normal.CheckFits();
          }
          const uint32_t after = reader.Lookup(keys.back().c_str(), 0, 64, &truncated);
          for (uint32_t i = 0; i < after; ++i) {
            GetHit(reader, static_cast<int>(i), small3, &attribute, &table);
            small3.CheckFits();
          }
          if (size > 1) dicFile.Write(data + 1, size - 1);
        }
      }

      reader.Close();
      int truncated = 0;
      CHECK(reader.Lookup(u"", 0, 0, &truncated) == 0);
      CHECK(reader.Rewind() == -1);
    }
  }

  return 0;
}
