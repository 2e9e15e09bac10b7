// Inside the writer: the readers of the word list formats (word_list.h),
// each over the list's text as UTF-8 lines ended by LF.
#pragma once

#include <array>
#include <string>
#include <string_view>
#include <vector>

#include "writer/word_list.h"

namespace kebu::writer {

// The first fault of a list: its line (from 1) and what is wrong there.
struct ListError {
  size_t line = 0;
  std::string message;
};

bool ReadTsvList(std::string_view text, const ListOptions& options, WordList* list, ListError* error);
bool ReadCsvList(std::string_view text, const ListOptions& options, WordList* list, ListError* error);
bool ReadEdictList(std::string_view text, WordList* list, ListError* error);
bool ReadJsonlList(std::string_view text, WordList* list, ListError* error);

// Calls `take(line, number)` for each line of `text` without its LF; stops
// when `take` returns false.
template <typename Take>
bool ForEachLine(std::string_view text, Take take) {
  size_t number = 0;
  while (!text.empty()) {
    const size_t end = text.find('\n');
    if (!take(text.substr(0, end), ++number)) return false;
    if (end == std::string_view::npos) break;
    text.remove_prefix(end + 1);
  }
  return true;
}

// The columns of TSV and CSV lines, in the order of the fields: by default
// headword, translation, example, pronunciation, attribute.
enum class Column { kHeadword, kTranslation, kExample, kPronunciation, kAttribute };
inline constexpr size_t kColumnCount = 5;

class Columns {
 public:
  // Whether `fields` (a first line) are all column names, none twice, the
  // headword's among them; then they name the columns. With `required`
  // (ListOptions::header) a field that is not is an error.
  bool TakeHeader(const std::vector<std::string>& fields, bool required, std::string* problem);
  // One line's fields (escapes undone) as a record of `list`, from `line`;
  // false with *problem set. `separator` names what separates the fields
  // ("a TAB") for the message.
  bool TakeLine(std::vector<std::string>& fields, size_t line, std::string_view separator,
                WordList* list, std::string* problem) const;

 private:
  std::vector<Column> order_ = {Column::kHeadword, Column::kTranslation, Column::kExample,
                                Column::kPronunciation, Column::kAttribute};
  bool named_ = false;
};

}  // namespace kebu::writer
