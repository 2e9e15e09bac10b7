// Text of selected words, unit by unit: what separates and surrounds words,
// which scripts write without spaces, and the few case and kana mappings that
// the dictionary forms need. No locale, no tables beyond these ranges.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace kebu::forms {

// Spaces of every width (ASCII, no-break, U+2000-200B, the ideographic
// space) and line ends.
bool IsSpace(char32_t c);
// Marks that stand around words rather than in them: ASCII punctuation, and
// quotes, brackets, dashes, ellipses and the Japanese and full-width stops,
// commas and brackets (、。「」『』【】（）！？...). Not the long vowel mark ー.
bool IsPunctuation(char32_t c);
// Scripts written without spaces between words: kana and CJK ideographs
// (and 々 〆 ヶ, half-width katakana).
bool IsNoSpaceScript(char32_t c);

// The code point at units[i] (a surrogate pair taken whole, a lone surrogate
// as itself), and how many units it takes.
char32_t CodePointAt(std::u16string_view text, size_t i, size_t* units);

// `text` without spaces, and with `alsoPunctuation` without punctuation,
// at either end.
std::u16string_view Trim(std::u16string_view text, bool alsoPunctuation);

// A run of space-separated text cut into words, each without the
// punctuation around it. The run ends with the first word that had
// punctuation behind it (a comma, a stop, a closing quote) or before the next
// word that has punctuation in front of it: a phrase does not cross them.
std::vector<std::u16string> PhraseWords(std::u16string_view text);

// Letters A-Z, À-Þ (Latin-1) and full-width Ａ-Ｚ to lower case; the rest
// unchanged.
std::u16string ToLower(std::u16string_view text);
// The first letter in upper case (by the same ranges), the rest unchanged.
std::u16string Capitalise(std::u16string_view text);
// Full-width ASCII (U+FF01-FF5E) to ASCII, the ideographic space to a space.
std::u16string NarrowWidth(std::u16string_view text);
// Katakana U+30A1-30F6 to hiragana.
std::u16string ToHiragana(std::u16string_view text);

}  // namespace kebu::forms
