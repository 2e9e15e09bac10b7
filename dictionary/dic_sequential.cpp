// Reading every record in file order: the records of index entry 0's area,
// then those of entry 1's, and so on.
#include <algorithm>

#include "dictionary/dic_reader.h"

namespace kebu {

int DicReader::Rewind() { return SeekIndexEntry(0); }

int DicReader::SeekIndexEntry(int32_t n) {
  seqEntry_ = n;
  seqBlock_ = 0;
  seqEnded_ = true;
  if (!isOpen_) return -1;
  // Entries behind the index's end mark are no entries: reading stops there.
  if (n < 0 || n >= index_->EntryLimit()) return -1;
  uint8_t key[kMaxKeyLength + 1];
  uint32_t block = 0;
  uint32_t keyLength = 0;
  if (index_->ReadEntry(static_cast<uint32_t>(n), &block, key, &keyLength) != 0) return -1;
  seqBlock_ = static_cast<int32_t>(block);
  if (blocks_->LoadBlock(seqBlock_) != 0) return -1;
  seqEnded_ = false;
  return 0;
}

int DicReader::ReadNext(char16_t* headword, int headwordCapacity,
                        char16_t* translation, int translationCapacity,
                        char16_t* example, int exampleCapacity,
                        char16_t* pronunciation, int pronunciationCapacity,
                        int* attribute, const SubstitutionTable* table,
                        RecordPosition* position, TextLengths* lengths) {
  headword[0] = translation[0] = example[0] = 0;
  if (pronunciation != nullptr) pronunciation[0] = 0;
  if (attribute != nullptr) *attribute = 0;
  TextLengths counted;
  // After the end (or a failure) only Rewind or SeekIndexEntry go on: the
  // read position then stands behind an area's end, not on a record.
  if (!isOpen_ || seqEnded_) return -1;

  uint8_t word[kMaxHeadwordLength + 1];
  RecordFields fields;
  if (blocks_->ParseRecord(word, &fields, position) != 0) {
    seqEnded_ = true;
    if (seqEntry_ >= index_->EntryLimit()) return -1;
    ++seqEntry_;
    if (seqEntry_ >= index_->EntryLimit()) return -1;
    uint8_t key[kMaxKeyLength + 1];
    uint32_t block = 0;
    uint32_t keyLength = 0;
    if (index_->ReadEntry(static_cast<uint32_t>(seqEntry_), &block, key, &keyLength) != 0) {
      return -1;
    }
    seqBlock_ = static_cast<int32_t>(block);
    if (blocks_->LoadBlock(seqBlock_) != 0) return -1;
    if (blocks_->ParseRecord(word, &fields, position) != 0) return -1;
    seqEnded_ = false;
  }
  if (position != nullptr) position->indexEntry = seqEntry_;

  const uint8_t* data = blocks_->GetData();
  DecodeText(word, fields.headwordLength, headword, headwordCapacity, &counted.headword);
  if (fields.translationLength > 0) {
    DecodeText(data + fields.translationOffset, fields.translationLength, translation,
               translationCapacity, &counted.translation);
  }
  if (fields.exampleLength > 0) {
    DecodeText(data + fields.exampleOffset, fields.exampleLength, example, exampleCapacity,
               &counted.example);
  }
  if (fields.pronunciationLength > 0 && pronunciation != nullptr) {
    DecodePronunciation(data + fields.pronunciationOffset, fields.pronunciationLength,
                        pronunciation, pronunciationCapacity, table, true,
                        &counted.pronunciation);
  }
  if (attribute != nullptr) *attribute = fields.attribute;
  if (lengths != nullptr) *lengths = counted;
  return 0;
}

}  // namespace kebu
