#include "viewer/popup_dlg.h"

#include <QAbstractTextDocumentLayout>
#include <QCursor>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QScreen>
#include <QScrollBar>
#include <QTextBlock>
#include <QTextBrowser>
#include <algorithm>
#include <cmath>

#include "ui_popup_dlg.h"
#include "viewer/x11_pointer.h"

namespace kebu::viewer {

namespace {

// The popup's width in lines of the font's height, and its entries' most
// height in the same, and in parts of the screen.
constexpr int kWidthInPixelSizes = 26;
constexpr int kMaxHeightInPixelSizes = 24;
constexpr int kMinWidth = 240;
const QColor kCurrentHitBackground(221, 232, 255);

QString AsLines(QString text) {
  text.replace(QLatin1String("\r\n"), QLatin1String("\n"));
  text.replace(QLatin1Char('\r'), QLatin1Char('\n'));
  return text;
}

}  // namespace

QRect PlacePopup(const QRect& screen, QPoint pointer, QSize size, int lineHeight) {
  QRect place(QPoint(), size.boundedTo(screen.size()));
  // The rows of the selected word's line stay free: from a line above the
  // pointer to a line below it.
  const int belowTop = pointer.y() + lineHeight + 1;
  const int aboveEnd = pointer.y() - lineHeight;  // exclusive
  const int roomBelow = std::max(0, screen.y() + screen.height() - belowTop);
  const int roomAbove = std::max(0, aboveEnd - screen.y());
  if (place.height() <= roomBelow || roomBelow >= roomAbove) {
    place.setHeight(std::max(1, std::min(place.height(), roomBelow)));
    place.moveTop(std::min(belowTop, screen.y() + screen.height() - place.height()));
  } else {
    place.setHeight(std::min(place.height(), roomAbove));
    place.moveTop(aboveEnd - place.height());
  }
  const int left = pointer.x() - lineHeight;
  place.moveLeft(std::clamp(left, screen.x(), screen.x() + screen.width() - place.width()));
  return place;
}

CPopupDlg::CPopupDlg(QWidget* parent)
    : QDialog(parent), ui_(std::make_unique<Ui::CPopupDlg>()) {
  ui_->setupUi(this);
  // Over other windows, outside the window manager's placing and focusing.
  setWindowFlags(Qt::Tool | Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint |
                 Qt::X11BypassWindowManagerHint);
  setAttribute(Qt::WA_ShowWithoutActivating);
  setAttribute(Qt::WA_QuitOnClose, false);
  clicks_ = new GlobalClicks(this);
  connect(clicks_, &GlobalClicks::Pressed, this, &CPopupDlg::OnGlobalClick);
  connect(ui_->closeButton, &QToolButton::clicked, this, &QWidget::hide);
  connect(ui_->openButton, &QToolButton::clicked, this, &CPopupDlg::Open);
  connect(ui_->pinButton, &QToolButton::toggled, this,
          [this](bool pinned) { clicks_->SetWatching(!pinned && isVisible()); });
  ui_->entryView->installEventFilter(this);
  ui_->entryView->viewport()->installEventFilter(this);
}

CPopupDlg::~CPopupDlg() = default;

QLabel* CPopupDlg::DescriptionLabel() const { return ui_->descriptionLabel; }
QLabel* CPopupDlg::NoteLabel() const { return ui_->noteLabel; }
QTextBrowser* CPopupDlg::EntryView() const { return ui_->entryView; }
QToolButton* CPopupDlg::PinButton() const { return ui_->pinButton; }
QToolButton* CPopupDlg::OpenButton() const { return ui_->openButton; }
bool CPopupDlg::IsPinned() const { return ui_->pinButton->isChecked(); }

void CPopupDlg::ShowResult(const PopupResult& result, const QFont& font, QPoint pointer) {
  Fill(result, font);
  FitAndPlace(font, pointer);
  if (!isVisible()) {
    show();
    clicks_->SetWatching(!IsPinned());
  }
  raise();
}

void CPopupDlg::Fill(const PopupResult& result, const QFont& font) {
  word_ = result.word;
  hits_.clear();
  current_ = -1;
  QFont labelFont = font;
  labelFont.setBold(true);
  ui_->descriptionLabel->setFont(labelFont);
  if (result.outOfMemory) {
    ui_->descriptionLabel->setText(tr("Out of memory while looking up “%1”").arg(result.selection));
  } else if (result.selection.isEmpty()) {
    ui_->descriptionLabel->setText(
        tr("No text is selected, or the desktop does not let kebumini read it"));
  } else if (result.blocks.empty()) {
    ui_->descriptionLabel->setText(tr("No entry for “%1”").arg(result.selection));
  } else {
    ui_->descriptionLabel->setText(result.description.isEmpty() ? result.word : result.description);
  }
  QStringList notes;
  if (result.searched == 0) notes << tr("No dictionary is searched in the window.");
  for (const forms::MissingTool& missing : result.missing) {
    const QString package = QString::fromLatin1(missing.Package());
    switch (missing.tool) {
      case forms::Tool::kWordNet:
        notes << tr("English irregular forms need WordNet's lists: install %1.").arg(package);
        break;
      case forms::Tool::kHunspell:
        notes << tr("English stems need Hunspell's en_US dictionary: install %1.").arg(package);
        break;
      case forms::Tool::kMeCab:
        notes << tr("Japanese forms need MeCab with IPADIC: install %1.").arg(package);
        break;
    }
  }
  ui_->noteLabel->setText(notes.join(QLatin1Char('\n')));
  ui_->noteLabel->setVisible(!notes.isEmpty());

  QTextBrowser* view = ui_->entryView;
  view->setFont(font);
  view->setExtraSelections({});
  QTextDocument* document = view->document();
  document->clear();
  document->setDefaultFont(font);
  QTextCursor cursor(document);
  QTextCharFormat plain, name, headword, pronunciation, example;
  const QColor grey = palette().color(QPalette::Disabled, QPalette::Text);
  name.setForeground(grey);
  name.setFontWeight(QFont::Bold);
  headword.setFontWeight(QFont::Bold);
  pronunciation.setForeground(grey);
  example.setForeground(grey);
  example.setFontItalic(true);
  QTextBlockFormat spaced;
  spaced.setTopMargin(QFontMetrics(font).height() / 3.0);
  const auto paragraph = [&](const QTextBlockFormat& format) {
    if (cursor.position() == 0) cursor.setBlockFormat(format);
    else cursor.insertBlock(format);
  };
  for (const PopupBlock& block : result.blocks) {
    paragraph(spaced);
    cursor.insertText(block.dictionary, name);
    for (const PopupEntry& entry : block.entries) {
      paragraph(spaced);
      const int start = cursor.position();
      cursor.insertText(entry.headword, headword);
      if (!entry.pronunciation.isEmpty()) {
        cursor.insertText(QStringLiteral("  [%1]").arg(AsLines(entry.pronunciation)), pronunciation);
      }
      paragraph({});
      cursor.insertText(AsLines(entry.translation), plain);
      if (!entry.example.isEmpty()) {
        paragraph({});
        cursor.insertText(AsLines(entry.example), example);
      }
      hits_.emplace_back(start, cursor.position());
    }
  }
  if (!hits_.empty()) current_ = 0;
  view->setVisible(!hits_.empty());
  view->verticalScrollBar()->setValue(0);
}

void CPopupDlg::FitAndPlace(const QFont& font, QPoint pointer) {
  const int pixels = QFontInfo(font).pixelSize();
  const QScreen* screen = QGuiApplication::screenAt(pointer);
  if (screen == nullptr) screen = QGuiApplication::primaryScreen();
  const QRect area = screen->availableGeometry();
  const int width = std::min(std::max(kMinWidth, kWidthInPixelSizes * pixels), area.width());
  QTextBrowser* view = ui_->entryView;
  view->setMinimumHeight(0);
  view->setMaximumHeight(QWIDGETSIZE_MAX);
  int viewHeight = 0;
  if (!hits_.empty()) {
    // The entries' height at their width once the popup has its own (the
    // frame's margins and borders off), measured on a copy: the view lays
    // its document out again at its width of the moment.
    const QMargins margins = ui_->frameLayout->contentsMargins();
    const std::unique_ptr<QTextDocument> copy(view->document()->clone());
    copy->setTextWidth(width - margins.left() - margins.right() -
                       2 * (ui_->frame->frameWidth() + view->frameWidth()));
    const int wanted = static_cast<int>(std::ceil(copy->size().height())) + 2 * view->frameWidth();
    viewHeight = std::min(wanted, std::min(area.height() / 2, kMaxHeightInPixelSizes * pixels));
    view->setFixedHeight(viewHeight);
  }
  // The frame's own hint: the dialog's layout keeps that of the last entries
  // until the next event loop (the frame is all there is in it).
  ui_->frameLayout->invalidate();
  const QSize size(width, ui_->frame->sizeHint().height());
  QRect place;
  if (IsPinned() && isVisible()) {
    place = QRect(pos(), size.boundedTo(area.size()));
    place.moveTopLeft({std::clamp(place.x(), area.x(), area.right() + 1 - place.width()),
                       std::clamp(place.y(), area.y(), area.bottom() + 1 - place.height())});
  } else {
    place = PlacePopup(area, pointer, size, QFontMetrics(font).lineSpacing());
  }
  if (place.height() < size.height() && viewHeight > 0) {
    view->setFixedHeight(std::max(pixels, viewHeight - (size.height() - place.height())));
  }
  setGeometry(place);
}

void CPopupDlg::MoveHit(int step) {
  if (hits_.empty()) return;
  current_ = std::clamp(current_ + step, 0, HitCount() - 1);
  const auto [start, end] = hits_[static_cast<size_t>(current_)];
  QTextBrowser* view = ui_->entryView;
  QTextEdit::ExtraSelection mark;
  mark.cursor = QTextCursor(view->document());
  mark.cursor.setPosition(start);
  mark.cursor.setPosition(end, QTextCursor::KeepAnchor);
  mark.format.setBackground(kCurrentHitBackground);
  view->setExtraSelections({mark});
  const QTextBlock block = view->document()->findBlock(start);
  view->verticalScrollBar()->setValue(
      static_cast<int>(view->document()->documentLayout()->blockBoundingRect(block).top()));
}

void CPopupDlg::Open() {
  if (!IsPinned()) hide();
  emit OpenInWindow(word_);
}

void CPopupDlg::OnGlobalClick() {
  if (isVisible() && !IsPinned() && !frameGeometry().contains(QCursor::pos())) hide();
}

bool CPopupDlg::event(QEvent* event) {
  switch (event->type()) {
    case QEvent::WindowDeactivate:
      // Clicked into before, and now the user went elsewhere.
      if (!IsPinned()) hide();
      break;
    case QEvent::Hide:
      clicks_->SetWatching(false);
      break;
    default:
      break;
  }
  return QDialog::event(event);
}

bool CPopupDlg::eventFilter(QObject* watched, QEvent* event) {
  if (watched == ui_->entryView->viewport() && event->type() == QEvent::MouseButtonPress) {
    activateWindow();
  } else if (watched == ui_->entryView && event->type() == QEvent::KeyPress) {
    // Tab and Shift+Tab go from hit to hit rather than from link to link.
    const int key = static_cast<QKeyEvent*>(event)->key();
    if (key == Qt::Key_Tab || key == Qt::Key_Backtab) {
      MoveHit(key == Qt::Key_Tab ? 1 : -1);
      return true;
    }
  }
  return QDialog::eventFilter(watched, event);
}

void CPopupDlg::keyPressEvent(QKeyEvent* event) {
  switch (event->key()) {
    case Qt::Key_Tab:
    case Qt::Key_N:
    case Qt::Key_J:
      MoveHit(1);
      return;
    case Qt::Key_Backtab:
    case Qt::Key_P:
    case Qt::Key_K:
      MoveHit(-1);
      return;
    case Qt::Key_Return:
    case Qt::Key_Enter:
      Open();
      return;
    default:
      QDialog::keyPressEvent(event);  // Esc closes it
  }
}

void CPopupDlg::mousePressEvent(QMouseEvent* event) {
  activateWindow();
  QDialog::mousePressEvent(event);
}

}  // namespace kebu::viewer
