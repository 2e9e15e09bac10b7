// The text of a word list, whatever encoding and line ends it came in with:
// UTF-8, each line ended by LF.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

#include "base/status.h"

namespace kebu::writer {

enum class InputEncoding { kAuto, kUtf8, kEucJp, kShiftJis, kUtf16 };

// Decodes the bytes of a word list into UTF-8 lines, each ended by LF
// whatever ended it in the file (LF, CR LF, or CR alone); a last line
// without an end gets none.
//  - kAuto: a byte order mark decides (EF BB BF: UTF-8; FF FE, FE FF:
//    UTF-16 little- or big-endian); without one the text is UTF-8 when all
//    of it is well-formed UTF-8, else EUC-JP when all of it is EUC-JP.
//  - A named encoding is taken as it is, a byte order mark of its own passed
//    over; UTF-16 without one is little-endian (as Windows writes it);
//    Shift_JIS is read through the code page 932 table (codec/cp932.h),
//    EUC-JP through codec/euc_jp.h.
// A failure (kCorrupt) says what is wrong and sets *badLine to its line
// (from 1). With kAuto, when neither UTF-8 nor EUC-JP reads all of the text,
// the failure told is that of the one that read further; on a tie, EUC-JP's
// when `eucJpFirst` (EDICT files), else UTF-8's.
Result<std::string> DecodeListText(std::string_view bytes, InputEncoding encoding,
                                   bool eucJpFirst, size_t* badLine);

}  // namespace kebu::writer
