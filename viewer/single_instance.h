// One window per user. The first start takes a lock in the user's runtime
// folder and listens on a local socket beside it; a later start finds the
// lock taken, hands its command line to the socket and ends. The lock is an
// flock(2) on kebumini.lock, so it goes with its process however that ends
// (a kill -9 included): the socket file such a run leaves behind is stale,
// and the next first start removes it before listening. Since only the
// holder of the lock runs a window, two windows of one user never write the
// profile at once.
//
//   InstanceLock lock;
//   if (lock.Acquire(folder) == InstanceLock::State::kRunning)
//     return SendToRunning(SocketPath(folder), line, &error) ? 0 : 1;
//   ...  InstanceServer server; server.Listen(SocketPath(folder), &error);
#pragma once

#include <QByteArray>
#include <QObject>
#include <QString>
#include <optional>

#include "viewer/viewer_app.h"

class QLocalServer;

namespace kebu::viewer {

// The folder of the lock and the socket: $XDG_RUNTIME_DIR when it is a
// folder of the user's own that nobody else may enter; else
// TMPDIR/kebumini-UID, made so (mode 0700). Empty with *error set when
// neither can be had (the window then runs on its own).
QString RuntimeFolder(QString* error);
QString SocketPath(const QString& folder);

class InstanceLock {
 public:
  enum class State {
    kFirst,        // the lock is ours: this start runs the window
    kRunning,      // another start holds it
    kUnavailable,  // the lock file cannot be made (see Error())
  };
  InstanceLock() = default;
  ~InstanceLock();  // the lock goes with its file descriptor
  InstanceLock(const InstanceLock&) = delete;
  InstanceLock& operator=(const InstanceLock&) = delete;

  State Acquire(const QString& folder);
  const QString& Error() const { return error_; }

 private:
  int fd_ = -1;
  QString error_;
};

// A command line as the socket carries it, and back; nothing for bytes that
// are not one (or that hold more than kMaxRequestBytes).
QByteArray EncodeRequest(const CommandLine& line);
std::optional<CommandLine> DecodeRequest(const QByteArray& bytes);
inline constexpr qsizetype kMaxRequestBytes = 1 << 20;

// Hands `line` to the window listening at `socketPath` and waits until it
// has taken it: a window that is still starting is given `timeoutMs` to
// listen and answer. Plain POSIX, so it runs before any QApplication is
// made. False with *error set.
bool SendToRunning(const QString& socketPath, const CommandLine& line, QString* error,
                   int timeoutMs = 10000);

// The first start's end of the socket: each request that arrives whole is
// Requested() and answered, then the connection is closed.
class InstanceServer : public QObject {
  Q_OBJECT

 public:
  explicit InstanceServer(QObject* parent = nullptr);
  ~InstanceServer() override;

  // Listens at `socketPath`, reachable by the user only; a socket file left
  // there by a run that ended without removing it is removed first (the
  // caller holds the lock, so no window listens there). False with *error set.
  bool Listen(const QString& socketPath, QString* error);

 signals:
  void Requested(const CommandLine& line);

 private:
  void OnConnection();

  QLocalServer* server_ = nullptr;
};

}  // namespace kebu::viewer
