// One word record into its texts: the one decoder behind a lookup's hits,
// sequential reading, the full-text search's rows and the conversions.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "dictionary/dic_record.h"
#include "dictionary/dic_text.h"
#include "dictionary/limits.h"

namespace kebu {

// A record as it stands in its loaded area, not decoded: valid while the
// area (and, for a lookup's hit, the hit string pool) stays as it is.
struct RawRecord {
  RecordFields fields;
  RecordPosition position;
  const uint8_t* headword = nullptr;  // fields.headwordLength bytes (prefix compression undone)
  const uint8_t* area = nullptr;      // the loaded area; the fields' offsets point into it
  uint32_t areaSize = 0;              // bytes at `area`
};

// How the pronunciation is read when no substitution table is given.
enum class PronunciationRule {
  kText,     // decoded as text like the others (a lookup's hits, the conversions)
  kBytes,    // code page 932: each byte one unit, not converted (sequential
             // reading); BOCU-1: decoded as text
  kLeftOut,  // not decoded; left empty (the plain-text export does not write it)
};

struct RecordDecoding {
  TextCapacities capacities = kWholeTexts;
  PronunciationRule pronunciation = PronunciationRule::kText;
  // The pronunciation goes through this table when one is given (unless
  // left out); see SubstitutionTable.
  const SubstitutionTable* table = nullptr;
};

// Decodes `record` of a BOCU-1 (`bocu`) or code page 932 dictionary into
// *text: each text cut at its capacity (see DecodeText), ending before its
// first zero unit; a text of length 0 is empty. The strings of *text are
// decoded over what they held (their memory is used again). Every text is
// checked against the area before it is read: false, with *text cleared,
// when an offset or a length reaches outside `areaSize` bytes (or a text has
// no bytes to point at).
bool DecodeRecord(const RawRecord& record, bool bocu, const RecordDecoding& decoding,
                  RecordText* text);

// The texts of a record in buffers made once for `decoding`'s capacities,
// for a loop that hands every text straight on (the plain-text export): the
// same decoding as into a RecordText, without a string to size per text.
class RecordBuffers {
 public:
  explicit RecordBuffers(const RecordDecoding& decoding);

  const RecordDecoding& Decoding() const { return decoding_; }
  std::u16string_view Headword() const { return Text(0); }
  std::u16string_view Translation() const { return Text(1); }
  std::u16string_view Example() const { return Text(2); }
  std::u16string_view Pronunciation() const { return pronunciation_; }
  int Attribute() const { return attribute_; }
  const RecordPosition& Position() const { return position_; }

 private:
  friend struct IntoBuffers;
  std::u16string_view Text(int i) const { return {buffers_[i].data(), units_[i]}; }

  RecordDecoding decoding_;
  std::vector<char16_t> buffers_[3];  // headword, translation, example: capacity + 1 units
  uint32_t units_[3] = {};
  std::u16string pronunciation_;
  int attribute_ = 0;
  RecordPosition position_;
};

// DecodeRecord into `buffers`, with the decoding they were made for.
bool DecodeRecord(const RawRecord& record, bool bocu, RecordBuffers* buffers);

}  // namespace kebu
