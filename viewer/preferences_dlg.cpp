#include "viewer/preferences_dlg.h"

#include "ui_preferences_dlg.h"
#include "viewer/window_style.h"

namespace kebu::viewer {

CPreferencesDlg::CPreferencesDlg(const CompanionSettings& settings, QWidget* parent)
    : QDialog(parent), ui_(std::make_unique<Ui::CPreferencesDlg>()) {
  ui_->setupUi(this);
  setFont(DialogFont());
  ui_->modifierBox->addItem(tr("(no key)"), QVariant::fromValue(Qt::NoModifier));
  ui_->modifierBox->addItem(tr("Ctrl"), QVariant::fromValue(Qt::ControlModifier));
  ui_->modifierBox->addItem(tr("Alt"), QVariant::fromValue(Qt::AltModifier));
  ui_->modifierBox->addItem(tr("Shift"), QVariant::fromValue(Qt::ShiftModifier));
  ui_->modifierBox->addItem(tr("Meta (Windows key)"), QVariant::fromValue(Qt::MetaModifier));
  ui_->scanBox->setChecked(settings.scan);
  ui_->primaryBox->setChecked(settings.primary);
  ui_->clipboardBox->setChecked(settings.clipboard);
  ui_->modifierBox->setCurrentIndex(
      std::max(0, ui_->modifierBox->findData(QVariant::fromValue(settings.modifier))));
  ui_->maxCharsBox->setMaximum(kScanMaxCharsLimit);
  ui_->maxCharsBox->setValue(settings.maxChars);
  ui_->formsBox->setChecked(settings.forms);
}

CPreferencesDlg::~CPreferencesDlg() = default;

CompanionSettings CPreferencesDlg::Settings() const {
  CompanionSettings s;
  s.scan = ui_->scanBox->isChecked();
  s.primary = ui_->primaryBox->isChecked();
  s.clipboard = ui_->clipboardBox->isChecked();
  s.modifier = ui_->modifierBox->currentData().value<Qt::KeyboardModifier>();
  s.maxChars = ui_->maxCharsBox->value();
  s.forms = ui_->formsBox->isChecked();
  return s;
}

QGroupBox* CPreferencesDlg::ScanBox() const { return ui_->scanBox; }
QCheckBox* CPreferencesDlg::PrimaryBox() const { return ui_->primaryBox; }
QCheckBox* CPreferencesDlg::ClipboardBox() const { return ui_->clipboardBox; }
QComboBox* CPreferencesDlg::ModifierBox() const { return ui_->modifierBox; }
QSpinBox* CPreferencesDlg::MaxCharsBox() const { return ui_->maxCharsBox; }
QCheckBox* CPreferencesDlg::FormsBox() const { return ui_->formsBox; }

}  // namespace kebu::viewer
