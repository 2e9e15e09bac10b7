// Word list text: byte order marks, encodings and line ends.
#include "writer/list_text.h"

#include <new>

#include "codec/cp932.h"
#include "codec/euc_jp.h"
#include "codec/utf8.h"

namespace kebu::writer {
namespace {

// What stopped a decoding: the line (from 1) and what is wrong there.
struct Failure {
  size_t line = 0;
  std::string what;
};

bool IsLineEnd(char16_t c) { return c == u'\n' || c == u'\r'; }

// Calls take(line, number) for each line of `text` (bytes or units) without
// its end: LF, CR LF, or CR alone. Stops at the first `take` that fails.
template <typename Text, typename Take>
bool ForEachLineOf(Text text, Take take) {
  size_t number = 0, start = 0;
  const size_t n = text.size();
  while (start < n) {
    size_t end = start;
    while (end < n && !IsLineEnd(static_cast<char16_t>(text[end]))) ++end;
    if (!take(text.substr(start, end - start), ++number)) return false;
    start = end + 1;
    if (end + 1 < n && text[end] == '\r' && text[end + 1] == '\n') ++start;
  }
  return true;
}

// The line (from 1) that holds the byte at `offset`.
size_t LineOf(std::string_view text, size_t offset) {
  size_t line = 1;
  for (size_t i = 0; i < offset; ++i) {
    if (text[i] == '\n' || (text[i] == '\r' && (i + 1 == text.size() || text[i + 1] != '\n'))) ++line;
  }
  return line;
}

std::string ByteOf(size_t offset) { return "byte " + std::to_string(offset + 1) + " of the line"; }

// Appends `count` units as UTF-8 and a line feed.
void AppendLine(const char16_t* units, size_t count, std::string* out) {
  const size_t at = out->size();
  out->resize(at + count * 3 + 1);
  const uint32_t n = Utf16ToUtf8(units, static_cast<uint32_t>(count), reinterpret_cast<uint8_t*>(out->data() + at));
  out->resize(at + n);
  out->push_back('\n');
}

// `checked`: the bytes are known to be well-formed already.
bool DecodeUtf8(std::string_view bytes, bool checked, std::string* out, Failure* failure) {
  return ForEachLineOf(bytes, [&](std::string_view line, size_t number) {
    if (const size_t bad = checked ? std::string_view::npos : FindBadUtf8(line); bad != std::string_view::npos) {
      *failure = {number, "not UTF-8 text (" + ByteOf(bad) + ")"};
      return false;
    }
    out->append(line);
    out->push_back('\n');
    return true;
  });
}

bool DecodeEucJp(std::string_view bytes, std::string* out, Failure* failure) {
  std::u16string units;
  return ForEachLineOf(bytes, [&](std::string_view line, size_t number) {
    units.resize(line.size());  // a unit a byte at most
    size_t stop = 0;
    const size_t n = EucJpToUtf16(line, units.data(), &stop);
    if (stop < line.size()) {
      *failure = {number, "not EUC-JP text (" + ByteOf(stop) + ")"};
      return false;
    }
    AppendLine(units.data(), n, out);
    return true;
  });
}

// Shift_JIS as code page 932 has it; a byte or pair it leaves undefined is
// an error, not a U+FFFD.
bool DecodeShiftJis(std::string_view bytes, std::string* out, Failure* failure) {
  std::u16string units;
  return ForEachLineOf(bytes, [&](std::string_view line, size_t number) {
    units.clear();
    const auto* p = reinterpret_cast<const uint8_t*>(line.data());
    for (size_t i = 0; i < line.size();) {
      const size_t size = p[i] < 0x80 || (p[i] >= 0xA1 && p[i] <= 0xDF) ? 1 : 2;
      char16_t u = 0xFFFD;
      if (i + size <= line.size()) Cp932ToUtf16(p + i, static_cast<int32_t>(size), &u, 1);
      if (u == 0xFFFD) {
        *failure = {number, "not Shift_JIS text (" + ByteOf(i) + ")"};
        return false;
      }
      units.push_back(u);
      i += size;
    }
    AppendLine(units.data(), units.size(), out);
    return true;
  });
}

bool DecodeUtf16(std::string_view bytes, bool bigEndian, std::string* out, Failure* failure) {
  std::u16string units(bytes.size() / 2, u'\0');
  const auto* p = reinterpret_cast<const uint8_t*>(bytes.data());
  for (size_t i = 0; i < units.size(); ++i) {
    units[i] = static_cast<char16_t>(bigEndian ? p[2 * i] << 8 | p[2 * i + 1] : p[2 * i + 1] << 8 | p[2 * i]);
  }
  size_t lines = 0;
  const bool ok = ForEachLineOf(std::u16string_view(units), [&](std::u16string_view line, size_t number) {
    lines = number;
    for (size_t i = 0; i < line.size(); ++i) {
      const char16_t u = line[i];
      if ((u & 0xFC00) == 0xD800 && i + 1 < line.size() && (line[i + 1] & 0xFC00) == 0xDC00) {
        ++i;
      } else if ((u & 0xF800) == 0xD800) {
        *failure = {number, "not UTF-16 text (a lone surrogate at unit " + std::to_string(i + 1) +
                                " of the line)"};
        return false;
      }
    }
    AppendLine(line.data(), line.size(), out);
    return true;
  });
  if (ok && bytes.size() % 2 != 0) {
    *failure = {std::max<size_t>(lines, 1), "not UTF-16 text (an odd number of bytes)"};
    return false;
  }
  return ok;
}

}  // namespace

Result<std::string> DecodeListText(std::string_view bytes, InputEncoding encoding,
                                   bool eucJpFirst, size_t* badLine) {
  try {
    std::string out;
    out.reserve(bytes.size() + bytes.size() / 2);
    Failure failure;
    bool ok = false;
    const bool utf8Mark = bytes.starts_with("\xEF\xBB\xBF");
    const bool leMark = bytes.starts_with("\xFF\xFE"), beMark = bytes.starts_with("\xFE\xFF");
    if (encoding == InputEncoding::kAuto) {
      if (utf8Mark) encoding = InputEncoding::kUtf8;
      if (leMark || beMark) encoding = InputEncoding::kUtf16;
    }
    switch (encoding) {
      case InputEncoding::kUtf8:
        ok = DecodeUtf8(bytes.substr(utf8Mark ? 3 : 0), false, &out, &failure);
        break;
      case InputEncoding::kEucJp:
        ok = DecodeEucJp(bytes, &out, &failure);
        break;
      case InputEncoding::kShiftJis:
        ok = DecodeShiftJis(bytes, &out, &failure);
        break;
      case InputEncoding::kUtf16:
        ok = DecodeUtf16(bytes.substr(leMark || beMark ? 2 : 0), beMark, &out, &failure);
        break;
      case InputEncoding::kAuto: {
        const size_t bad = FindBadUtf8(bytes);
        if (bad == std::string_view::npos) {
          ok = DecodeUtf8(bytes, true, &out, &failure);
          break;
        }
        ok = DecodeEucJp(bytes, &out, &failure);
        if (ok) break;
        const size_t line = LineOf(bytes, bad);
        if (line > failure.line || (line == failure.line && !eucJpFirst)) {
          size_t start = bad;
          while (start > 0 && bytes[start - 1] != '\n' && bytes[start - 1] != '\r') --start;
          failure = {line, "not UTF-8 text (" + ByteOf(bad - start) + ")"};
        }
        failure.what += "; for a list in neither UTF-8 nor EUC-JP, --input-encoding names its "
                        "encoding (shift_jis, utf-16)";
        break;
      }
    }
    if (!ok) {
      *badLine = failure.line;
      return Status::Corrupt(failure.what);
    }
    return out;
  } catch (const std::bad_alloc&) {
    *badLine = 0;
    return Status::OutOfMemory();
  }
}

}  // namespace kebu::writer
