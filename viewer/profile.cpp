#include "viewer/profile.h"

#include <QFile>
#include <QStringList>

namespace kebu::viewer {

namespace {

// The text after "key=" in the section of an INI file, trimmed; a null
// string when the file, the section or the key is missing.
QString RawIniValue(const QString& fileName, const QString& section, const QString& key) {
  QFile file(fileName);
  if (!file.open(QIODevice::ReadOnly)) return QString();
  const QString text = QString::fromUtf8(file.readAll());
  bool inSection = false;
  for (const QString& rawLine : text.split(QLatin1Char('\n'))) {
    const QString line = rawLine.trimmed();
    if (line.startsWith(QLatin1Char('[')) && line.endsWith(QLatin1Char(']'))) {
      inSection = line.mid(1, line.size() - 2).trimmed() == section;
      continue;
    }
    if (!inSection) continue;
    const qsizetype equals = line.indexOf(QLatin1Char('='));
    if (equals < 0 || line.left(equals).trimmed() != key) continue;
    return line.mid(equals + 1).trimmed();
  }
  return QString();
}

}  // namespace

std::unique_ptr<QSettings> OpenProfile() {
  return std::make_unique<QSettings>(QSettings::IniFormat, QSettings::UserScope,
                                     QLatin1String(kProfileName),
                                     QLatin1String(kProfileName));
}

QString GetProfileString(QSettings& profile, const QString& key, const QString& fallback) {
  // Unquoted commas and semicolons are Qt's list and comment syntax; a value
  // written like that by hand is taken as it stands in the file.
  const QString raw = RawIniValue(profile.fileName(), QLatin1String(kProfileSection), key);
  if (!raw.isNull() && !raw.startsWith(QLatin1Char('"')) &&
      (raw.contains(QLatin1Char(',')) || raw.contains(QLatin1Char(';')))) {
    return raw;
  }
  profile.beginGroup(QLatin1String(kProfileSection));
  const QVariant value = profile.value(key);
  profile.endGroup();
  if (!value.isValid()) return fallback;
  if (value.metaType().id() == QMetaType::QStringList) {
    return value.toStringList().join(QLatin1String(", "));
  }
  return value.toString();
}

void WriteProfileString(QSettings& profile, const QString& key, const QString& value) {
  profile.beginGroup(QLatin1String(kProfileSection));
  profile.setValue(key, value);
  profile.endGroup();
}

}  // namespace kebu::viewer
