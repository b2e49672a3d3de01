// Critical sections, threads and thread ids on std::thread.
#include "platform/Threads.h"

#include <future>

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

Thread::Thread(std::function<void()> body) {
  std::promise<DWORD> idPromise;
  std::future<DWORD> idFuture = idPromise.get_future();
  mThread = std::thread([body = std::move(body), idPromise = std::move(idPromise)]() mutable {
    idPromise.set_value(GetCurrentThreadId());
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
