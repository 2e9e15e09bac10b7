// English base forms: WordNet's exception lists (irregular inflections:
// went -> go, mice -> mouse, better -> good) and the regular suffix rules
// (studies -> study, boxes -> box, running -> run, hoped -> hope).
// Words are lower-case UTF-8; every form is only a candidate, kept by the
// caller where a dictionary has it as a headword.
#pragma once

#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "base/status.h"

namespace kebu::forms {

class ExceptionLists {
 public:
  // Reads noun.exc, verb.exc, adj.exc and adv.exc from `folder`: lines of an
  // inflected form and its base forms, separated by spaces, '_' standing for
  // a space inside one. NotFound when none of the four can be read; a
  // missing one is passed over, a line with one field ignored.
  Status Load(const std::string& folder);
  // The base forms of `word` in the lists' order (noun, verb, adjective,
  // adverb), without repeats; null when it has none.
  const std::vector<std::string>* Find(std::string_view word) const;
  size_t Size() const { return bases_.size(); }

 private:
  std::unordered_map<std::string, std::vector<std::string>> bases_;
};

// The forms that the regular rules give for `word`, the likelier first: a
// possessive 's removed; -ies -> -y, -ves -> -f/-fe, -es (after s, x, z,
// ch, sh, o), -men -> -man, -s; -ed, -ing, -er, -est removed, with -i- back
// to -y, -ying to -ie, a doubled consonant undoubled (running -> run) and an
// e put back (hoped -> hope; first where the stem ends in one vowel and one
// consonant). Stems shorter than two letters are not given; nor is `word`.
std::vector<std::string> SuffixForms(std::string_view word);

}  // namespace kebu::forms
