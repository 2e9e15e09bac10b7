#include "forms/language_tools.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <mutex>

#include "codec/utf8.h"
#include "forms/english_forms.h"
#include "forms/word_text.h"

#ifdef KEBU_HAVE_HUNSPELL
#include <hunspell/hunspell.hxx>
#endif
#ifdef KEBU_HAVE_MECAB
#include <mecab.h>
#endif

namespace kebu::forms {

namespace {

// "" when `path` is a regular file that can be read, else why not.
[[maybe_unused]] std::string Unreadable(const std::string& path) {
  struct stat st {};
  if (::stat(path.c_str(), &st) != 0) return "cannot read " + path + ": " + std::strerror(errno);
  if (!S_ISREG(st.st_mode)) return path + " is not a file";
  if (::access(path.c_str(), R_OK) != 0) return "cannot read " + path + ": " + std::strerror(errno);
  return "";
}

#ifdef KEBU_HAVE_MECAB
// The fields of a MeCab feature ("動詞,自立,*,*,一段,連用形,食べる,タベ,タベ").
std::vector<std::string_view> Fields(const char* feature) {
  std::vector<std::string_view> fields;
  std::string_view rest(feature);
  for (;;) {
    const size_t comma = rest.find(',');
    fields.push_back(rest.substr(0, comma));
    if (comma == std::string_view::npos) return fields;
    rest.remove_prefix(comma + 1);
  }
}

std::string_view Field(const std::vector<std::string_view>& fields, size_t i) {
  return i < fields.size() && fields[i] != "*" ? fields[i] : std::string_view();
}

// Whether a word behind the first belongs to its inflection: auxiliaries
// (ました, ない), dependent verbs and adjectives (ている), suffixes, and the
// て that joins them.
bool Inflects(const std::vector<std::string_view>& f, std::string_view surface) {
  const std::string_view pos = Field(f, 0), sub = Field(f, 1);
  if (pos == "助動詞") return true;
  if ((pos == "動詞" || pos == "形容詞") && (sub == "非自立" || sub == "接尾")) return true;
  return pos == "助詞" && sub == "接続助詞" && (surface == "て" || surface == "で");
}
#endif

}  // namespace

const char* MissingTool::Package() const {
  switch (tool) {
    case Tool::kWordNet: return "wordnet-base";
    case Tool::kHunspell: return "hunspell-en-us";
    case Tool::kMeCab: return "mecab-ipadic-utf8";
  }
  return "";
}

std::string MissingTool::Message() const {
  const char* what = tool == Tool::kWordNet    ? "English irregular forms need WordNet's exception lists"
                     : tool == Tool::kHunspell ? "English stems need Hunspell's en_US dictionary"
                                               : "Japanese forms need MeCab's IPADIC dictionary";
  return std::string(what) + " (install " + Package() + "): " + reason;
}

LanguageToolPaths LanguageToolPaths::InFolder(const std::string& folder) {
  LanguageToolPaths paths;
  paths.wordnetFolder = folder;
  paths.hunspellAff = folder + "/en_US.aff";
  paths.hunspellDic = folder + "/en_US.dic";
  paths.mecabDictionary = folder;
  return paths;
}

struct LanguageTools::Impl {
  explicit Impl(LanguageToolPaths p) : paths(std::move(p)) {}

  void LoadWordNet() {
    const Status status = exceptions.Load(paths.wordnetFolder);
    if (!status.IsOk()) wordnetMissing = MissingTool{Tool::kWordNet, status.Message()};
  }

  void LoadHunspell() {
#ifdef KEBU_HAVE_HUNSPELL
    std::string problem = Unreadable(paths.hunspellAff);
    if (problem.empty()) problem = Unreadable(paths.hunspellDic);
    if (problem.empty()) {
      hunspell = std::make_unique<Hunspell>(paths.hunspellAff.c_str(), paths.hunspellDic.c_str());
      if (hunspell->get_dict_encoding() != "UTF-8") {
        problem = paths.hunspellAff + " is not in UTF-8";
        hunspell.reset();
      }
    }
    if (!problem.empty()) hunspellMissing = MissingTool{Tool::kHunspell, problem};
#else
    hunspellMissing = MissingTool{Tool::kHunspell, "this program was built without Hunspell (libhunspell-dev)"};
#endif
  }

  void LoadMeCab() {
#ifdef KEBU_HAVE_MECAB
    std::string problem = Unreadable(paths.mecabDictionary + "/dicrc");
    if (problem.empty()) {
      // MeCab insists on a resource file; an empty one leaves everything to
      // the dictionary's own dicrc, so /etc/mecabrc is not needed.
      std::string arg0 = "mecab", r = "-r", rc = "/dev/null", d = "-d", dir = paths.mecabDictionary;
      char* argv[] = {arg0.data(), r.data(), rc.data(), d.data(), dir.data()};
      mecab.reset(MeCab::createModel(5, argv));
      if (mecab == nullptr) {
        const char* error = MeCab::getLastError();
        problem = paths.mecabDictionary + ": " + (error != nullptr ? error : "cannot be loaded");
      } else if (const MeCab::DictionaryInfo* info = mecab->dictionary_info();
                 info == nullptr || (std::strcmp(info->charset, "utf8") != 0 &&
                                     std::strcmp(info->charset, "UTF-8") != 0 &&
                                     std::strcmp(info->charset, "utf-8") != 0)) {
        problem = paths.mecabDictionary + " is not a UTF-8 dictionary";
        mecab.reset();
      }
    }
    if (!problem.empty()) mecabMissing = MissingTool{Tool::kMeCab, problem};
#else
    mecabMissing = MissingTool{Tool::kMeCab, "this program was built without MeCab (libmecab-dev)"};
#endif
  }

#ifdef KEBU_HAVE_MECAB
  // A tagger and its lattice, used by one call at a time. Making them costs
  // more than a parse (their buffers are large enough for the allocator to
  // map and unmap them), so they are kept for the next call.
  struct Tagger {
    std::unique_ptr<MeCab::Tagger> tagger;
    std::unique_ptr<MeCab::Lattice> lattice;
  };

  // The words of `text` with their features, on a tagger of the call's own
  // (the model is shared, read-only).
  template <typename OnWord>
  void Parse(const std::string& text, OnWord onWord) {
    std::unique_ptr<Tagger> t;
    {
      std::lock_guard<std::mutex> lock(taggersMutex);
      if (!taggers.empty()) {
        t = std::move(taggers.back());
        taggers.pop_back();
      }
    }
    if (t == nullptr) {
      t = std::make_unique<Tagger>();
      t->tagger.reset(mecab->createTagger());
      t->lattice.reset(mecab->createLattice());
      if (t->tagger == nullptr || t->lattice == nullptr) return;
    }
    MeCab::Lattice* lattice = t->lattice.get();
    lattice->set_sentence(text.data(), text.size());
    if (t->tagger->parse(lattice)) Walk(lattice, text, onWord);
    std::lock_guard<std::mutex> lock(taggersMutex);
    taggers.push_back(std::move(t));
  }

  template <typename OnWord>
  static void Walk(const MeCab::Lattice* lattice, const std::string& text, OnWord& onWord) {
    for (const MeCab::Node* node = lattice->bos_node(); node != nullptr; node = node->next) {
      if (node->stat == MECAB_BOS_NODE || node->stat == MECAB_EOS_NODE) continue;
      const std::string_view surface(node->surface, node->length);
      if (!onWord(surface, Fields(node->feature), static_cast<size_t>(node->surface - text.data()))) break;
    }
  }

  // The reading of `word` in katakana as MeCab reads it; empty when a part
  // of it has none.
  std::string Reading(const std::string& word) {
    std::string reading;
    bool known = true;
    Parse(word, [&](std::string_view surface, const std::vector<std::string_view>& f, size_t) {
      const std::string_view r = Field(f, 7);
      known = !r.empty();
      reading += r;
      return known;
    });
    return known ? reading : std::string();
  }

  std::unique_ptr<MeCab::Model> mecab;  // before the taggers made from it, which go first
  std::mutex taggersMutex;
  std::vector<std::unique_ptr<Tagger>> taggers;
#endif
#ifdef KEBU_HAVE_HUNSPELL
  std::unique_ptr<Hunspell> hunspell;
  std::mutex hunspellMutex;  // Hunspell keeps state between the steps of a call
#endif

  const LanguageToolPaths paths;
  std::once_flag wordnetOnce, hunspellOnce, mecabOnce;
  ExceptionLists exceptions;
  std::optional<MissingTool> wordnetMissing, hunspellMissing, mecabMissing;
};

LanguageTools::LanguageTools(LanguageToolPaths paths) : impl_(std::make_unique<Impl>(std::move(paths))) {}

LanguageTools::~LanguageTools() = default;

const MissingTool* LanguageTools::Missing(Tool tool) {
  switch (tool) {
    case Tool::kWordNet:
      std::call_once(impl_->wordnetOnce, [this] { impl_->LoadWordNet(); });
      return impl_->wordnetMissing ? &*impl_->wordnetMissing : nullptr;
    case Tool::kHunspell:
      std::call_once(impl_->hunspellOnce, [this] { impl_->LoadHunspell(); });
      return impl_->hunspellMissing ? &*impl_->hunspellMissing : nullptr;
    case Tool::kMeCab:
      std::call_once(impl_->mecabOnce, [this] { impl_->LoadMeCab(); });
      return impl_->mecabMissing ? &*impl_->mecabMissing : nullptr;
  }
  return nullptr;
}

std::vector<std::string> LanguageTools::IrregularForms(std::string_view word) {
  if (Missing(Tool::kWordNet) != nullptr) return {};
  const std::vector<std::string>* bases = impl_->exceptions.Find(word);
  return bases != nullptr ? *bases : std::vector<std::string>();
}

std::vector<std::string> LanguageTools::Stems(std::string_view word) {
  std::vector<std::string> stems;
#ifdef KEBU_HAVE_HUNSPELL
  if (Missing(Tool::kHunspell) != nullptr) return stems;
  {
    std::lock_guard<std::mutex> lock(impl_->hunspellMutex);
    stems = impl_->hunspell->stem(std::string(word));
  }
  std::erase(stems, std::string(word));
#else
  (void)word;
#endif
  return stems;
}

std::optional<JapaneseWord> LanguageTools::FirstJapaneseWord(std::u16string_view text) {
#ifdef KEBU_HAVE_MECAB
  if (text.empty() || Missing(Tool::kMeCab) != nullptr) return std::nullopt;
  const std::string utf8 = Utf16ToUtf8(text);
  std::string surface, base, surfaceReading;
  size_t end = 0;
  impl_->Parse(utf8, [&](std::string_view s, const std::vector<std::string_view>& f, size_t offset) {
    if (surface.empty()) {
      surface = s;
      const std::string_view b = Field(f, 6);
      base = b.empty() ? surface : std::string(b);
      surfaceReading = Field(f, 7);
    } else if (!Inflects(f, s)) {
      return false;
    }
    end = offset + s.size();
    return true;
  });
  if (surface.empty()) return std::nullopt;
  JapaneseWord word;
  word.base = Utf8ToUtf16(base);
  word.units = Utf8ToUtf16(std::string_view(utf8).substr(0, end)).size();
  const std::string reading = base == surface ? surfaceReading : impl_->Reading(base);
  word.reading = ToHiragana(Utf8ToUtf16(reading));
  return word;
#else
  (void)text;
  Missing(Tool::kMeCab);
  return std::nullopt;
#endif
}

}  // namespace kebu::forms
