// The language tools behind the dictionary forms, each loaded on its first
// use: WordNet's exception lists (English irregular forms), Hunspell with its
// en_US dictionary (English stems) and MeCab with IPADIC (Japanese base forms
// and readings). Nothing is read before a tool is first asked for, so a
// program that never needs forms never pays for them.
//
// Thread safety: every member may be called from any thread at once. A tool
// loads once, on the first thread that needs it (the others wait for it);
// after that WordNet and MeCab answer in parallel, Hunspell one call at a
// time. The window calls from a worker thread; loading takes up to a few
// hundred milliseconds (docs/PERFORMANCE.md).
#pragma once

#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace kebu::forms {

enum class Tool { kWordNet, kHunspell, kMeCab };

// A tool that was wanted and could not be used: not built in, or its data
// missing or unreadable. Everything else goes on without it.
struct MissingTool {
  Tool tool = Tool::kWordNet;
  std::string reason;  // "cannot read /usr/share/hunspell/en_US.aff", ...

  // The Debian package that brings the tool's data: wordnet-base,
  // hunspell-en-us or mecab-ipadic-utf8.
  const char* Package() const;
  // For people: "English irregular forms need WordNet's exception lists
  // (install wordnet-base): REASON".
  std::string Message() const;
};

// Where each tool's data lies; by default where Debian's packages put it.
struct LanguageToolPaths {
  std::string wordnetFolder = "/usr/share/wordnet";          // *.exc
  std::string hunspellAff = "/usr/share/hunspell/en_US.aff";
  std::string hunspellDic = "/usr/share/hunspell/en_US.dic";
  std::string mecabDictionary = "/var/lib/mecab/dic/ipadic-utf8";  // dicrc, sys.dic, ...

  // Every tool looked for in `folder` under the default names.
  static LanguageToolPaths InFolder(const std::string& folder);
};

// The first word of a Japanese text, as MeCab reads it.
struct JapaneseWord {
  std::u16string base;     // its dictionary form (食べました: 食べる); the word itself when it has none
  std::u16string reading;  // the base form's reading in hiragana (たべる); empty when unknown
  size_t units = 0;        // the units of the text it takes, auxiliaries behind it included (食べました: 5)
};

class LanguageTools {
 public:
  explicit LanguageTools(LanguageToolPaths paths = {});
  ~LanguageTools();
  LanguageTools(const LanguageTools&) = delete;
  LanguageTools& operator=(const LanguageTools&) = delete;

  // WordNet's base forms of `word` (lower-case UTF-8; went: go); empty
  // when it has none or the lists are missing.
  std::vector<std::string> IrregularForms(std::string_view word);
  // Hunspell's stems of `word` (UTF-8) other than the word itself.
  std::vector<std::string> Stems(std::string_view word);
  // The first word of `text` (MeCab); nothing for an empty text or when
  // MeCab is missing.
  std::optional<JapaneseWord> FirstJapaneseWord(std::u16string_view text);

  // Loads `tool` if it is not loaded yet: null when it is ready, else what
  // is missing.
  const MissingTool* Missing(Tool tool);

 private:
  struct Impl;
  std::unique_ptr<Impl> impl_;
};

}  // namespace kebu::forms
