// The look every window of the program shares: the program icon, the dialog
// and data fonts, counts with thousands separators and the about item's
// text. No window class here, so each window (the main one, the about box,
// the popup, Preferences) takes them without taking the others.
#pragma once

#include <QFont>
#include <QIcon>
#include <QString>

namespace kebu::viewer {

// The data font's height in pixels, and the text size steps of the View menu.
inline constexpr int kDataFontPixels = 16;
inline constexpr int kZoomStepPixels = 2;
inline constexpr int kMinZoom = -4;
inline constexpr int kMaxZoom = 16;

// Makes the resources of the viewer library (icon, texts) available; safe to
// call more than once.
void InitViewerResources();
// The program icon in its two sizes.
QIcon ProgramIcon();
// Text of the about item, "" when the resource is missing.
QString AboutItemText();
// The 9-point dialog font, and the data font of the search box, the hit list
// and the text pane. The named face comes first; where it is missing the
// Japanese faces behind it take over, so kanji keep their Japanese forms.
QFont DialogFont();
QFont DataFont(const QString& faceName, int pixelSize = kDataFontPixels);
// A count with thousands separators, "123,456".
QString Thousands(qint64 n);

}  // namespace kebu::viewer
