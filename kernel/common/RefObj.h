// The reference-counted base of the control factory's handle objects (fonts, sounds, cursors,
// tool tips). Holders change the count directly; the last one to give its reference back
// deletes the object through the virtual destructor.
#pragma once

#include <cstdint>

namespace CommonLibrary {

class RefObj {
 public:
  RefObj() = default;
  virtual ~RefObj() = default;
  RefObj(const RefObj&) = delete;
  RefObj& operator=(const RefObj&) = delete;

  // Whoever creates the object holds this first reference.
  std::int32_t refCount = 1;
};

}  // namespace CommonLibrary
