// The command-line tool `kebu`, run as a separate process: its output is
// compared with what the library gives in process for the same dictionary.
#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <cstring>
#include <cstdio>
#include <filesystem>
#include <memory>
#include <optional>
#include <regex>
#include <string>
#include <vector>

#include "tests/support/same_text.h"
#include "export/plain_text_export.h"
#include "tests/dictionary/reader_fixture.h"

extern char** environ;

namespace kebu::testing {
namespace {

namespace fs = std::filesystem;

// ---------------------------------------------------------------------------
// Running the tool.

struct RunResult {
  int status = -1;  // exit status; 128 + signal when killed
  std::string out;
  std::string err;
};

std::string ReadText(const fs::path& path) {
  const std::vector<uint8_t> bytes = ReadFile(path);
  return std::string(bytes.begin(), bytes.end());
}

// Runs kebu with `args`; standard output and standard error go into files
// (so neither is a terminal), standard input is /dev/null. With `stdoutPath`
// standard output goes there instead (and is not read back).
RunResult RunKebu(const std::vector<std::string>& args, const std::string& stdoutPath = "") {
  TempDir dir;
  const std::string outPath = stdoutPath.empty() ? dir.File("stdout").string() : stdoutPath;
  const std::string errPath = dir.File("stderr").string();
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
  posix_spawn_file_actions_addopen(&actions, 1, outPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC,
                                   0600);
  posix_spawn_file_actions_addopen(&actions, 2, errPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC,
                                   0600);
  std::vector<char*> argv;
  std::string binary = KEBU_BINARY;
  argv.push_back(binary.data());
  std::vector<std::string> copies = args;
  for (std::string& a : copies) argv.push_back(a.data());
  argv.push_back(nullptr);
  RunResult result;
  pid_t pid = 0;
  const int spawned = posix_spawn(&pid, binary.c_str(), &actions, nullptr, argv.data(), environ);
  posix_spawn_file_actions_destroy(&actions);
  if (spawned != 0) {
    ADD_FAILURE() << "cannot start " << binary << ": " << std::strerror(spawned);
    return result;
  }
  int status = 0;
  waitpid(pid, &status, 0);
  result.status = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
  if (stdoutPath.empty()) result.out = ReadText(outPath);
  result.err = ReadText(errPath);
  return result;
}

std::vector<std::string> Lines(const std::string& text) {
  std::vector<std::string> lines;
  size_t start = 0;
  while (start < text.size()) {
    size_t nl = text.find('\n', start);
    if (nl == std::string::npos) nl = text.size();
    lines.push_back(text.substr(start, nl - start));
    start = nl + 1;
  }
  return lines;
}

std::string Lower(std::string text) {
  for (char& c : text) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return text;
}


// A failure message: exactly one line, naming the path and the cause.
void ExpectOneLineNaming(const std::string& err, const std::string& path,
                         const std::string& cause) {
  ASSERT_FALSE(err.empty());
  EXPECT_EQ(err.back(), '\n') << err;
  EXPECT_EQ(std::count(err.begin(), err.end(), '\n'), 1) << err;
  EXPECT_NE(err.find(path), std::string::npos) << err;
  EXPECT_NE(Lower(err).find(Lower(cause)), std::string::npos) << err;
}

// A dictionary file in a temporary folder.
class DicFile {
 public:
  explicit DicFile(const std::vector<uint8_t>& bytes) : path_(dir_.File("t.dic")) {
    WriteFile(path_, bytes);
  }
  std::string path() const { return path_.string(); }
  fs::path Sibling(const char* name) const { return dir_.File(name); }

 private:
  TempDir dir_;
  fs::path path_;
};

// ---------------------------------------------------------------------------
// A strict JSON reader: strings come back as the UTF-16 units they stand
// for, so escapes and lone surrogates can be compared unit by unit. Raw
// control characters in strings and ill-formed UTF-8 are errors.

struct Json {
  enum Type { kNull, kBool, kNumber, kString, kArray, kObject } type = kNull;
  bool boolean = false;
  long long number = 0;
  std::u16string string;
  std::vector<Json> array;
  std::vector<std::pair<std::string, Json>> object;

  const Json* Get(const std::string& key) const {
    for (const auto& [k, v] : object) {
      if (k == key) return &v;
    }
    return nullptr;
  }
  std::vector<std::string> Keys() const {
    std::vector<std::string> keys;
    for (const auto& kv : object) keys.push_back(kv.first);
    return keys;
  }
};

class JsonReader {
 public:
  explicit JsonReader(const std::string& text) : s_(text) {}

  // One whole document and nothing behind it but white space.
  bool Document(Json* out) {
    Space();
    if (!Value(out)) return false;
    Space();
    return p_ == s_.size();
  }

 private:
  void Space() {
    while (p_ < s_.size() && (s_[p_] == ' ' || s_[p_] == '\n' || s_[p_] == '\r' || s_[p_] == '\t')) ++p_;
  }
  bool Literal(const char* word) {
    const size_t n = std::strlen(word);
    if (s_.compare(p_, n, word) != 0) return false;
    p_ += n;
    return true;
  }
  bool Value(Json* out) {
    if (p_ >= s_.size()) return false;
    const char c = s_[p_];
    if (c == '{') return Object(out);
    if (c == '[') return Array(out);
    if (c == '"') {
      out->type = Json::kString;
      return String(&out->string);
    }
    if (c == 't' || c == 'f') {
      out->type = Json::kBool;
      out->boolean = c == 't';
      return Literal(c == 't' ? "true" : "false");
    }
    if (c == 'n') return Literal("null");
    out->type = Json::kNumber;
    return Number(&out->number);
  }
  bool Number(long long* out) {
    const size_t start = p_;
    if (p_ < s_.size() && s_[p_] == '-') ++p_;
    if (p_ >= s_.size() || !std::isdigit(static_cast<unsigned char>(s_[p_]))) return false;
    if (s_[p_] == '0' && p_ + 1 < s_.size() && std::isdigit(static_cast<unsigned char>(s_[p_ + 1]))) return false;
    while (p_ < s_.size() && std::isdigit(static_cast<unsigned char>(s_[p_]))) ++p_;
    *out = std::stoll(s_.substr(start, p_ - start));
    return true;
  }
  bool Array(Json* out) {
    out->type = Json::kArray;
    ++p_;
    Space();
    if (p_ < s_.size() && s_[p_] == ']') return ++p_, true;
    for (;;) {
      Json v;
      Space();
      if (!Value(&v)) return false;
      out->array.push_back(std::move(v));
      Space();
      if (p_ >= s_.size()) return false;
      if (s_[p_] == ']') return ++p_, true;
      if (s_[p_++] != ',') return false;
    }
  }
  bool Object(Json* out) {
    out->type = Json::kObject;
    ++p_;
    Space();
    if (p_ < s_.size() && s_[p_] == '}') return ++p_, true;
    for (;;) {
      Space();
      std::u16string key;
      if (p_ >= s_.size() || s_[p_] != '"' || !String(&key)) return false;
      Space();
      if (p_ >= s_.size() || s_[p_++] != ':') return false;
      Space();
      Json v;
      if (!Value(&v)) return false;
      out->object.push_back({Utf16ToUtf8(key), std::move(v)});
      Space();
      if (p_ >= s_.size()) return false;
      if (s_[p_] == '}') return ++p_, true;
      if (s_[p_++] != ',') return false;
    }
  }
  int Hex(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
  }
  bool String(std::u16string* out) {
    ++p_;  // the opening quote
    while (p_ < s_.size()) {
      const auto b = static_cast<uint8_t>(s_[p_++]);
      if (b == '"') return true;
      if (b < 0x20) return false;
      if (b == '\\') {
        if (p_ >= s_.size()) return false;
        const char e = s_[p_++];
        switch (e) {
          case '"': out->push_back(u'"'); break;
          case '\\': out->push_back(u'\\'); break;
          case '/': out->push_back(u'/'); break;
          case 'b': out->push_back(u'\b'); break;
          case 'f': out->push_back(u'\f'); break;
          case 'n': out->push_back(u'\n'); break;
          case 'r': out->push_back(u'\r'); break;
          case 't': out->push_back(u'\t'); break;
          case 'u': {
            if (p_ + 4 > s_.size()) return false;
            int unit = 0;
            for (int i = 0; i < 4; ++i) {
              const int h = Hex(s_[p_++]);
              if (h < 0) return false;
              unit = unit * 16 + h;
            }
            out->push_back(static_cast<char16_t>(unit));
            break;
          }
          default:
            return false;
        }
        continue;
      }
      if (b < 0x80) {
        out->push_back(b);
        continue;
      }
      int trail;
      uint32_t c, min;
      if (b >= 0xC2 && b <= 0xDF) trail = 1, c = b & 0x1F, min = 0x80;
      else if (b >= 0xE0 && b <= 0xEF) trail = 2, c = b & 0x0F, min = 0x800;
      else if (b >= 0xF0 && b <= 0xF4) trail = 3, c = b & 0x07, min = 0x10000;
      else return false;
      for (int i = 0; i < trail; ++i) {
        if (p_ >= s_.size() || (static_cast<uint8_t>(s_[p_]) & 0xC0) != 0x80) return false;
        c = (c << 6) | (static_cast<uint8_t>(s_[p_++]) & 0x3F);
      }
      if (c < min || c > 0x10FFFF || (c >= 0xD800 && c <= 0xDFFF)) return false;
      if (c <= 0xFFFF) {
        out->push_back(static_cast<char16_t>(c));
      } else {
        out->push_back(static_cast<char16_t>(0xD7C0 + (c >> 10)));
        out->push_back(static_cast<char16_t>(0xDC00 | (c & 0x3FF)));
      }
    }
    return false;
  }

  const std::string& s_;
  size_t p_ = 0;
};

// ---------------------------------------------------------------------------
// What the library says in process.

struct Entry {
  std::u16string headword, translation, example, pronunciation;
  int attribute = 0;
  int32_t indexEntry = 0, block = 0, recordOffset = 0;
};

std::u16string Units(const std::vector<char16_t>& buffer) { return std::u16string(buffer.data()); }

struct Buffers {
  std::vector<char16_t> hw = std::vector<char16_t>(kHeadwordCap + 2);
  std::vector<char16_t> tr = std::vector<char16_t>(kTranslationCap + 2);
  std::vector<char16_t> ex = std::vector<char16_t>(kExampleCap + 2);
  std::vector<char16_t> pr = std::vector<char16_t>(kPronunciationCap + 2);
};

std::vector<Entry> LookupInProcess(const std::string& path, const std::string& key, bool wholeWord,
                                   int limit, int* truncated) {
  DicReader reader;
  EXPECT_EQ(reader.Open(Utf8ToUtf16(path).c_str()), 0);
  const std::u16string k = Utf8ToUtf16(key);
  const uint32_t n = reader.Lookup(k.c_str(), wholeWord ? 1 : 0, limit, truncated);
  std::vector<Entry> out;
  Buffers b;
  for (uint32_t i = 0; i < n; ++i) {
    Entry e;
    EXPECT_EQ(reader.GetHit(static_cast<int>(i), b.hw.data(), kHeadwordCap, b.tr.data(),
                            kTranslationCap, b.ex.data(), kExampleCap, b.pr.data(),
                            kPronunciationCap, &e.attribute, nullptr),
              0);
    e.headword = Units(b.hw);
    e.translation = Units(b.tr);
    e.example = Units(b.ex);
    e.pronunciation = Units(b.pr);
    const SearchHit* hit = reader.GetHitInfo(static_cast<int>(i));
    e.indexEntry = hit->indexEntry;
    e.block = hit->block;
    e.recordOffset = hit->recordOffset;
    out.push_back(e);
  }
  return out;
}

std::vector<Entry> ReadAllInProcess(const std::string& path) {
  DicReader reader;
  EXPECT_EQ(reader.Open(Utf8ToUtf16(path).c_str()), 0);
  std::vector<Entry> out;
  if (reader.Rewind() != 0) return out;
  Buffers b;
  Entry e;
  RecordPosition position;
  while (reader.ReadNext(b.hw.data(), kHeadwordCap, b.tr.data(), kTranslationCap, b.ex.data(),
                         kExampleCap, b.pr.data(), kPronunciationCap, &e.attribute, nullptr,
                         &position) == 0) {
    e.headword = Units(b.hw);
    e.translation = Units(b.tr);
    e.example = Units(b.ex);
    e.pronunciation = Units(b.pr);
    e.indexEntry = position.indexEntry;
    e.block = position.block;
    e.recordOffset = position.recordOffset;
    out.push_back(e);
  }
  return out;
}

// Compares one JSON record object with the library's record.
void ExpectSameEntry(const Json& object, const Entry& e) {
  ASSERT_EQ(object.type, Json::kObject);
  std::vector<std::string> keys = object.Keys();
  std::sort(keys.begin(), keys.end());
  ASSERT_EQ(keys, (std::vector<std::string>{"attribute", "block", "example", "headword",
                                            "indexEntry", "pronunciation", "recordOffset",
                                            "translation"}));
  auto text = [&](const char* key, const std::u16string& expected) {
    const Json* v = object.Get(key);
    ASSERT_EQ(v->type, Json::kString) << key;
    EXPECT_EQ(v->string, expected) << key << ": " << Utf16ToUtf8(expected);
  };
  auto number = [&](const char* key, long long expected) {
    const Json* v = object.Get(key);
    ASSERT_EQ(v->type, Json::kNumber) << key;
    EXPECT_EQ(v->number, expected) << key;
  };
  text("headword", e.headword);
  text("translation", e.translation);
  text("example", e.example);
  text("pronunciation", e.pronunciation);
  number("attribute", e.attribute);
  number("indexEntry", e.indexEntry);
  number("block", e.block);
  number("recordOffset", e.recordOffset);
}


// ---------------------------------------------------------------------------
// Test dictionaries.

std::vector<Record> WordList() {
  return {
      {.headword = "ab", .translation = "one", .example = "ab ex"},
      {.headword = "abc", .translation = "two", .pronunciation = "abk", .attribute = 3},
      {.headword = "abd", .translation = "three"},
      {.headword = "apple", .translation = "ringo", .example = "an apple a day"},
      {.headword = "applet", .translation = "small app"},
      {.headword = "apply", .translation = "tekiyou", .attribute = 1},
      {.headword = "b", .translation = "bee"},
      {.headword = "\u3042\u3044", .translation = "love", .example = "\u611B"},
      {.headword = "\u3042\u3044\u3046", .translation = "aiu"},
      {.headword = "\u3042\u3046", .translation = "meet"},
      {.headword = "\u65E5\u672C", .translation = "Japan"},
  };
}

// The word list as version-6 headwords (folded form, TAB, display form).
std::vector<Record> WordListV6() {
  std::vector<Record> out = WordList();
  for (Record& r : out) r.headword = V6Headword(r.headword == "apple" ? "Apple" : r.headword);
  return out;
}

std::vector<uint8_t> Dictionary(std::vector<Record> records, Encoding encoding, uint16_t version,
                                int block_size = 64) {
  Options o;
  o.encoding = encoding;
  o.version = version;
  o.block_size = block_size;
  return BuildDictionary(std::move(records), o).bytes;
}

// ---------------------------------------------------------------------------
// kebu header

struct HeaderCase {
  const char* name;
  Options options;
  std::string line;  // one line that the report must hold
};

TEST(KebuHeader, PrintsTheHeaderReport) {
  auto options = [](uint16_t version, Encoding enc = Encoding::kCp932) {
    Options o;
    o.version = version;
    o.encoding = enc;
    return o;
  };
  std::vector<HeaderCase> cases = {
      {"Version4Layout", options(0x0400), "version = 4.00\r\n"},
      {"Version4Bocu1", options(0x0400, Encoding::kBocu1), "dictype = [08] BOCU-1 compressed\r\n"},
      {"Version5", options(0x0500), "version = 5.00\r\n"},
      {"Version6Minor10", options(0x060A), "version = 6.10\r\n"},
      {"SignatureAt24", options(0x0500), "lword = 33\r\n"},
      {"Index32", options(0x0500), "index_blkbit = [01] 32bit\r\n"},
      {"Bocu1", options(0x0600, Encoding::kBocu1), "os      = [20] BOCU encoding\r\n"},
      {"Dicorder", options(0x0500), "dicorder= [02] lexicographic order \r\n"},
  };
  cases[4].options.signature_offset = 24;
  cases[4].options.lword = 33;
  cases[5].options.index32 = true;
  cases[7].options.dicorder = 2;
  for (const HeaderCase& c : cases) {
    SCOPED_TRACE(c.name);
    DicFile dic(BuildDictionary({{.headword = "a", .translation = "b"}}, c.options).bytes);
    DicReader reader;
    ASSERT_EQ(reader.Open(Utf8ToUtf16(dic.path()).c_str()), 0);
    char report[2048];
    reader.DumpHeaderInfo(report, sizeof report);

    const RunResult r = RunKebu({"header", dic.path()});
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.err, "");
    EXPECT_EQ(r.out, std::string(report));
    EXPECT_NE(r.out.find(c.line), std::string::npos) << r.out;
    EXPECT_EQ(std::count(r.out.begin(), r.out.end(), '\n'), 15);
    EXPECT_EQ(std::count(r.out.begin(), r.out.end(), '\r'), 15);
    EXPECT_EQ(r.out.find("\n["), std::string::npos);
    EXPECT_EQ(r.out.rfind("[Kebu Dictionary]\r\n", 0), 0u);
  }
}

// ---------------------------------------------------------------------------
// Dictionaries that cannot be opened: exit 1, one line naming path and cause.

struct RefusedCase {
  const char* name;
  std::optional<std::vector<uint8_t>> bytes;  // none: no such file
  std::string cause;
};

TEST(KebuCommands, RefusedDictionary) {
  const std::vector<uint8_t> good = Dictionary(WordList(), Encoding::kCp932, 0x0500);
  auto patched = [&](int offset, uint16_t value) {
    std::vector<uint8_t> b = good;
    PutLe16(b, offset, value);
    return b;
  };
  Options noSignature;
  noSignature.signature_offset = -1;
  Options version3;
  version3.version = 0x0312;
  const std::vector<RefusedCase> cases = {
      {"Missing", std::nullopt, "No such file"},
      {"Short", std::vector<uint8_t>(good.begin(), good.begin() + 100), "short"},
      {"Empty", std::vector<uint8_t>(), "short"},
      {"Version3", BuildDictionary(WordList(), version3).bytes, "version"},
      {"HeaderSizeZero", patched(150, 0), "header_size"},
      {"HeaderSizeTooLarge", patched(150, 1025), "header_size"},
      {"BlockSizeZero", patched(146, 0), "block_size"},
      {"BlockSizeTooLarge", patched(146, 2048), "block_size"},
      {"NoSignature", BuildDictionary(WordList(), noSignature).bytes, "signature"},
  };
  const std::vector<std::vector<std::string>> commands = {
      {"header"}, {"lookup", "", "a"}, {"dump", "", "--json"}, {"export", "", "-"}};
  for (const RefusedCase& c : cases) {
    TempDir dir;
    const std::string path = dir.File("refused.dic").string();
    if (c.bytes) WriteFile(path, *c.bytes);
    for (std::vector<std::string> args : commands) {
      SCOPED_TRACE(std::string(c.name) + " " + args[0]);
      if (args.size() == 1) args.push_back(path);
      else args[1] = path;
      const RunResult r = RunKebu(args);
      EXPECT_EQ(r.status, 1);
      EXPECT_EQ(r.out, "");
      ExpectOneLineNaming(r.err, path, c.cause);
    }
  }
}

// Output that cannot be written: every command fails with one line.
TEST(KebuCommands, FullStandardOutput) {
  if (!fs::exists("/dev/full")) GTEST_SKIP() << "no /dev/full";
  DicFile dic(Dictionary(WordList(), Encoding::kCp932, 0x0500));
  const std::vector<std::vector<std::string>> cases = {
      {"header", dic.path()},
      {"lookup", dic.path(), "a"},
      {"lookup", dic.path(), "a", "--json"},
      {"dump", dic.path(), "--json"},
      {"export", dic.path(), "-"},
      {"export", dic.path()},
  };
  for (const std::vector<std::string>& args : cases) {
    SCOPED_TRACE(args[0] + " " + args.back());
    const RunResult r = RunKebu(args, "/dev/full");
    EXPECT_EQ(r.status, 1);
    ExpectOneLineNaming(r.err, "standard output", "space");
  }
}

TEST(KebuCommands, WrongUsage) {
  DicFile dic(Dictionary(WordList(), Encoding::kCp932, 0x0500));
  const std::string d = dic.path();
  const std::vector<std::vector<std::string>> cases = {
      {},
      {"bogus"},
      {"header"},
      {"header", d, d},
      {"header", d, "--json"},
      {"lookup", d},
      {"lookup"},
      {"lookup", d, "a", "b"},
      {"lookup", d, "a", "--limit"},
      {"lookup", d, "a", "--limit", "many"},
      {"lookup", d, "a", "--frobnicate"},
      {"dump", d},
      {"dump", d, "--json", "--pretty"},
      {"dump", d, d, "--json"},
      {"export"},
      {"export", d, "a", "b"},
      {"export", d, "--stop-after-entry"},
      {"export", d, "--stop-after-entry", "-1"},
      {"export", d, "--stop-after-entry", "ten"},
      {"export", d, "--verbose"},
  };
  for (const std::vector<std::string>& args : cases) {
    std::string joined;
    for (const std::string& a : args) joined += " " + a;
    SCOPED_TRACE("kebu" + joined);
    const RunResult r = RunKebu(args);
    EXPECT_EQ(r.status, 2);
    EXPECT_EQ(r.out, "");
    EXPECT_NE(Lower(r.err).find("usage"), std::string::npos) << r.err;
  }
}

// ---------------------------------------------------------------------------
// kebu lookup --json

struct LookupCase {
  const char* name;
  int dictionary;  // index into the dictionaries below
  std::string key;
  bool wholeWord = false;
  std::optional<int> limit;  // none: the default, 10000
};

TEST(KebuLookup, JsonMatchesLibrary) {
  std::vector<std::unique_ptr<DicFile>> dics;
  dics.push_back(std::make_unique<DicFile>(Dictionary(WordList(), Encoding::kCp932, 0x0500)));
  dics.push_back(std::make_unique<DicFile>(Dictionary(WordListV6(), Encoding::kBocu1, 0x0600)));
  dics.push_back(std::make_unique<DicFile>(Dictionary(WordListV6(), Encoding::kCp932, 0x0600)));
  dics.push_back(std::make_unique<DicFile>(Dictionary(WordList(), Encoding::kBocu1, 0x0400, 32)));
  int withHits = 0, cut = 0, empty = 0;
  std::vector<LookupCase> cases;
  for (int d = 0; d < static_cast<int>(dics.size()); ++d) {
    const std::vector<LookupCase> perDictionary = {
        {"Prefix", d, "ap"},
        {"EverythingByEmptyKey", d, ""},
        {"LimitCuts", d, "a", false, 2},
        {"LimitReachedExactly", d, "ab", false, 3},
        {"LimitZeroIsNoLimit", d, "", false, 0},
        {"WholeWord", d, "ab", true},
        {"JapaneseKey", d, "\u3042\u3044"},
        {"Kanji", d, "\u65E5"},
        {"NoHits", d, "zzz"},
        {"UpperCaseFoldedInVersion6", d, "APP"},
    };
    cases.insert(cases.end(), perDictionary.begin(), perDictionary.end());
  }
  for (const LookupCase& c : cases) {
    SCOPED_TRACE(std::string(c.name) + " in dictionary " + std::to_string(c.dictionary));
    const std::string& path = dics[c.dictionary]->path();
    std::vector<std::string> args = {"lookup", path, c.key, "--json"};
    if (c.wholeWord) args.push_back("--whole-word");
    if (c.limit) {
      args.push_back("--limit");
      args.push_back(std::to_string(*c.limit));
    }
    const RunResult r = RunKebu(args);
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.err, "");

    int truncated = 0;
    const std::vector<Entry> expected =
        LookupInProcess(path, c.key, c.wholeWord, c.limit.value_or(10000), &truncated);
    Json doc;
    ASSERT_TRUE(JsonReader(r.out).Document(&doc)) << r.out;
    ASSERT_EQ(doc.type, Json::kObject);
    std::vector<std::string> keys = doc.Keys();
    std::sort(keys.begin(), keys.end());
    ASSERT_EQ(keys, (std::vector<std::string>{"count", "hits", "truncated"}));
    EXPECT_EQ(doc.Get("count")->type, Json::kNumber);
    EXPECT_EQ(doc.Get("count")->number, static_cast<long long>(expected.size()));
    EXPECT_EQ(doc.Get("truncated")->type, Json::kBool);
    EXPECT_EQ(doc.Get("truncated")->boolean, truncated != 0);
    const Json& hits = *doc.Get("hits");
    ASSERT_EQ(hits.type, Json::kArray);
    ASSERT_EQ(hits.array.size(), expected.size());
    for (size_t i = 0; i < expected.size(); ++i) {
      SCOPED_TRACE("hit " + std::to_string(i));
      ExpectSameEntry(hits.array[i], expected[i]);
    }
    withHits += !expected.empty();
    empty += expected.empty();
    cut += truncated != 0;
  }
  // The cases must mean something: most find hits, some are cut, some empty.
  EXPECT_GE(withHits, 30);
  EXPECT_GE(cut, 8);
  EXPECT_GE(empty, 4);
}

// Escaping: quotes, backslashes, control characters, the TAB of a version-6
// headword, lone surrogates as \u escapes, a valid pair as UTF-8.
TEST(KebuLookup, JsonEscaping) {
  const std::string loneHigh = Bocu1LoneUnit(0xD800);
  const std::string loneLow = Bocu1LoneUnit(0xDC00);
  std::vector<Record> records = {
      {.headword = EncodeBocu1("a \"quoted\" \\ word"),
       .translation = EncodeBocu1(std::string("ctl\x01 \x1F \x7F end")),
       .example = EncodeBocu1("line\nbreak\rreturn\bback\fform"),
       .raw_text = true},
      {.headword = EncodeBocu1(V6Headword("B")),
       .translation = EncodeBocu1("smile \U0001F600"),
       .example = EncodeBocu1("high") + loneHigh + EncodeBocu1("!"),
       .pronunciation = EncodeBocu1("low") + loneLow,
       .raw_text = true},
      {.headword = EncodeBocu1("c") + loneLow + loneHigh,  // a reversed pair
       .translation = EncodeBocu1("/ slash"),
       .raw_text = true},
  };
  Options o;
  o.encoding = Encoding::kBocu1;
  o.version = 0x0600;
  o.sort = false;  // already in order; the builder cannot decode lone surrogates
  DicFile dic(BuildDictionary(records, o).bytes);

  const RunResult r = RunKebu({"lookup", dic.path(), "", "--json"});
  EXPECT_EQ(r.status, 0);
  EXPECT_EQ(r.err, "");
  Json doc;
  ASSERT_TRUE(JsonReader(r.out).Document(&doc)) << r.out;
  int truncated = 0;
  const std::vector<Entry> expected = LookupInProcess(dic.path(), "", false, 10000, &truncated);
  ASSERT_EQ(expected.size(), 3u);
  // The library reads what was written, surrogates alone included.
  EXPECT_EQ(expected[0].headword, u"a \"quoted\" \\ word");
  EXPECT_EQ(expected[1].headword, u"b\tB");
  EXPECT_EQ(expected[1].example, u"high\xD800!");
  EXPECT_EQ(expected[1].pronunciation, u"low\xDC00");
  EXPECT_EQ(expected[2].headword, u"c\xDC00\xD800");
  const Json& hits = *doc.Get("hits");
  ASSERT_EQ(hits.array.size(), expected.size());
  for (size_t i = 0; i < expected.size(); ++i) {
    SCOPED_TRACE("hit " + std::to_string(i));
    ExpectSameEntry(hits.array[i], expected[i]);
  }
  // The reader above rejects raw control characters and bad UTF-8; the
  // forms of the escapes themselves:
  const std::string lower = Lower(r.out);
  for (const char* escape : {"\\\"quoted\\\"", "\\\\ word", "\\u0001", "\\u001f", "b\\tb",
                             "\\ud800!", "low\\udc00", "c\\udc00\\ud800"}) {
    EXPECT_NE(lower.find(escape), std::string::npos) << escape << " in " << r.out;
  }
  EXPECT_NE(r.out.find("smile \xF0\x9F\x98\x80"), std::string::npos) << r.out;
}

// ---------------------------------------------------------------------------
// kebu lookup, text

struct TextCase {
  const char* name;
  std::vector<uint8_t> dictionary;
  std::vector<std::string> args;  // behind "lookup DICT"
  std::vector<std::string> shown; // headwords as listed, in order
  bool cut;                       // a closing line says the list was cut
};

// The word lists without pronunciation and attribute, so that a listed line
// holds the headword alone.
std::vector<Record> Plain(std::vector<Record> records) {
  for (Record& r : records) {
    r.pronunciation.clear();
    r.attribute = 0;
  }
  return records;
}

TEST(KebuLookup, TextListing) {
  std::vector<Record> tabbed = {
      {.headword = "x\ty", .translation = "tabbed"},
      {.headword = "xa", .translation = "plain"},
  };
  const std::vector<TextCase> cases = {
      {"Version6ShowsPartAfterTab", Dictionary(Plain(WordListV6()), Encoding::kBocu1, 0x0600),
       {"app"}, {"Apple", "applet", "apply"}, false},
      {"Version6Cp932ShowsPartAfterTab", Dictionary(Plain(WordListV6()), Encoding::kCp932, 0x0600),
       {"ab"}, {"ab", "abc", "abd"}, false},
      {"Version6TabOfStoredHeadword", Dictionary(tabbed, Encoding::kCp932, 0x0600),
       {"x"}, {"y", "xa"}, false},
      {"Version5ShowsWhole", Dictionary(tabbed, Encoding::kCp932, 0x0500),
       {"x"}, {"x\ty", "xa"}, false},
      {"LimitCuts", Dictionary(Plain(WordList()), Encoding::kCp932, 0x0500),
       {"a", "--limit", "2"}, {"ab", "abc"}, true},
      {"LimitZeroListsAll", Dictionary(Plain(WordList()), Encoding::kCp932, 0x0500),
       {"", "--limit", "0"},
       {"ab", "abc", "abd", "apple", "applet", "apply", "b", "\u3042\u3044",
        "\u3042\u3044\u3046", "\u3042\u3046", "\u65E5\u672C"},
       false},
      {"WholeWord", Dictionary(Plain(WordList()), Encoding::kCp932, 0x0500),
       {"ab", "--whole-word"}, {"ab"}, false},
      {"JapaneseKeyCp932", Dictionary(Plain(WordList()), Encoding::kCp932, 0x0500),
       {"\u3042\u3044"}, {"\u3042\u3044", "\u3042\u3044\u3046"}, false},
      {"JapaneseKeyBocu1", Dictionary(Plain(WordListV6()), Encoding::kBocu1, 0x0600),
       {"\u3042\u3044"}, {"\u3042\u3044", "\u3042\u3044\u3046"}, false},
      {"NoHits", Dictionary(Plain(WordList()), Encoding::kCp932, 0x0500), {"zzz"}, {}, false},
  };
  const std::regex numbered("^ *([0-9]+)  (.*)$");
  for (const TextCase& c : cases) {
    SCOPED_TRACE(c.name);
    DicFile dic(c.dictionary);
    std::vector<std::string> args = {"lookup", dic.path()};
    args.insert(args.end(), c.args.begin(), c.args.end());
    const RunResult r = RunKebu(args);
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.err, "");
    std::vector<std::string> shown;
    const std::vector<std::string> lines = Lines(r.out);
    for (const std::string& line : lines) {
      std::smatch m;
      if (!std::regex_match(line, m, numbered)) continue;
      EXPECT_EQ(std::stoi(m[1].str()), static_cast<int>(shown.size()) + 1) << line;
      // Neither pronunciation nor attribute in these lines: headword alone.
      shown.push_back(m[2].str());
    }
    EXPECT_EQ(shown, c.shown) << r.out;
    ASSERT_FALSE(lines.empty());
    const std::string last = Lower(lines.back());
    const bool cut = last.find("cut") != std::string::npos &&
                     last.find(std::to_string(c.shown.size())) != std::string::npos;
    EXPECT_EQ(cut, c.cut) << r.out;
  }
}

// ---------------------------------------------------------------------------
// kebu dump --json

TEST(KebuDump, EveryRecordInFileOrder) {
  std::vector<Record> odd = {
      {.headword = EncodeBocu1("q\"\\"), .translation = EncodeBocu1("t\x01\n"), .raw_text = true},
      {.headword = EncodeBocu1(V6Headword("R")), .translation = EncodeBocu1("\U0001F600"),
       .example = EncodeBocu1("e") + Bocu1LoneUnit(0xD800), .pronunciation = Bocu1LoneUnit(0xDC00),
       .attribute = 9, .raw_text = true},
      {.headword = "", .translation = EncodeBocu1("no headword"), .raw_text = true},
      {.headword = EncodeBocu1("s"), .translation = "", .example = EncodeBocu1("x"),
       .raw_text = true},
  };
  Options oddOptions;
  oddOptions.encoding = Encoding::kBocu1;
  oddOptions.version = 0x0600;
  oddOptions.sort = false;
  oddOptions.records_per_area = 1;
  std::vector<Record> many;
  for (int n = 0; n < 500; ++n) {
    many.push_back({.headword = "w" + std::to_string(1000 + n),
                    .translation = "t\u3042" + std::to_string(n),
                    .example = n % 3 ? "" : "e" + std::to_string(n),
                    .pronunciation = n % 4 ? "" : "p",
                    .attribute = static_cast<uint8_t>(n % 16)});
  }
  const std::vector<std::pair<const char*, std::vector<uint8_t>>> cases = {
      {"WordListCp932", Dictionary(WordList(), Encoding::kCp932, 0x0500)},
      {"WordListBocu1Version6", Dictionary(WordListV6(), Encoding::kBocu1, 0x0600, 32)},
      {"OddTexts", BuildDictionary(odd, oddOptions).bytes},
      {"ManyAreasVersion4", Dictionary(many, Encoding::kCp932, 0x0400, 128)},
  };
  for (const auto& [name, bytes] : cases) {
    SCOPED_TRACE(name);
    DicFile dic(bytes);
    const RunResult r = RunKebu({"dump", dic.path(), "--json"});
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.err, "");
    const std::vector<Entry> expected = ReadAllInProcess(dic.path());
    ASSERT_FALSE(expected.empty());
    ASSERT_FALSE(r.out.empty());
    EXPECT_EQ(r.out.back(), '\n');
    const std::vector<std::string> lines = Lines(r.out);
    ASSERT_EQ(lines.size(), expected.size());
    for (size_t i = 0; i < lines.size(); ++i) {
      SCOPED_TRACE("line " + std::to_string(i + 1));
      Json object;
      ASSERT_TRUE(JsonReader(lines[i]).Document(&object)) << lines[i];
      ExpectSameEntry(object, expected[i]);
    }
  }
}

// ---------------------------------------------------------------------------
// kebu export

std::string ExportInProcess(const std::string& path, int32_t stopAfterEntry) {
  DicReader reader;
  EXPECT_EQ(reader.Open(Utf8ToUtf16(path).c_str()), 0);
  std::FILE* f = std::tmpfile();
  if (f == nullptr) {
    ADD_FAILURE() << "no temporary file";
    return {};
  }
  ExportOptions options;
  options.stopAfterEntry = stopAfterEntry;
  EXPECT_EQ(ExportToStream(reader, f, ExportHooks(), options, nullptr), ExportResult::kDone);
  std::fflush(f);
  std::rewind(f);
  std::string out;
  char chunk[1 << 16];
  size_t n;
  while ((n = std::fread(chunk, 1, sizeof chunk, f)) > 0) out.append(chunk, n);
  std::fclose(f);
  return out;
}

struct ExportCase {
  const char* name;
  std::vector<std::string> args;  // "DICT" and "OUT" stand for the paths
  int32_t stopAfterEntry;         // of the same export in process
  bool toFile;
};

TEST(KebuExport, SameBytesAsLibrary) {
  std::vector<Record> records;
  for (int n = 0; n < 60; ++n) {
    records.push_back({.headword = n % 17 == 5 ? "" : "w\u3042" + std::to_string(100 + n),
                       .translation = n % 13 == 4 ? "" : "line\nbreak " + std::to_string(n),
                       .example = n % 3 ? "" : "\u65E5 " + std::to_string(n)});
  }
  records[0].headword = "first";
  Options o;
  o.records_per_area = 3;
  o.sort = false;
  o.block_size = 64;
  DicFile dic(BuildDictionary(records, o).bytes);
  const std::string all = ExportInProcess(dic.path(), -1);
  ASSERT_NE(all, ExportInProcess(dic.path(), 2)) << "the stop cases would prove nothing";

  const std::vector<ExportCase> cases = {
      {"ToFile", {"DICT", "OUT"}, -1, true},
      {"DashIsStandardOutput", {"DICT", "-"}, -1, false},
      {"NoOutputIsStandardOutput", {"DICT"}, -1, false},
      {"StopAfterEntry", {"DICT", "OUT", "--stop-after-entry", "2"}, 2, true},
      {"StopOptionFirst", {"--stop-after-entry", "0", "DICT", "-"}, 0, false},
      {"StopBeyondTheEnd", {"DICT", "--stop-after-entry", "1000"}, -1, false},
  };
  for (const ExportCase& c : cases) {
    SCOPED_TRACE(c.name);
    const fs::path out = dic.Sibling("out.txt");
    WriteFile(out, std::string(20000, 'x'));  // replaced whole
    std::vector<std::string> args = {"export"};
    for (const std::string& a : c.args) {
      args.push_back(a == "DICT" ? dic.path() : a == "OUT" ? out.string() : a);
    }
    const RunResult r = RunKebu(args);
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.err, "");
    const std::string expected = ExportInProcess(dic.path(), c.stopAfterEntry);
    if (c.toFile) {
      EXPECT_EQ(r.out, "");
      EXPECT_TRUE(SameText(ReadText(out), expected));
    } else {
      EXPECT_TRUE(SameText(r.out, expected));
      EXPECT_EQ(ReadText(out), std::string(20000, 'x'));
    }
  }
}

// 10,003 records "w100000"..., one per index entry: beyond the window's
// 10,000 hits and beyond the export's index entry 10,001.
const DicFile& TenThousandAndThree() {
  static const DicFile dic([] {
    std::vector<Record> records;
    for (int n = 0; n < 10003; ++n) {
      records.push_back({.headword = "w" + std::to_string(100000 + n), .translation = "t"});
    }
    Options o;
    o.records_per_area = 1;
    o.block_size = 32;
    return BuildDictionary(records, o).bytes;
  }());
  return dic;
}

struct BigLookupCase {
  const char* name;
  std::vector<std::string> options;
  int count;
  bool truncated;
};

// The default limit is 10,000 hits; --limit 0 lifts it.
TEST(KebuLookup, LimitZeroLiftsTheDefault) {
  const DicFile& dic = TenThousandAndThree();
  const std::vector<BigLookupCase> cases = {
      {"Default", {}, 10000, true},
      {"LimitZero", {"--limit", "0"}, 10003, false},
      {"LimitAboveCount", {"--limit", "20000"}, 10003, false},
  };
  for (const BigLookupCase& c : cases) {
    SCOPED_TRACE(c.name);
    for (bool json : {true, false}) {
      std::vector<std::string> args = {"lookup", dic.path(), "w"};
      args.insert(args.end(), c.options.begin(), c.options.end());
      if (json) args.push_back("--json");
      const RunResult r = RunKebu(args);
      EXPECT_EQ(r.status, 0);
      EXPECT_EQ(r.err, "");
      if (json) {
        Json doc;
        ASSERT_TRUE(JsonReader(r.out).Document(&doc));
        EXPECT_EQ(doc.Get("count")->number, c.count);
        EXPECT_EQ(doc.Get("truncated")->boolean, c.truncated);
        EXPECT_EQ(doc.Get("hits")->array.size(), static_cast<size_t>(c.count));
      } else {
        const std::vector<std::string> lines = Lines(r.out);
        ASSERT_FALSE(lines.empty());
        const std::string numbered = std::to_string(c.count) + "  w" + std::to_string(100000 + c.count - 1);
        EXPECT_NE(r.out.find(numbered), std::string::npos);
        EXPECT_EQ(r.out.find(std::to_string(c.count + 1) + "  w"), std::string::npos);
        EXPECT_EQ(Lower(lines.back()).find("cut") != std::string::npos, c.truncated) << lines.back();
      }
    }
  }
}

// Without --stop-after-entry every record is written, beyond entry 10,001.
TEST(KebuExport, NoStopByDefault) {
  const DicFile& dic = TenThousandAndThree();
  const RunResult r = RunKebu({"export", dic.path()});
  EXPECT_EQ(r.status, 0);
  EXPECT_EQ(r.err, "");
  EXPECT_TRUE(SameText(r.out, ExportInProcess(dic.path(), -1)));
  size_t positions = 0;
  for (size_t at = 0; (at = r.out.find("[index=", at)) != std::string::npos; ++at) ++positions;
  EXPECT_EQ(positions, 10003u);
  EXPECT_NE(r.out.find("[index=10002 "), std::string::npos);
}

struct ExportFailureCase {
  const char* name;
  std::string target;  // "MISSING": a file in a folder that does not exist
  std::string cause;
};

TEST(KebuExport, OutputFailures) {
  DicFile dic(Dictionary(WordList(), Encoding::kCp932, 0x0500));
  const std::string missing = (dic.Sibling("no-such-folder") / "out.txt").string();
  std::vector<ExportFailureCase> cases = {{"FolderMissing", missing, "No such file"}};
  if (fs::exists("/dev/full")) cases.push_back({"DeviceFull", "/dev/full", "space"});
  for (const ExportFailureCase& c : cases) {
    SCOPED_TRACE(c.name);
    const RunResult r = RunKebu({"export", dic.path(), c.target});
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.out, "");
    ExpectOneLineNaming(r.err, c.target, c.cause);
  }
  EXPECT_FALSE(fs::exists(missing));
}

}  // namespace
}  // namespace kebu::testing
