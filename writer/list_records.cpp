// Reading entries, headword forms and text checks for kebu make.
#include "writer/list_records.h"

#include <algorithm>
#include <string>
#include <string_view>
#include <vector>

namespace kebu::writer {
namespace {

std::string_view DisplayForm(std::string_view headword) {
  const size_t tab = headword.find('\t');
  return tab == std::string_view::npos ? headword : headword.substr(tab + 1);
}

std::string_view Trimmed(std::string_view s) {
  while (!s.empty() && s.front() == ' ') s.remove_prefix(1);
  while (!s.empty() && s.back() == ' ') s.remove_suffix(1);
  return s;
}

// 70123 as "70,123".
std::string Grouped(size_t n) {
  std::string digits = std::to_string(n);
  for (size_t at = digits.size(); at > 3; at -= 3) digits.insert(at - 3, ",");
  return digits;
}

}  // namespace

void AddReadingEntries(WordList* list, bool v6) {
  std::vector<Record> added;
  std::vector<uint32_t> lines;
  std::vector<std::string_view> done;
  for (size_t i = 0; i < list->records.size(); ++i) {
    const Record& r = list->records[i];
    const std::string_view display = DisplayForm(r.headword);
    done.clear();
    std::string_view rest = r.pronunciation;
    while (!rest.empty()) {
      const size_t semicolon = rest.find(';');
      const std::string_view reading = Trimmed(rest.substr(0, semicolon));
      rest = semicolon == std::string_view::npos ? std::string_view() : rest.substr(semicolon + 1);
      if (reading.empty() || reading == display) continue;
      if (std::find(done.begin(), done.end(), reading) != done.end()) continue;
      done.push_back(reading);
      Record& e = added.emplace_back();
      lines.push_back(list->lines[i]);
      e.example = r.example;
      e.attribute = r.attribute;
      if (v6) {
        e.headword = FoldKeyV6(reading) + "\t" + std::string(display);
        e.translation = r.translation;
        e.pronunciation = r.pronunciation;
      } else {
        e.headword = reading;
        e.translation = "【" + std::string(display) + "】";
        if (!r.translation.empty()) e.translation += " " + r.translation;
      }
    }
  }
  for (size_t i = 0; i < added.size(); ++i) {
    list->records.push_back(std::move(added[i]));
    list->lines.push_back(lines[i]);
  }
}

void SetHeadwordForms(WordList* list, bool v6) {
  for (Record& r : list->records) {
    const bool tab = r.headword.find('\t') != std::string::npos;
    if (v6 && !tab) r.headword = V6Headword(r.headword);
    if (!v6 && tab) r.headword = std::string(DisplayForm(r.headword));
  }
}

Status CheckTexts(const WordList& list, Encoding encoding, size_t* badLine) {
  for (size_t i = 0; i < list.records.size(); ++i) {
    const Record& r = list.records[i];
    const struct {
      const char* name;
      const std::string& text;
    } texts[] = {{"headword", r.headword},
                 {"translation", r.translation},
                 {"example", r.example},
                 {"pronunciation", r.pronunciation}};
    for (const auto& [name, text] : texts) {
      std::string problem;
      if (text.find('\0') != std::string::npos) {
        problem = std::string("a NUL character in the ") + name + ", which would end it there";
      } else if (text.size() > kMaxTextBytes / 3 && text.data() != r.headword.data()) {
        // A character takes at most three times its UTF-8 bytes in BOCU-1
        // (an ASCII letter among kanji) and never more in code page 932.
        const size_t bytes = EncodeText(encoding, text).size();
        if (bytes > kMaxTextBytes) {
          problem = std::string("the ") + name + " takes " + Grouped(bytes) + " bytes in " +
                    (encoding == Encoding::kCp932 ? "code page 932" : "BOCU-1") +
                    "; a text holds at most " + Grouped(kMaxTextBytes);
        }
      }
      if (!problem.empty()) {
        *badLine = list.lines[i];
        return Status::Unsupported(std::move(problem));
      }
    }
  }
  return Status::Ok();
}

}  // namespace kebu::writer
