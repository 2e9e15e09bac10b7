#include "viewer/headword_search.h"


namespace kebu::viewer {

namespace {

QString FromUtf16(std::u16string_view text) {
  return QString::fromUtf16(text.data(), static_cast<qsizetype>(text.size()));
}

}  // namespace

std::vector<Hit> HeadwordSearch::First(DictionaryList& list, std::u16string key, int limit) {
  key_ = std::move(key);
  progress_.clear();
  listed_ = 0;
  for (int d = 0; d < list.Size(); ++d) {
    if (list.At(d).searched && list.At(d).IsOpen()) progress_.push_back({list.At(d).id});
  }
  return Collect(list, limit);
}

std::vector<Hit> HeadwordSearch::More(DictionaryList& list, int limit) {
  for (const Progress& p : progress_) {
    // The list changed under the search: nothing more of it.
    if (list.FindOpen(p.dictionary) == nullptr) return {};
  }
  return Collect(list, limit);
}

bool HeadwordSearch::HasMore() const {
  for (const Progress& p : progress_) {
    if (!p.exhausted) return true;
  }
  return false;
}

std::vector<Hit> HeadwordSearch::Collect(DictionaryList& list, int limit) {
  std::vector<Hit> hits;
  int64_t room = limit;
  RecordText texts;
  for (Progress& p : progress_) {
    if (p.exhausted) continue;
    DicReader& reader = *list.FindOpen(p.dictionary)->reader;
    if (room == 0) {
      // Nothing more fits: only whether this dictionary has hits at all.
      if (p.listed == 0) p.exhausted = reader.Lookup(key_, false, 1).count == 0;
      continue;
    }
    // The next page behind the last hit listed; one hit beyond it tells
    // whether there are more.
    const int limit = static_cast<int>(room + 1);
    const LookupResult result = p.listed == 0 ? reader.Lookup(key_, false, limit)
                                              : reader.LookupAfter(key_, false, p.last, limit);
    const uint32_t taken = static_cast<uint32_t>(std::min<int64_t>(result.count, room));
    p.exhausted = result.count <= room && result.status.IsOk();
    for (uint32_t i = 0; i < taken; ++i) {
      if (!reader.GetHit(i, &texts)) texts.Clear();
      Hit& hit = hits.emplace_back();
      hit.dictionary = p.dictionary;
      hit.position = reader.HitPosition(i);
      hit.headword = FromUtf16(DisplayHeadword(texts.headword, reader.GetVersionMajor()));
      hit.attribute = texts.attribute;
      hit.reading = FromUtf16(texts.pronunciation);
      p.last = hit.position;
    }
    room -= taken;
    listed_ += taken;
    p.listed += taken;
  }
  return hits;
}

bool EntryText(DictionaryList& list, const Hit& hit, bool named, QString* text, bool reading) {
  const Dictionary* found = list.FindOpen(hit.dictionary);
  if (found == nullptr) return false;
  const Dictionary& dictionary = *found;
  RecordText texts;
  // Headword and full-text hits alike are read again by their position.
  if (!dictionary.reader->GetHit(hit.position, &texts)) return false;
  const QString lineEnd = QStringLiteral("\r\n");
  text->clear();
  if (named) *text += QStringLiteral("— ") + dictionary.name + QStringLiteral(" —") + lineEnd;
  *text += FromUtf16(DisplayHeadword(texts.headword, dictionary.reader->GetVersionMajor()));
  if (reading && !texts.pronunciation.empty()) {
    *text += lineEnd + QLatin1Char('[') + FromUtf16(texts.pronunciation) + QLatin1Char(']');
  }
  *text += lineEnd + FromUtf16(texts.translation) + lineEnd;
  if (!texts.example.empty()) *text += FromUtf16(texts.example) + lineEnd;
  return true;
}

}  // namespace kebu::viewer
