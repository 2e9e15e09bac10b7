// The fifteen-line header report.
#pragma once

#include <cstdint>

#include "dictionary/dic_header.h"

namespace kebu {

// Writes the report of `header` into `buffer` (ASCII, CR LF line ends, one
// terminating zero). Line 1 is always written; each further line only while
// the text so far is shorter than capacity - 255. Bytes behind the
// terminator are left alone.
void DumpHeaderInfo(const DicHeader& header, char* buffer, int32_t capacity);

}  // namespace kebu
