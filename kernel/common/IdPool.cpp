// Id pools sharing one process-wide lock, made with the first pool and dropped with the last.
#include "kernel/common/IdPool.h"

#include <algorithm>
#include <memory>
#include <mutex>

namespace CommonLibrary {
namespace {

std::mutex gLifetimeMutex;             // guards the shared lock's creation and count of pools
std::shared_ptr<std::recursive_mutex> gPoolLock;
int gPoolCount = 0;

std::shared_ptr<std::recursive_mutex> SharedLock() {
  std::lock_guard<std::mutex> guard(gLifetimeMutex);
  return gPoolLock;
}

}  // namespace

IdPool::IdPool() {
  std::lock_guard<std::mutex> guard(gLifetimeMutex);
  if (gPoolCount++ == 0) gPoolLock = std::make_shared<std::recursive_mutex>();
}

IdPool::~IdPool() {
  std::lock_guard<std::mutex> guard(gLifetimeMutex);
  if (--gPoolCount == 0) gPoolLock.reset();
}

void IdPool::SetBase(std::uint32_t base) {
  const auto lock = SharedLock();
  std::lock_guard<std::recursive_mutex> guard(*lock);
  mBase = base;
  mSearchFrom = base + 1;
}

std::uint32_t IdPool::Take() {
  const auto lock = SharedLock();
  std::lock_guard<std::recursive_mutex> guard(*lock);
  std::uint32_t candidate = std::max(mSearchFrom, mBase + 1);
  for (auto it = mTaken.lower_bound(candidate); it != mTaken.end() && *it == candidate; ++it) ++candidate;
  mTaken.insert(candidate);
  mSearchFrom = candidate + 1;
  return candidate;
}

void IdPool::GiveBack(std::uint32_t id) {
  const auto lock = SharedLock();
  std::lock_guard<std::recursive_mutex> guard(*lock);
  if (mTaken.erase(id) != 0 && id < mSearchFrom) mSearchFrom = id;
}

}  // namespace CommonLibrary
