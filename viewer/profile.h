// The application profile: an INI file in the user's configuration folder
// (organization and application "kebumini"), section "Globals".
#pragma once

#include <QSettings>
#include <QString>
#include <memory>

namespace kebu::viewer {

inline constexpr char kProfileName[] = "kebumini";
inline constexpr char kProfileSection[] = "Globals";

// The profile file, opened for reading and writing.
std::unique_ptr<QSettings> OpenProfile();

// The string value of `key` in the section, or `fallback` when it is
// missing. A value written by hand with unquoted commas or semicolons,
// which Qt would read as a list or cut at a comment, comes back as the text
// written in the file.
QString GetProfileString(QSettings& profile, const QString& key, const QString& fallback);
void WriteProfileString(QSettings& profile, const QString& key, const QString& value);

}  // namespace kebu::viewer
