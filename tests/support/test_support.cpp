#include "tests/support/test_support.h"

#include <fcntl.h>
#include <signal.h>
#include <poll.h>
#include <pty.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <stdexcept>
#include <system_error>

namespace kebu::testing {

BuiltDictionary MakeDictionary(std::vector<Record> records, const Options& options) {
  Result<BuiltDictionary> built = BuildDictionary(std::move(records), options);
  if (!built.IsOk()) throw std::runtime_error("BuildDictionary: " + built.GetStatus().Message());
  return std::move(built).Value();
}

TempDir::TempDir() {
  std::string pattern = (std::filesystem::temp_directory_path() / "kebu-test-XXXXXX").string();
  if (mkdtemp(pattern.data()) == nullptr) {
    throw std::system_error(errno, std::generic_category(), "mkdtemp");
  }
  path_ = pattern;
}

TempDir::~TempDir() {
  std::error_code ignored;
  std::filesystem::remove_all(path_, ignored);
}

void WriteFile(const std::filesystem::path& path, std::span<const uint8_t> bytes) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
  if (!out.flush()) throw std::runtime_error("cannot write " + path.string());
}

void WriteFile(const std::filesystem::path& path, std::string_view bytes) {
  WriteFile(path, std::span<const uint8_t>(reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size()));
}

std::vector<uint8_t> ReadFile(const std::filesystem::path& path) {
  std::ifstream in(path, std::ios::binary);
  if (!in) throw std::runtime_error("cannot read " + path.string());
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

std::string ReadText(const std::filesystem::path& path) {
  const std::vector<uint8_t> bytes = ReadFile(path);
  return std::string(bytes.begin(), bytes.end());
}

::testing::AssertionResult SameText(const std::string& actual, const std::string& expected) {
  if (actual == expected) return ::testing::AssertionSuccess();
  const size_t n = std::min(actual.size(), expected.size());
  size_t at = 0;
  while (at < n && actual[at] == expected[at]) ++at;
  const size_t from = at < 80 ? 0 : at - 80;
  return ::testing::AssertionFailure()
         << "sizes " << actual.size() << " and " << expected.size() << ", first difference at byte "
         << at << "\n  actual:   " << ::testing::PrintToString(actual.substr(from, 160))
         << "\n  expected: " << ::testing::PrintToString(expected.substr(from, 160));
}

namespace {

// Reads both descriptors to their end.
void Drain(int out, int err, RunResult* result) {
  pollfd fds[2] = {{out, POLLIN, 0}, {err, POLLIN, 0}};
  char buffer[65536];
  for (int open = err >= 0 ? 2 : 1; open > 0;) {
    if (::poll(fds, err >= 0 ? 2 : 1, -1) < 0 && errno != EINTR) break;
    for (int i = 0; i < 2; ++i) {
      if (fds[i].fd < 0 || fds[i].revents == 0) continue;
      const ssize_t n = ::read(fds[i].fd, buffer, sizeof buffer);
      if (n > 0) {
        (i == 0 ? result->out : result->err).append(buffer, static_cast<size_t>(n));
      } else if (n == 0 || errno != EINTR) {
        fds[i].fd = -1;
        --open;
      }
    }
  }
}

}  // namespace

RunResult Run(const std::string& program, const std::vector<std::string>& args,
              const RunOptions& options) {
  std::vector<std::string> copies = args;
  std::vector<char*> argv{const_cast<char*>(program.c_str())};
  for (std::string& a : copies) argv.push_back(a.data());
  argv.push_back(nullptr);
  int out[2], err[2];
  int terminal = -1;
  if (::pipe(err) != 0 || (!options.terminal && ::pipe(out) != 0)) throw std::runtime_error("pipe");
  const pid_t pid = options.terminal ? ::forkpty(&terminal, nullptr, nullptr, nullptr) : ::fork();
  if (pid < 0) throw std::runtime_error("fork");
  if (pid == 0) {
    const int null = ::open("/dev/null", O_RDONLY);
    ::dup2(null, 0);
    if (!options.terminal) {
      ::dup2(options.stdoutFile.empty()
                 ? out[1]
                 : ::open(options.stdoutFile.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644), 1);
      ::dup2(err[1], 2);
    }
    if (options.fileSizeKb > 0) {  // SIGXFSZ as the program has it
      const rlimit limit{static_cast<rlim_t>(options.fileSizeKb) * 1024, static_cast<rlim_t>(options.fileSizeKb) * 1024};
      ::setrlimit(RLIMIT_FSIZE, &limit);
    }
    if (options.memoryKb > 0) {
      const rlimit limit{static_cast<rlim_t>(options.memoryKb) * 1024, static_cast<rlim_t>(options.memoryKb) * 1024};
      ::setrlimit(RLIMIT_AS, &limit);
    }
    ::execv(program.c_str(), argv.data());
    ::_exit(127);
  }
  ::close(err[1]);
  if (!options.terminal) ::close(out[1]);
  RunResult result;
  Drain(options.terminal ? terminal : out[0], err[0], &result);
  ::close(options.terminal ? terminal : out[0]);
  ::close(err[0]);
  int status = 0;
  ::waitpid(pid, &status, 0);
  result.status = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
  return result;
}

}  // namespace kebu::testing
