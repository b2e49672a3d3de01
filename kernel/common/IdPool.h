// Pools of small integer ids: each hands out the lowest id above its base that is not in use.
// Every pool of the process shares one lock, since pools are used from the main thread and
// from the timing thread.
#pragma once

#include <cstdint>
#include <set>

namespace CommonLibrary {

class IdPool {
 public:
  IdPool();
  ~IdPool();
  IdPool(const IdPool&) = delete;
  IdPool& operator=(const IdPool&) = delete;

  // The id before the first one that may be handed out.
  void SetBase(std::uint32_t base);
  std::uint32_t GetBase() const { return mBase; }

  // The lowest free id from base + 1 upward.
  std::uint32_t Take();
  // Frees an id; one that was not handed out is ignored.
  void GiveBack(std::uint32_t id);

 private:
  std::set<std::uint32_t> mTaken;
  std::uint32_t mBase = 0;
  // Every id above the base and below this one is taken, so the search for the lowest free
  // id starts here instead of at the base.
  std::uint32_t mSearchFrom = 1;
};

}  // namespace CommonLibrary
