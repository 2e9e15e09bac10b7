// The Preferences dialog over the companion's settings: scan mode, its
// sources (the primary selection, the clipboard), the modifier key, the
// longest text scanned, dictionary forms. It edits a copy; the caller takes
// Settings() when it is accepted.
#pragma once

#include <QDialog>
#include <memory>

#include "viewer/viewer_settings.h"

class QCheckBox;
class QComboBox;
class QGroupBox;
class QSpinBox;

namespace Ui {
class CPreferencesDlg;
}

namespace kebu::viewer {

class CPreferencesDlg : public QDialog {
  Q_OBJECT

 public:
  explicit CPreferencesDlg(const CompanionSettings& settings, QWidget* parent = nullptr);
  ~CPreferencesDlg() override;

  CompanionSettings Settings() const;

  QGroupBox* ScanBox() const;
  QCheckBox* PrimaryBox() const;
  QCheckBox* ClipboardBox() const;
  QComboBox* ModifierBox() const;
  QSpinBox* MaxCharsBox() const;
  QCheckBox* FormsBox() const;

 private:
  std::unique_ptr<Ui::CPreferencesDlg> ui_;
};

}  // namespace kebu::viewer
