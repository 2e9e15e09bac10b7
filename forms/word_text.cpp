#include "forms/word_text.h"

namespace kebu::forms {

namespace {

bool In(char32_t c, char32_t first, char32_t last) { return c >= first && c <= last; }

char16_t LowerUnit(char16_t c) {
  if (In(c, u'A', u'Z') || In(c, u'Ａ', u'Ｚ') || (In(c, 0xC0, 0xDE) && c != 0xD7)) return c + 0x20;
  return c;
}

char16_t UpperUnit(char16_t c) {
  if (In(c, u'a', u'z') || In(c, u'ａ', u'ｚ') || (In(c, 0xE0, 0xFE) && c != 0xF7)) return c - 0x20;
  return c;
}

template <typename Map>
std::u16string MapUnits(std::u16string_view text, Map map) {
  std::u16string out(text);
  for (char16_t& c : out) c = map(c);
  return out;
}

// The units of the punctuation at the start (or, with `back`, the end) of
// `text`.
size_t PunctuationRun(std::u16string_view text, bool back) {
  size_t n = 0;
  while (n < text.size()) {
    size_t units = 1;
    const char32_t c = back ? CodePointAt(text, text.size() - n - 1, &units) : CodePointAt(text, n, &units);
    if (!IsPunctuation(c)) break;
    n += units;
  }
  return n;
}

}  // namespace

bool IsSpace(char32_t c) {
  return In(c, 0x09, 0x0D) || c == 0x20 || c == 0x85 || c == 0xA0 || In(c, 0x2000, 0x200B) ||
         c == 0x2028 || c == 0x2029 || c == 0x202F || c == 0x205F || c == 0x3000 || c == 0xFEFF;
}

bool IsPunctuation(char32_t c) {
  return In(c, 0x21, 0x2F) || In(c, 0x3A, 0x40) || In(c, 0x5B, 0x60) || In(c, 0x7B, 0x7E) ||
         c == 0xA1 || c == 0xAB || c == 0xB7 || c == 0xBB || c == 0xBF ||
         In(c, 0x2010, 0x2027) || In(c, 0x2030, 0x205E) ||       // dashes, quotes, ellipses
         In(c, 0x3001, 0x3003) || In(c, 0x3008, 0x3011) ||       // 、。〃 〈〉《》「」『』【】
         In(c, 0x3014, 0x301F) || c == 0x30FB ||                 // 〔〕〜〝〟 ・
         In(c, 0xFF01, 0xFF0F) || In(c, 0xFF1A, 0xFF20) ||       // ！＂＃...／ ：；＜＝＞？＠
         In(c, 0xFF3B, 0xFF40) || In(c, 0xFF5B, 0xFF65);         // ［＼］＾＿｀ ｛｜｝～ ｡｢｣､･
}

bool IsNoSpaceScript(char32_t c) {
  return (In(c, 0x3040, 0x30FF) && c != 0x30FB) || c == 0x3005 || c == 0x3006 ||
         In(c, 0x31F0, 0x31FF) || In(c, 0x3400, 0x4DBF) || In(c, 0x4E00, 0x9FFF) ||
         In(c, 0xF900, 0xFAFF) || In(c, 0xFF66, 0xFF9F) || In(c, 0x20000, 0x3134F);
}

char32_t CodePointAt(std::u16string_view text, size_t i, size_t* units) {
  *units = 1;
  const char16_t c = text[i];
  if (In(c, 0xD800, 0xDBFF) && i + 1 < text.size() && In(text[i + 1], 0xDC00, 0xDFFF)) {
    *units = 2;
    return 0x10000 + ((char32_t{c} - 0xD800) << 10) + (text[i + 1] - 0xDC00);
  }
  if (In(c, 0xDC00, 0xDFFF) && i > 0 && In(text[i - 1], 0xD800, 0xDBFF)) {
    // The low half of a pair, read from behind.
    *units = 2;
    return 0x10000 + ((char32_t{text[i - 1]} - 0xD800) << 10) + (c - 0xDC00);
  }
  return c;
}

std::u16string_view Trim(std::u16string_view text, bool alsoPunctuation) {
  auto skip = [&](char32_t c) { return IsSpace(c) || (alsoPunctuation && IsPunctuation(c)); };
  size_t units = 1;
  while (!text.empty() && skip(CodePointAt(text, 0, &units))) text.remove_prefix(units);
  while (!text.empty() && skip(CodePointAt(text, text.size() - 1, &units))) text.remove_suffix(units);
  return text;
}

std::vector<std::u16string> PhraseWords(std::u16string_view text) {
  std::vector<std::u16string> words;
  size_t i = 0;
  while (i < text.size()) {
    size_t units = 1;
    if (IsSpace(CodePointAt(text, i, &units))) {
      i += units;
      continue;
    }
    size_t end = i;
    while (end < text.size() && !IsSpace(CodePointAt(text, end, &units))) end += units;
    std::u16string_view token = text.substr(i, end - i);
    const size_t front = PunctuationRun(token, false);
    if (front == token.size() || (front > 0 && !words.empty())) break;
    token.remove_prefix(front);
    const size_t back = PunctuationRun(token, true);
    words.emplace_back(token.substr(0, token.size() - back));
    if (back > 0) break;
    i = end;
  }
  return words;
}

std::u16string ToLower(std::u16string_view text) { return MapUnits(text, LowerUnit); }

std::u16string Capitalise(std::u16string_view text) {
  std::u16string out(text);
  if (!out.empty()) out[0] = UpperUnit(out[0]);
  return out;
}

std::u16string NarrowWidth(std::u16string_view text) {
  return MapUnits(text, [](char16_t c) -> char16_t {
    if (In(c, 0xFF01, 0xFF5E)) return c - 0xFEE0;
    return c == 0x3000 ? u' ' : c;
  });
}

std::u16string ToHiragana(std::u16string_view text) {
  return MapUnits(text, [](char16_t c) -> char16_t { return In(c, 0x30A1, 0x30F6) ? c - 0x60 : c; });
}

}  // namespace kebu::forms
