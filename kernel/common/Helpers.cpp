// Random range and decimal text helpers of the common library.
#include "kernel/common/Helpers.h"

#include <cerrno>
#include <climits>
#include <cstdlib>

#include "platform/Random.h"

namespace CommonLibrary {

std::uint32_t RandomInRange(std::uint32_t a, std::uint32_t b) {
  if (a > b) return 0;
  if (a == b) return a;
  return a + static_cast<std::uint32_t>(plat::rand()) % (b - a);
}

std::int32_t StringToInt(const std::string& text) {
  errno = 0;
  const long value = std::strtol(text.c_str(), nullptr, 10);
  if (value > INT32_MAX) return INT32_MAX;
  if (value < INT32_MIN) return INT32_MIN;
  return static_cast<std::int32_t>(value);
}

std::string U16ToString(std::uint16_t value) { return std::to_string(value); }

std::string IntToString(std::int32_t value) { return std::to_string(value); }

}  // namespace CommonLibrary
