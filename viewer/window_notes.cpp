#include "viewer/window_notes.h"

#include <QFile>
#include <QStringList>

#include "viewer/viewer_dlg.h"

namespace kebu::viewer {

QString WindowNotes::OpenFailure(const QString& path, StatusCode code, const QString& detail) {
  if (code == StatusCode::kCorrupt || code == StatusCode::kUnsupported) {
    return tr("%1 is not a KEBU dictionary.").arg(path) + QLatin1Char('\n') + detail;
  }
  return tr("%1 cannot be opened: %2").arg(path, detail);
}

QString WindowNotes::AlreadyOpen(const QString& path, const QString& first) {
  return tr("%1 is in the list already, as %2.").arg(path, first);
}

QString WindowNotes::StatusNotes(const DictionaryList& list) {
  QStringList missing, notes;
  for (int i = 0; i < list.Size(); ++i) {
    const Dictionary& d = list.At(i);
    if (!d.IsOpen()) missing << d.name;
    if (d.damagedAreas > 0) {
      notes << tr("%1: %2 damaged record areas passed over").arg(d.name, Thousands(d.damagedAreas));
    }
  }
  if (!missing.isEmpty()) notes.prepend(tr("missing: %1").arg(missing.join(QStringLiteral(", "))));
  return notes.join(QStringLiteral(" · "));
}

QString WindowNotes::FullNotes(const DictionaryList& list) {
  QStringList lines;
  for (int i = 0; i < list.Size(); ++i) {
    const Dictionary& d = list.At(i);
    const QString path = QFile::decodeName(d.path);
    if (!d.IsOpen()) lines << tr("%1 is missing: %2").arg(path, d.error);
    if (d.damagedAreas > 0) {
      lines << tr("%1: the last full-text search passed over %2 damaged record areas; their "
                  "records were not searched.")
                   .arg(path, Thousands(d.damagedAreas));
    }
  }
  return lines.join(QLatin1Char('\n'));
}

QString WindowNotes::ExportTitle(const ExportStats& stats) {
  QString title = QLatin1String(kTitlePrefix) +
                  QStringLiteral("%1 / %2").arg(Thousands(stats.written), Thousands(stats.nword));
  if (stats.nword > 0) title += QStringLiteral(" (%1%)").arg(stats.written * 100 / stats.nword);
  return title;
}

QString WindowNotes::ExportDone(const ExportStats& stats, const QString& target) {
  QString text = stats.written == 1 ? tr("1 record written to %1.").arg(target)
                                    : tr("%1 records written to %2.")
                                          .arg(Thousands(stats.written), target);
  if (stats.skippedAreas > 0) {
    text += QLatin1Char('\n') +
            tr("%1 damaged record areas were passed over.").arg(Thousands(stats.skippedAreas));
  }
  return text;
}

}  // namespace kebu::viewer
