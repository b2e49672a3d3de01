// Write errors injected into the platform's whole-file writes, so tests reach the paths a
// full disk, a file system out of inodes or a folder the program may not write would take,
// or kill the process at one step of a save.
#pragma once

#include <cerrno>
#include <csignal>

#include "platform/Files.h"

namespace file_faults {

struct Fault {
  plat::FileWriteStep step = plat::FileWriteStep::CreateScratch;
  int error = 0;      // errno value the step fails with
  bool kill = false;  // the process kills itself there instead
};

// The faults tests name, with where each one strikes.
inline Fault DiskFull() { return {plat::FileWriteStep::Write, ENOSPC}; }
inline Fault NoInodes() { return {plat::FileWriteStep::CreateScratch, ENOSPC}; }
inline Fault FolderNotWritable() { return {plat::FileWriteStep::CreateScratch, EACCES}; }

inline Fault& Current() {
  static Fault fault;
  return fault;
}

inline int Hook(plat::FileWriteStep step, const char*) {
  if (step != Current().step) return 0;
  if (Current().kill) std::raise(SIGKILL);
  return Current().error;
}

// The fault holds for every whole-file write of the process while the object lives.
class Scoped {
 public:
  explicit Scoped(const Fault& fault) {
    Current() = fault;
    plat::SetFileWriteHook(&Hook);
  }
  ~Scoped() { plat::SetFileWriteHook(nullptr); }
  Scoped(const Scoped&) = delete;
  Scoped& operator=(const Scoped&) = delete;
};

}  // namespace file_faults
