// The reference-counted base of the control factory's handle objects (fonts, sounds, cursors,
// tool tips). One rule for every holder: a reference is taken with AddRef and given back
// through the factory's release for the kind, which deletes the handle with the last one.
#pragma once

#include <atomic>
#include <cstdint>

namespace CommonLibrary {

class RefObj {
 public:
  RefObj() = default;
  virtual ~RefObj() = default;
  RefObj(const RefObj&) = delete;
  RefObj& operator=(const RefObj&) = delete;

  void AddRef() { mRefCount.fetch_add(1); }
  // Counts one reference down, never below 0, and returns how many are left. It never
  // deletes: the factory's release does, when this returns 0.
  std::int32_t Release() {
    std::int32_t count = mRefCount.load();
    while (count > 0 && !mRefCount.compare_exchange_weak(count, count - 1)) {
    }
    return count > 0 ? count - 1 : 0;
  }
  std::int32_t GetRefCount() const { return mRefCount.load(); }

 private:
  // Whoever creates the object holds this first reference.
  std::atomic<std::int32_t> mRefCount{1};
};

}  // namespace CommonLibrary
