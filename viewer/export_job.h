// One export of a dictionary into a text file, run as a BackgroundJob so
// that the window stays usable: ExportPlainText reads the dictionary's
// shared DicSource through a cursor of its own while the window goes on
// looking up with its reader. Progress and the end come back as signals on
// the window's thread.
#pragma once

#include <QByteArray>
#include <QObject>
#include <QString>
#include <atomic>
#include <memory>

#include "base/status.h"
#include "dictionary/dic_source.h"
#include "export/plain_text_export.h"

class QSocketNotifier;

namespace kebu::viewer {

class BackgroundJob;

class ExportJob : public QObject {
  Q_OBJECT

 public:
  explicit ExportJob(QObject* parent = nullptr);
  // Cancels a running export and waits for its thread.
  ~ExportJob() override;

  // Starts exporting the open dictionary `source` into `target` (file
  // system bytes). The source is shared, so the export goes on whatever the
  // window does with its list meanwhile.
  void Start(std::shared_ptr<const DicSource> source, QByteArray target, ExportOptions options);
  // Asks the export to stop; it ends with kCancelled, the target untouched.
  void Cancel();
  bool IsRunning() const { return running_; }

 signals:
  // How far it is, every 1,000 records and at the end.
  void Progress(const kebu::ExportStats& stats);
  // Ok, or why the export failed (kCancelled after Cancel).
  void Finished(const kebu::Status& result, const kebu::ExportStats& stats);

 private:
  void Drain();
  void StopDraining();

  BackgroundJob* job_;
  std::shared_ptr<std::atomic<bool>> cancelFlag_;  // the running export's
  // Running until Finished is emitted; a cancel does not end it early (the
  // export still ends with its result).
  bool running_ = false;
  QByteArray target_;
  // A FIFO target whose reader went away would hold the export in open() or
  // write() for ever: a cancel reads from it (and throws the bytes away).
  int drainFd_ = -1;
  QSocketNotifier* drainNotifier_ = nullptr;
};

}  // namespace kebu::viewer
