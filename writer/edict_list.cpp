// EDICT word lists: EUC-JP lines "WORD [READING] /gloss/gloss/.../".
#include <string>

#include "codec/euc_jp.h"
#include "codec/utf8.h"
#include "writer/word_list.h"

namespace kebu::writer {

bool ReadEdictList(std::string_view bytes, WordList* list, ListError* error) {
  std::u16string units;
  std::string utf8;
  return ForEachLine(bytes, [&](std::string_view raw, size_t number) {
    auto fail = [&](std::string message) {
      *error = {number, std::move(message)};
      return false;
    };
    if (raw.empty()) return true;
    units.resize(raw.size());  // a unit a byte at most
    size_t stop = 0;
    units.resize(EucJpToUtf16(raw, units.data(), &stop));
    if (stop < raw.size()) {
      return fail("not EUC-JP text (byte " + std::to_string(stop + 1) + " of the line)");
    }
    utf8 = Utf16ToUtf8(units);
    const std::string_view line = utf8;
    // The file's own first line: "\u3000\uFF1F\uFF1F\uFF1F /EDICT, ...".
    if (number == 1 && line.starts_with("\xE3\x80\x80\xEF\xBC\x9F")) return true;
    const size_t slash = line.find(" /");
    if (slash == std::string_view::npos || slash == 0 || line.back() != '/') {
      return fail("not an EDICT line (WORD [READING] /gloss/.../)");
    }
    Record& r = list->records.emplace_back();
    list->lines.push_back(static_cast<uint32_t>(number));
    std::string_view head = line.substr(0, slash);
    const size_t bracket = head.find(" [");
    if (bracket != std::string_view::npos && head.back() == ']') {
      r.pronunciation = head.substr(bracket + 2, head.size() - bracket - 3);
      head = head.substr(0, bracket);
    }
    r.headword = head;
    std::string_view glosses = line.substr(slash + 2);
    while (!glosses.empty()) {
      const size_t end = glosses.find('/');
      const std::string_view gloss = glosses.substr(0, end);
      if (!gloss.empty()) {
        if (!r.translation.empty()) r.translation += "; ";
        r.translation += gloss;
      }
      if (end == std::string_view::npos) break;
      glosses.remove_prefix(end + 1);
    }
    return true;
  });
}

}  // namespace kebu::writer
