#include "forms/english_forms.h"

#include <algorithm>
#include <fstream>

namespace kebu::forms {

namespace {

// Larger files than this are not exception lists (WordNet's are under
// 100 KB); they are passed over rather than read into memory.
constexpr std::streamoff kMaxListBytes = 16 << 20;

void AddUnique(std::vector<std::string>& list, std::string word) {
  if (std::find(list.begin(), list.end(), word) == list.end()) list.push_back(std::move(word));
}

bool IsVowel(char c) { return c == 'a' || c == 'e' || c == 'i' || c == 'o' || c == 'u'; }
bool IsConsonant(char c) { return !IsVowel(c); }  // of the letters of a word

}  // namespace

Status ExceptionLists::Load(const std::string& folder) {
  bases_.clear();
  bool any = false;
  for (const char* name : {"noun.exc", "verb.exc", "adj.exc", "adv.exc"}) {
    std::ifstream in(folder + "/" + name, std::ios::binary | std::ios::ate);
    if (!in || in.tellg() < 0 || in.tellg() > kMaxListBytes) continue;
    in.seekg(0);
    any = true;
    std::string line;
    while (std::getline(in, line)) {
      std::replace(line.begin(), line.end(), '\t', ' ');
      std::vector<std::string> fields;
      for (size_t i = 0; i < line.size();) {
        const size_t end = std::min(line.find(' ', i), line.size());
        if (end > i) fields.push_back(line.substr(i, end - i));
        i = end + 1;
      }
      if (fields.size() < 2) continue;
      for (std::string& f : fields) {
        if (!f.empty() && f.back() == '\r') f.pop_back();
        std::replace(f.begin(), f.end(), '_', ' ');
      }
      std::vector<std::string>& bases = bases_[fields[0]];
      for (size_t i = 1; i < fields.size(); ++i) {
        if (!fields[i].empty() && fields[i] != fields[0]) AddUnique(bases, fields[i]);
      }
    }
  }
  if (!any) return Status::NotFound("no exception list (noun.exc, verb.exc, ...) in " + folder);
  return Status::Ok();
}

const std::vector<std::string>* ExceptionLists::Find(std::string_view word) const {
  const auto it = bases_.find(std::string(word));
  return it == bases_.end() || it->second.empty() ? nullptr : &it->second;
}

std::vector<std::string> SuffixForms(std::string_view w) {
  std::vector<std::string> out;
  auto add = [&](std::string_view stem, std::string_view ending) {
    if (stem.size() < 2) return;
    std::string form(stem);
    form += ending;
    if (form != w) AddUnique(out, std::move(form));
  };
  auto ends = [&](std::string_view s) { return w.size() > s.size() && w.ends_with(s); };
  auto cut = [&](size_t n) { return w.substr(0, w.size() - n); };

  if (ends("'s")) add(cut(2), "");
  if (ends("\u2019s")) add(cut(4), "");
  if (ends("ies")) add(cut(3), "y");
  if (ends("ves")) {
    add(cut(3), "f");
    add(cut(3), "fe");
  }
  if (ends("es")) {
    const std::string_view stem = cut(2);
    for (std::string_view e : {"s", "x", "z", "ch", "sh", "o"}) {
      if (stem.ends_with(e)) add(stem, "");
    }
  }
  if (ends("men")) add(cut(3), "man");
  if (ends("s")) add(cut(1), "");

  for (std::string_view ending : {"ed", "ing", "er", "est"}) {
    if (!ends(ending)) continue;
    const std::string_view s = cut(ending.size());
    const size_t n = s.size();
    if (n < 2) continue;
    const char last = s[n - 1];
    if (ending != "ing" && last == 'i') add(s.substr(0, n - 1), "y");  // studied, happiest
    if (ending == "ing" && last == 'y') add(s.substr(0, n - 1), "ie");  // dying
    if (n >= 3 && last == s[n - 2] && IsConsonant(last)) {
      // A doubled consonant: undoubled first (running, stopped, bigger),
      // except the letters that bases double themselves (called, passed).
      const bool baseDoubles = last == 'l' || last == 's' || last == 'f' || last == 'z';
      if (baseDoubles) add(s, "");
      add(s.substr(0, n - 1), "");
      if (!baseDoubles) add(s, "");
    } else if (IsConsonant(last) && last != 'w' && last != 'x' && last != 'y' && IsVowel(s[n - 2]) &&
               (n < 3 || !IsVowel(s[n - 3]))) {
      // One vowel and one consonant: the e was dropped (hoped, using, nicer).
      add(s, "e");
      add(s, "");
    } else {
      add(s, "");
      add(s, "e");
    }
  }
  return out;
}

}  // namespace kebu::forms
