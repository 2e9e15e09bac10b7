#include "viewer/search_chooser.h"

#include "search/headword_pattern.h"
#include "viewer/pattern_search.h"
#include "viewer/prefix_help.h"
#include "viewer/text_search.h"

namespace kebu::viewer {

SearchChooser::SearchChooser(DictionaryList& list, QObject* parent)
    : QObject(parent),
      text_(new TextSearch(list, this)),
      prefix_(new HelpedPrefixSearch(list, this)),
      pattern_(new PatternSearch(list, this)) {
  all_ = {prefix_, text_, pattern_};
}

WindowSearch* SearchChooser::For(const QString& key, const ViewerSettings& settings) {
  if (settings.fullText) {
    text_->SetExact(settings.exact);
    text_->SetBestFirst(settings.bestFirst);
    return text_;
  }
  if (HeadwordPattern::HasWildcard(key.toStdU16String())) return pattern_;
  prefix_->SetForms(settings.companion.forms);
  return prefix_;
}

}  // namespace kebu::viewer
