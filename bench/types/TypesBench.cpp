// Decoding and encoding a 1,000-statement program with mixed arguments, and
// encoding a result area of 1,000 mixed values. "chunks/decode" counts the
// heap chunks the arenas took per decoded program.
#include "types/PICCodec.h"

#include <benchmark/benchmark.h>

namespace arxmod {
namespace {

// A mixed argument for statement i (a third of the methods read, without one).
PICType *argumentFor(MemoryBlob &blob, int i) {
  switch (i % 6) {
  case 0:
    return nullptr;
  case 1:
    return blob.make<UnsignedType>(static_cast<uint32_t>(i * 37));
  case 2:
    return blob.make<Float32Type>(static_cast<float>(i) * 0.5f);
  case 3:
    return nullptr;
  case 4:
    return makeString(blob, "setpoint");
  default: {
    auto *range = blob.make<RangeType>();
    range->setField(1, blob.make<UnsignedType>(static_cast<uint32_t>(i)));
    return range;
  }
  }
}

PICType *resultFor(MemoryBlob &blob, int i) {
  switch (i % 5) {
  case 0:
    return blob.make<Float64Type>(i * 1.25);
  case 1:
    return blob.make<UnsignedType>(static_cast<uint32_t>(i));
  case 2:
    return blob.make<ExceptionType>(5u, "No value received from device.");
  case 3:
    return blob.make<BooleanType>(static_cast<uint32_t>(i & 1));
  default:
    return makeString(blob, "kWh");
  }
}

struct ProgramFixture {
  MemoryBlob blob{1 << 20};
  Program *program = blob.make<Program>();
  std::vector<uint8_t> bytes = std::vector<uint8_t>(kResultAreaSize);

  ProgramFixture() {
    MixinRegisteredBlob::setOwnBlobCheck(false); // as in the loaded library
    for (int i = 0; i < 1000; ++i) {
      PICType *argument = argumentFor(blob, i);
      program->addStatement(static_cast<uint32_t>(0x100 + i), argument ? 22u : 21u, argument);
    }
    bytes.resize(encodePIC(*program, bytes));
  }
};

void BM_DecodeProgram1000(benchmark::State &state) {
  ProgramFixture fixture;
  const uint64_t chunksBefore = MemoryBlob::chunkAllocations();
  for (auto _ : state) {
    RegisteredMemoryBlob blob(kProgramBlobSize);
    benchmark::DoNotOptimize(decodeProgram(fixture.bytes, blob));
  }
  state.counters["chunks/decode"] =
      benchmark::Counter(static_cast<double>(MemoryBlob::chunkAllocations() - chunksBefore) /
                         static_cast<double>(state.iterations()));
  state.counters["bytes"] = static_cast<double>(fixture.bytes.size());
}
BENCHMARK(BM_DecodeProgram1000)->Unit(benchmark::kMicrosecond);

void BM_DecodeProgram10(benchmark::State &state) {
  MixinRegisteredBlob::setOwnBlobCheck(false);
  MemoryBlob source(kProgramBlobSize);
  auto *program = source.make<Program>();
  for (int i = 0; i < 10; ++i)
    program->addStatement(static_cast<uint32_t>(0x100 + i), 22u, argumentFor(source, i + 1));
  std::vector<uint8_t> bytes(kResultAreaSize);
  bytes.resize(encodePIC(*program, bytes));
  const uint64_t chunksBefore = MemoryBlob::chunkAllocations();
  for (auto _ : state) {
    RegisteredMemoryBlob blob(kProgramBlobSize);
    benchmark::DoNotOptimize(decodeProgram(bytes, blob));
  }
  state.counters["chunks/decode"] =
      benchmark::Counter(static_cast<double>(MemoryBlob::chunkAllocations() - chunksBefore) /
                         static_cast<double>(state.iterations()));
}
BENCHMARK(BM_DecodeProgram10)->Unit(benchmark::kMicrosecond);

void BM_EncodeProgram1000(benchmark::State &state) {
  ProgramFixture fixture;
  std::vector<uint8_t> buffer(kResultAreaSize);
  for (auto _ : state)
    benchmark::DoNotOptimize(encodePIC(*fixture.program, buffer));
}
BENCHMARK(BM_EncodeProgram1000)->Unit(benchmark::kMicrosecond);

void BM_EncodeResultArea1000(benchmark::State &state) {
  MixinRegisteredBlob::setOwnBlobCheck(false);
  MemoryBlob blob(1 << 20);
  std::vector<PICType *> results;
  for (int i = 0; i < 1000; ++i)
    results.push_back(resultFor(blob, i));
  ResultArea area;
  for (auto _ : state) {
    area.clear();
    for (const PICType *value : results)
      area.append(*value);
    benchmark::DoNotOptimize(area.size());
  }
  state.counters["bytes"] = static_cast<double>(area.size());
}
BENCHMARK(BM_EncodeResultArea1000)->Unit(benchmark::kMicrosecond);

} // namespace
} // namespace arxmod
