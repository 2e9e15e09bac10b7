// A full-text query compiled for one dictionary encoding: the units it is
// compared as, and a byte test that rules out most texts before they are
// decoded.
//
// Matching: the query and a text are compared as UTF-16 units; the text
// contains the query when the query is a run of its units. Unless `exact`,
// both sides are folded first, unit by unit (search/fold.h). A text is
// decoded whole and ends before its first zero unit. An empty query, or one
// with a zero unit, matches nothing.
//
// The byte test ("probes"): every way the query can stand in the text's own
// bytes (code page 932 bytes, or BOCU-1 bytes whose meaning depends on the
// character before them) holds one of a few byte strings, compared with
// ASCII letters in either case. Texts that hold none of them, nor a byte
// that could hide one (full-width letters and digits, a BOCU-1 reset), are
// not decoded at all. Texts that pass are decoded and compared in full, so
// the test decides speed, never the answer.
//
// Thread safety: a TextQuery does not change after it is made; any number of
// threads may use one at once, each with a TextScratch of its own.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "search/byte_scan.h"

namespace kebu {

// Per-thread room for decoded texts and for the marks of a record area.
struct TextScratch {
  std::vector<char16_t> units;
  std::vector<uint64_t> marks;
};

class TextQuery {
 public:
  TextQuery(std::u16string_view query, bool exact, bool bocu);
  TextQuery(const TextQuery&) = delete;
  TextQuery& operator=(const TextQuery&) = delete;

  // Whether no text can contain the query (empty, a zero unit, or a unit
  // that code page 932 text never decodes to).
  bool MatchesNothing() const { return nothing_; }
  // The units that are looked for: the query folded, unless exact.
  const std::u16string& Units() const { return units_; }
  bool Exact() const { return exact_; }

  // Whether the dictionary text `bytes` (its own encoding), decoded whole,
  // contains the query.
  bool Contains(const uint8_t* bytes, uint32_t length, TextScratch* scratch) const;
  // Whether decoded units (not folded) contain the query.
  bool ContainsUnits(const char16_t* text, size_t length, TextScratch* scratch) const;

  // Whether `bytes` may contain the query: false only when it cannot.
  bool MayContain(const uint8_t* bytes, size_t length) const;
  // The byte test for all the texts of a record area at once: a text
  // [from, to) of the area may contain the query only when
  // DecodesAll() || AnyMark(*marks, from, to).
  void MarkArea(const uint8_t* area, size_t size, std::vector<uint64_t>* marks) const;
  // Contains without the byte test (for texts that passed it).
  bool DecodedContains(const uint8_t* bytes, uint32_t length, TextScratch* scratch) const;

  // What the byte test looks for, for tests and the benchmark's report.
  // A byte string that a text must hold; each byte may also be the one at
  // the same place in `other` (the upper case of a caseless letter).
  struct Probe {
    std::string bytes;
    std::string other;
  };
  const std::vector<Probe>& Probes() const { return probes_; }
  // Texts holding bytes of this class are always decoded.
  using Hidden = ByteClass;
  Hidden HiddenBytes() const { return hidden_; }
  // No byte test could be made: every text is decoded.
  bool DecodesAll() const { return probes_.empty(); }

 private:
  void MakeProbes();
  bool FindUnits(const char16_t* text, size_t length) const;

  std::u16string units_;
  bool exact_;
  bool bocu_;
  bool nothing_ = false;
  std::vector<Probe> probes_;
  std::vector<ProbeBytes> probeBytes_;  // the probes' bytes as the byte test takes them
  Hidden hidden_ = Hidden::kNone;
};

}  // namespace kebu
