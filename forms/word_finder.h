// From a selection to the headwords it stands for: the text trimmed, the
// longest leading run that is a headword (鉄道会社に勤めています: 鉄道会社;
// take into account), and where the words as they stand are no headword,
// their dictionary forms (running: run; 食べました: 食べる), each kept only
// where it is a headword.
//
// The dictionaries are asked through HeadwordTest, so the window can answer
// over its checked dictionaries and the tool over one (DicHeadwordTest in
// dic_headword_test.h answers over open dictionaries).
//
//   DicHeadwordTest dictionaries({reader.Source()});
//   Result<WordMatch> match = FindWord(u"running", dictionaries, tools);
//   // match->forms[0].headword == u"run", match->Description() == u"running → run"
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "base/status.h"
#include "forms/language_tools.h"

namespace kebu::forms {

// What finding a word asks of the dictionaries.
class HeadwordTest {
 public:
  virtual ~HeadwordTest() = default;
  // Whether `word` is a headword of one of the dictionaries, as a
  // whole-word lookup finds it. Throws std::bad_alloc when a lookup ran out
  // of memory.
  virtual bool IsHeadword(std::u16string_view word) = 0;
  // Whether some headword begins with `prefix`; lets the longest match stop
  // early. True is always a safe answer.
  virtual bool HasPrefix(std::u16string_view prefix) = 0;
};

// How a headword was reached from the selection.
enum class FormSource {
  kAsSelected,    // the selection, or its leading run, as it stands
  kCase,          // in lower case, capitalised or narrowed (ＣＤ: CD)
  kWordNet,       // an irregular form from WordNet's exception lists
  kSuffixRule,    // a regular suffix rule (-ies, -ed, -ing, ...)
  kHunspell,      // a Hunspell stem
  kMeCabBase,     // MeCab's base form of the first word
  kMeCabReading,  // the reading of that base form
};

struct FoundForm {
  std::u16string headword;  // as looked up: a whole-word lookup finds it
  FormSource source = FormSource::kAsSelected;
};

struct WordMatch {
  std::u16string selection;  // trimmed
  std::u16string matched;    // the leading part of the selection that the forms stand for
  // The headwords found, the likelier first: all those of the first kind
  // that gave any (better: good, well). Empty when none was found.
  std::vector<FoundForm> forms;
  // The tools that were needed and are missing.
  std::vector<MissingTool> missing;

  bool Found() const { return !forms.empty(); }
  // For people: "running → run", "better → good, well"; empty when the
  // selection was found as it stands or nothing was found.
  std::u16string Description() const;
};

struct FindOptions {
  bool forms = true;           // false: as selected only (trimmed, longest run), no tools
  size_t maxPhraseWords = 8;   // words of a phrase tried as one
  size_t maxRunUnits = 32;     // the longest run tried in text without spaces
};

// Finds what `selection` stands for. Asks `dictionaries` from the calling
// thread only; loads the tools it needs on first use (see LanguageTools).
// Fails only when memory runs out (kOutOfMemory; a HeadwordTest says so by
// throwing std::bad_alloc).
Result<WordMatch> FindWord(std::u16string_view selection, HeadwordTest& dictionaries, LanguageTools& tools,
                   const FindOptions& options = {});

}  // namespace kebu::forms
