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

class RecordBuffers;
namespace record_decoding {
struct IntoBuffers;
}  // namespace record_decoding

// Decodes `record` of a BOCU-1 (`bocu`) or code page 932 dictionary into
// *text: each text cut at its capacity (see DecodeText), ending before its
// first zero unit; a text of length 0 is empty. The strings of *text are
// decoded over what they held (their memory is used again). Every text is
// checked against the area before it is read: false, with *text cleared,
// when an offset or a length reaches outside `areaSize` bytes (or a text has
// no bytes to point at). Inline, like the rest of the decoder below, so
// that the loops of the readers decode without a call.
inline bool DecodeRecord(const RawRecord& record, bool bocu, const RecordDecoding& decoding,
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
  friend struct record_decoding::IntoBuffers;
  std::u16string_view Text(int i) const { return {buffers_[i].data(), units_[i]}; }

  RecordDecoding decoding_;
  std::vector<char16_t> buffers_[3];  // headword, translation, example: capacity + 1 units
  uint32_t units_[3] = {};
  std::u16string pronunciation_;
  int attribute_ = 0;
  RecordPosition position_;
};

// DecodeRecord into `buffers`, with the decoding they were made for.
inline bool DecodeRecord(const RawRecord& record, bool bocu, RecordBuffers* buffers);

// The decoder itself: one walk over a record's texts, into either place.
namespace record_decoding {

// Whether `length` bytes at `offset` lie inside the area (which has bytes,
// when the text has).
inline bool Inside(const RawRecord& r, int32_t offset, uint16_t length) {
  return length == 0 || (r.area != nullptr && static_cast<uint32_t>(offset) <= r.areaSize &&
                         length <= r.areaSize - static_cast<uint32_t>(offset));
}

// The bytes of a text that Inside accepted (none for an empty text).
inline const uint8_t* At(const RawRecord& r, int32_t offset, uint16_t length) {
  return length == 0 ? nullptr : r.area + offset;
}

// Into the strings of a RecordText, each sized for its text.
struct IntoStrings {
  RecordText* text;
  void Clear() { text->Clear(); }
  void Put(int i, bool bocu, const uint8_t* bytes, uint16_t length, int capacity) {
    std::u16string* out = i == 0 ? &text->headword : i == 1 ? &text->translation : &text->example;
    if (length == 0) {
      out->clear();
    } else {
      DecodeText(bocu, bytes, length, capacity, out);
    }
  }
  std::u16string* Pronunciation() { return &text->pronunciation; }
  void Finish(int attribute, const RecordPosition& position) {
    text->attribute = attribute;
    text->position = position;
  }
};

// Into the buffers of RecordBuffers, made once with room for their capacity.
struct IntoBuffers {
  RecordBuffers* b;
  void Clear() {
    for (uint32_t& n : b->units_) n = 0;
    b->pronunciation_.clear();
    b->attribute_ = 0;
    b->position_ = RecordPosition();
  }
  void Put(int i, bool bocu, const uint8_t* bytes, uint16_t length, int capacity) {
    b->units_[i] = length == 0 ? 0 : DecodeTextInto(bocu, bytes, length, capacity, b->buffers_[i].data());
  }
  std::u16string* Pronunciation() { return &b->pronunciation_; }
  void Finish(int attribute, const RecordPosition& position) {
    b->attribute_ = attribute;
    b->position_ = position;
  }
};

template <typename Out>
bool Decode(const RawRecord& record, bool bocu, const RecordDecoding& decoding, Out out) {
  const RecordFields& f = record.fields;
  const bool withPronunciation = decoding.pronunciation != PronunciationRule::kLeftOut;
  if ((f.headwordLength > 0 && record.headword == nullptr) ||
      !Inside(record, f.translationOffset, f.translationLength) ||
      !Inside(record, f.exampleOffset, f.exampleLength) ||
      (withPronunciation && !Inside(record, f.pronunciationOffset, f.pronunciationLength))) {
    out.Clear();
    return false;
  }
  const TextCapacities& caps = decoding.capacities;
  out.Put(0, bocu, record.headword, f.headwordLength, caps.headword);
  out.Put(1, bocu, At(record, f.translationOffset, f.translationLength), f.translationLength,
          caps.translation);
  out.Put(2, bocu, At(record, f.exampleOffset, f.exampleLength), f.exampleLength, caps.example);
  if (withPronunciation && f.pronunciationLength > 0) {
    DecodePronunciation(bocu, At(record, f.pronunciationOffset, f.pronunciationLength),
                        f.pronunciationLength, caps.pronunciation, decoding.table,
                        decoding.pronunciation == PronunciationRule::kBytes, out.Pronunciation());
  } else if (!out.Pronunciation()->empty()) {
    out.Pronunciation()->clear();
  }
  out.Finish(f.attribute, record.position);
  return true;
}

}  // namespace record_decoding

inline bool DecodeRecord(const RawRecord& record, bool bocu, const RecordDecoding& decoding,
                         RecordText* text) {
  return record_decoding::Decode(record, bocu, decoding, record_decoding::IntoStrings{text});
}

inline bool DecodeRecord(const RawRecord& record, bool bocu, RecordBuffers* buffers) {
  return record_decoding::Decode(record, bocu, buffers->Decoding(),
                                 record_decoding::IntoBuffers{buffers});
}

}  // namespace kebu
