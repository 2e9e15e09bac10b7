// Several readers of one open dictionary at once: cursors and lookups on
// other threads, while the reader looks up and is closed under them. Built
// also with ThreadSanitizer (scripts/hardening tsan).
#include <gtest/gtest.h>

#include <thread>

#include "export/plain_text_export.h"
#include "tests/dictionary/reader_support.h"

namespace kebu::testing {
namespace {

TEST(Concurrent, CursorsAndLookupsOnOtherThreadsSeeWhatOneThreadSees) {
  std::mt19937 random(3);
  const std::vector<Record> records = RandomRecords(random, 2000, true, false);
  Options o;
  o.encoding = Encoding::kBocu1;
  o.block_size = 128;
  Opened d(MakeDictionary(records, o).bytes);
  const std::vector<Texts> all = ReadAll(d.reader);
  const std::vector<Texts> hitsOfA = LookupAll(d.reader, "a", false, 0);
  ASSERT_EQ(all.size(), records.size());

  std::vector<std::thread> threads;
  std::vector<std::vector<Texts>> read(3);
  std::vector<uint64_t> counts(3);
  for (int k = 0; k < 3; ++k) {
    // The first index loading happens on these threads, all at once.
    std::unique_ptr<DicCursor> cursor = d.reader.NewCursor();
    std::unique_ptr<DicLookup> lookup = d.reader.NewLookup();
    threads.emplace_back([&, k, cursor = std::move(cursor), lookup = std::move(lookup)] {
      RecordText t;
      cursor->Rewind();
      while (cursor->ReadNext(&t) == ReadStatus::kRecord) read[k].push_back(ToUtf8(t));
      counts[k] = lookup->Count(u"a");
    });
  }
  for (int i = 0; i < 50; ++i) EXPECT_EQ(LookupAll(d.reader, "a", false, 0), hitsOfA);
  d.reader.Close();  // the cursors go on with the file they hold
  for (std::thread& t : threads) t.join();
  for (int k = 0; k < 3; ++k) {
    EXPECT_EQ(read[k], all);
    EXPECT_EQ(counts[k], hitsOfA.size());
  }
}

TEST(Concurrent, ExportOnAnotherThreadWhileLookingUp) {
  std::mt19937 random(5);
  const std::vector<Record> records = RandomRecords(random, 3000, false, false);
  Opened d(MakeDictionary(records).bytes);
  const std::string target = d.dir.File("out.txt").string();
  ExportStats stats;
  // The export's thread holds the open file, not the reader (which this
  // thread alone uses).
  std::thread exporter([&, source = d.reader.Source()] {
    EXPECT_TRUE(ExportPlainText(source, target, {}, {-1}, &stats).IsOk());
  });
  for (int i = 0; i < 100; ++i) LookupAll(d.reader, i % 2 ? "a" : "b");
  exporter.join();
  EXPECT_EQ(stats.written, 3000);
  EXPECT_EQ(ReadText(target).size(), stats.bytes);
}

}  // namespace
}  // namespace kebu::testing
