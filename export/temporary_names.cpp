#include "export/temporary_names.h"

#include <unistd.h>

#include <atomic>
#include <climits>
#include <cstring>

namespace kebu {

namespace {

enum : int { kFree, kFilling, kLive };

struct Slot {
  std::atomic<int> state{kFree};
  bool folder = false;
  char path[PATH_MAX];
};

constexpr int kSlots = 16;
Slot gSlots[kSlots];

}  // namespace

void TemporaryName::Set(const std::string& path, bool folder) {
  Clear();
  if (path.size() >= PATH_MAX) return;
  for (int i = 0; i < kSlots; ++i) {
    int expected = kFree;
    if (!gSlots[i].state.compare_exchange_strong(expected, kFilling)) continue;
    std::memcpy(gSlots[i].path, path.c_str(), path.size() + 1);
    gSlots[i].folder = folder;
    gSlots[i].state.store(kLive, std::memory_order_release);
    slot_ = i;
    return;
  }
}

void TemporaryName::Clear() {
  if (slot_ >= 0) gSlots[slot_].state.store(kFree, std::memory_order_release);
  slot_ = -1;
}

void RemoveTemporaryNames() {
  for (const bool folders : {false, true}) {
    for (Slot& slot : gSlots) {
      if (slot.state.load(std::memory_order_acquire) != kLive || slot.folder != folders) continue;
      if (folders) {
        ::rmdir(slot.path);
      } else {
        ::unlink(slot.path);
      }
    }
  }
}

std::string TemporaryNameBeside(const std::string& folder, const std::string& name,
                                const std::string& suffix) {
  const long limit = ::pathconf(folder.c_str(), _PC_NAME_MAX);
  const size_t most = limit > 0 ? static_cast<size_t>(limit) : 255;
  size_t keep = name.size();
  if (2 + keep + suffix.size() > most) {
    keep = most > 2 + suffix.size() ? most - 2 - suffix.size() : 0;
    // Not in the middle of a UTF-8 sequence.
    while (keep > 0 && (static_cast<unsigned char>(name[keep]) & 0xC0) == 0x80) --keep;
  }
  return "." + name.substr(0, keep) + "." + suffix;
}

}  // namespace kebu
