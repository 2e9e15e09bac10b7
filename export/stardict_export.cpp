#include "export/stardict_export.h"

#include <dirent.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <memory>
#include <new>
#include <vector>

#include "codec/utf8.h"
#include "dictionary/dic_text.h"
#include "export/atomic_output.h"
#include "export/dictzip_writer.h"
#include "export/record_lines.h"

namespace kebu {

namespace {

constexpr int kProgressEvery = 1000;
constexpr size_t kMaxWordBytes = 255;  // "less than 256"

uint8_t FoldAscii(uint8_t c) { return c >= 'A' && c <= 'Z' ? static_cast<uint8_t>(c + 32) : c; }

// A word of the .idx or the .syn file.
struct Word {
  uint64_t key = 0;     // the first 8 bytes, case folded, big-endian: most comparisons end here
  uint32_t offset = 0;  // in the word arena
  uint32_t length = 0;
  uint32_t record = 0;  // the record's number in file order
  uint32_t target = 0;  // .idx: the text's offset; .syn: the entry's number
  uint32_t size = 0;    // .idx: the text's size
};

class WordTable {
 public:
  // Adds `text` as UTF-8, cut to whole characters within kMaxWordBytes.
  Word& Add(std::u16string_view text, uint32_t record) {
    const size_t at = arena_.size();
    arena_.resize(at + 3 * text.size());
    const auto* units = text.data();
    size_t length = Utf16ToUtf8(units, static_cast<uint32_t>(text.size()),
                                reinterpret_cast<uint8_t*>(arena_.data() + at));
    if (length > kMaxWordBytes) {
      length = kMaxWordBytes;
      while (length > 0 && (static_cast<uint8_t>(arena_[at + length]) & 0xC0) == 0x80) --length;
    }
    arena_.resize(at + length);
    Word& word = words_.emplace_back();
    word.record = record;
    word.offset = static_cast<uint32_t>(at);
    word.length = static_cast<uint32_t>(length);
    for (size_t i = 0; i < 8; ++i) {
      const uint8_t c = i < length ? FoldAscii(static_cast<uint8_t>(arena_[at + i])) : 0;
      word.key = word.key << 8 | c;
    }
    return word;
  }

  // StarDict's order: ASCII case folded, then bytewise; file order between
  // equal words.
  void Sort() {
    const auto* base = reinterpret_cast<const uint8_t*>(arena_.data());
    std::sort(words_.begin(), words_.end(), [base](const Word& a, const Word& b) {
      if (a.key != b.key) return a.key < b.key;
      const uint8_t* pa = base + a.offset;
      const uint8_t* pb = base + b.offset;
      const uint32_t n = std::min(a.length, b.length);
      for (uint32_t i = 8; i < n; ++i) {
        if (FoldAscii(pa[i]) != FoldAscii(pb[i])) return FoldAscii(pa[i]) < FoldAscii(pb[i]);
      }
      if (a.length != b.length) return a.length < b.length;
      const int bytes = std::memcmp(pa, pb, n);
      if (bytes != 0) return bytes < 0;
      return a.record < b.record;
    });
  }

  std::vector<Word>& Words() { return words_; }
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
  std::string arena_;
  std::vector<Word> words_;
};

// A file name of the folder: no '/', not "." or "..".
std::string FileStem(const std::string& name) {
  std::string stem = name;
  std::replace(stem.begin(), stem.end(), '/', '_');
  if (stem.empty() || stem == "." || stem == "..") stem = "dictionary";
  return stem;
}

// A line of the .ifo file: valid UTF-8 without line ends.
std::string IfoValue(const std::string& text) {
  std::string value = Utf16ToUtf8(Utf8ToUtf16(text));
  for (char& c : value) {
    if (static_cast<unsigned char>(c) < 0x20) c = ' ';
  }
  return value;
}

// The folder of the files being made, removed with them unless Keep.
class WorkFolder {
 public:
  // Only files are made in it (std::filesystem would cost the tool's
  // start for every command).
  ~WorkFolder() {
    if (path_.empty()) return;
    if (DIR* dir = ::opendir(path_.c_str())) {
      while (const dirent* entry = ::readdir(dir)) {
        if (std::strcmp(entry->d_name, ".") != 0 && std::strcmp(entry->d_name, "..") != 0) {
          ::unlinkat(::dirfd(dir), entry->d_name, 0);
        }
      }
      ::closedir(dir);
    }
    ::rmdir(path_.c_str());
  }
  bool Make(const std::string& target) {
    const size_t slash = target.find_last_of('/');
    const std::string parent =
        slash == std::string::npos ? "." : slash == 0 ? "/" : target.substr(0, slash);
    std::string pattern = parent + "/." + target.substr(slash + 1) + ".XXXXXX";
    if (::mkdtemp(pattern.data()) == nullptr) return false;
    path_ = pattern;
    return true;
  }
  const std::string& Path() const { return path_; }
  void Keep() { path_.clear(); }

 private:
  std::string path_;
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

}  // namespace

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
               const StarDictOptions& options, const ExportHooks& hooks, ExportStats* stats) {
  std::string folder = target;
  while (folder.size() > 1 && folder.back() == '/') folder.pop_back();
  if (source->file.IsSameFile(folder)) {
    return Status::InvalidArgument("is the dictionary being read; choose another folder");
  }
  if (!TargetIsFree(folder)) {
    return Status::InvalidArgument("exists already; give a new or an empty folder");
  }
  WorkFolder work;
  if (!work.Make(folder)) {
    return Status::IoError(std::string("cannot make a folder beside it: ") + std::strerror(errno));
  }
  const std::unique_ptr<DicCursor> cursor = std::make_unique<DicCursor>(source);

  stats->nword = cursor->Source().header.nword();
  const int32_t versionMajor = cursor->Source().versionMajor;
  DictzipWriter texts(options.compressionLevel, options.threads);
  WordTable entries;
  WordTable synonyms;
  RecordText text;
  std::string data;
  cursor->Rewind();
  for (ReadStatus status; (status = ReadWholeRecord(*cursor, &text)) != ReadStatus::kEnd;) {
    if (CancelRequested(hooks)) return Status::Cancelled();
    if (status == ReadStatus::kSkippedArea) {
      ++stats->skippedAreas;
      continue;
    }
    data.resize(3 * (text.translation.size() + text.example.size()) + 1);
    auto* out = reinterpret_cast<uint8_t*>(data.data());
    size_t n = Utf16ToUtf8(text.translation.data(), static_cast<uint32_t>(text.translation.size()), out);
    if (!text.example.empty()) {
      out[n++] = '\n';
      n += Utf16ToUtf8(text.example.data(), static_cast<uint32_t>(text.example.size()), out + n);
    }
    if (texts.Size() + n > UINT32_MAX) {
      return Status::Unsupported("too much text for StarDict's 32-bit offsets");
    }
    const std::u16string_view display = DisplayHeadword(text.headword, versionMajor);
    const auto record = static_cast<uint32_t>(stats->written);
    Word& entry = entries.Add(display, record);
    entry.target = static_cast<uint32_t>(texts.Size());
    entry.size = static_cast<uint32_t>(n);
    texts.Append(std::string_view(data.data(), n));
    if (display.size() < text.headword.size()) {
      const std::u16string_view search(text.headword.data(), text.headword.size() - display.size() - 1);
      if (!search.empty() && search != display) {
        synonyms.Add(search, record);
      }
    }
    if (++stats->written % kProgressEvery == 0 && hooks.progress) hooks.progress(*stats);
  }
  if (stats->written == 0 && stats->nword > 0) return NoRecordRead(stats->nword);

  // Entries in StarDict's order; synonyms point at their entry's place in it.
  entries.Sort();
  std::vector<uint32_t> place(entries.Words().size());
  for (uint32_t i = 0; i < place.size(); ++i) place[entries.Words()[i].record] = i;
  for (Word& synonym : synonyms.Words()) synonym.target = place[synonym.record];
  synonyms.Sort();

  const std::string stem = FileStem(options.name);
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
  return Status::Ok();
}

}  // namespace

Status ExportStarDict(const std::shared_ptr<const DicSource>& source, const std::string& target,
                      const StarDictOptions& options, const ExportHooks& hooks,
                      ExportStats* stats) {
  *stats = ExportStats();
  if (source == nullptr) return Status::InvalidArgument("no dictionary is open");
  // What was made so far goes with the unwinding.
  try {
    return Convert(source, target, options, hooks, stats);
  } catch (const std::bad_alloc&) {
    return Status::OutOfMemory();
  }
}

}  // namespace kebu
