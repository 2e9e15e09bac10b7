// kebu make and kebu convert as a user runs them: round trips through TSV
// and JSON Lines, make's errors, StarDict output read back by sdcv, and
// outputs that must not be destroyed.
#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <nlohmann/json.hpp>

#include <algorithm>
#include <cstring>
#include <filesystem>
#include <map>
#include <random>
#include <set>
#include <string>
#include <tuple>
#include <vector>

#include "codec/cp932.h"
#include "tests/support/test_support.h"

extern char** environ;

namespace kebu::testing {
namespace {

namespace fs = std::filesystem;
using nlohmann::json;

struct Result {
  int status = -1;
  std::string out, err;
};

// Runs a program (KEBU_BINARY for "kebu") with HOME in `home`; its output
// goes through files, so it never sees a terminal.
Result Start(std::vector<std::string> args, const fs::path& home = fs::temp_directory_path()) {
  TempDir dir;
  const std::string out = dir.File("out").string(), err = dir.File("err").string();
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
  posix_spawn_file_actions_addopen(&actions, 1, out.c_str(), O_WRONLY | O_CREAT, 0600);
  posix_spawn_file_actions_addopen(&actions, 2, err.c_str(), O_WRONLY | O_CREAT, 0600);
  if (args[0] == "kebu") args[0] = KEBU_BINARY;
  std::vector<char*> argv;
  for (std::string& a : args) argv.push_back(a.data());
  argv.push_back(nullptr);
  std::vector<std::string> env = {"HOME=" + home.string()};
  for (char** e = environ; *e != nullptr; ++e) {
    if (std::strncmp(*e, "HOME=", 5) != 0) env.emplace_back(*e);
  }
  std::vector<char*> envp;
  for (std::string& e : env) envp.push_back(e.data());
  envp.push_back(nullptr);
  Result run;
  pid_t pid = 0;
  if (posix_spawnp(&pid, argv[0], &actions, nullptr, argv.data(), envp.data()) == 0) {
    int status = 0;
    waitpid(pid, &status, 0);
    run.status = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
    run.out = ReadText(out);
    run.err = ReadText(err);
  }
  posix_spawn_file_actions_destroy(&actions);
  return run;
}

std::string Kebu(std::vector<std::string> args) {
  args.insert(args.begin(), "kebu");
  const Result run = Start(args);
  EXPECT_EQ(run.status, 0) << args[1] << ": " << run.err;
  return run.out;
}

bool Installed(const char* program) { return Start({program, "--version"}).status == 0; }

std::vector<std::string> Entries(const fs::path& folder) {
  std::vector<std::string> names;
  for (const auto& e : fs::directory_iterator(folder)) names.push_back(e.path().filename());
  std::sort(names.begin(), names.end());
  return names;
}

// Every character that code page 932 reads from a byte or a pair (the C0
// controls and DEL among them; TAB, LF, CR and the backslash, which TSV
// escapes, are the first case's), as TSV lines of a hundred.
std::string EveryCp932Character() {
  std::u16string all;
  for (uint32_t code = 1; code <= 0xFCFC; ++code) {
    const uint8_t bytes[2] = {uint8_t(code >> 8), uint8_t(code)}, size = code < 0x100 ? 1 : 2;
    char16_t u = 0xFFFD;
    if (size == 1 || bytes[1] >= 0x40) Cp932ToUtf16(bytes + 2 - size, size, &u, 1);
    if (u != 0xFFFD && u != '\t' && u != '\n' && u != '\r' && u != '\\') all += u;
  }
  std::string tsv;
  for (size_t i = 0; i < all.size(); i += 100) {
    tsv += "c" + std::to_string(1000 + i / 100) + "\t" + Utf16ToUtf8(all.substr(i, 100)) + "\t\t\t0\n";
  }
  return tsv;
}

// make from TSV, then convert --to tsv: the same lines, in dictionary order.
TEST(ConvertTsv, MakeThenConvertGivesTheLinesBack) {
  const std::string upTo2 = "x\tonly a translation\n";
  std::string halfWidth, kana;  // 3,000 half-width katakana in EUC-JP and in UTF-8
  for (int i = 0; i < 3000; ++i) halfWidth += "\x8E\xB1", kana += "ｱ";
  struct Case {
    const char* name;
    std::vector<std::string> options;
    std::string input, expected;  // empty expected: the input
  } cases[] = {
      {"escapes, empty fields, attribute", {"--encoding", "cp932"},
       "\\\\x\t\t\t\t0\n"
       "apple\tりんご\tShe cut it.\tアップル\t15\n"
       "apple\tさらに\t\t\t1\n"
       "b\ta\\tb line 1\\nline 2\\r\\n\tC:\\\\dir\\\\\t\t0\n",
       ""},
      {"non-BMP and version 6", {"--version", "6"},
       "e-mail\t電子メール\t😀 sent\t\t0\n"
       "ガス\tgas\t\t\t0\n"
       "𠀋\t𩸽 fish\t\t\t2\n",
       ""},
      {"a search form that is not the display form folded", {"--version", "6"},
       "aab\\tAa\tlonger than the folded form\t\t\t0\nzz\\tAa\tkept whole\t\t\t0\n", ""},
      {"every code page 932 character", {"--encoding", "cp932"}, EveryCp932Character(), ""},
      {"CSV in Shift_JIS: quotes, Japanese column names in another order, CR LF",
       {"--from", "csv", "--input-encoding", "shift_jis"},
       EncodeCp932("見出し,読み,意味\r\n\"apple, red\",りんご,\"a fruit\r\n\"\"sweet\"\"\"\r\n"),
       "apple, red\ta fruit\\n\"sweet\"\t\tりんご\t0\n"},
      {"EUC-JP EDICT, many half-width katakana", {"--from", "edict"}, "k /" + halfWidth + "/\n",
       "k\t" + kana + "\t\t\t0\n"},
      {"no escapes", {"--no-escapes"}, "p\tC:\\dic\n", "p\tC:\\\\dic\t\t\t0\n"},
      {"the longest text a dictionary holds", {}, "a\t" + std::string(65535, 'x') + "\t\t\t0\n", ""},
      {"the JSON Lines of a version-6 dictionary made version 5", {"--from", "jsonl", "--version", "5"},
       "{\"headword\": \"apple\\tApple\", \"translation\": \"x\"}\n", "Apple\tx\t\t\t0\n"},
      {"column names and short lines", {},
       "Headword\ttranslation\texample\n" + upTo2 + "y\tt\tan example\n",
       "x\tonly a translation\t\t\t0\ny\tt\tan example\t\t0\n"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    TempDir dir;
    WriteFile(dir.File("in.tsv"), c.input);
    std::vector<std::string> make = {"make", dir.File("in.tsv"), dir.File("d.dic")};
    make.insert(make.end(), c.options.begin(), c.options.end());
    Kebu(make);
    const std::string tsv = Kebu({"convert", dir.File("d.dic"), "--to", "tsv", "-"});
    EXPECT_TRUE(SameText(tsv, c.expected.empty() ? c.input : c.expected));
  }
}

// A bad word list fails with its line number and leaves no output.
TEST(MakeErrors, NameTheLineAndWriteNothing) {
  std::string mixed;  // 44,000 bytes of UTF-8, 65,998 of BOCU-1 (a letter behind a kanji takes 3)
  for (int i = 0; i < 11000; ++i) mixed += "a漢";
  struct Case {
    std::string input;
    const char* name;  // of the list; it sets the format
    std::vector<std::string> options;
    const char* expected;  // in the message, after "LIST:"
  } cases[] = {
      {"a\tb\nc\n", "in.tsv", {}, "2: 1 field"},
      {"a\tb\nc\x82\tb\n", "in.tsv", {}, "2: not UTF-8 text (byte 2 of the line)"},
      {"a\tb\nc\tb\\q\n", "in.tsv", {}, "2: unknown escape \\q"},
      {"a\tb\t\t\t16\n", "in.tsv", {}, "1: the attribute"},
      {"a\tb\n\nb\tc\t\t\t\t\n", "in.tsv", {}, "3: more than 5 fields"},
      {"a\tcafe\nb\t😀\nc\t😀\n", "in.tsv", {}, "2: 2 characters that code page 932 does not have"},
      {"{\"headword\": \"a\"}\n{\"translation\": \"b\"}\n", "in.jsonl", {}, "2: no headword"},
      {"{\"headword\": \"a\"\n", "in.jsonl", {}, "1: parse error"},
      {"A [a] /x/\nB /y\n", "edict", {}, "2: not an EDICT line"},
      {"A /x/\n\xff\xff /y/\n", "edict", {}, "2: not EUC-JP"},
      {"a\tb\n", "in.tsv", {"--from", "jsonl"}, "1: parse error"},
      // Texts a dictionary cannot hold; CR alone ends a line; a header asked for.
      {std::string("a\tb\nc\tx\0y\n", 10), "in.tsv", {}, "2: a NUL character in the translation"},
      {"a\t" + std::string(65536, 'x') + "\n", "in.tsv", {},
       "1: the translation takes 65,536 bytes in code page 932; a text holds at most 65,535"},
      {"a\t" + mixed + "\n", "in.tsv", {"--encoding", "bocu1"}, "1: the translation takes 65,998 bytes in BOCU-1"},
      {"a\tb\rc\rd\te\r", "in.tsv", {}, "2: 1 field"},
      {"x\ty\n", "in.tsv", {"--header"}, "1: \"x\" is not a column name"},
      // Headwords too long: checked before the build, named by their line.
      {"a\tb\n" + std::string(2000, 'x') + "\tt\n", "in.tsv", {},
       "2: the headword takes 2,000 bytes in code page 932; a dictionary holds at most 1,027"},
      {"a\tb\n" + std::string(600, 'x') + "\tt\n", "in.tsv", {"--version", "6"},
       "2: the search form, TAB and headword take 1,201 bytes in BOCU-1; a dictionary holds at most "
       "1,027 for the three together"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.input.substr(0, 40));
    TempDir dir;
    WriteFile(dir.File(c.name), c.input);
    std::vector<std::string> args = {"kebu", "make", dir.File(c.name), dir.File("d.dic")};
    args.insert(args.end(), c.options.begin(), c.options.end());
    const Result run = Start(args);
    EXPECT_EQ(run.status, 1);
    EXPECT_NE(run.err.find(dir.File(c.name).string() + ":" + c.expected), std::string::npos)
        << run.err;
    EXPECT_EQ(Entries(dir.path()), std::vector<std::string>{c.name});
  }
}

// With --index-readings the reading a learner types finds the headword: in
// version 6 an entry searched by the reading shows it, in version 5 the
// reading's entry names it in 【】; without, the reading finds nothing.
TEST(MakeReadings, TheReadingFindsTheHeadword) {
  TempDir dir;
  WriteFile(dir.File("e.utf8"), "食べる(P);喰べる(iK) [たべる(P)] /(v1,vt) to eat/(P)/EntL1358280X/\n");
  for (const auto& [version, option, want] :  // --replace (nothing to replace) stands for no option
       {std::tuple{"6", "--index-readings", "     1  喰べる  [たべる]\n        (v1,vt) to eat\n     2  食べる  [たべる]\n        (v1,vt) to eat\n"},
        {"5", "--index-readings", "     1  たべる\n        【食べる】 (v1,vt) to eat\n     2  たべる\n        【喰べる】 (v1,vt) to eat\n"},
        {"6", "--replace", "no hits\n"}}) {
    Kebu({"make", dir.File("e.utf8"), dir.File("e.dic"), "--from", "edict", "--version", version, option});
    EXPECT_EQ(Kebu({"lookup", dir.File("e.dic"), "たべる"}), want) << version << option;
  }
}

// A list that cannot be read fails with the reason, and nothing is written.
TEST(MakeErrors, AnUnreadableListNamesTheReason) {
  TempDir dir;
  // A folder is refused before reading; /proc/self/mem opens but fails to read.
  for (const auto& [list, reason] : std::vector<std::pair<std::string, std::string>>{
           {dir.path().string(), "is a folder"},
           {"/proc/self/mem", std::strerror(EIO)}}) {
    const Result run = Start({"kebu", "make", list, dir.File("d.dic")});
    EXPECT_EQ(run.status, 1);
    EXPECT_EQ(run.err, "kebu: " + list + ": " + reason + "\n");
    EXPECT_TRUE(Entries(dir.path()).empty());
  }
}

TEST(MakeErrors, ReplaceWritesQuestionMarks) {
  TempDir dir;
  WriteFile(dir.File("in.tsv"), "a\tx😀y\n");
  Kebu({"make", dir.File("in.tsv"), dir.File("d.dic"), "--replace"});
  EXPECT_EQ(Kebu({"convert", dir.File("d.dic"), "--to", "tsv", "-"}), "a\tx?y\t\t\t0\n");
}

// Dictionaries of every writer variant, the same records in each.
struct Variant {
  const char* name;
  Options options;
  bool v6;
};

const Variant kVariants[] = {
    {"cp932 v4, 64-byte blocks", {.version = 0x0400, .block_size = 64}, false},
    {"cp932 v5, 4-byte lengths", {.block_size = 1024, .lengths = LengthWidth::k4}, false},
    {"cp932 v5, 32-byte blocks, a record an area", {.block_size = 32, .recordsPerArea = 1},
     false},
    {"bocu1 v6, 2-block areas",
     {.version = 0x0600, .encoding = Encoding::kBocu1, .block_size = 128, .areaBlocks = 2}, true},
    {"bocu1 v5", {.encoding = Encoding::kBocu1, .block_size = 256}, false},
    // Records of one headword far apart (lookup cannot read this file).
    {"bocu1 v6, not sorted", {.version = 0x0600, .encoding = Encoding::kBocu1, .sort = false},
     true},
};

std::vector<Record> VariantRecords(bool v6) {
  std::vector<Record> records = {
      {.headword = "Apple", .translation = "a company"},
      {.headword = "Zebra", .translation = "シマウマ"},  // before "apple" bytewise, not folded
      {.headword = "apple", .translation = "りんご", .example = "She cut the apple.",
       .pronunciation = "アップル", .attribute = 1},
      {.headword = "apple pie", .translation = "アップルパイ"},
      {.headword = "e-mail", .translation = "電子メール", .example = "line \"1\"\r\nline 2\r3"},
      {.headword = "ガス", .translation = "gas"},
      {.headword = "カス", .translation = "dregs"},
      {.headword = "日本", .translation = "Japan", .pronunciation = "にほん"},
      {.headword = "日本", .translation = "Nippon", .pronunciation = "にっぽん"},
      {.headword = "x\\y", .translation = "back\\slash\ttab"},
      {.headword = "空", .translation = "", .pronunciation = "そら"},
      {.headword = "void", .translation = ""},
      {.headword = "Apple", .translation = "a record label", .attribute = 2},
  };
  if (v6) {
    for (Record& r : records) r.headword = V6Headword(r.headword);
  }
  return records;
}

// The display form of a record as lookup and dump --json give it.
std::string Word(const json& record, bool v6) {
  const std::string headword = record["headword"];
  const size_t tab = headword.find('\t');
  return v6 && tab != std::string::npos ? headword.substr(tab + 1) : headword;
}

// `text` with CR LF and lone CRs as `lf`, and LF too when it is a blank.
std::string LineEnds(std::string text, char lf = '\n') {
  for (size_t at; (at = text.find("\r\n")) != std::string::npos;) text.erase(at, 1);
  std::replace(text.begin(), text.end(), '\r', lf);
  std::replace(text.begin(), text.end(), '\n', lf);
  return text;
}

// An entry's article as the README describes it: a part for each of the
// word's records, in file order.
std::string Article(const std::vector<json>& records, const std::string& word) {
  std::string article;
  for (const json& r : records) {
    const std::string reading = r["pronunciation"], example = r["example"];
    std::string head = reading.empty() ? "" : "[" + LineEnds(reading, ' ') + "]";
    if (r["attribute"] > 0) head += (head.empty() ? "(attribute " : " (attribute ") + r["attribute"].dump() + ")";
    std::string body = LineEnds(r["translation"]) + (example.empty() ? "" : "\n" + LineEnds(example));
    std::string part = head.empty() || body.empty() ? head + body : head + "\n" + body;
    article += (article.empty() ? "" : "\n\n") + (part.empty() ? word : part);
  }
  return article;
}

// Records by their display form, each word's in file order.
std::map<std::string, std::vector<json>> ByWord(const json& records, bool v6) {
  std::map<std::string, std::vector<json>> words;
  for (const json& r : records) words[Word(r, v6)].push_back(r);
  return words;
}

fs::path ConvertToStarDict(const fs::path& dic, const TempDir& dir) {
  EXPECT_EQ(Start({"kebu", "convert", dic, "--to", "stardict", dir.File("sd"), "--name", "t"}).status, 0);
  EXPECT_EQ(Start({"dictzip", "-t", dir.File("sd/t.dict.dz")}).status, 0);
  return dir.File("sd");
}

using Answers = std::vector<std::pair<std::string, std::string>>;  // word, article

// Looks the keys up with sdcv in the StarDict dictionary and compares with
// kebu lookup --whole-word: a key that is a headword finds that headword's
// entry alone; another finds the entry of every headword lookup finds.
void CheckWithSdcv(const fs::path& dic, const fs::path& folder, const std::vector<std::string>& keys,
                   bool v6) {
  std::vector<std::string> sdcv = {"sdcv", "--non-interactive", "--json-output", "--exact-search",
                                   "--only-data-dir", "--data-dir", folder};
  sdcv.insert(sdcv.end(), keys.begin(), keys.end());
  const Result found = Start(sdcv, folder);
  ASSERT_EQ(found.status, 0) << found.err;
  std::vector<json> answers;
  for (size_t at = 0, end; (end = found.out.find('\n', at)) != std::string::npos; at = end + 1) {
    answers.push_back(json::parse(found.out.substr(at, end - at)));
  }
  ASSERT_EQ(answers.size(), keys.size()) << found.out;
  for (size_t i = 0; i < keys.size(); ++i) {
    SCOPED_TRACE(keys[i]);
    const json hits = json::parse(Kebu({"lookup", dic, keys[i], "--whole-word", "--json"}))["hits"];
    Answers expected, actual;
    for (const auto& [word, records] : ByWord(hits, v6)) expected.emplace_back(word, Article(records, word));
    if (std::count_if(expected.begin(), expected.end(), [&](auto& e) { return e.first == keys[i]; })) {
      std::erase_if(expected, [&](const auto& e) { return e.first != keys[i]; });
    }
    for (const json& answer : answers[i]) {
      const std::string text = answer["definition"];
      actual.emplace_back(answer["word"], text.substr(text.starts_with("\n") ? 1 : 0));
    }
    std::sort(actual.begin(), actual.end());
    EXPECT_EQ(actual, expected);
  }
}

std::string AsciiLower(std::string text) {
  for (char& c : text) c = c >= 'A' && c <= 'Z' ? static_cast<char>(c + 32) : c;
  return text;
}

// Reads every entry with pyglossary and compares with every record of
// dump --json: one entry a word with its article, and as further words the
// search forms that no other word equals with ASCII case ignored.
void CheckWithPyglossary(const fs::path& dic, const fs::path& folder, bool v6) {
  const std::string dump = Kebu({"dump", dic, "--json"});
  json records = json::array();
  for (size_t at = 0; at < dump.size(); at = dump.find('\n', at) + 1) {
    records.push_back(json::parse(dump.substr(at, dump.find('\n', at) - at)));
  }
  const auto words = ByWord(records, v6);
  std::map<std::string, std::set<std::string>> folded;  // words by their ASCII lower case
  for (const auto& [word, list] : words) folded[AsciiLower(word)].insert(word);
  std::map<std::string, std::pair<std::set<std::string>, std::string>> expected, actual;
  for (const auto& [word, list] : words) {
    auto& entry = expected[word] = {{}, Article(list, word)};
    for (const json& r : list) {
      const std::string search = r["headword"].get<std::string>().substr(0, r["headword"].get<std::string>().find('\t'));
      const auto& same = folded[AsciiLower(search)];
      if (v6 && search != word && (same.empty() || same == std::set<std::string>{word})) {
        entry.first.insert(search);
      }
    }
  }
  const Result read = Start({PYGLOSSARY_ENTRIES, folder / "t.ifo"}, folder);
  ASSERT_EQ(read.status, 0) << read.err;
  EXPECT_EQ(read.err.find("corrupted"), std::string::npos) << read.err;
  for (size_t at = 0, end; (end = read.out.find('\n', at)) != std::string::npos; at = end + 1) {
    const json entry = json::parse(read.out.substr(at, end - at));
    actual[entry.front()] = {{entry.begin() + 1, entry.end() - 1}, entry.back()};
  }
  size_t wrong = 0;
  for (const auto& [word, entry] : expected) {
    if (actual.count(word) == 0 || actual[word] != entry) {
      EXPECT_LT(++wrong, 4u) << word << ": " << (actual.count(word) ? actual[word].second : "missing");
    }
  }
  EXPECT_EQ(actual.size(), expected.size());
}

TEST(ConvertStarDict, ClientsReadWhatLookupFinds) {
  if (!Installed("sdcv") || !Installed("/usr/bin/pyglossary")) GTEST_SKIP() << "no sdcv or pyglossary";
  for (const Variant& v : kVariants) {
    SCOPED_TRACE(v.name);
    TempDir dir;
    WriteFile(dir.File("v.dic"), MakeDictionary(VariantRecords(v.v6), v.options).bytes);
    const fs::path folder = ConvertToStarDict(dir.File("v.dic"), dir);
    // Search forms: one that is another headword's (apple), one that is its
    // own headword's in another case (zebra), one that is no headword.
    std::vector<std::string> keys = {"apple", "zebra", "e mail", "カス"};
    for (const Record& r : VariantRecords(false)) keys.push_back(r.headword);
    if (v.options.sort) CheckWithSdcv(dir.File("v.dic"), folder, keys, v.v6);
    CheckWithPyglossary(dir.File("v.dic"), folder, v.v6);
  }
}

TEST(ConvertStarDict, ClientsReadEdictAsLookupDoes) {
  if (!Installed("sdcv") || !Installed("/usr/bin/pyglossary")) GTEST_SKIP() << "no sdcv or pyglossary";
  if (!fs::exists("/usr/share/edict/edict")) GTEST_SKIP() << "no EDICT (package edict)";
  TempDir dir;
  Kebu({"make", "/usr/share/edict/edict", dir.File("e.dic"), "--from", "edict", "--encoding",
        "bocu1", "--version", "6"});
  const fs::path folder = ConvertToStarDict(dir.File("e.dic"), dir);
  // Headwords of many records, of records with one reading each, with an
  // empty translation, whose search form is another headword; a search form.
  std::vector<std::string> keys = {"生", "鉄道", "４°", "アイス", "ヘア", "アト", "アシ", "メタリツク"};
  const std::string tsv = Kebu({"convert", dir.File("e.dic"), "--to", "tsv", "-"});
  for (size_t at = 0, n = 0; at < tsv.size(); at = tsv.find('\n', at) + 1, ++n) {
    if (n % 1000 == 0) keys.push_back(tsv.substr(at, tsv.find('\t', at) - at));
  }
  CheckWithSdcv(dir.File("e.dic"), folder, keys, true);
  CheckWithPyglossary(dir.File("e.dic"), folder, true);
}

// The files take a cleaned --name: no control characters, '/' or leading
// dots, short enough for a file name.
TEST(ConvertStarDict, FileNamesComeFromACleanedName) {
  TempDir dir;
  WriteFile(dir.File("d.dic"), MakeDictionary(VariantRecords(false)).bytes);
  const std::pair<std::string, std::string> cases[] = {
      {"a\nb\tc", "a_b_c"}, {"x\xffy", "x\xef\xbf\xbdy"}, {"../x", "_x"},
      {". .hidden", "hidden"}, {"..", "dictionary"}, {std::string(300, 'n'), std::string(200, 'n')},
  };
  for (const auto& [name, stem] : cases) {
    SCOPED_TRACE(name);
    fs::remove_all(dir.File("sd"));
    Kebu({"convert", dir.File("d.dic"), "--to", "stardict", dir.File("sd"), "--name", name});
    EXPECT_EQ(Entries(dir.File("sd")),
              (std::vector<std::string>{stem + ".dict.dz", stem + ".idx", stem + ".ifo"}));
  }
}

// A headword longer than StarDict's 255 bytes is cut at a character's end,
// found by what is left, and counted on stderr.
TEST(ConvertStarDict, LongHeadwordsAreCutAndCounted) {
  if (!Installed("sdcv")) GTEST_SKIP() << "sdcv is not installed";
  TempDir dir;
  std::string accents;
  for (int i = 0; i < 150; ++i) accents += "é";
  WriteFile(dir.File("d.dic"), MakeDictionary({{.headword = std::string(300, 'a'), .translation = "a"},
                                                {.headword = accents, .translation = "é"},
                                                {.headword = "b", .translation = "b"}},
                                               {.encoding = Encoding::kBocu1}).bytes);
  const Result run = Start({"kebu", "convert", dir.File("d.dic"), "--to", "stardict", dir.File("sd")});
  EXPECT_EQ(run.status, 0);
  EXPECT_EQ(run.err, "kebu: " + dir.File("sd").string() +
                         ": 2 headwords longer than StarDict's 255 bytes cut to fit (the first: " +
                         std::string(300, 'a') + ")\n");
  const Result found = Start({"sdcv", "-n", "-e", "--json-output", "--only-data-dir", "--data-dir",
                              dir.File("sd"), std::string(255, 'a'), accents.substr(0, 254)},
                             dir.path());
  EXPECT_EQ(found.out, "[{\"dict\": \"d\",\"word\":\"" + std::string(255, 'a') +
                           "\",\"definition\":\"\\na\"}]\n[{\"dict\": \"d\",\"word\":\"" +
                           accents.substr(0, 254) + "\",\"definition\":\"\\né\"}]\n");
}

// convert --to jsonl writes what dump --json prints, whole texts beyond the
// window's cuts included, and make --from jsonl reads it back.
TEST(ConvertJsonl, EqualsDumpAndReadsBack) {
  std::vector<Record> records = VariantRecords(true);
  const std::string controls = "tab\t \x01\x1f \"q\" \\ 😀 ü";
  records.push_back({.headword = V6Headword("long"), .translation = std::string(4000, 't'),
                     .example = std::string(25000, 'e')});
  records.push_back({.headword = V6Headword("ctl"), .translation = controls});
  // A record an area: more runs of entries than are formatted at once, so
  // their buffers are used again.
  for (int i = 0; i < 600; ++i) records.push_back({.headword = V6Headword("w" + std::to_string(i)), .translation = "t"});
  Options options = kVariants[3].options;
  options.recordsPerArea = 1;
  TempDir dir;
  WriteFile(dir.File("d.dic"), MakeDictionary(records, options).bytes);
  const std::string jsonl = Kebu({"convert", dir.File("d.dic"), "--to", "jsonl", "-"});
  EXPECT_TRUE(SameText(Kebu({"dump", dir.File("d.dic"), "--json"}), jsonl));
  EXPECT_NE(jsonl.find(std::string(25000, 'e')), std::string::npos);
  int found = 0;  // every line is JSON, and the escapes read back
  for (size_t at = 0; at < jsonl.size(); at = jsonl.find('\n', at) + 1) {
    const json line = json::parse(jsonl.substr(at, jsonl.find('\n', at) - at));
    found += line["headword"] == "ctl\tctl" && line["translation"] == controls;
  }
  EXPECT_EQ(found, 1);
  WriteFile(dir.File("d.jsonl"), jsonl);
  Kebu({"make", dir.File("d.jsonl"), dir.File("again.dic"), "--version", "6"});
  EXPECT_TRUE(SameText(Kebu({"convert", dir.File("again.dic"), "--to", "tsv", "-"}),
                       Kebu({"convert", dir.File("d.dic"), "--to", "tsv", "-"})));
}

// Every file under `folder` with its bytes, and every folder.
std::map<std::string, std::string> Snapshot(const fs::path& folder) {
  std::map<std::string, std::string> files;
  for (const auto& e : fs::recursive_directory_iterator(folder)) {
    files[e.path()] = e.is_regular_file() && !e.is_symlink() ? ReadText(e.path()) : "(folder or link)";
  }
  return files;
}

// A refused or failed conversion changes nothing and leaves nothing behind.
TEST(ConvertOutputs, RefusedOrFailedLeaveEverythingAsItWas) {
  TempDir dir;
  WriteFile(dir.File("d.dic"), MakeDictionary(VariantRecords(false)).bytes);
  // The header counts three records, but there are none to read.
  WriteFile(dir.File("bad.dic"), MakeDictionary({}, {.nword = 3}).bytes);
  WriteFile(dir.File("old.tsv"), "precious\n");
  fs::create_directories(dir.File("full"));
  WriteFile(dir.File("full/keep"), "kept\n");
  fs::create_directories(dir.File("empty"));
  fs::create_symlink(dir.File("d.dic"), dir.File("link"));
  const std::vector<std::vector<std::string>> cases = {
      {"d.dic", "tsv", "d.dic"},       {"d.dic", "jsonl", "link"},
      {"d.dic", "stardict", "d.dic"},  {"d.dic", "stardict", "link"},
      {"d.dic", "stardict", "full"},   {"d.dic", "stardict", "old.tsv"},
      {"bad.dic", "tsv", "old.tsv"},   {"bad.dic", "stardict", "empty"},
  };
  const auto before = Snapshot(dir.path());
  for (const auto& c : cases) {
    SCOPED_TRACE(c[0] + " --to " + c[1] + " " + c[2]);
    const Result run = Start({"kebu", "convert", dir.File(c[0]), "--to", c[1], dir.File(c[2])});
    EXPECT_EQ(run.status, 1);
    EXPECT_EQ(std::count(run.err.begin(), run.err.end(), '\n'), 1) << run.err;
    EXPECT_EQ(Snapshot(dir.path()), before);
  }
  // Output that cannot be written whole (a file size limit): said, and
  // nothing left behind.
  std::mt19937 random(3);
  std::string big;
  for (int i = 0; i < 20000; ++i) big += "w" + std::to_string(random()) + "\t" + std::to_string(random()) + "\n";
  WriteFile(dir.File("big.tsv"), big);
  Kebu({"make", dir.File("big.tsv"), dir.File("big.dic")});
  const auto full = Snapshot(dir.path());
  for (const char* format : {"stardict", "tsv"}) {
    const RunResult run = kebu::testing::Run(KEBU_BINARY, {"convert", dir.File("big.dic"), "--to", format,
                                            dir.File("out")}, {.fileSizeKb = 64});
    EXPECT_EQ(run.status, 1) << format;
    EXPECT_NE(run.err.find("File too large"), std::string::npos) << run.err;
    EXPECT_EQ(Snapshot(dir.path()), full) << format;
  }
}

}  // namespace
}  // namespace kebu::testing
