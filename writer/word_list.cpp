// Word lists: the columns of TSV and CSV, the TSV reader, and the way in.
#include "writer/word_list.h"

#include <algorithm>
#include <charconv>
#include <new>
#include <utility>

#include "writer/list_formats.h"

namespace kebu::writer {
namespace {

struct ColumnName {
  std::string_view name;  // lower case
  Column column;
};

// The names a first line may give the columns, English and Japanese.
constexpr ColumnName kColumnNames[] = {
    {"headword", Column::kHeadword},       {"word", Column::kHeadword},
    {"entry", Column::kHeadword},          {"見出し", Column::kHeadword},
    {"見出し語", Column::kHeadword},       {"単語", Column::kHeadword},
    {"translation", Column::kTranslation}, {"meaning", Column::kTranslation},
    {"definition", Column::kTranslation},  {"訳語", Column::kTranslation},
    {"訳", Column::kTranslation},          {"意味", Column::kTranslation},
    {"example", Column::kExample},         {"例文", Column::kExample},
    {"用例", Column::kExample},            {"pronunciation", Column::kPronunciation},
    {"reading", Column::kPronunciation},   {"読み", Column::kPronunciation},
    {"読み方", Column::kPronunciation},    {"よみ", Column::kPronunciation},
    {"発音", Column::kPronunciation},      {"ふりがな", Column::kPronunciation},
    {"attribute", Column::kAttribute},     {"属性", Column::kAttribute},
};

// The column a header field names (ASCII case and spaces around it aside).
bool FindColumn(std::string_view field, Column* column) {
  while (!field.empty() && field.front() == ' ') field.remove_prefix(1);
  while (!field.empty() && field.back() == ' ') field.remove_suffix(1);
  std::string lower(field);
  for (char& c : lower) c = static_cast<char>(c >= 'A' && c <= 'Z' ? c + 32 : c);
  for (const ColumnName& n : kColumnNames) {
    if (lower == n.name) {
      *column = n.column;
      return true;
    }
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
        *problem += " (\\t \\n \\r \\\\ are known; a backslash itself is \\\\, or --no-escapes "
                    "takes backslashes as text)";
        return false;
    }
    run = i + 2;
  }
  out->append(field.substr(run));
  return true;
}

}  // namespace

bool Columns::TakeHeader(const std::vector<std::string>& fields, bool required, std::string* problem) {
  std::vector<Column> order;
  bool seen[kColumnCount] = {};
  for (const std::string& field : fields) {
    Column c;
    if (!FindColumn(field, &c)) {
      if (required) {
        *problem = "\"" + field + "\" is not a column name (headword, translation, example, "
                   "pronunciation, attribute; 見出し, 訳語, 例文, 読み, 属性; see kebu make --help)";
      }
      return false;
    }
    bool& s = seen[static_cast<size_t>(c)];
    if (s) {
      if (required) *problem = "the column of \"" + field + "\" is named twice";
      return false;
    }
    s = true;
    order.push_back(c);
  }
  if (!seen[static_cast<size_t>(Column::kHeadword)]) {
    if (required) *problem = "no headword column among the column names";
    return false;
  }
  order_ = std::move(order);
  named_ = true;
  return true;
}

bool Columns::TakeLine(std::vector<std::string>& fields, size_t line, std::string_view separator,
                       WordList* list, std::string* problem) const {
  if (!named_ && fields.size() > kColumnCount) {
    *problem = "more than 5 fields (headword, translation, example, pronunciation, attribute)";
    return false;
  }
  if (named_ && fields.size() > order_.size()) {
    *problem = std::to_string(fields.size()) + " fields, more than the " +
               std::to_string(order_.size()) + " columns the first line names";
    return false;
  }
  if (!named_ && fields.size() < 2) {
    *problem = "1 field; a line needs at least a headword and a translation, with " +
               std::string(separator) + " between them";
    return false;
  }
  Record& r = list->records.emplace_back();
  list->lines.push_back(static_cast<uint32_t>(line));
  for (size_t i = 0; i < fields.size(); ++i) {
    switch (order_[i]) {
      case Column::kHeadword: r.headword = std::move(fields[i]); break;
      case Column::kTranslation: r.translation = std::move(fields[i]); break;
      case Column::kExample: r.example = std::move(fields[i]); break;
      case Column::kPronunciation: r.pronunciation = std::move(fields[i]); break;
      case Column::kAttribute: {
        const std::string& a = fields[i];
        if (a.empty()) break;
        unsigned value = 0;
        const auto [end, failed] = std::from_chars(a.data(), a.data() + a.size(), value);
        if (failed != std::errc() || end != a.data() + a.size() || value > 15) {
          *problem = "the attribute is a number from 0 to 15, not \"" + a + "\"";
          return false;
        }
        r.attribute = static_cast<uint8_t>(value);
        break;
      }
    }
  }
  if (r.headword.empty()) {
    *problem = "empty headword";
    return false;
  }
  return true;
}

bool ReadTsvList(std::string_view text, const ListOptions& options, WordList* list, ListError* error) {
  Columns columns;
  std::vector<std::string> fields;
  bool first = true;
  return ForEachLine(text, [&](std::string_view line, size_t number) {
    std::string problem;
    auto fail = [&] {
      *error = {number, std::move(problem)};
      return false;
    };
    if (line.empty()) return true;
    size_t count = 0;
    for (size_t start = 0;;) {
      const size_t tab = line.find('\t', start);
      if (count == fields.size()) fields.emplace_back();
      const std::string_view field = line.substr(start, tab - start);
      if (!options.escapes) {
        fields[count].assign(field);
      } else if (!Unescape(field, &fields[count], &problem)) {
        return fail();
      }
      ++count;
      if (tab == std::string_view::npos) break;
      start = tab + 1;
    }
    fields.resize(count);
    if (std::exchange(first, false) && columns.TakeHeader(fields, options.header, &problem)) {
      return true;
    }
    if (!problem.empty() || !columns.TakeLine(fields, number, "a TAB", list, &problem)) return fail();
    return true;
  });
}

Result<WordList> ReadWordList(std::string_view bytes, const ListOptions& options, size_t* badLine) {
  *badLine = 0;
  try {
    const Result<std::string> text =
        DecodeListText(bytes, options.encoding, options.format == ListFormat::kEdict, badLine);
    if (!text.IsOk()) return text.GetStatus();
    WordList list;
    // A record a line, mostly: no moving of records while the list grows.
    const size_t lines = static_cast<size_t>(std::count(text->begin(), text->end(), '\n')) + 1;
    list.records.reserve(lines);
    list.lines.reserve(lines);
    ListError error;
    bool ok = false;
    switch (options.format) {
      case ListFormat::kTsv: ok = ReadTsvList(*text, options, &list, &error); break;
      case ListFormat::kCsv: ok = ReadCsvList(*text, options, &list, &error); break;
      case ListFormat::kEdict: ok = ReadEdictList(*text, &list, &error); break;
      case ListFormat::kJsonl: ok = ReadJsonlList(*text, &list, &error); break;
    }
    if (!ok) {
      *badLine = error.line;
      return Status::Corrupt(std::move(error.message));
    }
    return list;
  } catch (const std::bad_alloc&) {
    *badLine = 0;
    return Status::OutOfMemory();
  }
}

}  // namespace kebu::writer
