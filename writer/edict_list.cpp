// EDICT and EDICT2 word lists: "WORD[;WORD...] [READING[;READING...]] /gloss/.../".
#include <algorithm>
#include <string>
#include <vector>

#include "writer/list_formats.h"

namespace kebu::writer {
namespace {

// The parts of `text` between the semicolons that stand outside parentheses.
std::vector<std::string_view> SplitForms(std::string_view text) {
  std::vector<std::string_view> parts;
  int depth = 0;
  size_t start = 0;
  for (size_t i = 0; i <= text.size(); ++i) {
    if (i == text.size() || (text[i] == ';' && depth == 0)) {
      parts.push_back(text.substr(start, i - start));
      start = i + 1;
    } else if (text[i] == '(') {
      ++depth;
    } else if (text[i] == ')' && depth > 0) {
      --depth;
    }
  }
  return parts;
}

// A marker in parentheses: ASCII letters and digits, commas, hyphens ("P",
// "oK", "iK,P", "ateji").
bool IsMarker(std::string_view note) {
  return !note.empty() && std::all_of(note.begin(), note.end(), [](char c) {
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == ',' ||
           c == '-';
  });
}

// A headword or reading without the notes in parentheses at its end:
// markers are dropped; for a reading (`names` given) another note names the
// headwords it belongs to, which go into *names. A headword keeps a note
// that is no marker.
std::string_view TakeNotes(std::string_view form, std::vector<std::string_view>* names) {
  while (form.ends_with(')')) {
    const size_t open = form.rfind('(');
    if (open == std::string_view::npos || open == 0) break;
    const std::string_view note = form.substr(open + 1, form.size() - open - 2);
    if (!IsMarker(note)) {
      if (names == nullptr) break;
      for (std::string_view name : SplitForms(note)) names->push_back(name);
    }
    form = form.substr(0, open);
  }
  return form;
}

// The entry number of EDICT2, "EntL1582710" with an "X" behind when the
// entry has a recording.
bool IsEntryNumber(std::string_view gloss) {
  if (!gloss.starts_with("EntL")) return false;
  gloss.remove_prefix(4);
  if (gloss.ends_with('X')) gloss.remove_suffix(1);
  return !gloss.empty() && std::all_of(gloss.begin(), gloss.end(), [](char c) { return c >= '0' && c <= '9'; });
}

struct Reading {
  std::string_view text;
  std::vector<std::string_view> only;  // the headwords it belongs to; empty: all
};

}  // namespace

bool ReadEdictList(std::string_view text, WordList* list, ListError* error) {
  std::vector<Reading> readings;
  return ForEachLine(text, [&](std::string_view line, size_t number) {
    auto fail = [&](std::string message) {
      *error = {number, std::move(message)};
      return false;
    };
    if (line.empty()) return true;
    // The file's own first line: "\u3000\uFF1F\uFF1F\uFF1F /EDICT, ...".
    if (number == 1 && line.starts_with("\xE3\x80\x80\xEF\xBC\x9F")) return true;
    const size_t slash = line.find(" /");
    if (slash == std::string_view::npos || slash == 0 || line.back() != '/') {
      return fail("not an EDICT line (WORD [READING] /gloss/.../)");
    }
    std::string_view head = line.substr(0, slash);
    std::string_view readingPart;
    if (const size_t bracket = head.find(" ["); bracket != std::string_view::npos && head.back() == ']') {
      readingPart = head.substr(bracket + 2, head.size() - bracket - 3);
      head = head.substr(0, bracket);
    }
    std::string translation;
    std::string_view glosses = line.substr(slash + 2);
    while (!glosses.empty()) {
      const size_t end = glosses.find('/');
      const std::string_view gloss = glosses.substr(0, end);
      if (!gloss.empty() && gloss != "(P)" && !IsEntryNumber(gloss)) {
        if (!translation.empty()) translation += "; ";
        translation += gloss;
      }
      if (end == std::string_view::npos) break;
      glosses.remove_prefix(end + 1);
    }
    readings.clear();
    for (std::string_view form : SplitForms(readingPart)) {
      Reading r;
      r.text = TakeNotes(form, &r.only);
      if (!r.text.empty()) readings.push_back(std::move(r));
    }
    bool any = false;
    for (std::string_view form : SplitForms(head)) {
      const std::string_view word = TakeNotes(form, nullptr);
      if (word.empty()) continue;
      Record& record = list->records.emplace_back();
      list->lines.push_back(static_cast<uint32_t>(number));
      record.headword = word;
      record.translation = translation;
      for (const Reading& r : readings) {
        if (!r.only.empty() && std::find(r.only.begin(), r.only.end(), word) == r.only.end()) continue;
        if (!record.pronunciation.empty()) record.pronunciation += "; ";
        record.pronunciation += r.text;
      }
      any = true;
    }
    return any || fail("no headword in front of the glosses");
  });
}

}  // namespace kebu::writer
