#include "viewer/profile.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QStandardPaths>

#include "export/atomic_output.h"

namespace kebu::viewer {

namespace {

constexpr char kByteOrderMark[] = "\xEF\xBB\xBF";

bool IsBlank(char c) { return c == ' ' || c == '\t'; }

bool IsQuoted(const QByteArray& text) {
  return text.size() >= 2 && text.front() == '"' && text.back() == '"';
}

// The value part of a "key=value" line as the window uses it.
QByteArray DecodeValue(const QByteArray& line) {
  QByteArray value = line.mid(line.indexOf('=') + 1).trimmed();
  return IsQuoted(value) ? value.mid(1, value.size() - 2) : value;
}

// A value as written into a line: quoted only where it would read back
// differently (blanks at either end, or enclosing quotes of its own).
QByteArray EncodeValue(const QByteArray& value) {
  const bool quote =
      !value.isEmpty() && (IsBlank(value.front()) || IsBlank(value.back()) || IsQuoted(value));
  return quote ? '"' + value + '"' : value;
}

}  // namespace

QString Profile::DefaultPath() {
  return QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation) +
         QLatin1String("/kebumini/kebumini.ini");
}

Profile::Profile(QString path) : path_(std::move(path)) {}

void Profile::Load() {
  lines_.clear();
  QFile file(path_);
  if (!file.open(QIODevice::ReadOnly)) return;
  QByteArray text = file.readAll();
  if (text.contains("\r\n")) lineEnd_ = "\r\n";
  finalLineEnd_ = text.isEmpty() || text.endsWith('\n');
  if (text.endsWith('\n')) text.chop(1);
  if (text.isEmpty()) return;
  lines_ = text.split('\n');
  for (QByteArray& line : lines_) {
    if (line.endsWith('\r')) line.chop(1);
  }
}

bool Profile::Save(std::string* error) const {
  QDir().mkpath(QFileInfo(path_).absolutePath());
  QByteArray text = lines_.join(lineEnd_);
  if (finalLineEnd_ && !lines_.isEmpty()) text += lineEnd_;
  AtomicOutput output;
  Status saved = output.Create(QFile::encodeName(path_).toStdString());
  if (saved.IsOk()) saved = output.Write(text.constData(), static_cast<size_t>(text.size()));
  if (saved.IsOk()) saved = output.Commit();
  if (!saved.IsOk() && error != nullptr) *error = saved.Message();
  return saved.IsOk();
}

Profile::Place Profile::Locate(const QByteArray& key) const {
  Place place;
  bool inSection = false;
  for (qsizetype i = 0; i < lines_.size(); ++i) {
    QByteArray line = lines_[i].trimmed();
    if (i == 0 && line.startsWith(kByteOrderMark)) line = line.mid(3).trimmed();
    if (line.startsWith('[') && line.contains(']')) {
      const QByteArray name = line.mid(1, line.indexOf(']') - 1).trimmed();
      inSection = name.compare(kProfileSection, Qt::CaseInsensitive) == 0;
      if (inSection && place.sectionEnd < 0) place.sectionEnd = i + 1;
      continue;
    }
    const qsizetype equals = line.indexOf('=');
    if (!inSection || equals < 0 || line.startsWith(';') || line.startsWith('#')) continue;
    place.sectionEnd = i + 1;
    if (place.keyLine < 0 && line.left(equals).trimmed().compare(key, Qt::CaseInsensitive) == 0) {
      place.keyLine = i;
    }
  }
  return place;
}

std::optional<QByteArray> Profile::Value(const QByteArray& key) const {
  const Place place = Locate(key);
  if (place.keyLine < 0) return std::nullopt;
  return DecodeValue(lines_[place.keyLine]);
}

QByteArray Profile::Value(const QByteArray& key, const QByteArray& fallback) const {
  return Value(key).value_or(fallback);
}

bool Profile::SetValue(const QByteArray& key, const QByteArray& value) {
  if (value.contains('\n') || value.contains('\r')) return false;
  const Place place = Locate(key);
  if (place.keyLine >= 0) {
    QByteArray& line = lines_[place.keyLine];
    if (DecodeValue(line) != value) line = line.left(line.indexOf('=') + 1) + EncodeValue(value);
    return true;
  }
  const QByteArray line = key + '=' + EncodeValue(value);
  if (place.sectionEnd >= 0) {
    lines_.insert(place.sectionEnd, line);
  } else {
    lines_.append(QByteArray("[") + kProfileSection + ']');
    lines_.append(line);
  }
  return true;
}

}  // namespace kebu::viewer
