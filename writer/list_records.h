// What kebu make does to the records of a word list before they are built
// into a dictionary: entries for the readings, headwords in the form of the
// version, and the texts checked against what a dictionary holds.
#pragma once

#include <cstddef>

#include "base/status.h"
#include "writer/dic_writer.h"
#include "writer/word_list.h"

namespace kebu::writer {

// The bytes that a translation, an example or a pronunciation holds at most,
// encoded: readers report the length of a text 16 bits wide.
inline constexpr size_t kMaxTextBytes = 65535;

// Adds, for each record with a pronunciation, an entry for each of its
// readings (the pronunciation split at ';') that is not the headword itself:
// found by the reading, showing the headword.
//  - version 6: the search form is the reading folded, the display form the
//    record's headword; translation, example, pronunciation and attribute
//    are the record's.
//  - version 5, which has no search form: the headword is the reading, the
//    translation the record's headword in 【】 and then its translation (as
//    a Japanese dictionary shows the written form behind the kana); example
//    and attribute are the record's, the pronunciation is left out.
// A headword holding a TAB is taken as a version-6 one ("search form TAB
// display form"). The new entries stand behind the others, each with the
// line of its record.
void AddReadingEntries(WordList* list, bool v6);

// Headwords in the form of the version: version 6 "search form TAB display
// form" (a headword holding a TAB is that already), version 5 the display
// form (what follows a TAB, as in the TSV or JSON Lines of a version-6
// dictionary).
void SetHeadwordForms(WordList* list, bool v6);

// The first record that a dictionary cannot hold as it is: a NUL in a text
// (it would end the text there), or a translation, example or pronunciation
// over kMaxTextBytes in `encoding`. The failure (kUnsupported) says which
// text and why; *badLine is the record's line.
Status CheckTexts(const WordList& list, Encoding encoding, size_t* badLine);

}  // namespace kebu::writer
