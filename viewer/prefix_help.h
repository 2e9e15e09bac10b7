// Help for a headword search that found nothing, worked out off the
// window's thread:
//
// - FormsHelp: the dictionary forms of the key (forms/word_finder.h:
//   running → run), kept where they are headwords of the checked
//   dictionaries; their whole-word entries are listed instead, under the
//   line "No entry for running; showing run", whose key is a link back to
//   the key as typed.
// - SuggestionsHelp: when the forms find nothing either, the headwords
//   similar to the key (search/similar_headwords.h), at most 10, in the line
//   "Did you mean: receive, recife, …", each a link that searches it.
//
// HelpedPrefixSearch is the window's prefix search with both: on no hits it
// runs them as one BackgroundJob at nice 10, once the key has stood for
// kHelpDelayMs (so keys typed in a row pass through a key without hits
// without starting it, and leave the processor to the window); the next key
// cancels it.
#pragma once

#include <QString>
#include <QTimer>
#include <atomic>
#include <memory>
#include <string>
#include <vector>

#include "base/status.h"
#include "forms/language_tools.h"
#include "viewer/prefix_search.h"

namespace kebu::viewer {

class BackgroundJob;

class FormsHelp {
 public:
  struct Found {
    std::vector<std::u16string> forms;  // the headwords found, the likelier first
    std::vector<Hit> rows;              // their entries, in the dictionaries' order
  };
  // The entries of the dictionary forms of `key` in `sources`; none found:
  // no forms. Runs on the calling thread (the tools load there when first
  // needed).
  static Result<Found> Find(const std::u16string& key, const std::vector<SearchSource>& sources,
                            forms::LanguageTools& tools);
  // "No entry for KEY; showing FORM, FORM", the key a link to it as typed.
  static QString Note(const std::u16string& key, const std::vector<std::u16string>& forms);
};

class SuggestionsHelp {
 public:
  // Shown at most.
  static constexpr int kLimit = 10;
  // The headwords similar to `key` in `sources`, as shown, best first.
  static Result<std::vector<std::u16string>> Find(const std::u16string& key,
                                                  const std::vector<SearchSource>& sources,
                                                  const std::atomic<bool>* cancel);
  // "Did you mean: WORD, WORD", each a link that searches it.
  static QString Note(const std::vector<std::u16string>& words);
};

class HelpedPrefixSearch : public PrefixSearch {
  Q_OBJECT

 public:
  // How long a key without hits stands before its help is worked out.
  static constexpr int kHelpDelayMs = 100;

  explicit HelpedPrefixSearch(DictionaryList& list, QObject* parent = nullptr);

  // Whether the dictionary forms are tried (the profile's DictionaryForms).
  void SetForms(bool forms) { forms_ = forms; }

  void Start(const std::u16string& key) override;
  void StartPlain(const std::u16string& key) override;
  void Reset() override;
  QString StatusText() const override;
  QString NoteText() const override { return note_; }

 protected:
  void OnNoHits() override;

 private:
  void Forget();
  // The help of the key without hits, on the job.
  void StartHelp();

  BackgroundJob* job_;
  QTimer* delay_;
  std::shared_ptr<forms::LanguageTools> tools_;
  bool forms_ = true;
  bool plain_ = false;  // the running start wants no help
  QString note_;
  qint64 formRows_ = -1;  // rows of the forms shown; -1: none shown
};

}  // namespace kebu::viewer
