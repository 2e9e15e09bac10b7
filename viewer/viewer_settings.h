// The window's settings and their keys in the profile (section [Globals]):
//
//   FilePath               the first dictionary (file system bytes, as written)
//   MoreFilePaths          the other dictionaries, in order: paths separated by
//                          "|", with "%" written as %25, "|" as %7C, line feed
//                          and carriage return as %0A and %0D (no other
//                          escapes); missing or empty: none
//   UnsearchedDictionaries the dictionaries left out of searches, by position
//                          counted from 1 (FilePath is 1): "2,3"
//   SearchWordList         kept as it is
//   fontName               the face of the search box, list and pane
//   WindowGeometry         x,y,width,height of the window in pixels
//   SplitterSizes          heights of the list and the pane
//   ColumnWidths           widths of No., title, L and Dictionary
//   TextZoom               the text size in steps from the default (Ctrl+Plus...)
//   SearchMode             "headword" (the default) or "fulltext": what Enter
//                          searches and whether typing lists headwords
//   FullTextExact          1: full-text search without folding; 0 or missing:
//                          folded
//   FullTextOrder          "file" (the default): full-text hits in file order;
//                          "best": a headword equal to the key first, then
//                          headwords holding it, then the rest
//   ScanSelections         1: scan mode on (a new selection opens the popup);
//                          0 or missing: off
//   ScanPrimary            0: the primary selection (selected text) is not
//                          scanned; 1 or missing: it is
//   ScanClipboard          1: copied text is scanned too; 0 or missing: not
//   ScanModifier           none (the default), ctrl, alt, shift or meta: the
//                          key that must be held for a selection to count
//   ScanMaxChars           the longest text scanned, in characters (default
//                          80, 1 to 1000)
//   DictionaryForms        0: the popup looks words up only as selected; 1
//                          or missing: their dictionary forms too
//   ShowReadings           0: no Reading column, no reading line in the pane;
//                          1 or missing: both shown
//   SearchHistory          the keys searched, newest first, at most 100,
//                          written as MoreFilePaths is (UTF-8)
//
// A profile without the new keys reads as one dictionary, the default window.
#pragma once

#include <QByteArray>
#include <QList>
#include <QRect>
#include <QString>
#include <QStringList>
#include <vector>

#include "viewer/profile.h"

namespace kebu::viewer {

inline constexpr char kDefaultFontName[] = "MS UI Gothic";

// The reading companion's settings (viewer/companion.h); the defaults are
// those of a profile without the keys.
struct CompanionSettings {
  bool scan = false;
  bool primary = true;
  bool clipboard = false;
  Qt::KeyboardModifier modifier = Qt::NoModifier;  // one of Ctrl, Alt, Shift, Meta
  int maxChars = 80;
  bool forms = true;
  bool operator==(const CompanionSettings&) const = default;
};
inline constexpr int kScanMaxCharsLimit = 1000;
inline constexpr int kHistoryLimit = 100;

struct ViewerSettings {
  std::vector<QByteArray> paths;  // FilePath, then MoreFilePaths
  QList<int> unsearched;          // positions in `paths`, from 0
  QByteArray searchWordList;      // as read
  QByteArray fontName = kDefaultFontName;
  QRect geometry;  // empty: the default size, placed by the system
  QList<int> splitterSizes;
  QList<int> columnWidths;
  int zoom = 0;
  bool fullText = false;  // SearchMode=fulltext
  bool exact = false;     // FullTextExact=1
  bool bestFirst = false; // FullTextOrder=best
  bool readings = true;   // ShowReadings
  QStringList history;    // SearchHistory
  CompanionSettings companion;
};

ViewerSettings ReadSettings(const Profile& profile);
// FilePath, SearchWordList and fontName are always written; MoreFilePaths,
// UnsearchedDictionaries, SearchMode, FullTextExact, FullTextOrder and the
// companion's keys
// only when they hold something other than the default or were there before.
void WriteSettings(const ViewerSettings& settings, Profile* profile);

// The MoreFilePaths list.
QByteArray JoinPaths(const std::vector<QByteArray>& paths);
std::vector<QByteArray> SplitPaths(const QByteArray& text);

}  // namespace kebu::viewer
