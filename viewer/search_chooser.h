// Which search the window runs for a key: full text when the Full text box
// is ticked; else a headword pattern when the key holds a `*` or `?` that no
// backslash makes literal; else the headwords that begin with the key, with
// its dictionary forms or suggestions when none does. The
// chooser owns one search of each kind; the window holds the one chosen last
// and never asks which it is.
#pragma once

#include <QObject>
#include <QString>
#include <vector>

#include "viewer/dictionary_list.h"
#include "viewer/viewer_settings.h"
#include "viewer/window_search.h"

namespace kebu::viewer {

class PatternSearch;
class HelpedPrefixSearch;
class TextSearch;

class SearchChooser : public QObject {
  Q_OBJECT

 public:
  explicit SearchChooser(DictionaryList& list, QObject* parent = nullptr);

  // The search for `key` under `settings` (the Full text and Exact boxes,
  // the order of full-text hits), set up with them.
  WindowSearch* For(const QString& key, const ViewerSettings& settings);
  // Every search, for connecting their signals once.
  const std::vector<WindowSearch*>& All() const { return all_; }

 private:
  TextSearch* text_;
  HelpedPrefixSearch* prefix_;
  PatternSearch* pattern_;
  std::vector<WindowSearch*> all_;
};

}  // namespace kebu::viewer
