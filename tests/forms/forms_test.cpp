// Dictionary forms: selections found in a dictionary made by the writer,
// with the language tools and with their data missing, and from several
// threads at once.
#include <gtest/gtest.h>

#include <nlohmann/json.hpp>
#include <thread>

#include "forms/dic_headword_test.h"
#include "tests/dictionary/reader_support.h"

namespace kebu::testing {
namespace {

using forms::FormSource;
using forms::Tool;

// Headword and translation; a code page 932 dictionary of version 5, whose
// lookups are exact (no case folding).
const std::pair<const char*, const char*> kEntries[] = {
    {"run", "to run"}, {"go", "to go"}, {"mouse", "a mouse"}, {"good", "fine"}, {"well", "in a good way"},
    {"analysis", "a study of parts"}, {"walk", "to walk"}, {"study", "to learn"}, {"box", "a case"},
    {"hope", "to wish"}, {"hop", "to jump"}, {"stop", "to halt"}, {"create", "to make"},
    {"new", "not old"}, {"news", "reports"}, {"leave", "to go away"}, {"left", "not right"},
    {"American", "of America"}, {"Paris", "a city"}, {"C++", "a language"}, {"C", "a letter"}, {"CD", "a disc"},
    {"take", "to grasp"}, {"take into account", "to consider"}, {"credit", "trust"}, {"credit card", "a card"},
    {"he", "a man"},
    {"食", "food"}, {"食べる", "to eat"}, {"行く", "to go (ja)"}, {"美しい", "beautiful"}, {"静か", "quiet"},
    {"勤め", "duty"}, {"食べて", "eating"}, {"勤める", "to work for"}, {"鉄道", "railway"}, {"鉄道会社", "railway company"},
    {"会社", "company"}, {"勉強", "study (ja)"}, {"ﾃｽﾄ", "test"}, {"のむ", "to drink"}, {"Tシャツ", "T-shirt"},
};

struct Case {
  const char* selection;
  const char* says;  // the Description(), empty when found as it stands
  const char* hit;   // the translation of the first hit of the first form; empty: nothing found
  FormSource source;
  // Description() and hit with every tool missing; null: the same.
  const char* bareSays = nullptr;
  const char* bareHit = nullptr;
};

const Case kCases[] = {
    // Regular English: the suffix rules.
    {"walked", "walked → walk", "to walk", FormSource::kSuffixRule},
    {"studies", "studies → study", "to learn", FormSource::kSuffixRule},
    {"boxes", "boxes → box", "a case", FormSource::kSuffixRule},
    {"hoped", "hoped → hope", "to wish", FormSource::kSuffixRule},
    // Irregular English: WordNet, every base form that is a headword.
    {"went", "went → go", "to go", FormSource::kWordNet, "", ""},
    {"mice", "mice → mouse", "a mouse", FormSource::kWordNet, "", ""},
    {"better", "better → good, well", "fine", FormSource::kWordNet, "", ""},
    {"analyses", "analyses → analysis", "a study of parts", FormSource::kWordNet, "", ""},
    {"running", "running → run", "to run", FormSource::kWordNet},  // also undoubled by the rules
    {"stopped", "stopped → stop", "to halt", FormSource::kWordNet},
    // Beyond both: a Hunspell stem.
    {"creation", "creation → create", "to make", FormSource::kHunspell, "", ""},
    // Headwords as they stand are not changed.
    {"news", "", "reports", FormSource::kAsSelected},
    {"left", "", "not right", FormSource::kAsSelected},
    {"C++", "", "a language", FormSource::kAsSelected},
    // Case, width and what surrounds the word.
    {"Walked", "Walked → walk", "to walk", FormSource::kSuffixRule},
    {"Americans", "Americans → American", "of America", FormSource::kSuffixRule},
    {"PARIS", "PARIS → Paris", "a city", FormSource::kCase},
    {"ＣＤ", "ＣＤ → CD", "a disc", FormSource::kCase},
    {"  \"Mice!\"\n", "Mice → mouse", "a mouse", FormSource::kWordNet, "", ""},
    {"(went),", "went → go", "to go", FormSource::kWordNet, "", ""},
    {"Paris’s", "Paris’s → Paris", "a city", FormSource::kSuffixRule},
    {"「食べる」。", "", "to eat", FormSource::kAsSelected},
    // English phrases: the longest that is a headword, its words in their forms.
    {"take into account", "", "to consider", FormSource::kAsSelected},
    {"Take into account the costs", "Take into account the costs → take into account", "to consider",
     FormSource::kCase},
    {"took into account", "took into account → take into account", "to consider", FormSource::kWordNet, "", ""},
    {"credit cards", "credit cards → credit card", "a card", FormSource::kSuffixRule},
    {"Running fast, he went home", "Running fast, he went home → run", "to run", FormSource::kWordNet},
    // Japanese: the longest run, or the base form where it takes more.
    {"鉄道会社に勤めています", "鉄道会社に勤めています → 鉄道会社", "railway company", FormSource::kAsSelected},
    {"食べました", "食べました → 食べる", "to eat", FormSource::kMeCabBase, "食べました → 食", "food"},
    {"食べない", "食べない → 食べる", "to eat", FormSource::kMeCabBase, "食べない → 食", "food"},
    {"行かなかった", "行かなかった → 行く", "to go (ja)", FormSource::kMeCabBase, "", ""},
    {"行きます", "行きます → 行く", "to go (ja)", FormSource::kMeCabBase, "", ""},
    {"美しくない", "美しくない → 美しい", "beautiful", FormSource::kMeCabBase, "", ""},
    {"美しかった", "美しかった → 美しい", "beautiful", FormSource::kMeCabBase, "", ""},
    {"静かな", "静かな → 静か", "quiet", FormSource::kMeCabBase, "静かな → 静か", "quiet"},
    {"食べている", "食べている → 食べる", "to eat", FormSource::kMeCabBase, "食べている → 食べて", "eating"},
    {"勤めています", "勤めています → 勤める", "to work for", FormSource::kMeCabBase, "勤めています → 勤め", "duty"},
    {"飲みました", "飲みました → のむ", "to drink", FormSource::kMeCabReading, "", ""},
    {"勉強しています", "勉強しています → 勉強", "study (ja)", FormSource::kAsSelected},
    {"ﾃｽﾄｶﾞ", "ﾃｽﾄｶﾞ → ﾃｽﾄ", "test", FormSource::kAsSelected},
    // Mixed scripts.
    {"Tシャツを買った", "Tシャツを買った → Tシャツ", "T-shirt", FormSource::kAsSelected},
    // Nothing to find.
    {"xyzzy", "", "", FormSource::kAsSelected},
    {" 。 ", "", "", FormSource::kAsSelected},
};

struct Dictionary {
  Dictionary(bool v6 = false) : opened(Build(v6)) {}
  static std::vector<uint8_t> Build(bool v6) {
    std::vector<Record> records;
    for (const auto& [headword, translation] : kEntries) {
      records.push_back({.headword = v6 ? V6Headword(headword) : headword, .translation = translation});
    }
    Options o;
    o.block_size = 64;
    if (v6) {
      o.encoding = Encoding::kBocu1;
      o.version = 0x0600;
    }
    return MakeDictionary(records, o).bytes;
  }
  // The translation of the first whole-word hit of the first form.
  std::string FirstHit(const forms::WordMatch& m) {
    if (m.forms.empty()) return "";
    const std::vector<Texts> hits = LookupAll(opened.reader, Utf16ToUtf8(m.forms[0].headword), true);
    return hits.empty() ? "(no hit)" : hits[0].translation;
  }
  Opened opened;
};

TEST(Forms, SelectionsFindTheirDictionaryForms) {
  Dictionary d;
  ASSERT_TRUE(d.opened.opened);
  forms::DicHeadwordTest test({d.opened.reader.Source()});
  forms::LanguageTools tools;
  TempDir empty;
  forms::LanguageTools bare(forms::LanguageToolPaths::InFolder(empty.path().string()));
  for (const Case& c : kCases) {
    SCOPED_TRACE(c.selection);
    const forms::WordMatch m = *forms::FindWord(Utf8ToUtf16(c.selection), test, tools);
    EXPECT_EQ(Utf16ToUtf8(m.Description()), c.says);
    EXPECT_EQ(d.FirstHit(m), c.hit);
    if (m.Found()) {
      EXPECT_EQ(m.forms[0].source, c.source);
    }
    EXPECT_TRUE(m.missing.empty()) << m.missing[0].Message();
    // With forms off: as selected only, no tool asked.
    const forms::WordMatch off = *forms::FindWord(Utf8ToUtf16(c.selection), test, bare, {.forms = false});
    EXPECT_TRUE(std::all_of(off.forms.begin(), off.forms.end(),
                            [](const forms::FoundForm& f) { return f.source == FormSource::kAsSelected; }));
    if (c.source == FormSource::kAsSelected) {
      EXPECT_EQ(off.Description(), m.Description());
    }
    EXPECT_TRUE(off.missing.empty());

    // Without the tools' data the rest still works, and says what is missing.
    const forms::WordMatch b = *forms::FindWord(Utf8ToUtf16(c.selection), test, bare);
    EXPECT_EQ(Utf16ToUtf8(b.Description()), c.bareSays ? c.bareSays : c.says);
    EXPECT_EQ(d.FirstHit(b), c.bareHit ? c.bareHit : c.hit);
    const Tool needed = c.source == FormSource::kWordNet    ? Tool::kWordNet
                        : c.source == FormSource::kHunspell ? Tool::kHunspell
                                                            : Tool::kMeCab;
    if (c.source == FormSource::kWordNet || c.source == FormSource::kHunspell || c.source >= FormSource::kMeCabBase) {
      ASSERT_FALSE(b.missing.empty());
      EXPECT_TRUE(std::any_of(b.missing.begin(), b.missing.end(), [&](const forms::MissingTool& t) {
        return t.tool == needed && t.Message().find(t.Package()) != std::string::npos &&
               t.Message().find(empty.path().string()) != std::string::npos;
      })) << b.missing[0].Message();
    }
  }
}

TEST(Forms, ConcurrentFirstUseGivesTheSameForms) {
  Dictionary d;
  forms::LanguageTools tools;
  const char* words[] = {"mice", "creation", "食べました"};
  std::vector<std::string> found[2];
  std::vector<std::thread> threads;
  for (auto& out : found) {
    threads.emplace_back([&] {
      forms::DicHeadwordTest test({d.opened.reader.Source()});
      for (const char* w : words) out.push_back(Utf16ToUtf8(forms::FindWord(Utf8ToUtf16(w), test, tools)->Description()));
    });
  }
  for (std::thread& t : threads) t.join();
  EXPECT_EQ(found[0], (std::vector<std::string>{"mice → mouse", "creation → create", "食べました → 食べる"}));
  EXPECT_EQ(found[1], found[0]);
}

TEST(Forms, KebuLookupListsTheHitsOfTheForms) {
  Dictionary d(true);
  struct Call {
    std::vector<std::string> args;
    std::vector<std::string> hits;  // "translation (form)", the form empty where the key was found
    bool truncated;
    std::string says;  // on standard error
  };
  const Call calls[] = {
      {{"running", "--forms"}, {"to run (run)"}, false, "kebu: no entry for running; showing run\n"},
      {{"better", "--forms"}, {"fine (good)", "in a good way (well)"}, false, "showing good, well\n"},
      {{"better", "--forms", "--limit", "1"}, {"fine (good)"}, true, "showing good, well\n"},
      {{"食べました", "--forms"}, {"to eat (食べる)"}, false, "showing 食べる\n"},
      {{"take", "--forms"}, {"to grasp ()", "to consider ()"}, false, ""},
      {{"take", "--forms", "--whole-word"}, {"to grasp ()"}, false, ""},
      {{"running"}, {}, false, ""},
      {{"xyzzy", "--forms"}, {}, false, "kebu: no entry for xyzzy nor for a dictionary form of it\n"},
  };
  for (const Call& r : calls) {
    std::vector<std::string> args = {"lookup", d.opened.path, "--json"};
    args.insert(args.end(), r.args.begin(), r.args.end());
    const RunResult result = testing::Run(KEBU_BINARY, args);
    SCOPED_TRACE(::testing::PrintToString(args) + result.err);
    ASSERT_EQ(result.status, 0);
    EXPECT_TRUE(result.err.ends_with(r.says));
    const nlohmann::json j = nlohmann::json::parse(result.out);
    std::vector<std::string> hits;
    for (const auto& h : j["hits"]) hits.push_back(h["translation"].get<std::string>() + " (" + h.value("form", "") + ")");
    EXPECT_EQ(hits, r.hits);
    EXPECT_EQ(j["count"], r.hits.size());
    EXPECT_EQ(j["truncated"], r.truncated);
  }
}

}  // namespace
}  // namespace kebu::testing
