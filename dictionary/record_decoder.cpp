#include "dictionary/record_decoder.h"

#include <algorithm>

namespace kebu {

namespace {

// Whether `length` bytes at `offset` lie inside the area.
bool Inside(const RawRecord& r, int32_t offset, uint16_t length) {
  if (length == 0) return true;
  return r.area != nullptr && offset >= 0 &&
         static_cast<uint64_t>(offset) + length <= r.areaSize;
}

// The bytes of a text that Inside accepted (none for an empty text).
const uint8_t* At(const RawRecord& r, int32_t offset, uint16_t length) {
  return length == 0 ? nullptr : r.area + offset;
}

// The two places a text goes: a string of a RecordText, sized per text, or
// a buffer of RecordBuffers, made once with room for its capacity.
struct IntoStrings {
  RecordText* text;
  void Clear() { text->Clear(); }
  void Put(int i, bool bocu, const uint8_t* bytes, uint16_t length, int capacity) {
    std::u16string* out[] = {&text->headword, &text->translation, &text->example};
    DecodeText(bocu, bytes, length, capacity, out[i]);
  }
  std::u16string* Pronunciation() { return &text->pronunciation; }
  void Finish(int attribute, const RecordPosition& position) {
    text->attribute = attribute;
    text->position = position;
  }
};

}  // namespace

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

namespace {

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
  if (withPronunciation) {
    DecodePronunciation(bocu, At(record, f.pronunciationOffset, f.pronunciationLength),
                        f.pronunciationLength, caps.pronunciation, decoding.table,
                        decoding.pronunciation == PronunciationRule::kBytes, out.Pronunciation());
  } else if (!out.Pronunciation()->empty()) {
    out.Pronunciation()->clear();
  }
  out.Finish(f.attribute, record.position);
  return true;
}

}  // namespace

bool DecodeRecord(const RawRecord& record, bool bocu, const RecordDecoding& decoding,
                  RecordText* text) {
  return Decode(record, bocu, decoding, IntoStrings{text});
}

RecordBuffers::RecordBuffers(const RecordDecoding& decoding) : decoding_(decoding) {
  const int capacities[] = {decoding.capacities.headword, decoding.capacities.translation,
                            decoding.capacities.example};
  for (int i = 0; i < 3; ++i) buffers_[i].resize(static_cast<size_t>(std::max(capacities[i], 1)) + 1);
}

bool DecodeRecord(const RawRecord& record, bool bocu, RecordBuffers* buffers) {
  return Decode(record, bocu, buffers->Decoding(), IntoBuffers{buffers});
}

}  // namespace kebu
