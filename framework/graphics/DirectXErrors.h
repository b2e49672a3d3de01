// Turns result codes of the display, 3D and sound services into the constant names the
// DirectX SDK gives them, for log lines and stored error texts.
#pragma once

#include <cstdint>
#include <string>

namespace Orvo {

// The SDK constant name of `code`, or the code in lower-case hexadecimal ("%x") when it has none.
std::string DirectXErrorName(std::uint32_t code);

}  // namespace Orvo
