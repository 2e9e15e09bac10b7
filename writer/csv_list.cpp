// CSV word lists (RFC 4180): fields separated by commas, quoted fields with
// commas, line breaks and doubled quotes inside.
#include <string>
#include <utility>
#include <vector>

#include "writer/list_formats.h"

namespace kebu::writer {

bool ReadCsvList(std::string_view text, const ListOptions& options, WordList* list, ListError* error) {
  Columns columns;
  std::vector<std::string> fields;
  bool first = true;
  size_t line = 1, at = 0;
  while (at < text.size()) {
    const size_t startLine = line;
    std::string problem;
    auto fail = [&](size_t where) {
      *error = {where, std::move(problem)};
      return false;
    };
    // One record: fields up to the LF that is not inside quotes.
    fields.assign(1, std::string());
    bool recordEnded = false;
    while (!recordEnded && at < text.size()) {
      std::string& field = fields.back();
      if (text[at] == '"' && field.empty()) {
        const size_t quoteLine = line;
        for (++at;; ++at) {
          if (at == text.size()) {
            problem = "the quoted field that begins here does not end (no closing \")";
            return fail(quoteLine);
          }
          if (text[at] == '"') {
            if (at + 1 < text.size() && text[at + 1] == '"') {
              field += '"';
              ++at;
              continue;
            }
            ++at;
            break;
          }
          if (text[at] == '\n') ++line;
          field += text[at];
        }
        if (at < text.size() && text[at] != ',' && text[at] != '\n') {
          problem = "text after the closing quote of a field (a \" inside a quoted field is "
                    "written \"\")";
          return fail(line);
        }
        continue;
      }
      const size_t end = text.find_first_of(",\n", at);
      field.append(text.substr(at, end - at));
      at = end == std::string_view::npos ? text.size() : end + 1;
      if (end == std::string_view::npos || text[end] == '\n') {
        recordEnded = true;
        if (end != std::string_view::npos) ++line;
      } else {
        fields.emplace_back();
      }
    }
    if (fields.size() == 1 && fields[0].empty()) continue;  // an empty line
    if (std::exchange(first, false) && columns.TakeHeader(fields, options.header, &problem)) continue;
    if (!problem.empty() || !columns.TakeLine(fields, startLine, "a comma", list, &problem)) {
      return fail(startLine);
    }
  }
  return true;
}

}  // namespace kebu::writer
