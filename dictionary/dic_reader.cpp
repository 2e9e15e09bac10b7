#include "dictionary/dic_reader.h"

#include <new>
#include <utility>

#include "dictionary/header_report.h"

namespace kebu {

Status DicReader::Open(const std::string& path) {
  if (IsOpen()) return Status::InvalidArgument("a dictionary is open already");
  try {
    auto source = std::make_shared<DicSource>();
    if (Status opened = source->file.Open(path); !opened.IsOk()) return opened;
    uint8_t raw[kHeaderBytes];
    const size_t got = source->file.ReadAt(0, raw, sizeof raw);
    const HeaderStatus status = ReadHeader(raw, got, &header_, &versionMajor_);
    if (status != HeaderStatus::kAccepted) {
      std::string cause = DescribeHeaderStatus(status, header_, got);
      return status == HeaderStatus::kVersionTooLow ? Status::Unsupported(std::move(cause))
                                                    : Status::Corrupt(std::move(cause));
    }
    source->header = header_;
    source->versionMajor = versionMajor_;
    lookup_ = std::make_unique<DicLookup>(source);
    cursor_ = std::make_unique<DicCursor>(source);
    source_ = std::move(source);
  } catch (const std::bad_alloc&) {
    Close();
    return Status::OutOfMemory();
  }
  return Status::Ok();
}

void DicReader::Close() {
  cursor_.reset();
  lookup_.reset();
  source_.reset();
}

bool DicReader::IsDictionaryFile(const std::string& path) const {
  return source_ != nullptr && source_->file.IsSameFile(path);
}

LookupResult DicReader::Lookup(std::u16string_view key, bool wholeWord, int limit) {
  return lookup_ != nullptr ? lookup_->Lookup(key, wholeWord, limit) : LookupResult();
}

LookupResult DicReader::LookupAfter(std::u16string_view key, bool wholeWord,
                                    const RecordPosition& after, int limit) {
  return lookup_ != nullptr ? lookup_->LookupAfter(key, wholeWord, after, limit) : LookupResult();
}

bool DicReader::GetHit(uint32_t i, RecordText* text, const TextCapacities& capacities,
                       const SubstitutionTable* table) {
  return lookup_ != nullptr && lookup_->GetHit(i, text, capacities, table);
}

bool DicReader::GetHit(const RecordPosition& position, RecordText* text,
                       const TextCapacities& capacities, const SubstitutionTable* table) {
  if (lookup_ == nullptr) {
    text->Clear();
    return false;
  }
  return lookup_->GetHit(position, text, capacities, table);
}

void DicReader::ClearHits() {
  if (lookup_ != nullptr) lookup_->ClearHits();
}

void DicReader::DumpHeaderInfo(char* buffer, int32_t capacity) const {
  kebu::DumpHeaderInfo(header_, buffer, capacity);
}

bool DicReader::Rewind() { return cursor_ != nullptr && cursor_->Rewind(); }

bool DicReader::SeekIndexEntry(int32_t n) { return cursor_ != nullptr && cursor_->SeekIndexEntry(n); }

ReadStatus DicReader::ReadNext(RecordText* text, const TextCapacities& capacities,
                               const SubstitutionTable* table) {
  if (cursor_ == nullptr) {
    text->Clear();
    return ReadStatus::kEnd;
  }
  return cursor_->ReadNext(text, capacities, table);
}

std::unique_ptr<DicCursor> DicReader::NewCursor() const {
  return source_ == nullptr ? nullptr : std::make_unique<DicCursor>(source_);
}

std::unique_ptr<DicLookup> DicReader::NewLookup() const {
  return source_ == nullptr ? nullptr : std::make_unique<DicLookup>(source_);
}

}  // namespace kebu
