// The profile: the INI file kebumini/kebumini.ini in the user's configuration
// folder ($XDG_CONFIG_HOME, else ~/.config), section [Globals].
//
// Read and written here, byte for byte, so that whatever a user or another
// program wrote survives a run unchanged: a value is the text after "key="
// up to the end of its line, blanks around it trimmed and one pair of
// enclosing double quotes taken off; there are no escapes, no lists and no
// comments behind a value (backslashes, commas, semicolons and any bytes stay
// as written). Section and key names match in any letter case. Lines of
// other sections, comment lines (";" or "#" first) and unknown keys are kept
// as they are, and a key's line is rewritten only when its value changes.
#pragma once

#include <QByteArray>
#include <QList>
#include <QString>
#include <optional>
#include <string>

namespace kebu::viewer {

inline constexpr char kProfileName[] = "kebumini";
inline constexpr char kProfileSection[] = "Globals";

class Profile {
 public:
  // kebumini/kebumini.ini in the user's configuration folder.
  static QString DefaultPath();

  explicit Profile(QString path = DefaultPath());

  // Reads the file; a missing or unreadable file is an empty profile.
  void Load();
  // Writes the lines back through a temporary file renamed over the old
  // one (the folder is made when missing). False with *error set.
  bool Save(std::string* error = nullptr) const;

  // The value of `key` in the section; nothing when the key is missing.
  std::optional<QByteArray> Value(const QByteArray& key) const;
  QByteArray Value(const QByteArray& key, const QByteArray& fallback) const;
  // Sets the value: the key's line is rewritten when the value differs, a
  // missing key goes behind the section's last key (a missing section at the
  // end of the file). A value with a line break cannot be kept and is
  // refused (false).
  bool SetValue(const QByteArray& key, const QByteArray& value);

  const QString& Path() const { return path_; }

 private:
  // The line of `key` (-1 when missing) and the line behind the section's
  // last key (-1 when the section is missing).
  struct Place {
    qsizetype keyLine = -1;
    qsizetype sectionEnd = -1;
  };
  Place Locate(const QByteArray& key) const;

  QString path_;
  QList<QByteArray> lines_;  // without their line ends
  QByteArray lineEnd_ = "\n";
  bool finalLineEnd_ = true;
};

}  // namespace kebu::viewer
