#include "viewer/viewer_settings.h"

#include <algorithm>

namespace kebu::viewer {

namespace {

// "%" first, so that the escapes written for the others are not escaped again.
constexpr std::pair<char, const char*> kEscapes[] = {
    {'%', "%25"}, {'|', "%7C"}, {'\n', "%0A"}, {'\r', "%0D"}};

QList<int> ReadNumbers(const QByteArray& text) {
  QList<int> numbers;
  for (const QByteArray& part : text.split(',')) {
    bool ok = false;
    const int n = part.trimmed().toInt(&ok);
    if (ok) numbers.append(n);
  }
  return numbers;
}

// ScanModifier's names and keys.
constexpr std::pair<const char*, Qt::KeyboardModifier> kModifiers[] = {
    {"none", Qt::NoModifier},
    {"ctrl", Qt::ControlModifier},
    {"alt", Qt::AltModifier},
    {"shift", Qt::ShiftModifier},
    {"meta", Qt::MetaModifier}};

// A 0/1 key: `fallback` unless the value is exactly one of them.
bool ReadFlag(const Profile& profile, const QByteArray& key, bool fallback) {
  const QByteArray value = profile.Value(key, {}).trimmed();
  return value == "1" ? true : value == "0" ? false : fallback;
}

// Writes `value` where it differs from `fallback` or the key was there before.
void WriteKey(Profile* profile, const QByteArray& key, const QByteArray& value,
              const QByteArray& fallback) {
  if (value != fallback || profile->Value(key)) profile->SetValue(key, value);
}

QByteArray WriteNumbers(const QList<int>& numbers) {
  QByteArray text;
  for (int n : numbers) text += (text.isEmpty() ? "" : ",") + QByteArray::number(n);
  return text;
}

}  // namespace

QByteArray JoinPaths(const std::vector<QByteArray>& paths) {
  QByteArray text;
  for (const QByteArray& path : paths) {
    QByteArray escaped = path;
    for (const auto& [ch, escape] : kEscapes) escaped.replace(ch, escape);
    if (&path != &paths.front()) text += '|';
    text += escaped;
  }
  return text;
}

std::vector<QByteArray> SplitPaths(const QByteArray& text) {
  std::vector<QByteArray> paths;
  for (const QByteArray& part : text.split('|')) {
    QByteArray path;
    for (qsizetype i = 0; i < part.size(); ++i) {
      bool escaped = false;
      for (const auto& [ch, escape] : kEscapes) {
        if (part.mid(i, 3).compare(escape, Qt::CaseInsensitive) == 0) {
          path += ch;
          i += 2;
          escaped = true;
          break;
        }
      }
      if (!escaped) path += part[i];
    }
    if (!path.isEmpty()) paths.push_back(path);
  }
  return paths;
}

ViewerSettings ReadSettings(const Profile& profile) {
  ViewerSettings s;
  const QByteArray first = profile.Value("FilePath", {});
  if (!first.isEmpty()) s.paths.push_back(first);
  for (QByteArray& path : SplitPaths(profile.Value("MoreFilePaths", {}))) {
    s.paths.push_back(std::move(path));
  }
  for (int n : ReadNumbers(profile.Value("UnsearchedDictionaries", {}))) {
    if (n >= 1 && n <= static_cast<int>(s.paths.size())) s.unsearched.append(n - 1);
  }
  s.searchWordList = profile.Value("SearchWordList", {});
  s.fontName = profile.Value("fontName", kDefaultFontName);
  const QList<int> rect = ReadNumbers(profile.Value("WindowGeometry", {}));
  if (rect.size() == 4 && rect[2] > 0 && rect[3] > 0) {
    s.geometry = QRect(rect[0], rect[1], rect[2], rect[3]);
  }
  s.splitterSizes = ReadNumbers(profile.Value("SplitterSizes", {}));
  s.columnWidths = ReadNumbers(profile.Value("ColumnWidths", {}));
  s.zoom = profile.Value("TextZoom", "0").toInt();
  s.fullText = profile.Value("SearchMode", {}).trimmed().toLower() == "fulltext";
  s.exact = profile.Value("FullTextExact", {}).trimmed() == "1";
  s.bestFirst = profile.Value("FullTextOrder", {}).trimmed().toLower() == "best";
  CompanionSettings& c = s.companion;
  c.scan = ReadFlag(profile, "ScanSelections", c.scan);
  c.primary = ReadFlag(profile, "ScanPrimary", c.primary);
  c.clipboard = ReadFlag(profile, "ScanClipboard", c.clipboard);
  const QByteArray modifier = profile.Value("ScanModifier", {}).trimmed().toLower();
  for (const auto& [name, key] : kModifiers) {
    if (modifier == name) c.modifier = key;
  }
  bool ok = false;
  const int maxChars = profile.Value("ScanMaxChars", {}).trimmed().toInt(&ok);
  if (ok && maxChars >= 1) c.maxChars = std::min(maxChars, kScanMaxCharsLimit);
  c.forms = ReadFlag(profile, "DictionaryForms", c.forms);
  s.readings = ReadFlag(profile, "ShowReadings", s.readings);
  for (const QByteArray& key : SplitPaths(profile.Value("SearchHistory", {}))) {
    if (s.history.size() < kHistoryLimit) s.history << QString::fromUtf8(key);
  }
  return s;
}

void WriteSettings(const ViewerSettings& s, Profile* profile) {
  profile->SetValue("FilePath", s.paths.empty() ? QByteArray() : s.paths.front());
  const std::vector<QByteArray> more(s.paths.begin() + (s.paths.empty() ? 0 : 1), s.paths.end());
  if (!more.empty() || profile->Value("MoreFilePaths")) {
    profile->SetValue("MoreFilePaths", JoinPaths(more));
  }
  QList<int> unsearched;
  for (int i : s.unsearched) unsearched.append(i + 1);
  if (!unsearched.isEmpty() || profile->Value("UnsearchedDictionaries")) {
    profile->SetValue("UnsearchedDictionaries", WriteNumbers(unsearched));
  }
  profile->SetValue("SearchWordList", s.searchWordList);
  profile->SetValue("fontName", s.fontName);
  if (s.geometry.isValid()) {
    const QRect& g = s.geometry;
    profile->SetValue("WindowGeometry", WriteNumbers({g.x(), g.y(), g.width(), g.height()}));
  }
  if (!s.splitterSizes.isEmpty()) profile->SetValue("SplitterSizes", WriteNumbers(s.splitterSizes));
  if (!s.columnWidths.isEmpty()) profile->SetValue("ColumnWidths", WriteNumbers(s.columnWidths));
  profile->SetValue("TextZoom", QByteArray::number(s.zoom));
  if (s.fullText || profile->Value("SearchMode")) {
    profile->SetValue("SearchMode", s.fullText ? "fulltext" : "headword");
  }
  if (s.exact || profile->Value("FullTextExact")) {
    profile->SetValue("FullTextExact", s.exact ? "1" : "0");
  }
  if (s.bestFirst || profile->Value("FullTextOrder")) {
    profile->SetValue("FullTextOrder", s.bestFirst ? "best" : "file");
  }
  const CompanionSettings& c = s.companion;
  const CompanionSettings d;
  const auto flag = [](bool on) { return QByteArray(on ? "1" : "0"); };
  WriteKey(profile, "ScanSelections", flag(c.scan), flag(d.scan));
  WriteKey(profile, "ScanPrimary", flag(c.primary), flag(d.primary));
  WriteKey(profile, "ScanClipboard", flag(c.clipboard), flag(d.clipboard));
  for (const auto& [name, key] : kModifiers) {
    if (key == c.modifier) WriteKey(profile, "ScanModifier", name, "none");
  }
  WriteKey(profile, "ScanMaxChars", QByteArray::number(c.maxChars), QByteArray::number(d.maxChars));
  WriteKey(profile, "DictionaryForms", flag(c.forms), flag(d.forms));
  WriteKey(profile, "ShowReadings", flag(s.readings), flag(ViewerSettings().readings));
  std::vector<QByteArray> history;
  for (const QString& key : s.history.mid(0, kHistoryLimit)) history.push_back(key.toUtf8());
  WriteKey(profile, "SearchHistory", JoinPaths(history), {});
}

}  // namespace kebu::viewer
