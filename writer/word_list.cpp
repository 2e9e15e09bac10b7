// Word lists: TSV and the line loop for all formats.
#include "writer/word_list.h"

#include <algorithm>
#include <array>
#include <charconv>

#include "codec/utf8.h"

namespace kebu::writer {

bool ReadEdictList(std::string_view bytes, WordList* list, ListError* error);
bool ReadJsonlList(std::string_view bytes, WordList* list, ListError* error);

namespace {

constexpr size_t kMaxColumns = 5;
constexpr std::array<std::string_view, kMaxColumns> kColumnNames = {
    "headword", "translation", "example", "pronunciation", "attribute"};

bool IsColumnName(std::string_view field) {
  std::string lower(field);
  for (char& c : lower) c = static_cast<char>(c >= 'A' && c <= 'Z' ? c + 32 : c);
  for (std::string_view name : kColumnNames) {
    if (lower == name) return true;
  }
  return false;
}

// A field with its escapes undone; false with *problem set.
bool Unescape(std::string_view field, std::string* out, std::string* problem) {
  out->clear();
  size_t run = 0;
  for (size_t i = field.find('\\'); i != std::string_view::npos; i = field.find('\\', run)) {
    out->append(field.substr(run, i - run));
    const char next = i + 1 < field.size() ? field[i + 1] : '\0';
    switch (next) {
      case 't': *out += '\t'; break;
      case 'n': *out += '\n'; break;
      case 'r': *out += '\r'; break;
      case '\\': *out += '\\'; break;
      default:
        *problem = next == '\0' ? "a backslash ends the field"
                                : std::string("unknown escape \\") + next;
        *problem += " (\\t \\n \\r \\\\ are known; a backslash itself is \\\\)";
        return false;
    }
    run = i + 2;
  }
  out->append(field.substr(run));
  return true;
}

bool ReadTsvList(std::string_view bytes, WordList* list, ListError* error) {
  std::array<std::string_view, kMaxColumns + 1> fields;
  return ForEachLine(bytes, [&](std::string_view line, size_t number) {
    auto fail = [&](std::string message) {
      *error = {number, std::move(message)};
      return false;
    };
    if (line.empty()) return true;
    if (const size_t bad = FindBadUtf8(line); bad != std::string_view::npos) {
      return fail("not valid UTF-8 (byte " + std::to_string(bad + 1) + " of the line)");
    }
    size_t count = 0;
    for (size_t start = 0;;) {
      const size_t tab = line.find('\t', start);
      if (count == fields.size()) break;
      fields[count++] = line.substr(start, tab - start);
      if (tab == std::string_view::npos) break;
      start = tab + 1;
    }
    if (count > kMaxColumns) {
      return fail("more than 5 fields (headword, translation, example, pronunciation, attribute)");
    }
    if (number == 1 && std::all_of(fields.begin(), fields.begin() + count, IsColumnName)) {
      return true;  // column names
    }
    if (count < 2) {
      return fail("1 field; a line needs at least a headword and a translation, with a TAB "
                  "between them");
    }
    Record& r = list->records.emplace_back();
    list->lines.push_back(static_cast<uint32_t>(number));
    std::string problem;
    std::string* texts[] = {&r.headword, &r.translation, &r.example, &r.pronunciation};
    for (size_t i = 0; i < count && i < 4; ++i) {
      if (!Unescape(fields[i], texts[i], &problem)) return fail(problem);
    }
    if (r.headword.empty()) return fail("empty headword");
    if (count == kMaxColumns && !fields[4].empty()) {
      unsigned value = 0;
      const std::string_view a = fields[4];
      const auto [end, failed] = std::from_chars(a.data(), a.data() + a.size(), value);
      if (failed != std::errc() || end != a.data() + a.size() || value > 15) {
        return fail("the attribute is a number from 0 to 15, not \"" + std::string(a) + "\"");
      }
      r.attribute = static_cast<uint8_t>(value);
    }
    return true;
  });
}

}  // namespace

bool ReadWordList(std::string_view bytes, ListFormat format, WordList* list, ListError* error) {
  *list = WordList();
  // A byte order mark, as some editors write in front of UTF-8.
  if (format != ListFormat::kEdict && bytes.starts_with("\xEF\xBB\xBF")) bytes.remove_prefix(3);
  switch (format) {
    case ListFormat::kTsv: return ReadTsvList(bytes, list, error);
    case ListFormat::kEdict: return ReadEdictList(bytes, list, error);
    case ListFormat::kJsonl: return ReadJsonlList(bytes, list, error);
  }
  return false;
}

}  // namespace kebu::writer
