// Allocation tracker and leak report.
#include "framework/core/LeakReport.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <map>

#include "framework/core/Common.h"
#include "framework/core/DebugTools.h"
#include "platform/Debug.h"

namespace Orvo {

namespace {

struct AllocationRecord {
  int mSize = 0;
  char mFile[260] = {};
  int mLine = 0;
};

struct LeakTracker {
  bool mActive = true;
  CriticalSection mSection;
  std::map<const void*, AllocationRecord> mAllocations;
};

// Created on first use and never destroyed, so allocations tracked from other static
// objects' destructors find it still there.
LeakTracker& Tracker() {
  static LeakTracker* tracker = new LeakTracker;
  return *tracker;
}

// Runs once at process exit: the report (even an empty one, so a clean run says so), then
// the tracker stops taking records.
void WriteReportAtExit() {
  LeakTracker& t = Tracker();
  WriteLeakReport();
  ScopedCriticalSection lock(t.mSection);
  t.mActive = false;
  t.mAllocations.clear();
}

// A program that links the tracker is active from its start and reports at its exit.
struct ActiveFromStart {
  ActiveFromStart() {
    Tracker();
    std::atexit(WriteReportAtExit);
  }
} gActiveFromStart;

}  // namespace

void TrackAllocation(const void* address, int size, const char* file, int line) {
  LeakTracker& t = Tracker();
  ScopedCriticalSection lock(t.mSection);
  if (!t.mActive || address == nullptr) return;
  AllocationRecord& record = t.mAllocations[address];
  record.mSize = size;
  std::snprintf(record.mFile, sizeof(record.mFile), "%s", file != nullptr ? file : "");
  record.mLine = line;
}

void ForgetAllocation(const void* address) {
  LeakTracker& t = Tracker();
  ScopedCriticalSection lock(t.mSection);
  t.mAllocations.erase(address);
}

void ClearTrackedAllocations() {
  LeakTracker& t = Tracker();
  ScopedCriticalSection lock(t.mSection);
  t.mAllocations.clear();
}

std::string LeakReportText(const std::string& when) {
  LeakTracker& t = Tracker();
  ScopedCriticalSection lock(t.mSection);
  std::string text = FormatString("Memory Leak Report for %s\n", when.c_str());
  long long total = 0;
  for (const auto& [address, record] : t.mAllocations) {
    text += FormatString("%s(%d) : Leak %d byte%s\n", record.mFile, record.mLine, record.mSize,
                         record.mSize > 1 ? "s" : "");
    total += record.mSize;
  }
  text += std::string(59, '-') + "\n";
  text += FormatString("Total Unfreed: %lld bytes (%lldKB)\n\n", total, total / 1024);
  return text;
}

void WriteLeakReport(const std::string& fileName) {
  LeakTracker& t = Tracker();
  ScopedCriticalSection lock(t.mSection);
  if (!t.mActive) return;
  const std::time_t now = std::time(nullptr);
  const std::tm* local = std::localtime(&now);
  const char* when = local != nullptr ? std::asctime(local) : nullptr;
  const std::string text = LeakReportText(when != nullptr ? when : "\n");
  WriteTextFileAtomically(fileName, text);
  plat::OutputDebugStringA("\n");
  std::size_t start = 0;
  while (start < text.size()) {
    std::size_t end = text.find('\n', start);
    end = end == std::string::npos ? text.size() : end + 1;
    plat::OutputDebugStringA(text.substr(start, end - start).c_str());
    start = end;
  }
}

}  // namespace Orvo
