// Text for dictionaries: the codec's encoders over UTF-8 input, and the
// version-6 key folding.
#include <array>
#include <string>

#include "codec/bocu1.h"
#include "codec/cp932.h"
#include "codec/utf8.h"
#include "writer/dic_writer.h"

namespace kebu::writer {
namespace {

// Text is converted through buffers that each thread keeps, so that a
// converted text costs one allocation: its own string.
struct Scratch {
  std::u16string units;
  std::string bytes;
};

Scratch& ThreadScratch() {
  thread_local Scratch scratch;
  return scratch;
}

// `utf8` as UTF-16 in the thread's buffer (valid until the next call); an
// ill-formed sequence becomes U+FFFD.
std::u16string_view ScratchUnits(std::string_view utf8) {
  std::u16string& units = ThreadScratch().units;
  units.clear();
  AppendUtf8AsUtf16(utf8, &units);
  return units;
}

// Room for `bytes` in the thread's byte buffer.
uint8_t* ScratchBytes(size_t bytes) {
  std::string& out = ThreadScratch().bytes;
  if (out.size() < bytes) out.resize(bytes);
  return reinterpret_cast<uint8_t*>(out.data());
}

// The 37 pairs: voiced, semi-voiced and small katakana and their plain forms.
constexpr std::array<std::array<char16_t, 2>, 37> kKanaFolding = {{
    {0x30AC, 0x30AB}, {0x30AE, 0x30AD}, {0x30B0, 0x30AF}, {0x30B2, 0x30B1},
    {0x30B4, 0x30B3}, {0x30B6, 0x30B5}, {0x30B8, 0x30B7}, {0x30BA, 0x30B9},
    {0x30BC, 0x30BB}, {0x30BE, 0x30BD}, {0x30C0, 0x30BF}, {0x30C2, 0x30C1},
    {0x30C5, 0x30C4}, {0x30C7, 0x30C6}, {0x30C9, 0x30C8}, {0x30D0, 0x30CF},
    {0x30D3, 0x30D2}, {0x30D6, 0x30D5}, {0x30D9, 0x30D8}, {0x30DC, 0x30DB},
    {0x30D1, 0x30CF}, {0x30D4, 0x30D2}, {0x30D7, 0x30D5}, {0x30DA, 0x30D8},
    {0x30DD, 0x30DB}, {0x30A1, 0x30A2}, {0x30A3, 0x30A4}, {0x30A5, 0x30A6},
    {0x30A7, 0x30A8}, {0x30A9, 0x30AA}, {0x30C3, 0x30C4}, {0x30E3, 0x30E4},
    {0x30E5, 0x30E6}, {0x30E7, 0x30E8}, {0x30EE, 0x30EF}, {0x30F5, 0x30AB},
    {0x30F6, 0x30B1},
}};

}  // namespace

void AppendUtf16(std::string_view utf8, std::u16string* out) { AppendUtf8AsUtf16(utf8, out); }

std::u16string Utf8ToUtf16(std::string_view utf8) { return kebu::Utf8ToUtf16(utf8); }

std::string Utf16ToUtf8(std::u16string_view units) { return kebu::Utf16ToUtf8(units); }

std::string EncodeCp932(std::string_view utf8, size_t* substitutions) {
  const std::u16string_view units = ScratchUnits(utf8);
  uint8_t* out = ScratchBytes(units.size() * 2);
  size_t lost = 0;
  const uint32_t n = Utf16ToCp932Exact(units.data(), static_cast<uint32_t>(units.size()), out, &lost);
  if (substitutions != nullptr) *substitutions += lost;
  return std::string(reinterpret_cast<const char*>(out), n);
}

std::string EncodeBocu1(std::u16string_view units) {
  uint8_t* out = ScratchBytes(units.size() * 3);
  const uint32_t n = Utf16ToBocu1(units.data(), static_cast<uint32_t>(units.size()), out);
  return std::string(reinterpret_cast<const char*>(out), n);
}

std::string EncodeBocu1(std::string_view utf8) {
  return EncodeBocu1(ScratchUnits(utf8));
}

std::string EncodeText(Encoding encoding, std::string_view utf8,
                       size_t* substitutions) {
  return encoding == Encoding::kCp932 ? EncodeCp932(utf8, substitutions)
                                      : EncodeBocu1(utf8);
}

std::u16string DecodeBocu1(std::string_view bytes) {
  // A byte gives at most one code point, two units.
  std::u16string out(bytes.size() * 2 + 1, u'\0');
  out.resize(static_cast<size_t>(Bocu1DecodeUnits(reinterpret_cast<const uint8_t*>(bytes.data()),
                                                  static_cast<int32_t>(bytes.size()), out.data(),
                                                  static_cast<int32_t>(out.size()))));
  return out;
}

std::u16string FoldKeyV6(std::u16string_view key) {
  std::u16string out(key);
  for (char16_t& unit : out) {
    if (unit >= u'A' && unit <= u'Z') {
      unit = static_cast<char16_t>(unit + 0x20);
    } else if (unit == u'-') {
      unit = u' ';
    } else {
      for (const auto& [from, to] : kKanaFolding) {
        if (unit == from) {
          unit = to;
          break;
        }
      }
    }
  }
  return out;
}

std::string FoldKeyV6(std::string_view utf8) {
  return Utf16ToUtf8(FoldKeyV6(std::u16string_view(Utf8ToUtf16(utf8))));
}

std::string V6Headword(std::string_view displayUtf8) {
  return FoldKeyV6(displayUtf8) + "\t" + std::string(displayUtf8);
}

std::string Bocu1LoneUnit(char16_t unit) {
  auto trail = [](int t) {
    static const uint8_t kLow[20] = {0x01, 0x02, 0x03, 0x04, 0x05, 0x06, 0x10,
                                     0x11, 0x12, 0x13, 0x14, 0x15, 0x16, 0x17,
                                     0x18, 0x19, 0x1C, 0x1D, 0x1E, 0x1F};
    return static_cast<char>(t < 20 ? kLow[t] : t + 13);
  };
  const int d = static_cast<int>(unit) - 0x40 - 10513;
  std::string out = "\xFF";
  out += static_cast<char>(0xFB + d / (243 * 243));
  out += trail(d / 243 % 243);
  out += trail(d % 243);
  out += '\xFF';
  return out;
}

}  // namespace kebu::writer
