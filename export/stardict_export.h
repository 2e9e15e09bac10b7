// A dictionary as a StarDict dictionary (version 2.4.2 of that format) in a
// folder of its own:
//
//   NAME.ifo      bookname, wordcount, synwordcount, idxfilesize,
//                 sametypesequence=m (every entry one plain text)
//   NAME.idx      the words, sorted as StarDict's readers search them
//                 (ASCII case folded, then bytewise), each with the 32-bit
//                 big-endian offset and size of its text
//   NAME.dict.dz  the texts in file order: translation, and a line feed and
//                 the example when there is one; compressed in dictzip form
//   NAME.syn      version 6: the search form of every headword whose display
//                 form differs from it, pointing at its entry
//
// Each record is an entry of its own, also when headwords repeat; the word
// is the display form. Words are cut to the 255 bytes the format allows.
// The pronunciation and the attribute have no place in a plain text entry
// and are left out.
#pragma once

#include <memory>
#include <string>

#include "base/status.h"
#include "dictionary/dic_source.h"
#include "export/output.h"

namespace kebu {

struct StarDictOptions {
  std::string name;  // bookname and the files' name (a '/' in it becomes '_')
  int compressionLevel = 6;
  int threads = 2;  // compressing workers
};

// The name a StarDict dictionary takes from the dictionary's path: its file
// name without the extension.
std::string StarDictNameFromPath(const std::string& path);

// Writes the whole dictionary `source` into the folder `folder`, which must
// not exist yet or be an empty folder (which it replaces). The files are
// made in a temporary folder beside it, which is renamed to `folder` when
// complete: a failed or cancelled conversion leaves nothing behind and
// changes nothing. Results as in export/output.h; kInvalidArgument also when
// `folder` exists and is not an empty folder.
Status ExportStarDict(const std::shared_ptr<const DicSource>& source, const std::string& folder,
                      const StarDictOptions& options, const ExportHooks& hooks,
                      ExportStats* stats);

}  // namespace kebu
