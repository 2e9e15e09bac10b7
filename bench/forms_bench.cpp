// The dictionary forms of selected words, as the popup and `kebu lookup
// --forms` find them (FindWord over DicHeadwordTest), in the dictionaries
// given:
//  - first use: the first English word (WordNet's lists load), the first
//    Japanese word (MeCab loads) and the first word that reaches Hunspell,
//    each in milliseconds, and the resident memory (VmRSS) before and after;
//  - once loaded: each of the 50 words below 200 times; the median of the
//    words' medians, their 95th percentile and the slowest, in microseconds;
//    the same for the forms alone (a HeadwordTest that knows no headword, so
//    every tier is tried);
//  - what each word found, so the figures can be read against it.
//
//   forms_bench DICT...
//   FORMS_BENCH_WORDS=1 forms_bench DICT...   also each word's median
//
// Exit code 1 when a dictionary does not open or a tool is missing.
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <memory>
#include <string>
#include <vector>

#include "codec/utf8.h"
#include "dictionary/dic_reader.h"
#include "forms/dic_headword_test.h"

namespace {

using Clock = std::chrono::steady_clock;
using kebu::forms::FindWord;

// English and Japanese words as they stand in running text, most of them
// inflected: the dictionaries' own examples are of this kind.
const char* const kWords[] = {
    "running", "went", "mice", "better", "studies", "analyses", "stopped", "walked", "taking",
    "children", "geese", "happier", "biggest", "leaves", "Running", "Americans", "knives", "cities",
    "wrote", "eaten", "took into account", "quickly", "kindness", "boxes", "hoped",
    "食べました", "行かなかった", "美しくない", "静かな", "鉄道会社に勤めています", "勉強しています",
    "読んだ", "書きます", "見ない", "来た", "高かった", "新しくて", "飲みました", "話している",
    "泳いだ", "持っていない", "寒いです", "元気な", "電車で行きます", "日本語を勉強する",
    "食べさせられた", "待ってください", "分かりません", "遊んだ", "「辞書」",
};

double Ms(Clock::duration d) { return std::chrono::duration<double, std::milli>(d).count(); }

long RssKb() {
  std::ifstream status("/proc/self/status");
  std::string line;
  while (std::getline(status, line)) {
    if (line.rfind("VmRSS:", 0) == 0) return std::stol(line.substr(6));
  }
  return -1;
}

double Quantile(std::vector<double> values, double q) {
  std::sort(values.begin(), values.end());
  return values[static_cast<size_t>(q * static_cast<double>(values.size() - 1) + 0.5)];
}

struct NoHeadwords : kebu::forms::HeadwordTest {
  bool IsHeadword(std::u16string_view) override { return false; }
  bool HasPrefix(std::u16string_view) override { return true; }
};

// Each word `reps` times: the median of each word, in microseconds.
std::vector<double> WordMedians(kebu::forms::HeadwordTest& test, kebu::forms::LanguageTools& tools, int reps) {
  std::vector<double> medians;
  for (const char* word : kWords) {
    const std::u16string w = kebu::Utf8ToUtf16(word);
    std::vector<double> times;
    for (int i = 0; i < reps; ++i) {
      const Clock::time_point start = Clock::now();
      const kebu::Result<kebu::forms::WordMatch> m = FindWord(w, test, tools);
      times.push_back(Ms(Clock::now() - start) * 1000);
    }
    medians.push_back(Quantile(times, 0.5));
    if (getenv("FORMS_BENCH_WORDS")) std::printf("    %s %.1f us\n", word, medians.back());
  }
  return medians;
}

void Report(const char* what, const std::vector<double>& medians) {
  std::printf("%s: median %.1f us, 95th percentile %.1f us, slowest %.1f us\n", what, Quantile(medians, 0.5),
              Quantile(medians, 0.95), *std::max_element(medians.begin(), medians.end()));
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 2) {
    std::fputs("usage: forms_bench DICT...\n", stderr);
    return 2;
  }
  std::vector<std::unique_ptr<kebu::DicReader>> readers;
  std::vector<std::shared_ptr<const kebu::DicSource>> sources;
  for (int i = 1; i < argc; ++i) {
    readers.push_back(std::make_unique<kebu::DicReader>());
    if (const kebu::Status opened = readers.back()->Open(argv[i]); !opened.IsOk()) {
      std::fprintf(stderr, "forms_bench: %s: %s\n", argv[i], opened.Message().c_str());
      return 1;
    }
    sources.push_back(readers.back()->Source());
  }
  kebu::forms::DicHeadwordTest test(sources);
  // The indexes load on the first lookup; that is the window's cost, not
  // the forms'. A key in none of them loads every one.
  test.IsHeadword(u"\u0001");

  kebu::forms::LanguageTools tools;
  const long rssBefore = RssKb();
  const char* firsts[][2] = {{"English (WordNet)", "went"}, {"Japanese (MeCab)", "食べました"},
                             {"English, nothing found (Hunspell)", "qzxv"}};
  for (const auto& [what, word] : firsts) {
    const Clock::time_point start = Clock::now();
    const kebu::Result<kebu::forms::WordMatch> m = FindWord(kebu::Utf8ToUtf16(word), test, tools);
    std::printf("first use, %s, %s: %.1f ms (resident memory now %ld KiB)\n", what, word,
                Ms(Clock::now() - start), RssKb());
  }
  const long rssAfter = RssKb();
  std::printf("resident memory: %ld KiB before, %ld KiB with the tools loaded (+%ld KiB)\n", rssBefore, rssAfter,
              rssAfter - rssBefore);
  for (kebu::forms::Tool tool : {kebu::forms::Tool::kWordNet, kebu::forms::Tool::kHunspell, kebu::forms::Tool::kMeCab}) {
    if (const kebu::forms::MissingTool* missing = tools.Missing(tool)) {
      std::fprintf(stderr, "forms_bench: %s\n", missing->Message().c_str());
      return 1;
    }
  }

  // Each tool's loading alone, on tools of their own (after the above, so
  // their files are in the page cache as they were for the first uses).
  kebu::forms::LanguageTools fresh;
  for (const auto& [tool, name] : {std::pair{kebu::forms::Tool::kWordNet, "WordNet's lists"},
                                   std::pair{kebu::forms::Tool::kHunspell, "Hunspell en_US"},
                                   std::pair{kebu::forms::Tool::kMeCab, "MeCab IPADIC"}}) {
    const Clock::time_point start = Clock::now();
    fresh.Missing(tool);
    std::printf("loading %s alone: %.1f ms\n", name, Ms(Clock::now() - start));
  }

  Report("forms of a word, once loaded, in the dictionaries", WordMedians(test, tools, 200));
  NoHeadwords none;
  Report("forms of a word, once loaded, every tier tried (no headwords)", WordMedians(none, tools, 200));
  for (const char* word : kWords) {
    const kebu::forms::WordMatch m = *FindWord(kebu::Utf8ToUtf16(word), test, tools);
    std::printf("  %s: %s\n", word,
                m.Found() ? kebu::Utf16ToUtf8(m.Description().empty() ? m.forms[0].headword : m.Description()).c_str()
                          : "(nothing)");
  }
  return 0;
}
