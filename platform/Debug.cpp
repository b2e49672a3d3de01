// Debugger output: stderr on request, or a sink installed by a test.
#include "platform/Debug.h"

#include <cstdio>
#include <cstdlib>
#include <mutex>

namespace plat {

namespace {
std::mutex gSinkLock;
std::function<void(const std::string&)> gSink;
}  // namespace

void OutputDebugStringA(const char* text) {
  if (!text) return;
  {
    std::lock_guard<std::mutex> g(gSinkLock);
    if (gSink) {
      gSink(text);
      return;
    }
  }
  static const bool toStderr = std::getenv("QUORVANE_DEBUG_OUTPUT") != nullptr;
  if (toStderr) std::fputs(text, stderr);
}

void SetDebugOutputSink(std::function<void(const std::string&)> sink) {
  std::lock_guard<std::mutex> g(gSinkLock);
  gSink = std::move(sink);
}

}  // namespace plat
