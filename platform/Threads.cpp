// Critical sections, threads and thread ids on std::thread.
#include "platform/Threads.h"

#include "platform/Crash.h"

#include <future>
#include <memory>

namespace plat {

void InitializeCriticalSection(CRITICAL_SECTION*) {}
void DeleteCriticalSection(CRITICAL_SECTION*) {}
void EnterCriticalSection(CRITICAL_SECTION* cs) { cs->mutex.lock(); }
void LeaveCriticalSection(CRITICAL_SECTION* cs) { cs->mutex.unlock(); }
BOOL TryEnterCriticalSection(CRITICAL_SECTION* cs) { return cs->mutex.try_lock() ? TRUE : FALSE; }

namespace {
std::atomic<DWORD> gNextThreadId{1};
thread_local DWORD tThreadId = 0;
thread_local int tPriority = THREAD_PRIORITY_NORMAL;
}  // namespace

DWORD GetCurrentThreadId() {
  if (tThreadId == 0) tThreadId = gNextThreadId.fetch_add(1);
  return tThreadId;
}

BOOL SetThreadPriority(int priority) {
  tPriority = priority;
  return TRUE;
}

int GetThreadPriority() { return tPriority; }

std::thread StartThread(std::function<void()> body) {
  return std::thread([body = std::move(body)] {
    EnsureCrashSignalStack();
    body();
  });
}

Thread::Thread(std::function<void()> body) {
  auto idPromise = std::make_shared<std::promise<DWORD>>();
  std::future<DWORD> idFuture = idPromise->get_future();
  mThread = StartThread([body = std::move(body), idPromise] {
    idPromise->set_value(GetCurrentThreadId());
    body();
  });
  mId = idFuture.get();
}

Thread::~Thread() { Join(); }

Thread& Thread::operator=(Thread&& other) noexcept {
  if (this != &other) {
    Join();
    mThread = std::move(other.mThread);
    mId = other.mId;
  }
  return *this;
}

void Thread::Join() {
  if (mThread.joinable() && mThread.get_id() != std::this_thread::get_id()) mThread.join();
}

}  // namespace plat
