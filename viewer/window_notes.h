// What the window tells the user about its dictionaries and exports, as
// text: why a file was not added, the notes of the status line (dictionaries
// missing, damage passed over), the same in full for the Dictionaries
// dialog, and the export's title and closing notice.
#pragma once

#include <QCoreApplication>
#include <QString>

#include "base/status.h"
#include "export/output.h"
#include "viewer/dictionary_list.h"

namespace kebu::viewer {

class WindowNotes {
  Q_DECLARE_TR_FUNCTIONS(WindowNotes)

 public:
  // "PATH is not a KEBU dictionary." first and the reader's detail on a line
  // after it; for other failures (a missing file, no permission) "PATH cannot
  // be opened:" and the cause.
  static QString OpenFailure(const QString& path, StatusCode code, const QString& detail);
  // A file that is in the list already, under the name it has there.
  static QString AlreadyOpen(const QString& path, const QString& first);
  // The status line's part of its own: "missing: a.dic · b.dic: 4,505
  // damaged record areas passed over"; empty when there is nothing to say.
  static QString StatusNotes(const DictionaryList& list);
  // The same for every dictionary in full (its path and the cause), one
  // line each; empty when there is nothing to say.
  static QString FullNotes(const DictionaryList& list);
  // The window title while an export runs: "KEBU mini - 453,000 /
  // 1,008,760 (44%)".
  static QString ExportTitle(const ExportStats& stats);
  // The notice of a finished export: "1,008,760 records written to PATH."
  // and the damaged areas passed over, when there were any.
  static QString ExportDone(const ExportStats& stats, const QString& target);
};

}  // namespace kebu::viewer
