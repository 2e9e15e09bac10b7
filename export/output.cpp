#include "export/output.h"

#include <new>

namespace kebu {

Status NoRecordRead(int32_t nword) {
  return Status::Corrupt("no record could be read, though the header counts " +
                         std::to_string(nword));
}

Status WriteOutputFile(const std::shared_ptr<const DicSource>& source, const std::string& path,
                       const std::function<Status(AtomicOutput&)>& write) {
  if (source == nullptr) return Status::InvalidArgument("no dictionary is open");
  if (source->file.IsSameFile(path)) {
    return Status::InvalidArgument("is the dictionary being read; choose another file");
  }
  try {
    AtomicOutput output;
    if (Status created = output.Create(path); !created.IsOk()) return created;
    Status status = write(output);
    if (status.IsOk()) status = output.Commit();
    return status;  // anything else: the output is abandoned, the target untouched
  } catch (const std::bad_alloc&) {
    return Status::OutOfMemory();
  }
}

}  // namespace kebu
