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

std::uint32_t IdPool::Take() {
  const auto lock = SharedLock();
  std::lock_guard<std::recursive_mutex> guard(*lock);
  // Sorting a copy finds the lowest gap in one pass instead of a search per candidate.
  std::vector<std::uint32_t> sorted(mTaken);
  std::sort(sorted.begin(), sorted.end());
  std::uint32_t candidate = mBase + 1;
  for (std::uint32_t id : sorted) {
    if (id < candidate) continue;
    if (id != candidate) break;
    ++candidate;
  }
  mTaken.push_back(candidate);
  return candidate;
}

void IdPool::GiveBack(std::uint32_t id) {
  const auto lock = SharedLock();
  std::lock_guard<std::recursive_mutex> guard(*lock);
  auto it = std::find(mTaken.begin(), mTaken.end(), id);
  if (it != mTaken.end()) mTaken.erase(it);
}

}  // namespace CommonLibrary
