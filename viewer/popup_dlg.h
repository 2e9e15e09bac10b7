// The popup: the entries of a looked-up word in a small frameless window by
// the pointer, one block per dictionary that has any (headword,
// pronunciation, translation, example), under a line that says what was
// done ("running → run") and over a note naming a language tool that is
// missing.
//
// It never takes the keyboard focus from the program the user reads: it is
// shown without being activated, and only a click into it makes it the
// active window (then Tab and Shift+Tab go from hit to hit, Enter opens the
// word in the main window, Esc closes it). Esc, Close, or a click elsewhere
// (on X11 also in another program) closes it, unless it is pinned; a pinned
// popup stays in its place and shows each new word there.
#pragma once

#include <QDialog>
#include <QFont>
#include <QRect>
#include <memory>
#include <vector>

#include "viewer/popup_lookup.h"

class QLabel;
class QTextBrowser;
class QToolButton;

namespace Ui {
class CPopupDlg;
}

namespace kebu::viewer {

class GlobalClicks;

// Where a popup of `size` goes on `screen` for a word selected at
// `pointer`: below the pointer's line, or above it where there is more room
// there, a line's height (`lineHeight`) clear of the pointer either way so
// that the selected word stays in sight; beside the pointer horizontally;
// made smaller where the screen is too small. Always within `screen`.
QRect PlacePopup(const QRect& screen, QPoint pointer, QSize size, int lineHeight);

class CPopupDlg : public QDialog {
  Q_OBJECT

 public:
  explicit CPopupDlg(QWidget* parent = nullptr);
  ~CPopupDlg() override;

  // Shows `result` in `font`, sized to its entries; placed by `pointer`
  // unless pinned and shown; the first hit current. Not activated.
  void ShowResult(const PopupResult& result, const QFont& font, QPoint pointer);
  // Makes hit `current + step` current (within the hits) and scrolls to it.
  void MoveHit(int step);

  bool IsPinned() const;
  int CurrentHit() const { return current_; }
  int HitCount() const { return static_cast<int>(hits_.size()); }
  const QString& Word() const { return word_; }

  QLabel* DescriptionLabel() const;
  QLabel* NoteLabel() const;
  QTextBrowser* EntryView() const;
  QToolButton* PinButton() const;
  QToolButton* OpenButton() const;

 signals:
  // "Open in window": the word to search in the main window.
  void OpenInWindow(const QString& word);

 protected:
  bool event(QEvent* event) override;
  bool eventFilter(QObject* watched, QEvent* event) override;
  void keyPressEvent(QKeyEvent* event) override;
  void mousePressEvent(QMouseEvent* event) override;

 private:
  void Fill(const PopupResult& result, const QFont& font);
  void FitAndPlace(const QFont& font, QPoint pointer);
  // "Open in window": the window searches the word; the popup closes
  // unless it is pinned.
  void Open();
  // A button pressed anywhere: outside the popup it closes it.
  void OnGlobalClick();

  std::unique_ptr<Ui::CPopupDlg> ui_;
  std::vector<std::pair<int, int>> hits_;  // each hit's first and end position in the text
  int current_ = -1;
  QString word_;
  GlobalClicks* clicks_ = nullptr;
};

}  // namespace kebu::viewer
