// The names of temporary files and folders that outputs are being made
// under, kept where a signal handler can reach them: a command that must end
// at once (a signal its work does not look at in time) removes them before
// it exits, so that nothing is left behind.
#pragma once

#include <string>

namespace kebu {

// A name registered for as long as the object lives (or until Clear). A
// name that does not fit the table (more than 16 at once, longer than
// PATH_MAX) is not registered; the output works all the same.
class TemporaryName {
 public:
  TemporaryName() = default;
  ~TemporaryName() { Clear(); }
  TemporaryName(const TemporaryName&) = delete;
  TemporaryName& operator=(const TemporaryName&) = delete;

  // Registers `path`, a file or (with `folder`) a folder, replacing the
  // name held before.
  void Set(const std::string& path, bool folder = false);
  void Clear();

 private:
  int slot_ = -1;
};

// Removes every registered name: files first, then folders (each empty by
// then, or left). Async-signal-safe.
void RemoveTemporaryNames();

// The name of a temporary entry beside `target`'s last component in its
// folder: "." + that name + "." + `suffix`, the name shortened (at a
// character's end) so that the whole fits the folder's limit for names
// whenever the target's name does.
std::string TemporaryNameBeside(const std::string& folder, const std::string& name,
                                const std::string& suffix);

}  // namespace kebu
