// The bit buffer's hot paths, as a demo recording and its playback use them: records of
// a few bits each (the stream's headers and mouse moves) and whole bytes (payloads),
// against std::vector<bool> for the bits, std::vector<uint8_t> for the bytes, and memcpy
// of the same number of bytes as the memory-bandwidth ceiling.
#include <benchmark/benchmark.h>

#include <cstdint>
#include <cstring>
#include <vector>

#include "framework/core/Buffer.h"

namespace {

constexpr int kRecords = 4096;

// A mouse-move record: 4-bit stamp, kind, code, two 6-bit offsets (18 bits).
void BM_BufferWriteMoveRecords(benchmark::State& state) {
  for (auto _ : state) {
    Orvo::Buffer b;
    for (int i = 0; i < kRecords; ++i) {
      b.WriteNumBits(i & 15, 4);
      b.WriteNumBits(1, 1);
      b.WriteNumBits(0, 1);
      b.WriteNumBits(i % 61 - 30, 6);
      b.WriteNumBits(30 - i % 61, 6);
    }
    benchmark::DoNotOptimize(b.GetDataPtr());
  }
  state.SetItemsProcessed(state.iterations() * kRecords);
  state.SetBytesProcessed(state.iterations() * kRecords * 18 / 8);
}

void BM_VectorBoolWriteMoveRecords(benchmark::State& state) {
  for (auto _ : state) {
    std::vector<bool> bits;
    auto put = [&bits](int value, int count) {
      for (int k = 0; k < count; ++k) bits.push_back((value >> k) & 1);
    };
    for (int i = 0; i < kRecords; ++i) {
      put(i & 15, 4);
      put(1, 1);
      put(0, 1);
      put(i % 61 - 30, 6);
      put(30 - i % 61, 6);
    }
    benchmark::DoNotOptimize(bits.size());
  }
  state.SetItemsProcessed(state.iterations() * kRecords);
  state.SetBytesProcessed(state.iterations() * kRecords * 18 / 8);
}

void BM_BufferReadMoveRecords(benchmark::State& state) {
  Orvo::Buffer b;
  for (int i = 0; i < kRecords; ++i) b.WriteNumBits(i, 18);
  for (auto _ : state) {
    b.SeekFront();
    int sum = 0;
    for (int i = 0; i < kRecords; ++i) {
      sum += b.ReadNumBits(4, false) + b.ReadNumBits(1, false) + b.ReadNumBits(1, false);
      sum += b.ReadNumBits(6, true) + b.ReadNumBits(6, true);
    }
    benchmark::DoNotOptimize(sum);
  }
  state.SetItemsProcessed(state.iterations() * kRecords);
  state.SetBytesProcessed(state.iterations() * kRecords * 18 / 8);
}

// Payload bytes written at an odd bit offset (the usual case after a header).
void BM_BufferWriteBytesUnaligned(benchmark::State& state) {
  const std::vector<std::uint8_t> payload(state.range(0), 0x5A);
  for (auto _ : state) {
    Orvo::Buffer b;
    b.WriteNumBits(1, 3);
    b.WriteBytes(payload.data(), static_cast<int>(payload.size()));
    benchmark::DoNotOptimize(b.GetDataPtr());
  }
  state.SetBytesProcessed(state.iterations() * state.range(0));
}

void BM_VectorBytesPushBack(benchmark::State& state) {
  const std::vector<std::uint8_t> payload(state.range(0), 0x5A);
  for (auto _ : state) {
    std::vector<std::uint8_t> v;
    for (std::uint8_t byte : payload) v.push_back(byte);
    benchmark::DoNotOptimize(v.data());
  }
  state.SetBytesProcessed(state.iterations() * state.range(0));
}

void BM_Memcpy(benchmark::State& state) {
  const std::vector<std::uint8_t> payload(state.range(0), 0x5A);
  std::vector<std::uint8_t> out(state.range(0));
  for (auto _ : state) {
    std::memcpy(out.data(), payload.data(), payload.size());
    benchmark::DoNotOptimize(out.data());
  }
  state.SetBytesProcessed(state.iterations() * state.range(0));
}

}  // namespace

BENCHMARK(BM_BufferWriteMoveRecords);
BENCHMARK(BM_VectorBoolWriteMoveRecords);
BENCHMARK(BM_BufferReadMoveRecords);
BENCHMARK(BM_BufferWriteBytesUnaligned)->Arg(4096);
BENCHMARK(BM_VectorBytesPushBack)->Arg(4096);
BENCHMARK(BM_Memcpy)->Arg(4096);

BENCHMARK_MAIN();
