// Threads and critical sections as the framework uses them: a recursive lock per critical
// section, threads started with an entry function and an argument, thread ids and
// priorities. Priorities are recorded for the framework's bookkeeping; the scheduler of
// this system is left alone (raising priority would need privileges a game does not have).
#pragma once

#include <atomic>
#include <functional>
#include <mutex>
#include <thread>

#include "platform/Types.h"

namespace plat {

struct CRITICAL_SECTION {
  std::recursive_mutex mutex;
};

void InitializeCriticalSection(CRITICAL_SECTION* cs);
void DeleteCriticalSection(CRITICAL_SECTION* cs);
void EnterCriticalSection(CRITICAL_SECTION* cs);
void LeaveCriticalSection(CRITICAL_SECTION* cs);
BOOL TryEnterCriticalSection(CRITICAL_SECTION* cs);

constexpr int THREAD_PRIORITY_LOWEST = -2;
constexpr int THREAD_PRIORITY_BELOW_NORMAL = -1;
constexpr int THREAD_PRIORITY_NORMAL = 0;
constexpr int THREAD_PRIORITY_ABOVE_NORMAL = 1;
constexpr int THREAD_PRIORITY_HIGHEST = 2;
constexpr int THREAD_PRIORITY_TIME_CRITICAL = 15;

// Starts a thread running `body`. Every thread the program starts goes through here (Thread
// does too): the new thread first gets an alternate signal stack of its own, so that a
// fault on it, running out of stack included, still reaches the crash handler; the stack
// is given up when the thread ends.
std::thread StartThread(std::function<void()> body);

// A started thread. Join waits for it; a Thread that is destroyed while still joinable
// waits for it too, so no thread outlives the objects that started it by accident.
class Thread {
 public:
  Thread() = default;
  explicit Thread(std::function<void()> body);
  ~Thread();
  Thread(Thread&& other) noexcept = default;
  Thread& operator=(Thread&& other) noexcept;
  Thread(const Thread&) = delete;
  Thread& operator=(const Thread&) = delete;

  bool Joinable() const { return mThread.joinable(); }
  void Join();
  DWORD Id() const { return mId; }

 private:
  std::thread mThread;
  DWORD mId = 0;
};

// A small number unique to the calling thread for the life of the process (never 0).
DWORD GetCurrentThreadId();

// The priority last set for the calling thread (THREAD_PRIORITY_NORMAL by default).
BOOL SetThreadPriority(int priority);
int GetThreadPriority();

}  // namespace plat
