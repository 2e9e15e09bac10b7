// Buffers for the four texts of one record, with the capacities that the
// window, the export and the command-line tool read texts with.
#pragma once

#include <vector>

#include "dictionary/dic_reader.h"

namespace kebu {

// Capacities in UTF-16 units; each buffer has two units more, as the reader
// asks.
inline constexpr int kHeadwordCapacity = 1024;
inline constexpr int kTranslationCapacity = 3000;
inline constexpr int kExampleCapacity = 20000;
inline constexpr int kPronunciationCapacity = 1000;

struct TextBuffers {
  std::vector<char16_t> headword = std::vector<char16_t>(kHeadwordCapacity + 2);
  std::vector<char16_t> translation = std::vector<char16_t>(kTranslationCapacity + 2);
  std::vector<char16_t> example = std::vector<char16_t>(kExampleCapacity + 2);
  std::vector<char16_t> pronunciation = std::vector<char16_t>(kPronunciationCapacity + 2);
  int attribute = 0;

  // Hit i of the last lookup, without a substitution table.
  int FetchHit(DicReader& reader, int i) {
    return reader.GetHit(i, headword.data(), kHeadwordCapacity, translation.data(),
                         kTranslationCapacity, example.data(), kExampleCapacity,
                         pronunciation.data(), kPronunciationCapacity, &attribute, nullptr);
  }
  // The next record in file order, without a substitution table. Without
  // `withPronunciation` the pronunciation is not converted.
  int ReadNext(DicReader& reader, RecordPosition* position, TextLengths* lengths = nullptr,
               bool withPronunciation = true) {
    return reader.ReadNext(headword.data(), kHeadwordCapacity, translation.data(),
                           kTranslationCapacity, example.data(), kExampleCapacity,
                           withPronunciation ? pronunciation.data() : nullptr,
                           kPronunciationCapacity, &attribute, nullptr, position, lengths);
  }
};

}  // namespace kebu
