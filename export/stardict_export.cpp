#include "export/stardict_export.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <iterator>
#include <memory>
#include <new>
#include <string>
#include <unordered_map>
#include <vector>

#include "codec/utf8.h"
#include "dictionary/dic_text.h"
#include "export/atomic_output.h"
#include "export/dictzip_writer.h"
#include "export/record_lines.h"
#include "export/temporary_names.h"

namespace kebu {

namespace {

constexpr int kProgressEvery = 1000;
constexpr size_t kMaxWordBytes = 255;  // "less than 256"
// A file name's 255 bytes leave room for ".dict.dz" and for the temporary
// name that the file is written under.
constexpr size_t kMaxStemBytes = 200;

uint8_t FoldAscii(uint8_t c) { return c >= 'A' && c <= 'Z' ? static_cast<uint8_t>(c + 32) : c; }

// A word of the .idx or the .syn file.
struct Word {
  uint64_t key = 0;     // the first 8 bytes, case folded, big-endian: most comparisons end here
  uint32_t offset = 0;  // in the word arena
  uint32_t length = 0;
  uint32_t record = 0;  // the record's number in file order
  uint32_t target = 0;  // .idx: the article's offset; .syn: the entry's number
  uint32_t size = 0;    // .idx: the article's size
  bool cut = false;     // longer than kMaxWordBytes, cut
};

// ASCII case folded comparison of two words (StarDict's first criterion).
int CompareFoldedBytes(const uint8_t* a, uint32_t na, const uint8_t* b, uint32_t nb) {
  const uint32_t n = std::min(na, nb);
  for (uint32_t i = 0; i < n; ++i) {
    if (FoldAscii(a[i]) != FoldAscii(b[i])) return FoldAscii(a[i]) < FoldAscii(b[i]) ? -1 : 1;
  }
  return na == nb ? 0 : na < nb ? -1 : 1;
}

// Appends `text` as a word: UTF-8, cut to whole characters within
// kMaxWordBytes. True when it was cut.
bool AppendWord(std::u16string_view text, std::string* out) {
  const size_t at = out->size();
  out->resize(at + 3 * text.size());
  size_t length = Utf16ToUtf8(text.data(), static_cast<uint32_t>(text.size()),
                              reinterpret_cast<uint8_t*>(out->data() + at));
  const bool cut = length > kMaxWordBytes;
  if (cut) {
    length = kMaxWordBytes;
    while (length > 0 && (static_cast<uint8_t>((*out)[at + length]) & 0xC0) == 0x80) --length;
  }
  out->resize(at + length);
  return cut;
}

class WordTable {
 public:
  // Adds `text` as a word (AppendWord).
  Word& Add(std::u16string_view text, uint32_t record) {
    const size_t at = arena_.size();
    const bool cut = AppendWord(text, &arena_);
    const size_t length = arena_.size() - at;
    Word& word = words_.emplace_back();
    word.record = record;
    word.offset = static_cast<uint32_t>(at);
    word.length = static_cast<uint32_t>(length);
    word.cut = cut;
    for (size_t i = 0; i < 8; ++i) {
      const uint8_t c = i < length ? FoldAscii(static_cast<uint8_t>(arena_[at + i])) : 0;
      word.key = word.key << 8 | c;
    }
    return word;
  }

  // StarDict's order: ASCII case folded, then bytewise; file order between
  // equal words.
  void Sort() {
    std::sort(words_.begin(), words_.end(), [this](const Word& a, const Word& b) {
      if (a.key != b.key) return a.key < b.key;
      if (const int folded = CompareFolded(a, b)) return folded < 0;
      const int bytes = std::memcmp(Bytes(a), Bytes(b), a.length);
      if (bytes != 0) return bytes < 0;
      return a.record < b.record;
    });
  }

  int CompareFolded(const Word& a, const Word& b) const {
    return a.key != b.key ? (a.key < b.key ? -1 : 1)
                          : CompareFoldedBytes(Bytes(a), a.length, Bytes(b), b.length);
  }
  int CompareFolded(const Word& a, const WordTable& other, const Word& b) const {
    return a.key != b.key ? (a.key < b.key ? -1 : 1)
                          : CompareFoldedBytes(Bytes(a), a.length, other.Bytes(b), b.length);
  }
  bool Same(const Word& a, const Word& b) const {
    return a.length == b.length && std::memcmp(Bytes(a), Bytes(b), a.length) == 0;
  }

  // Keeps the first of each run of equal words (after Sort: of each word).
  void KeepFirstOfEach() {
    words_.erase(std::unique(words_.begin(), words_.end(),
                             [this](const Word& a, const Word& b) { return Same(a, b); }),
                 words_.end());
  }

  std::vector<Word>& Words() { return words_; }
  const std::vector<Word>& Words() const { return words_; }
  std::string_view Text(const Word& word) const {
    return std::string_view(arena_).substr(word.offset, word.length);
  }
  // The file: each word, its zero byte and two 32-bit big-endian numbers
  // (`withSize`) or one.
  std::string File(bool withSize) const {
    std::string out;
    out.reserve(arena_.size() + words_.size() * 9);
    auto put = [&out](uint32_t v) {
      const char bytes[4] = {static_cast<char>(v >> 24), static_cast<char>(v >> 16),
                             static_cast<char>(v >> 8), static_cast<char>(v)};
      out.append(bytes, 4);
    };
    for (const Word& word : words_) {
      out += Text(word);
      out += '\0';
      put(word.target);
      if (withSize) put(word.size);
    }
    return out;
  }

 private:
  const uint8_t* Bytes(const Word& word) const {
    return reinterpret_cast<const uint8_t*>(arena_.data()) + word.offset;
  }

  std::string arena_;
  std::vector<Word> words_;
};

// Appends `text` as UTF-8 with its line ends as LF (CR LF and a lone CR
// alike), or with `oneLine` as blanks.
void AppendText(std::u16string_view text, bool oneLine, std::string* out) {
  const size_t at = out->size();
  out->resize(at + 3 * text.size());
  auto* start = reinterpret_cast<uint8_t*>(out->data() + at);
  const uint32_t n = Utf16ToUtf8(text.data(), static_cast<uint32_t>(text.size()), start);
  uint8_t* to = start;
  for (uint32_t i = 0; i < n; ++i) {
    uint8_t c = start[i];
    if (c == '\r' && i + 1 < n && start[i + 1] == '\n') continue;  // the LF follows
    if (c == '\r' || c == '\n') c = oneLine ? ' ' : '\n';
    *to++ = c;
  }
  out->resize(at + static_cast<size_t>(to - start));
}

// One record's part of its entry's article (see the header).
void AppendPart(const RecordText& text, std::string_view word, std::string* out) {
  const size_t at = out->size();
  if (!text.pronunciation.empty()) {
    *out += '[';
    AppendText(text.pronunciation, true, out);
    *out += ']';
  }
  if (text.attribute > 0) {
    if (out->size() > at) *out += ' ';
    *out += "(attribute " + std::to_string(text.attribute) + ")";
  }
  if (!text.translation.empty() || !text.example.empty()) {
    if (out->size() > at) *out += '\n';
    AppendText(text.translation, false, out);
    if (!text.example.empty()) {
      *out += '\n';
      AppendText(text.example, false, out);
    }
  }
  if (out->size() == at) out->append(word);
}

// Articles being put together: the parts of an entry whose last record is
// still to come. In a sorted dictionary one at a time.
struct Articles {
  std::vector<uint32_t> entryOf;    // by record: its entry's number
  std::vector<uint32_t> lastOf;     // by entry: the record that ends its article
  std::unordered_map<uint32_t, std::string> open;
};

// A line of the .ifo file: valid UTF-8 without line ends.
std::string IfoValue(const std::string& text) {
  std::string value = Utf16ToUtf8(Utf8ToUtf16(text));
  for (char& c : value) {
    if (static_cast<unsigned char>(c) < 0x20) c = ' ';
  }
  return value;
}

// Removes the files in the folder `path`, then the folder (only files are
// made in it: std::filesystem would cost the tool's start for every
// command).
void RemoveFolder(const std::string& path) {
  if (DIR* dir = ::opendir(path.c_str())) {
    while (const dirent* entry = ::readdir(dir)) {
      if (std::strcmp(entry->d_name, ".") != 0 && std::strcmp(entry->d_name, "..") != 0) {
        ::unlinkat(::dirfd(dir), entry->d_name, 0);
      }
    }
    ::closedir(dir);
  }
  ::rmdir(path.c_str());
}

// The extensions of the files made.
constexpr const char* kExtensions[] = {".dict.dz", ".idx", ".syn", ".ifo"};

// The folder of the files being made, removed with them unless Keep. It is
// locked (flock) while in use: a later conversion to the same target tells
// a folder left behind by a killed one (no lock) from one at work, and
// removes the former.
class WorkFolder {
 public:
  ~WorkFolder() {
    if (!path_.empty()) RemoveFolder(path_);
    Keep();
  }
  // Makes the folder beside `target` for files named `stem` and the
  // extensions, after removing what killed conversions to `target` left.
  bool Make(const std::string& target, const std::string& stem) {
    const size_t slash = target.find_last_of('/');
    const std::string parent =
        slash == std::string::npos ? "." : slash == 0 ? "/" : target.substr(0, slash);
    const std::string name = target.substr(slash + 1);
    std::string pattern = TemporaryNameBeside(parent, name, "XXXXXX");
    RemoveLeftovers(parent, pattern.substr(0, pattern.size() - 6));
    pattern = parent + "/" + pattern;
    if (::mkdtemp(pattern.data()) == nullptr) return false;
    path_ = pattern;
    lock_ = ::open(path_.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (lock_ >= 0) ::flock(lock_, LOCK_EX);
    names_[0].Set(path_, true);
    for (size_t i = 0; i < std::size(kExtensions); ++i) {
      names_[i + 1].Set(path_ + "/" + stem + kExtensions[i]);
    }
    return true;
  }
  const std::string& Path() const { return path_; }
  void Keep() {
    path_.clear();
    for (TemporaryName& name : names_) name.Clear();
    if (lock_ >= 0) ::close(lock_);
    lock_ = -1;
  }

 private:
  // Folders "PREFIX" + six characters in `parent` that are ours and that no
  // conversion holds.
  static void RemoveLeftovers(const std::string& parent, const std::string& prefix) {
    DIR* dir = ::opendir(parent.c_str());
    if (dir == nullptr) return;
    while (const dirent* entry = ::readdir(dir)) {
      const std::string name = entry->d_name;
      if (name.size() != prefix.size() + 6 || name.compare(0, prefix.size(), prefix) != 0) continue;
      struct stat st;
      if (::fstatat(::dirfd(dir), entry->d_name, &st, AT_SYMLINK_NOFOLLOW) != 0 ||
          !S_ISDIR(st.st_mode) || st.st_uid != ::getuid()) {
        continue;
      }
      const int held = ::openat(::dirfd(dir), entry->d_name, O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
      if (held < 0) continue;
      if (::flock(held, LOCK_EX | LOCK_NB) == 0) RemoveFolder(parent + "/" + name);
      ::close(held);
    }
    ::closedir(dir);
  }

  std::string path_;
  int lock_ = -1;
  TemporaryName names_[1 + std::size(kExtensions)];
};

Status WriteFile(const std::string& path, const std::string& bytes) {
  AtomicOutput out;
  Status status = out.Create(path);
  if (status.IsOk()) status = out.Write(bytes.data(), bytes.size());
  if (status.IsOk()) status = out.Commit();
  return status;
}

// A target that may be made: none, or an empty folder (not a link to one).
bool TargetIsFree(const std::string& folder) {
  struct stat st;
  if (::lstat(folder.c_str(), &st) != 0) return errno == ENOENT;
  if (!S_ISDIR(st.st_mode)) return false;
  DIR* dir = ::opendir(folder.c_str());
  if (dir == nullptr) return false;
  bool empty = true;
  while (const dirent* entry = ::readdir(dir)) {
    if (std::strcmp(entry->d_name, ".") != 0 && std::strcmp(entry->d_name, "..") != 0) {
      empty = false;
      break;
    }
  }
  ::closedir(dir);
  return empty;
}

// The first pass: every record's word (its display form) into `entries` and
// its search form, where it has one of its own, into `synonyms`; the
// records are numbered in file order.
Status ReadWords(DicCursor& cursor, const ExportHooks& hooks, WordTable* entries,
                       WordTable* synonyms, StarDictReport* report, uint32_t* records,
                       ExportStats* stats) {
  const bool bocu = cursor.Source().IsBocu1();
  const int32_t versionMajor = cursor.Source().versionMajor;
  std::u16string headword;
  RawRecord raw;
  cursor.Rewind();
  for (ReadStatus status; (status = cursor.NextRecord(&raw)) != ReadStatus::kEnd;) {
    if (CancelRequested(hooks)) return Status::Cancelled();
    if (status == ReadStatus::kSkippedArea) {
      ++stats->skippedAreas;
      continue;
    }
    if (*records == UINT32_MAX) {
      return Status::Unsupported("too many records for StarDict's 32-bit numbers");
    }
    DecodeText(bocu, raw.headword, raw.fields.headwordLength, kWholeTexts.headword, &headword);
    const std::u16string_view display = DisplayHeadword(headword, versionMajor);
    const Word& word = entries->Add(display, *records);
    if (word.cut && report->cutHeadwords++ == 0) report->firstCutHeadword = Utf16ToUtf8(display);
    if (display.size() < headword.size()) {
      const std::u16string_view search(headword.data(), headword.size() - display.size() - 1);
      if (!search.empty() && search != display) synonyms->Add(search, *records);
    }
    ++*records;
  }
  return Status::Ok();
}

// One entry for each word, in StarDict's order; which entry each record
// belongs to, and which record ends each entry's article.
void MakeEntries(uint32_t records, WordTable* entries, Articles* articles) {
  entries->Sort();
  articles->entryOf.assign(records, 0);
  uint32_t entry = 0;
  const std::vector<Word>& words = entries->Words();
  for (size_t i = 0; i < words.size(); ++i) {
    if (i > 0 && !entries->Same(words[i - 1], words[i])) ++entry;
    articles->entryOf[words[i].record] = entry;
  }
  entries->KeepFirstOfEach();
  articles->lastOf.assign(entries->Words().size(), 0);
  for (uint32_t record = 0; record < records; ++record) {
    articles->lastOf[articles->entryOf[record]] = record;
  }
}

// Keeps the synonyms that find an entry that no word finds (see the
// header), each pointing at its record's entry, once for each entry.
void ChooseSynonyms(const WordTable& entries, const Articles& articles, WordTable* synonyms) {
  const std::vector<Word>& words = entries.Words();
  std::vector<Word>& all = synonyms->Words();
  for (Word& synonym : all) synonym.target = articles.entryOf[synonym.record];
  std::erase_if(all, [&](const Word& synonym) {
    if (synonym.cut) return true;
    // Words equal with case ignored stand together; one of another entry
    // is found by the synonym already (sdcv) or instead of it (GoldenDict).
    auto at = std::lower_bound(words.begin(), words.end(), synonym,
                               [&](const Word& word, const Word& s) {
                                 return entries.CompareFolded(word, *synonyms, s) < 0;
                               });
    for (; at != words.end() && entries.CompareFolded(*at, *synonyms, synonym) == 0; ++at) {
      if (static_cast<uint32_t>(at - words.begin()) != synonym.target) return true;
    }
    return false;
  });
  synonyms->Sort();
  // Equal (case ignored) synonyms stand together; one for each entry.
  std::vector<uint32_t> targets;
  size_t kept = 0;
  for (size_t i = 0; i < all.size(); ++i) {
    if (i == 0 || synonyms->CompareFolded(all[i - 1], all[i]) != 0) targets.clear();
    if (std::find(targets.begin(), targets.end(), all[i].target) != targets.end()) continue;
    targets.push_back(all[i].target);
    all[kept++] = all[i];
  }
  all.resize(kept);
}

// The second pass: each record's part into its entry's article, and each
// article, once its last record is read, into `texts`.
Status WriteArticles(DicCursor& cursor, const ExportHooks& hooks, uint32_t records,
                           WordTable* entries, Articles* articles, DictzipWriter* texts,
                           ExportStats* stats) {
  const int32_t versionMajor = cursor.Source().versionMajor;
  const std::string changed = "the dictionary changed while it was read";
  RecordText text;
  std::string word;
  std::string single;
  uint32_t record = 0;
  cursor.Rewind();
  for (ReadStatus status; (status = ReadWholeRecord(cursor, &text)) != ReadStatus::kEnd;) {
    if (CancelRequested(hooks)) return Status::Cancelled();
    if (status == ReadStatus::kSkippedArea) continue;
    if (record == records) {
      return Status::IoError(changed);
    }
    const uint32_t entry = articles->entryOf[record];
    Word& head = entries->Words()[entry];
    word.clear();
    AppendWord(DisplayHeadword(text.headword, versionMajor), &word);
    if (word != entries->Text(head)) {
      return Status::IoError(changed);
    }
    const auto open = articles->open.find(entry);
    const bool last = articles->lastOf[entry] == record;
    std::string& article = open != articles->open.end() ? open->second
                           : last                         ? single
                                                          : articles->open[entry];
    if (&article == &single) single.clear();
    if (!article.empty()) article += "\n\n";
    AppendPart(text, word, &article);
    if (last) {
      if (texts->Size() + article.size() > UINT32_MAX) {
        return Status::Unsupported("too much text for StarDict's 32-bit offsets");
      }
      head.target = static_cast<uint32_t>(texts->Size());
      head.size = static_cast<uint32_t>(article.size());
      texts->Append(article);
      if (&article != &single) articles->open.erase(entry);
    }
    ++record;
    if (++stats->written % kProgressEvery == 0 && hooks.progress) hooks.progress(*stats);
  }
  if (record != records) {
    return Status::IoError(changed);
  }
  return Status::Ok();
}

}  // namespace

std::string StarDictFileStem(const std::string& name) {
  std::string stem;
  for (char c : Utf16ToUtf8(Utf8ToUtf16(name))) {
    const auto u = static_cast<unsigned char>(c);
    stem += u < 0x20 || u == 0x7F || c == '/' ? '_' : c;
  }
  stem.erase(0, stem.find_first_not_of(". "));
  if (stem.size() > kMaxStemBytes) {
    size_t length = kMaxStemBytes;
    while (length > 0 && (static_cast<uint8_t>(stem[length]) & 0xC0) == 0x80) --length;
    stem.resize(length);
  }
  return stem.empty() ? "dictionary" : stem;
}

std::string StarDictNameFromPath(const std::string& path) {
  std::string name = path;
  while (name.size() > 1 && name.back() == '/') name.pop_back();
  name = name.substr(name.find_last_of('/') + 1);
  const size_t dot = name.find_last_of('.');
  if (dot != std::string::npos && dot > 0) name.resize(dot);
  return name;
}

namespace {

Status Convert(const std::shared_ptr<const DicSource>& source, const std::string& target,
               const StarDictOptions& options, const ExportHooks& hooks, ExportStats* stats,
               StarDictReport* report) {
  std::string folder = target;
  while (folder.size() > 1 && folder.back() == '/') folder.pop_back();
  if (source->file.IsSameFile(folder)) {
    return Status::InvalidArgument("is the dictionary being read; choose another folder");
  }
  if (!TargetIsFree(folder)) {
    return Status::InvalidArgument("exists already; give a new or an empty folder");
  }
  const std::string stem = StarDictFileStem(options.name);
  WorkFolder work;
  if (!work.Make(folder, stem)) {
    return Status::IoError(std::string("cannot make a folder beside it: ") + std::strerror(errno));
  }
  DicCursor cursor(source);
  stats->nword = source->header.nword();
  StarDictReport found;
  WordTable entries;
  WordTable synonyms;
  Articles articles;
  uint32_t records = 0;
  if (Status words = ReadWords(cursor, hooks, &entries, &synonyms, &found, &records, stats);
      !words.IsOk()) {
    return words;
  }
  if (records == 0 && stats->nword > 0) return NoRecordRead(stats->nword);
  MakeEntries(records, &entries, &articles);
  ChooseSynonyms(entries, articles, &synonyms);

  DictzipWriter texts(options.compressionLevel, options.threads);
  if (Status written = WriteArticles(cursor, hooks, records, &entries, &articles, &texts, stats);
      !written.IsOk()) {
    return written;
  }

  const std::string base = work.Path() + "/" + stem;
  const std::string idx = entries.File(true);
  const std::string bookname = IfoValue(options.name);
  std::string ifo = "StarDict's dict ifo file\nversion=2.4.2\nbookname=" +
                    (bookname.empty() ? stem : bookname) +
                    "\nwordcount=" + std::to_string(entries.Words().size()) + "\n";
  if (!synonyms.Words().empty()) {
    ifo += "synwordcount=" + std::to_string(synonyms.Words().size()) + "\n";
  }
  ifo += "idxfilesize=" + std::to_string(idx.size()) + "\nsametypesequence=m\n";

  AtomicOutput dz;
  dz.SetCancel(hooks.cancel);
  Status written = dz.Create(base + ".dict.dz");
  if (written.IsOk()) written = texts.Finish(dz);
  if (written.IsOk()) written = dz.Commit();
  if (written.IsOk()) written = WriteFile(base + ".idx", idx);
  if (written.IsOk() && !synonyms.Words().empty()) {
    written = WriteFile(base + ".syn", synonyms.File(false));
  }
  if (written.IsOk()) written = WriteFile(base + ".ifo", ifo);
  if (!written.IsOk()) return written;
  if (CancelRequested(hooks)) return Status::Cancelled();
  const mode_t mask = ::umask(0);
  ::umask(mask);
  if (::chmod(work.Path().c_str(), 0777 & ~mask) != 0 ||
      ::rename(work.Path().c_str(), folder.c_str()) != 0) {
    return Status::IoError(std::string("cannot make it: ") + std::strerror(errno));
  }
  work.Keep();
  if (hooks.progress) hooks.progress(*stats);
  if (report != nullptr) {
    found.entries = static_cast<int64_t>(entries.Words().size());
    found.synonyms = static_cast<int64_t>(synonyms.Words().size());
    *report = std::move(found);
  }
  return Status::Ok();
}

}  // namespace

Status ExportStarDict(const std::shared_ptr<const DicSource>& source, const std::string& target,
                      const StarDictOptions& options, const ExportHooks& hooks,
                      ExportStats* stats, StarDictReport* report) {
  *stats = ExportStats();
  if (source == nullptr) return Status::InvalidArgument("no dictionary is open");
  // What was made so far goes with the unwinding.
  try {
    return Convert(source, target, options, hooks, stats, report);
  } catch (const std::bad_alloc&) {
    return Status::OutOfMemory();
  }
}

}  // namespace kebu
