// ShellExecuteA "open" through posix_spawnp("xdg-open", target): the target is one argument
// of its own, so no text of it is ever read by a shell.
#include "platform/Shell.h"

#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstring>
#include <mutex>
#include <thread>

#include "platform/Threads.h"

extern char** environ;

namespace plat {

namespace {

std::mutex& HookLock() {
  static std::mutex lock;
  return lock;
}

ShellOpenHook& Hook() {
  static ShellOpenHook hook;
  return hook;
}

bool SpawnOpener(const std::string& target) {
  pid_t pid = 0;
  char program[] = "xdg-open";
  std::string argument = target;
  char* argv[] = {program, argument.data(), nullptr};
  if (posix_spawnp(&pid, program, nullptr, nullptr, argv, environ) != 0) return false;
  // The opener returns quickly; reap it in the background so it leaves no zombie.
  StartThread([pid] {
    int status = 0;
    waitpid(pid, &status, 0);
  }).detach();
  return true;
}

}  // namespace

std::intptr_t ShellExecuteA(const void* window, const char* verb, const char* file, const char* parameters,
                            const char* directory, int showCommand) {
  // A target starting with '-' would be read by the opener as one of its options.
  if (file == nullptr || *file == '\0' || *file == '-') return 2;
  if (verb != nullptr && std::strcmp(verb, "open") != 0) return 31;
  ShellOpenHook hook;
  {
    std::lock_guard<std::mutex> guard(HookLock());
    hook = Hook();
  }
  const bool started = hook ? hook(file) : SpawnOpener(file);
  return started ? 42 : 2;
}

void SetShellOpenHook(ShellOpenHook hook) {
  std::lock_guard<std::mutex> guard(HookLock());
  Hook() = std::move(hook);
}

}  // namespace plat
