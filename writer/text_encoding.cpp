// Text for dictionaries: ICU conversions and the version-6 key folding.
#include <unicode/ucnv.h>
#include <unicode/ucnv_cb.h>
#include <unicode/ustring.h>

#include <array>
#include <stdexcept>
#include <string>

#include "writer/dic_writer.h"

namespace kebu::writer {
namespace {

void Check(UErrorCode status, const char* what) {
  if (U_FAILURE(status)) {
    throw std::runtime_error(std::string(what) + ": " + u_errorName(status));
  }
}

// Writes '?' for every character that the code page lacks and counts it. A
// surrogate pair arrives as one code point, so it becomes one '?'.
void SubstituteAndCount(const void* context, UConverterFromUnicodeArgs* args,
                        const UChar*, int32_t, UChar32,
                        UConverterCallbackReason reason, UErrorCode* status) {
  if (reason > UCNV_IRREGULAR) return;  // reset, close, clone
  ++*static_cast<size_t*>(const_cast<void*>(context));
  *status = U_ZERO_ERROR;
  ucnv_cbFromUWriteBytes(args, "?", 1, 0, status);
}

// One pair of open converters per thread, reused for every string.
struct Converters {
  UConverter* cp932 = nullptr;
  UConverter* bocu1 = nullptr;
  size_t substitutions = 0;  // counter behind the code page 932 callback

  Converters() {
    UErrorCode status = U_ZERO_ERROR;
    // The Windows code page 932 table: 5C is the backslash, 8160 is U+FF5E.
    cp932 = ucnv_open("ibm-943_P15A-2003", &status);
    Check(status, "ucnv_open(ibm-943_P15A-2003)");
    ucnv_setFromUCallBack(cp932, SubstituteAndCount, &substitutions, nullptr,
                          nullptr, &status);
    Check(status, "ucnv_setFromUCallBack");
    bocu1 = ucnv_open("BOCU-1", &status);
    Check(status, "ucnv_open(BOCU-1)");
  }
  ~Converters() {
    ucnv_close(cp932);
    ucnv_close(bocu1);
  }
};

Converters& ThreadConverters() {
  thread_local Converters converters;
  return converters;
}

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

// `utf8` as UTF-16 in the thread's buffer (valid until the next call).
std::u16string_view ScratchUnits(std::string_view utf8) {
  std::u16string& units = ThreadScratch().units;
  if (units.size() < utf8.size() + 1) units.resize(utf8.size() + 1);
  int32_t n = 0;
  UErrorCode status = U_ZERO_ERROR;
  u_strFromUTF8WithSub(units.data(), static_cast<int32_t>(units.size()), &n, utf8.data(),
                       static_cast<int32_t>(utf8.size()), 0xFFFD, nullptr, &status);
  Check(status, "u_strFromUTF8WithSub");
  return std::u16string_view(units.data(), static_cast<size_t>(n));
}

std::string FromUnits(UConverter* converter, std::u16string_view units,
                      int32_t max_bytes_per_unit) {
  std::string& out = ThreadScratch().bytes;
  const size_t room = units.size() * max_bytes_per_unit + 8;
  if (out.size() < room) out.resize(room);
  UErrorCode status = U_ZERO_ERROR;
  int32_t n = ucnv_fromUChars(converter, out.data(),
                              static_cast<int32_t>(out.size()), units.data(),
                              static_cast<int32_t>(units.size()), &status);
  if (status == U_STRING_NOT_TERMINATED_WARNING) status = U_ZERO_ERROR;
  Check(status, "ucnv_fromUChars");
  return std::string(out.data(), static_cast<size_t>(n));
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

void AppendUtf16(std::string_view utf8, std::u16string* out) {
  out->append(ScratchUnits(utf8));
}

std::u16string Utf8ToUtf16(std::string_view utf8) {
  std::u16string out(utf8.size() + 1, u'\0');
  int32_t n = 0;
  UErrorCode status = U_ZERO_ERROR;
  u_strFromUTF8WithSub(out.data(), static_cast<int32_t>(out.size()), &n,
                       utf8.data(), static_cast<int32_t>(utf8.size()), 0xFFFD,
                       nullptr, &status);
  Check(status, "u_strFromUTF8WithSub");
  out.resize(n);
  return out;
}

std::string Utf16ToUtf8(std::u16string_view units) {
  std::string out(units.size() * 3 + 1, '\0');
  int32_t n = 0;
  UErrorCode status = U_ZERO_ERROR;
  u_strToUTF8WithSub(out.data(), static_cast<int32_t>(out.size()), &n,
                     units.data(), static_cast<int32_t>(units.size()), 0xFFFD,
                     nullptr, &status);
  Check(status, "u_strToUTF8WithSub");
  out.resize(n);
  return out;
}

std::string EncodeCp932(std::string_view utf8, size_t* substitutions) {
  Converters& c = ThreadConverters();
  c.substitutions = 0;
  std::string out = FromUnits(c.cp932, ScratchUnits(utf8), 2);
  if (substitutions != nullptr) *substitutions += c.substitutions;
  return out;
}

std::string EncodeBocu1(std::u16string_view units) {
  return FromUnits(ThreadConverters().bocu1, units, 4);
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
  std::u16string out(bytes.size() * 2 + 2, u'\0');
  UErrorCode status = U_ZERO_ERROR;
  int32_t n = ucnv_toUChars(ThreadConverters().bocu1, out.data(),
                            static_cast<int32_t>(out.size()), bytes.data(),
                            static_cast<int32_t>(bytes.size()), &status);
  if (status == U_STRING_NOT_TERMINATED_WARNING) status = U_ZERO_ERROR;
  Check(status, "ucnv_toUChars(BOCU-1)");
  out.resize(n);
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

std::string V6Headword(std::string_view display_utf8) {
  return FoldKeyV6(display_utf8) + "\t" + std::string(display_utf8);
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
