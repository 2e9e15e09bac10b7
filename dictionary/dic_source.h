// One open dictionary file: the file, its header and its index.
//
// Thread safety: a DicSource does not change after DicReader::Open made it
// (the index loads once, on first use, under its own guard), so the reader
// and any number of cursors on other threads may share it. It lives as long
// as the last of them holds it: a cursor goes on reading after the reader has
// closed or opened another file.
#pragma once

#include <cstdint>

#include "dictionary/dic_file.h"
#include "dictionary/dic_header.h"
#include "dictionary/dic_index.h"

namespace kebu {

struct DicSource {
  DicFile file;
  DicHeader header;
  int32_t versionMajor = 0;
  DicIndex index{file, header};

  bool IsBocu1() const { return header.IsBocu1(); }
};

}  // namespace kebu
