#include "viewer/window_search.h"

#include "viewer/window_style.h"

namespace kebu::viewer {

std::vector<SearchSource> CheckedSources(const DictionaryList& list) {
  std::vector<SearchSource> sources;
  for (int d = 0; d < list.Size(); ++d) {
    const Dictionary& dictionary = list.At(d);
    if (dictionary.searched && dictionary.IsOpen()) {
      sources.push_back({dictionary.id, dictionary.reader->Source()});
    }
  }
  return sources;
}

std::vector<TextRange> WindowSearch::Marks(const Hit&, const QString&, bool) const { return {}; }

QString HitsText(qint64 hits) {
  return hits == 1 ? WindowSearch::tr("1 hit") : WindowSearch::tr("%1 hits").arg(Thousands(hits));
}

QString ShowMoreLink() {
  return QStringLiteral(" — <a href=\"more\">%1</a>").arg(WindowSearch::tr("show more"));
}

}  // namespace kebu::viewer
