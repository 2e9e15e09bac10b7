// A dictionary as a StarDict dictionary (version 2.4.2 of that format) in a
// folder of its own:
//
//   NAME.ifo      bookname, wordcount, synwordcount, idxfilesize,
//                 sametypesequence=m (every entry one plain text)
//   NAME.idx      the words, sorted as StarDict's readers search them
//                 (ASCII case folded, then bytewise), each with the 32-bit
//                 big-endian offset and size of its article; each word once
//   NAME.dict.dz  the articles, compressed in dictzip form
//   NAME.syn      version 6: the search forms that find an entry its words
//                 do not already find (see below), pointing at that entry
//
// The word of an entry is the display form, cut to the 255 bytes the format
// allows (at a character's end). All records with the same word are one
// entry, whose article holds one part for each of them in file order, parts
// separated by an empty line. A part is:
//
//   [pronunciation] (attribute N)   the first line, when the record has a
//                                   pronunciation or an attribute above 0
//   translation
//   example                         on a line of its own, when there is one
//
// A part with none of these texts is the word itself, so that no article is
// empty. Line ends are written LF (CR LF and a lone CR alike); a
// pronunciation stays on its line (its line ends become blanks).
//
// A search form is written to the .syn file, pointing at its record's entry,
// only when no other entry's word equals it with ASCII case ignored
// (StarDict's readers sort and some search with case ignored, so it would
// hide that entry or stand beside it as a second way to the same word), when
// it is not longer than 255 bytes, and once for each entry. One that differs
// from its own entry's word only in case stays: sdcv's exact search tells
// cases apart.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "base/status.h"
#include "dictionary/dic_source.h"
#include "export/output.h"

namespace kebu {

struct StarDictOptions {
  std::string name;  // the bookname, and cleaned (StarDictFileStem) the files' name
  int compressionLevel = 6;
  int threads = 2;  // compressing workers
};

// What a conversion had to change to fit the format.
struct StarDictReport {
  int64_t entries = 0;   // words in the .idx
  int64_t synonyms = 0;  // words in the .syn
  int64_t cutHeadwords = 0;      // records whose word was cut to 255 bytes
  std::string firstCutHeadword;  // the first such word (in file order), whole
};

// The files' name for a dictionary name: valid UTF-8 without control
// characters (each becomes '_'), no '/' (also '_'), no leading dot or blank
// (no hidden file, no "..": "../x" gives "_x"), at most 200 bytes (with
// room for the extensions in a file name); "dictionary" when nothing is left.
std::string StarDictFileStem(const std::string& name);

// The name a StarDict dictionary takes from the dictionary's path: its file
// name without the extension.
std::string StarDictNameFromPath(const std::string& path);

// Writes the whole dictionary `source` into the folder `folder`, which must
// not exist yet or be an empty folder (which it replaces). The files are
// made in a temporary folder beside it, which is renamed to `folder` when
// complete: a failed or cancelled conversion leaves nothing behind and
// changes nothing. What a killed conversion (SIGKILL, a power cut) left
// there, a later conversion to the same folder removes when it starts. Results as in export/output.h; kInvalidArgument also when
// `folder` exists and is not an empty folder. The records are read twice
// (their words, then their texts); a dictionary whose words changed in
// between fails with kIoError. `report`, when given, is filled on Ok.
Status ExportStarDict(const std::shared_ptr<const DicSource>& source, const std::string& folder,
                      const StarDictOptions& options, const ExportHooks& hooks,
                      ExportStats* stats, StarDictReport* report = nullptr);

}  // namespace kebu
