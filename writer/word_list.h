// Word lists read into records for the writer (kebu make, tools/mkdic):
//
//  - TSV (UTF-8): headword, translation, and optionally example,
//    pronunciation, attribute (0..15), separated by TABs; \t \n \r \\ in a
//    field stand for TAB, line feed, carriage return and backslash (what
//    `kebu convert --to tsv` writes). A first line of column names
//    (headword, translation, ...) is passed over, and so are empty lines.
//  - EDICT (EUC-JP): "WORD [READING] /gloss/gloss/.../" or "WORD /gloss/";
//    the reading becomes the pronunciation, the glosses joined by "; " the
//    translation. The file's own first line ("　？？？ /...") is passed over.
//  - JSON Lines (UTF-8): one object a line with "headword" and optionally
//    "translation", "example", "pronunciation" (strings) and "attribute"
//    (0..15); other members are ignored (so `kebu dump --json` reads back).
// A UTF-8 byte order mark in front of a TSV or JSON Lines list is passed
// over.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "writer/dic_writer.h"

namespace kebu::writer {

enum class ListFormat { kTsv, kEdict, kJsonl };

struct WordList {
  std::vector<Record> records;
  std::vector<uint32_t> lines;  // the line (from 1) that each record came from
};

// The first fault of a list: its line (from 1) and what is wrong there.
struct ListError {
  size_t line = 0;
  std::string message;
};

// Reads the whole list; false with *error set at its first bad line.
bool ReadWordList(std::string_view bytes, ListFormat format, WordList* list, ListError* error);

// Calls `take(line, number)` for each line of `text` without its line end
// (LF, or CR LF); stops when `take` returns false.
template <typename Take>
bool ForEachLine(std::string_view text, Take take) {
  size_t number = 0;
  while (!text.empty()) {
    const size_t end = text.find('\n');
    std::string_view line = text.substr(0, end);
    if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
    if (!take(line, ++number)) return false;
    if (end == std::string_view::npos) break;
    text.remove_prefix(end + 1);
  }
  return true;
}

}  // namespace kebu::writer
