// libFuzzer target: arbitrary bytes as an HTTP response (status line, headers, a body by
// length, chunks or close), handed to the client's reader in pieces of a size the first
// byte picks. A response read as done never holds more body than the bytes that came.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstring>

#include "framework/core/HTTPTransfer.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size == 0) return 0;
  const std::size_t piece = 1 + data[0] % 64 * 4;  // 1 to 253 bytes per receive
  const std::uint8_t* next = data + 1;
  const std::uint8_t* end = data + size;
  Orvo::HTTPTransfer transfer;
  const int result = transfer.ReadResponse([&](char* block, int room) {
    const std::size_t n = std::min({piece, static_cast<std::size_t>(end - next), static_cast<std::size_t>(room)});
    std::memcpy(block, next, n);
    next += n;
    return static_cast<int>(n);
  });
  if (result < Orvo::HTTPTransfer::RESULT_DONE || result > Orvo::HTTPTransfer::RESULT_DISCONNECTED) __builtin_trap();
  if (transfer.GetContent().size() > size) __builtin_trap();
  return 0;
}
