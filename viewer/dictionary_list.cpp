#include "viewer/dictionary_list.h"

#include <QFile>

namespace kebu::viewer {

QString FileNameOfPath(const QString& path) {
  qsizetype separator = path.lastIndexOf(QLatin1Char('\\'));
  if (separator < 0) separator = path.lastIndexOf(QLatin1Char('/'));
  return separator < 0 ? path : path.mid(separator + 1);
}

bool DictionaryList::Add(const QByteArray& path, bool searched) {
  Dictionary d;
  d.id = ++lastId_;
  d.path = path;
  d.name = FileNameOfPath(QFile::decodeName(path));
  d.searched = searched;
  d.reader = std::make_unique<DicReader>();
  if (const Status opened = d.reader->Open(path.toStdString()); !opened.IsOk()) {
    d.error = QString::fromStdString(opened.Message());
    d.errorCode = opened.Code();
    d.reader.reset();
  }
  items_.push_back(std::move(d));
  return items_.back().IsOpen();
}

void DictionaryList::Remove(int i) {
  if (i >= 0 && i < Size()) items_.erase(items_.begin() + i);
}

bool DictionaryList::Move(int i, int step) {
  const int to = i + step;
  if (i < 0 || i >= Size() || to < 0 || to >= Size()) return false;
  std::swap(items_[static_cast<size_t>(i)], items_[static_cast<size_t>(to)]);
  return true;
}

void DictionaryList::SetSearched(int i, bool searched) {
  if (i >= 0 && i < Size()) items_[static_cast<size_t>(i)].searched = searched;
}

int DictionaryList::IndexOf(DictionaryId id) const {
  for (int i = 0; i < Size(); ++i) {
    if (At(i).id == id) return i;
  }
  return -1;
}

const Dictionary* DictionaryList::FindOpen(DictionaryId id) const {
  const int i = IndexOf(id);
  return i >= 0 && At(i).IsOpen() ? &At(i) : nullptr;
}

int DictionaryList::OpenCount() const {
  int count = 0;
  for (const Dictionary& d : items_) count += d.IsOpen() ? 1 : 0;
  return count;
}

int DictionaryList::FirstOpen() const {
  for (int i = 0; i < Size(); ++i) {
    if (At(i).IsOpen()) return i;
  }
  return -1;
}

bool DictionaryList::IsDictionaryFile(const QByteArray& path) const {
  for (const Dictionary& d : items_) {
    if (d.IsOpen() && d.reader->IsDictionaryFile(path.toStdString())) return true;
  }
  return false;
}

int DictionaryList::Find(const QByteArray& path) const {
  for (int i = 0; i < Size(); ++i) {
    const Dictionary& d = At(i);
    if (d.IsOpen() ? d.reader->IsDictionaryFile(path.toStdString()) : d.path == path) return i;
  }
  return -1;
}

void DictionaryList::SetDamagedAreas(DictionaryId id, int64_t areas) {
  const int i = IndexOf(id);
  if (i >= 0) items_[static_cast<size_t>(i)].damagedAreas = areas;
}

}  // namespace kebu::viewer
