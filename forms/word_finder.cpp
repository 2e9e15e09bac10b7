#include "forms/word_finder.h"

#include <algorithm>
#include <map>
#include <new>
#include <utility>

#include "codec/utf8.h"
#include "forms/english_forms.h"
#include "forms/word_text.h"

namespace kebu::forms {

namespace {

// One candidate: the ways of writing one form (run, Run); the first that is
// a headword is kept.
struct Candidate {
  std::vector<std::u16string> spellings;
  FormSource source;
};

std::u16string Join(const std::vector<std::u16string>& words, size_t first, size_t end) {
  std::u16string text;
  for (size_t i = first; i < end; ++i) {
    if (i > first) text += u' ';
    text += words[i];
  }
  return text;
}

class Finder {
 public:
  Finder(HeadwordTest& test, LanguageTools& tools, const FindOptions& options, WordMatch& match)
      : test_(test), tools_(tools), options_(options), match_(match) {}

  // Tests the candidates in order; all that are headwords are kept, or with
  // `firstOnly` the first. True when any was.
  bool Try(const std::vector<Candidate>& candidates, bool firstOnly = false) {
    bool found = false;
    for (const Candidate& c : candidates) {
      for (const std::u16string& spelling : c.spellings) {
        if (spelling.empty() || !Reachable(spelling) || !IsHeadword(spelling)) continue;
        found = true;
        const bool known = std::any_of(match_.forms.begin(), match_.forms.end(),
                                       [&](const FoundForm& f) { return f.headword == spelling; });
        if (!known) match_.forms.push_back({spelling, c.source});
        break;
      }
      if (found && firstOnly) break;
    }
    return found;
  }

  // The curated forms (WordNet's) all; of the rules' guesses only the
  // likeliest (hoped: hope, not hop).
  bool TryForms(const std::vector<Candidate>& candidates) {
    std::vector<Candidate> curated, guessed;
    for (const Candidate& c : candidates) (c.source == FormSource::kWordNet ? curated : guessed).push_back(c);
    return Try(curated) || Try(guessed, true);
  }

  bool IsHeadword(const std::u16string& word) {
    const auto [it, added] = tested_.try_emplace(word, false);
    if (added) it->second = test_.IsHeadword(word);
    return it->second;
  }

  bool HasPrefix(const std::u16string& prefix) {
    const auto [it, added] = prefixes_.try_emplace(prefix, true);
    if (added) it->second = test_.HasPrefix(prefix);
    return it->second;
  }

  // For a phrase: whether headwords begin with each of its leading words
  // and the space behind them (asked once for each, shortest first). A
  // text that ends in a space is a leading part of a phrase.
  bool Reachable(const std::u16string& phrase) {
    for (size_t space = phrase.find(u' '); space != std::u16string::npos; space = phrase.find(u' ', space + 1)) {
      if (!HasPrefix(phrase.substr(0, space + 1))) return false;
    }
    return true;
  }

  void NoteMissing(Tool tool) {
    const MissingTool* missing = tools_.Missing(tool);
    if (missing == nullptr) return;
    const bool noted = std::any_of(match_.missing.begin(), match_.missing.end(),
                                   [&](const MissingTool& m) { return m.tool == tool; });
    if (!noted) match_.missing.push_back(*missing);
  }

  // The English forms of a lower-case word: WordNet's irregular ones, then
  // the suffix rules'.
  const std::vector<std::pair<std::u16string, FormSource>>& FormsOf(const std::u16string& word) {
    const auto [it, added] = forms_.try_emplace(word);
    if (!added) return it->second;
    const std::string utf8 = Utf16ToUtf8(word);
    NoteMissing(Tool::kWordNet);
    for (const std::string& f : tools_.IrregularForms(utf8)) it->second.emplace_back(Utf8ToUtf16(f), FormSource::kWordNet);
    for (const std::string& f : SuffixForms(utf8)) it->second.emplace_back(Utf8ToUtf16(f), FormSource::kSuffixRule);
    return it->second;
  }

  // Text without spaces: the longest leading run that is a headword, or the
  // base form of the first word where that takes more of the text.
  void FindInRun(std::u16string_view run) {
    size_t longest = 0;
    for (size_t n = 0; n < run.size() && n < options_.maxRunUnits;) {
      size_t units = 1;
      CodePointAt(run, n, &units);
      n += units;
      const std::u16string prefix(run.substr(0, n));
      if (!HasPrefix(prefix)) break;
      if (IsHeadword(prefix)) longest = n;
    }
    if (longest < run.size() && options_.forms) {
      // The first word and its auxiliaries stand well within twice the
      // longest run: MeCab need not read a whole page.
      size_t end = 0, units = 1;
      while (end < run.size() && end < 2 * options_.maxRunUnits) {
        CodePointAt(run, end, &units);
        end += units;
      }
      const std::optional<JapaneseWord> word = tools_.FirstJapaneseWord(run.substr(0, end));
      NoteMissing(Tool::kMeCab);
      if (word && word->units > longest) {
        match_.matched = run.substr(0, word->units);
        if (Try({{{word->base}, FormSource::kMeCabBase}})) return;
        if (word->reading != word->base && Try({{{word->reading}, FormSource::kMeCabReading}})) return;
      }
    }
    if (longest > 0) {
      match_.matched = run.substr(0, longest);
      Try({{{match_.matched}, FormSource::kAsSelected}});
    }
  }

  // Words separated by spaces: the longest leading phrase, as it stands,
  // in other case, or with its first or last word in a dictionary form.
  void FindInWords(const std::vector<std::u16string>& words) {
    std::vector<std::u16string> lower;
    for (const std::u16string& w : words) lower.push_back(ToLower(NarrowWidth(w)));
    for (size_t n = words.size(); n >= 1; --n) {
      match_.matched = Join(words, 0, n);
      if (Try({{{match_.matched}, FormSource::kAsSelected}})) return;
      if (!options_.forms) continue;
      const std::u16string phrase = Join(lower, 0, n);
      if (Try({{{NarrowWidth(match_.matched), phrase, Capitalise(phrase)}, FormSource::kCase}})) return;
      std::vector<Candidate> candidates;
      const std::u16string rest = n > 1 ? u" " + Join(lower, 1, n) : u"";
      for (const auto& [form, source] : FormsOf(lower[0])) {
        candidates.push_back({{form + rest, Capitalise(form) + rest}, source});
      }
      if (n > 1) {
        const std::u16string head = Join(lower, 0, n - 1) + u' ';
        if (Reachable(head)) {
          for (const auto& [form, source] : FormsOf(lower[n - 1])) candidates.push_back({{head + form}, source});
        }
      }
      if (TryForms(candidates)) return;
    }
    if (!options_.forms) return;
    // Hunspell last: it takes longest to load, and WordNet and the rules
    // find most forms.
    match_.matched = words[0];
    NoteMissing(Tool::kHunspell);
    std::vector<Candidate> candidates;
    for (const std::string& stem : tools_.Stems(Utf16ToUtf8(lower[0]))) {
      const std::u16string s = Utf8ToUtf16(stem);
      candidates.push_back({{s, Capitalise(s)}, FormSource::kHunspell});
    }
    Try(candidates, true);
  }

 private:
  HeadwordTest& test_;
  LanguageTools& tools_;
  const FindOptions& options_;
  WordMatch& match_;
  std::map<std::u16string, bool> tested_, prefixes_;
  std::map<std::u16string, std::vector<std::pair<std::u16string, FormSource>>> forms_;
};

}  // namespace

std::u16string WordMatch::Description() const {
  if (forms.empty() || (forms.size() == 1 && forms[0].headword == selection)) return u"";
  std::u16string text = selection + u" → ";
  for (size_t i = 0; i < forms.size(); ++i) text += (i > 0 ? u", " : u"") + forms[i].headword;
  return text;
}

Result<WordMatch> FindWord(std::u16string_view selection, HeadwordTest& dictionaries, LanguageTools& tools,
                           const FindOptions& options) try {
  WordMatch match;
  Finder finder(dictionaries, tools, options, match);
  // As it stands first, punctuation and all (C++, Yahoo!), then without it.
  const std::u16string_view spaced = Trim(selection, false);
  const std::u16string_view text = Trim(spaced, true);
  for (std::u16string_view whole : {spaced, text}) {
    match.selection = match.matched = whole;
    if (!whole.empty() && finder.Try({{{match.selection}, FormSource::kAsSelected}})) return match;
  }
  if (text.empty()) return match;

  size_t end = 0, units = 1;
  bool noSpaces = false;
  while (end < text.size() && !IsSpace(CodePointAt(text, end, &units))) {
    noSpaces = noSpaces || IsNoSpaceScript(CodePointAt(text, end, &units));
    end += units;
  }
  if (noSpaces) {
    finder.FindInRun(text.substr(0, end));
  } else {
    std::vector<std::u16string> words = PhraseWords(text);
    if (words.size() > options.maxPhraseWords) words.resize(options.maxPhraseWords);
    if (!words.empty()) finder.FindInWords(words);
  }
  if (match.forms.empty()) match.matched.clear();
  return match;
} catch (const std::bad_alloc&) {
  return Status::OutOfMemory();
}

}  // namespace kebu::forms
