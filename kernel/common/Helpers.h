// Small helpers the kernel libraries and the game share: a random integer in a range and
// conversions between decimal text and integers.
#pragma once

#include <cstdint>
#include <string>

namespace CommonLibrary {

// a + rand() % (b - a) for a < b, so b itself is never returned; a for a == b; 0 for a > b.
// Draws from the runtime's seeded 15-bit generator, so a range wider than 32,768 only
// reaches a + 32,767.
std::uint32_t RandomInRange(std::uint32_t a, std::uint32_t b);

// Decimal text as strtol reads it: leading blanks, an optional sign, digits; 0 without any.
// Values beyond the 32-bit range are held at its ends.
std::int32_t StringToInt(const std::string& text);

std::string U16ToString(std::uint16_t value);
std::string IntToString(std::int32_t value);

}  // namespace CommonLibrary
