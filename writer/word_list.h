// Word lists read into records for the writer (kebu make, tools/mkdic).
// The bytes are decoded first (writer/list_text.h: byte order mark, UTF-8,
// EUC-JP, Shift_JIS, UTF-16; any line ends), then read as one of:
//
//  - TSV: headword, translation, and optionally example, pronunciation,
//    attribute (0..15), separated by TABs; \t \n \r \\ in a field stand for
//    TAB, line feed, carriage return and backslash (what `kebu convert --to
//    tsv` writes) unless ListOptions::escapes is false. Empty lines are
//    passed over.
//  - CSV (RFC 4180): the same columns separated by commas; a field in double
//    quotes may hold commas, TABs, line breaks and doubled quotes ("" for ").
//    A record that spans lines is numbered by its first line.
//  - TSV and CSV: a first line whose fields are all column names, in English
//    or Japanese (headword/word/見出し, translation/meaning/訳語, example/例文,
//    pronunciation/reading/読み, attribute/属性, ...: kColumnNames), names the
//    columns, which may then stand in any order; ListOptions::header says
//    that the first line does so.
//  - EDICT and EDICT2: "WORD[;WORD...] [READING[;READING...]] /gloss/.../":
//    one record per headword, each with the readings that apply to it (a
//    reading that names its headwords, "にほん(日本)", applies to those
//    alone), joined by "; " as its pronunciation; the glosses joined by "; "
//    as the translation of each. Markers such as (P), (oK), (iK) after a
//    headword or a reading, the gloss "(P)" and the entry number "EntL...X"
//    are left out. The file's own first line ("　？？？ /...") is passed over.
//  - JSON Lines: one object a line with "headword" and optionally
//    "translation", "example", "pronunciation" (strings) and "attribute"
//    (0..15); other members are ignored (so `kebu dump --json` reads back).
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "base/status.h"
#include "writer/dic_writer.h"
#include "writer/list_text.h"

namespace kebu::writer {

enum class ListFormat { kTsv, kCsv, kEdict, kJsonl };

struct ListOptions {
  ListFormat format = ListFormat::kTsv;
  InputEncoding encoding = InputEncoding::kAuto;
  // TSV, CSV: the first line names the columns. Without it a first line is
  // taken as column names only when every field of it is one.
  bool header = false;
  // TSV: backslash escapes; false: a backslash is text (C:\dic).
  bool escapes = true;
};

struct WordList {
  std::vector<Record> records;
  std::vector<uint32_t> lines;  // the line (from 1) that each record came from
};

// Reads the whole list. A failure says what is wrong in its message; *badLine
// is then the line (from 1) at fault, 0 when none is (out of memory).
Result<WordList> ReadWordList(std::string_view bytes, const ListOptions& options, size_t* badLine);

}  // namespace kebu::writer
