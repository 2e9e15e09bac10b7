#include "viewer/single_instance.h"

#include <fcntl.h>
#include <poll.h>
#include <sys/file.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

#include <QDataStream>
#include <QDir>
#include <QFile>
#include <QLocalServer>
#include <QLocalSocket>
#include <QTimer>
#include <cerrno>
#include <chrono>
#include <cstring>
#include <thread>

namespace kebu::viewer {

namespace {

constexpr char kMagic[] = "kebumini request 1";
// A connection that has not sent its request whole by then is dropped.
constexpr int kConnectionTimeoutMs = 10000;

QString SystemError(int error) { return QString::fromLocal8Bit(std::strerror(error)); }

// Whether `path` is a folder (not a link) of this user's that nobody else
// may enter.
bool IsPrivateFolder(const QByteArray& path) {
  struct stat st {};
  return ::lstat(path.constData(), &st) == 0 && S_ISDIR(st.st_mode) && st.st_uid == ::getuid() &&
         (st.st_mode & 077) == 0;
}

QByteArray Frame(const QByteArray& payload) {
  QByteArray frame;
  QDataStream(&frame, QIODevice::WriteOnly) << static_cast<quint32>(payload.size());
  return frame + payload;
}

// The length in a frame's first four bytes.
qsizetype FrameLength(const QByteArray& bytes) {
  quint32 length = 0;
  QDataStream(bytes.left(4)) >> length;
  return static_cast<qsizetype>(length);
}

}  // namespace

QString RuntimeFolder(QString* error) {
  const QByteArray runtime = qgetenv("XDG_RUNTIME_DIR");
  if (runtime.startsWith('/') && IsPrivateFolder(runtime)) return QFile::decodeName(runtime);
  const QByteArray own =
      QFile::encodeName(QDir::tempPath()) + "/kebumini-" + QByteArray::number(::getuid());
  if (::mkdir(own.constData(), 0700) != 0 && errno != EEXIST) {
    *error = QStringLiteral("%1: %2").arg(QFile::decodeName(own), SystemError(errno));
    return {};
  }
  if (!IsPrivateFolder(own)) {
    *error = QStringLiteral("%1 is not a folder of this user's alone").arg(QFile::decodeName(own));
    return {};
  }
  return QFile::decodeName(own);
}

QString SocketPath(const QString& folder) { return folder + QLatin1String("/kebumini.socket"); }

InstanceLock::~InstanceLock() {
  if (fd_ >= 0) ::close(fd_);
}

InstanceLock::State InstanceLock::Acquire(const QString& folder) {
  const QByteArray path = QFile::encodeName(folder + QLatin1String("/kebumini.lock"));
  fd_ = ::open(path.constData(), O_RDWR | O_CREAT | O_CLOEXEC | O_NOFOLLOW, 0600);
  if (fd_ < 0) {
    error_ = QStringLiteral("%1: %2").arg(QFile::decodeName(path), SystemError(errno));
    return State::kUnavailable;
  }
  int result;
  while ((result = ::flock(fd_, LOCK_EX | LOCK_NB)) != 0 && errno == EINTR) {
  }
  if (result == 0) return State::kFirst;
  const int failure = errno;
  ::close(fd_);
  fd_ = -1;
  if (failure == EWOULDBLOCK) return State::kRunning;
  error_ = QStringLiteral("%1: %2").arg(QFile::decodeName(path), SystemError(failure));
  return State::kUnavailable;
}

QByteArray EncodeRequest(const CommandLine& line) {
  QByteArray bytes;
  QDataStream out(&bytes, QIODevice::WriteOnly);
  out.setVersion(QDataStream::Qt_6_0);
  out << QByteArray(kMagic) << QList<QByteArray>(line.files.begin(), line.files.end())
      << line.lookup.has_value() << line.lookup.value_or(QString()) << line.lookupSelection;
  return bytes;
}

std::optional<CommandLine> DecodeRequest(const QByteArray& bytes) {
  if (bytes.size() > kMaxRequestBytes) return std::nullopt;
  QDataStream in(bytes);
  in.setVersion(QDataStream::Qt_6_0);
  QByteArray magic;
  QList<QByteArray> files;
  bool hasLookup = false;
  QString lookup;
  CommandLine line;
  in >> magic >> files >> hasLookup >> lookup >> line.lookupSelection;
  if (in.status() != QDataStream::Ok || !in.atEnd() || magic != kMagic) return std::nullopt;
  for (const QByteArray& file : files) {
    if (!file.startsWith('/')) return std::nullopt;  // a start sends absolute paths only
  }
  line.files.assign(files.begin(), files.end());
  if (hasLookup) line.lookup = lookup;
  return line;
}

bool SendToRunning(const QString& socketPath, const CommandLine& line, QString* error,
                   int timeoutMs) {
  using Clock = std::chrono::steady_clock;
  const Clock::time_point deadline = Clock::now() + std::chrono::milliseconds(timeoutMs);
  const auto remainingMs = [&] {
    return static_cast<int>(std::max<int64_t>(
        0, std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now()).count()));
  };
  const QByteArray path = QFile::encodeName(socketPath);
  sockaddr_un address{};
  address.sun_family = AF_UNIX;
  if (path.size() >= static_cast<qsizetype>(sizeof address.sun_path)) {
    *error = socketPath + QLatin1String(": the path is too long for a socket");
    return false;
  }
  std::memcpy(address.sun_path, path.constData(), static_cast<size_t>(path.size()));
  const auto fail = [&](int fd, const QString& what, int err) {
    if (fd >= 0) ::close(fd);
    *error = QStringLiteral("%1 (%2): %3").arg(what, socketPath, SystemError(err));
    return false;
  };
  int fd = -1;
  for (;;) {
    fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (fd < 0) return fail(-1, QStringLiteral("cannot make a socket"), errno);
    if (::connect(fd, reinterpret_cast<const sockaddr*>(&address), sizeof address) == 0) break;
    const int err = errno;
    ::close(fd);
    // The window holding the lock may not listen yet.
    if ((err != ENOENT && err != ECONNREFUSED && err != EINTR) || remainingMs() == 0) {
      return fail(-1, QStringLiteral("the running window cannot be reached"), err);
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
  const QByteArray frame = Frame(EncodeRequest(line));
  for (qsizetype sent = 0; sent < frame.size();) {
    const ssize_t n = ::send(fd, frame.constData() + sent, static_cast<size_t>(frame.size() - sent),
                             MSG_NOSIGNAL);
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) return fail(fd, QStringLiteral("the running window does not listen"), errno);
    sent += n;
  }
  pollfd wait{fd, POLLIN, 0};
  char answer = 0;
  for (;;) {
    const int ready = ::poll(&wait, 1, remainingMs());
    if (ready < 0 && errno == EINTR) continue;
    if (ready == 0) return fail(fd, QStringLiteral("the running window does not answer"), ETIMEDOUT);
    const ssize_t n = ::read(fd, &answer, 1);
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) return fail(fd, QStringLiteral("the running window does not answer"), errno);
    break;
  }
  ::close(fd);
  if (answer != '1') {
    *error = QStringLiteral("the running window (%1) refused the request").arg(socketPath);
    return false;
  }
  return true;
}

InstanceServer::InstanceServer(QObject* parent) : QObject(parent) {}

InstanceServer::~InstanceServer() = default;

bool InstanceServer::Listen(const QString& socketPath, QString* error) {
  delete server_;
  server_ = new QLocalServer(this);
  server_->setSocketOptions(QLocalServer::UserAccessOption);
  QLocalServer::removeServer(socketPath);
  if (!server_->listen(socketPath)) {
    *error = socketPath + QLatin1String(": ") + server_->errorString();
    return false;
  }
  connect(server_, &QLocalServer::newConnection, this, &InstanceServer::OnConnection);
  return true;
}

void InstanceServer::OnConnection() {
  while (QLocalSocket* socket = server_->nextPendingConnection()) {
    connect(socket, &QLocalSocket::disconnected, socket, &QObject::deleteLater);
    QTimer::singleShot(kConnectionTimeoutMs, socket, &QLocalSocket::abort);
    auto buffer = std::make_shared<QByteArray>();
    connect(socket, &QLocalSocket::readyRead, this, [this, socket, buffer] {
      *buffer += socket->readAll();
      if (buffer->size() < 4) return;
      const qsizetype length = FrameLength(*buffer);
      if (length > kMaxRequestBytes) return socket->abort();
      if (buffer->size() < 4 + length) return;
      const std::optional<CommandLine> line = DecodeRequest(buffer->mid(4, length));
      // The start that sent it ends as soon as it is answered, whatever the
      // window does with the request (a message box may wait for the user).
      socket->write(line ? "1" : "0");
      socket->disconnectFromServer();
      if (line) emit Requested(*line);
    });
  }
}

}  // namespace kebu::viewer
