// What the window benchmarks share: a typed sequence of 50 keys and typing
// one of them into the window's search box until the window has served what
// it caused (the search, the list's layout, the painting).
#pragma once

#include <QComboBox>
#include <QCoreApplication>
#include <QLineEdit>
#include <QStringList>
#include <QTest>

#include "viewer/viewer_dlg.h"

namespace kebu::viewer::bench {

// Japanese words typed a character at a time (as an input method commits
// them) and taken back again ("\b" is a backspace): 50 keys. The first
// character of a word lists the full 10,000 rows and starts a count.
inline const QStringList& TypedKeys() {
  static const QStringList keys = [] {
    QStringList all;
    for (const char* word : {"とうきょうだいがく", "日本語の", "かんじ", "あいさつ", "やま", "き", "ひと"}) {
      const QString text = QString::fromUtf8(word);
      for (QChar ch : text) all << QString(ch);
      for (qsizetype i = 0; i < text.size(); ++i) all << QStringLiteral("\b");
    }
    return all;
  }();
  return keys;
}

inline void ServeEvents() {
  for (int i = 0; i < 3; ++i) QCoreApplication::processEvents();
}

inline void TypeKey(CViewerDlg& window, const QString& key) {
  QLineEdit* edit = window.SearchBox()->lineEdit();
  if (!edit->hasFocus()) edit->setFocus();
  if (key == QLatin1String("\b")) {
    QTest::keyClick(edit, Qt::Key_Backspace);
  } else {
    QTest::sendKeyEvent(QTest::Click, edit, Qt::Key_unknown, key, Qt::NoModifier);
  }
  ServeEvents();
}

}  // namespace kebu::viewer::bench
