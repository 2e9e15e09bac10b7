// The dictionaries of the window, in their order: each with its own reader,
// whether searches take it in, and, for one that could not be opened, why.
// A dictionary that cannot be opened stays in the list (shown as missing
// and kept in the settings), so a disk that is not mounted yet does not
// cost the user the entry.
#pragma once

#include <QByteArray>
#include <QString>
#include <memory>
#include <vector>

#include "base/status.h"
#include "dictionary/dic_reader.h"

namespace kebu::viewer {

// Names a dictionary of the list for as long as it is in it, wherever the
// Dictionaries dialog moves it; never used again for another (0: none).
using DictionaryId = int;

struct Dictionary {
  DictionaryId id = 0;
  QByteArray path;  // the file system's bytes
  QString name;     // the file name, for people
  bool searched = true;
  // The reader belongs to the window's thread. Work on another thread (an
  // export, a count, a scan) takes its Source(), which keeps the open file
  // alive whatever the list does meanwhile, and readers of its own.
  std::unique_ptr<DicReader> reader;
  QString error;  // why it could not be opened
  StatusCode errorCode = StatusCode::kOk;
  // Damaged record areas passed over by the last full-text search of it.
  int64_t damagedAreas = 0;

  bool IsOpen() const { return reader != nullptr && reader->IsOpen(); }
};

class DictionaryList {
 public:
  // Opens `path` and appends it, also when it cannot be opened. True when
  // it opened.
  bool Add(const QByteArray& path, bool searched = true);
  void Remove(int i);
  // Moves dictionary i one place up (-1) or down (+1); false at an end.
  bool Move(int i, int step);
  void SetSearched(int i, bool searched);
  void Clear() { items_.clear(); }

  int Size() const { return static_cast<int>(items_.size()); }
  const Dictionary& At(int i) const { return items_[static_cast<size_t>(i)]; }
  // The position of dictionary `id`, -1 when it is no longer in the list.
  int IndexOf(DictionaryId id) const;
  // Dictionary `id` when it is in the list and open, else null.
  const Dictionary* FindOpen(DictionaryId id) const;
  int OpenCount() const;
  // The first open dictionary, or -1.
  int FirstOpen() const;
  // Whether `path` names one of the open dictionary files (links count).
  bool IsDictionaryFile(const QByteArray& path) const;
  // The dictionary that `path` is: the same file (device and inode, however
  // it is spelt) of an open one, else a missing one of the same spelling;
  // -1 when there is none.
  int Find(const QByteArray& path) const;
  // The damaged record areas the last full-text search of dictionary `id`
  // passed over.
  void SetDamagedAreas(DictionaryId id, int64_t areas);

 private:
  std::vector<Dictionary> items_;
  DictionaryId lastId_ = 0;
};

// The file name part of a path: the text after the last backslash; without
// one, after the last slash; else the whole path.
QString FileNameOfPath(const QString& path);

}  // namespace kebu::viewer
