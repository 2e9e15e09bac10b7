#include "viewer/search_chooser.h"

#include "viewer/prefix_search.h"
#include "viewer/text_search.h"

namespace kebu::viewer {

SearchChooser::SearchChooser(DictionaryList& list, QObject* parent)
    : QObject(parent),
      text_(new TextSearch(list, this)),
      prefix_(new PrefixSearch(list, this)) {
  all_ = {prefix_, text_};
}

WindowSearch* SearchChooser::For(const QString&, const ViewerSettings& settings) {
  if (settings.fullText) {
    text_->SetExact(settings.exact);
    return text_;
  }
  return prefix_;
}

}  // namespace kebu::viewer
