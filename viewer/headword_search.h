// Headword search over several dictionaries: the hits of every searched,
// open dictionary in the list's order, listed a page at a time (the first
// page and then "show more", which goes on behind the last hit listed, so
// that N pages cost N pages' work), and the text of one hit as the pane
// shows it. No widgets here: the window turns the hits into rows.
#pragma once

#include <QString>
#include <cstdint>
#include <string>
#include <vector>

#include "dictionary/dic_record.h"
#include "viewer/dictionary_list.h"

namespace kebu::viewer {

struct Hit {
  DictionaryId dictionary = 0;
  // Where its record stands: names the hit as long as the dictionary is open.
  RecordPosition position;
  QString headword;  // as shown (the version-6 TAB rule applied)
  QString reading;   // the pronunciation, as stored
  int attribute = 0;
  // A full-text hit (viewer/text_search.h): the fields it matched in
  // (TextField bits); 0 for a headword hit.
  uint8_t fields = 0;
  bool operator==(const Hit&) const = default;
};

class HeadwordSearch {
 public:
  // Starts over with `key`: the first `limit` hits in all.
  std::vector<Hit> First(DictionaryList& list, std::u16string key, int limit);
  // The next `limit` hits of the same key.
  std::vector<Hit> More(DictionaryList& list, int limit);
  // Whether there are hits beyond those listed.
  bool HasMore() const;
  int64_t Listed() const { return listed_; }
  const std::u16string& Key() const { return key_; }

 private:
  struct Progress {
    DictionaryId dictionary;
    uint32_t listed = 0;
    bool exhausted = false;
    RecordPosition last;  // of the last hit listed, once one is
  };
  std::vector<Hit> Collect(DictionaryList& list, int limit);

  std::u16string key_;
  std::vector<Progress> progress_;
  int64_t listed_ = 0;
};

// The pane's text of `hit`: headword, translation and, when there is one,
// the example, each line ending in CR LF; with `named`, a first line
// "— name —" says which dictionary it is from; with `reading`, a line
// "[てつどう]" under the headword when the record has a pronunciation. False
// when the hit cannot be read.
bool EntryText(DictionaryList& list, const Hit& hit, bool named, QString* text,
               bool reading = false);

}  // namespace kebu::viewer
