// EDICT word lists: EUC-JP lines "WORD [READING] /gloss/gloss/.../".
#include <unicode/ucnv.h>

#include <memory>
#include <string>

#include "writer/word_list.h"

namespace kebu::writer {

namespace {

struct ConverterCloser {
  void operator()(UConverter* c) const { ucnv_close(c); }
};

}  // namespace

bool ReadEdictList(std::string_view bytes, WordList* list, ListError* error) {
  UErrorCode status = U_ZERO_ERROR;
  std::unique_ptr<UConverter, ConverterCloser> euc(ucnv_open("EUC-JP", &status));
  if (U_FAILURE(status)) {
    *error = {0, std::string("no EUC-JP converter: ") + u_errorName(status)};
    return false;
  }
  // A byte sequence that EUC-JP does not have is an error, not a U+FFFD.
  ucnv_setToUCallBack(euc.get(), UCNV_TO_U_CALLBACK_STOP, nullptr, nullptr, nullptr, &status);
  std::string utf8;
  return ForEachLine(bytes, [&](std::string_view raw, size_t number) {
    auto fail = [&](std::string message) {
      *error = {number, std::move(message)};
      return false;
    };
    if (raw.empty()) return true;
    utf8.resize(raw.size() * 3 / 2 + 4);  // EUC-JP: 1 byte to 1, 2 or 3 to 3
    UErrorCode s = U_ZERO_ERROR;
    ucnv_reset(euc.get());
    const int32_t n = ucnv_toAlgorithmic(UCNV_UTF8, euc.get(), utf8.data(),
                                         static_cast<int32_t>(utf8.size()), raw.data(),
                                         static_cast<int32_t>(raw.size()), &s);
    if (U_FAILURE(s)) return fail("not EUC-JP text (" + std::string(u_errorName(s)) + ")");
    utf8.resize(static_cast<size_t>(n));
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
