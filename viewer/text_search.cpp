#include "viewer/text_search.h"

#include <QStringView>

#include "dictionary/dic_lookup.h"
#include "dictionary/limits.h"
#include "search/text_scan.h"
#include "viewer/background_job.h"

namespace kebu::viewer {

namespace {

QString FromUtf16(std::u16string_view text) {
  return QString::fromUtf16(text.data(), static_cast<qsizetype>(text.size()));
}

// The rank of a hit in best-first order: 0 its headword is the query (as
// the scan compares), 1 its headword holds the query, 2 anything else.
int Rank(const TextHit& hit, const QString& headword, std::u16string_view query, bool exact) {
  if ((hit.fields & kInHeadword) == 0) return 2;
  const std::u16string_view units(reinterpret_cast<const char16_t*>(headword.utf16()),
                                  static_cast<size_t>(headword.size()));
  const std::vector<TextRange> ranges = FindQueryRanges(units, query, exact);
  const bool whole = ranges.size() == 1 && ranges[0].begin == 0 && ranges[0].end == units.size() &&
                     units.size() == query.size();
  return whole ? 0 : 1;
}

}  // namespace

void TextSearch::Scan(const TextSearchRequest& request, JobLink& link) {
  int64_t entries = 0;
  for (const auto& s : request.sources) entries += s.source->index.EntryLimit();
  std::vector<Hit> rows;
  int64_t hits = 0;
  int64_t taken = 0;
  int64_t before = 0;  // entries of the dictionaries scanned already
  StatusCode result = StatusCode::kOk;
  // Best first: the rows of each rank, as many as the page may need.
  std::vector<Hit> ranked[3];
  // The damaged record areas of each dictionary scanned to its end.
  std::vector<std::pair<DictionaryId, int64_t>> damaged;
  const auto keep = static_cast<size_t>(request.skip + request.take);
  const auto post = [&](int32_t done) {
    const int percent = entries > 0 ? static_cast<int>((before + done) * 100 / entries) : 100;
    PostRows(link, std::move(rows), hits, percent);
    rows.clear();
  };
  for (const auto& [dictionary, source] : request.sources) {
    DicLookup texts(source);
    RecordText record;
    TextScanOptions options;
    options.exact = request.exact;
    options.threads = 0;
    options.cancel = link.CancelFlag();
    options.progress = [&](int32_t done, int32_t) { post(done); };
    TextScanStats stats;
    const auto makeRow = [&](const TextHit& hit, Hit& row) {
      row.dictionary = dictionary;
      row.headword = FromUtf16(DisplayHeadword(record.headword, source->versionMajor));
      row.attribute = record.attribute;
      row.reading = FromUtf16(record.pronunciation);
      row.position = hit.position;
      row.fields = hit.fields;
    };
    result = ScanText(source, request.query, options, [&](const TextHit& hit) {
      if (request.bestFirst) {
        ++hits;
        Hit row;
        texts.GetHit(hit.position, &record);
        makeRow(hit, row);
        std::vector<Hit>& rank = ranked[Rank(hit, row.headword, request.query, request.exact)];
        if (rank.size() < keep) rank.push_back(std::move(row));
        return true;
      }
      if (++hits > request.skip && taken < request.take) {
        texts.GetHit(hit.position, &record);  // empty texts when it cannot be read
        makeRow(hit, rows.emplace_back());
        ++taken;
      }
      return request.countAll || taken < request.take;
    }, &stats).Code();
    before += source->index.EntryLimit();
    if (result != StatusCode::kOk || stats.stopped) break;
    damaged.emplace_back(dictionary, stats.skippedAreas);
  }
  if (request.bestFirst && result == StatusCode::kOk) {
    int64_t at = 0;
    for (std::vector<Hit>& rank : ranked) {
      for (Hit& row : rank) {
        if (at >= request.skip && at < request.skip + request.take) rows.push_back(std::move(row));
        ++at;
      }
    }
  }
  post(0);
  link.Post([this, damaged = std::move(damaged)] { damaged_ = damaged; });
  PostEnd(link, result);
}

void TextSearch::Start(const std::u16string& key) {
  Clear();
  damaged_.clear();
  TextSearchRequest request;
  request.sources = CheckedSources(list_);
  request.query = key;
  request.exact = exact_;
  request.bestFirst = bestFirst_;
  request.take = kWindowHitLimit;
  request_ = request;
  emit RowsReady({}, true);
  Run([this, request](JobLink& link) { Scan(request, link); }, false);
}

void TextSearch::More() {
  if (!HasMore()) return;
  TextSearchRequest request = request_;
  request.skip = listed_;
  request.take = kWindowHitLimit;
  // The total is known: the scan stops with the page (in file order; best
  // first reads everything, the best hit may come last).
  request.countAll = false;
  Run([this, request](JobLink& link) { Scan(request, link); }, true);
}

std::vector<TextRange> TextSearch::Marks(const Hit& hit, const QString& shown, bool named) const {
  if (hit.fields == 0) return {};
  return PaneMatches(shown, named, request_.query, request_.exact);
}

std::vector<TextRange> PaneMatches(const QString& shown, bool named, std::u16string_view query,
                                   bool exact) {
  const qsizetype from = named ? shown.indexOf(QLatin1Char('\n')) + 1 : 0;
  const QStringView fields = QStringView(shown).mid(from);
  std::vector<TextRange> ranges = FindQueryRanges(
      std::u16string_view(fields.utf16(), static_cast<size_t>(fields.size())), query, exact);
  for (TextRange& range : ranges) {
    range.begin += static_cast<size_t>(from);
    range.end += static_cast<size_t>(from);
  }
  return ranges;
}

}  // namespace kebu::viewer
