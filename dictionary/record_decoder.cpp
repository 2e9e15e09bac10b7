#include "dictionary/record_decoder.h"

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

}  // namespace

bool DecodeRecord(const RawRecord& record, bool bocu, const RecordDecoding& decoding,
                  RecordText* text) {
  const RecordFields& f = record.fields;
  const bool withPronunciation = decoding.pronunciation != PronunciationRule::kLeftOut;
  if ((f.headwordLength > 0 && record.headword == nullptr) ||
      !Inside(record, f.translationOffset, f.translationLength) ||
      !Inside(record, f.exampleOffset, f.exampleLength) ||
      (withPronunciation && !Inside(record, f.pronunciationOffset, f.pronunciationLength))) {
    text->Clear();
    return false;
  }
  const TextCapacities& caps = decoding.capacities;
  DecodeText(bocu, record.headword, f.headwordLength, caps.headword, &text->headword);
  DecodeText(bocu, At(record, f.translationOffset, f.translationLength), f.translationLength,
             caps.translation, &text->translation);
  DecodeText(bocu, At(record, f.exampleOffset, f.exampleLength), f.exampleLength, caps.example,
             &text->example);
  if (withPronunciation) {
    DecodePronunciation(bocu, At(record, f.pronunciationOffset, f.pronunciationLength),
                        f.pronunciationLength,
                        caps.pronunciation, decoding.table,
                        decoding.pronunciation == PronunciationRule::kBytes, &text->pronunciation);
  } else {
    text->pronunciation.clear();
  }
  text->attribute = f.attribute;
  text->position = record.position;
  return true;
}

}  // namespace kebu
