// Fuzz loops over the position file and data log readers: seeded, so every
// run reads the same mutated files. Each reader must refuse or accept every
// file without a fault (the sanitizer builds check that), and what it
// accepts must be consistent: positions from a file that passed its CRC,
// records only in the slots and window they belong to.
#include "LogTestSupport.h"
#include "logs/Crc16.h"
#include "logs/DataLogRecorder.h"
#include "logs/PositionFile.h"
#include "types/StructureArrays.h"

#include <random>

namespace arxmod {
namespace {

constexpr int kMutatedFiles = 10000; // per reader
constexpr uint32_t kDepth = 10;
constexpr LogKey kKey = makeLogKey(test::kDevice, test::kDataLog);

// Mutations that reach past the first checks: besides flipped and changed
// bytes, cut and extended files, 32-bit fields set to extreme values, and
// CRCs recomputed so a damaged body passes them.
class Mutator {
public:
  explicit Mutator(uint32_t seed) : random_(seed) {}

  std::vector<uint8_t> mutate(std::vector<uint8_t> bytes, std::span<const size_t> crcBlocks) {
    const int steps = pick(1, 4);
    for (int step = 0; step < steps; ++step) {
      switch (pick(0, 5)) {
      case 0:
        if (!bytes.empty())
          bytes[pick(0, bytes.size() - 1)] ^= static_cast<uint8_t>(1u << pick(0, 7));
        break;
      case 1:
        if (!bytes.empty())
          bytes[pick(0, bytes.size() - 1)] = static_cast<uint8_t>(pick(0, 255));
        break;
      case 2:
        bytes.resize(pick(0, bytes.size()));
        break;
      case 3:
        bytes.resize(bytes.size() + pick(1, 64), static_cast<uint8_t>(pick(0, 255)));
        break;
      case 4:
        setField(bytes);
        break;
      default:
        reseal(bytes, crcBlocks);
      }
    }
    return bytes;
  }

private:
  size_t pick(size_t low, size_t high) {
    return std::uniform_int_distribution<size_t>(low, high)(random_);
  }
  void setField(std::vector<uint8_t> &bytes) {
    if (bytes.size() < 4)
      return;
    const uint32_t extremes[] = {0,
                                 1,
                                 0x7FFFFFFF,
                                 0x80000000,
                                 0xFFFFFFFF,
                                 static_cast<uint32_t>(bytes.size()),
                                 static_cast<uint32_t>(bytes.size() + 16),
                                 4000000000u};
    const size_t at = pick(0, (bytes.size() - 4) / 4) * 4;
    const uint32_t value = extremes[pick(0, std::size(extremes) - 1)];
    for (int i = 0; i < 4; ++i)
      bytes[at + i] = static_cast<uint8_t>(value >> (24 - 8 * i));
  }
  // Recomputes the CRC of one block: [start, end) with `crcBlocks` holding
  // pairs of start and length (CRC in the block's last two bytes).
  void reseal(std::vector<uint8_t> &bytes, std::span<const size_t> crcBlocks) {
    if (crcBlocks.empty())
      return;
    const size_t pair = pick(0, crcBlocks.size() / 2 - 1) * 2;
    const size_t start = crcBlocks[pair], length = crcBlocks[pair + 1];
    if (start + length > bytes.size() || length < 2)
      return;
    storeCrc16(crc16Modbus({bytes.data() + start, length - 2}), bytes.data() + start + length - 2);
  }

  std::mt19937 random_;
};

class ReaderFuzzTest : public test::LogTest {};

TEST_F(ReaderFuzzTest, PositionFileReaderRefusesOrAcceptsEveryMutatedFile) {
  PositionMap positions;
  for (uint32_t i = 0; i < 5; ++i)
    positions[makeLogKey(i, 0x100 + i)] = 1000 * i;
  const std::vector<uint8_t> good = encodePositionFile(positions);
  const std::filesystem::path file = logs_ / kPositionFileName;
  const size_t wholeFile[] = {0, good.size()};
  Mutator mutator(20240613);
  int accepted = 0;
  for (int i = 0; i < kMutatedFiles; ++i) {
    std::vector<uint8_t> bytes = mutator.mutate(good, wholeFile);
    writeBytes(file, bytes);
    PositionMap read;
    bool missing = false;
    const std::string message = readPositionFile(file, read, missing);
    if (!message.empty()) {
      ASSERT_TRUE(read.empty()) << message;
      continue;
    }
    ++accepted;
    ASSERT_TRUE(crc16Matches(bytes));
    ASSERT_EQ(bytes.size(), 18 + 16 * read.size());
  }
  EXPECT_GT(accepted, 0);
}

TEST_F(ReaderFuzzTest, DataLogReaderRefusesOrAcceptsEveryMutatedFile) {
  const std::filesystem::path file = logs_ / "0000000700000220.arx";
  auto make = [&](uint32_t position) {
    return makeRef<XLARX::DataLogRecorder>(
        XLARX::BufRecorder::Identity{kKey, kDepth, position, file}, test::kDataModule,
        std::vector<uint32_t>{test::kFirstSource, test::kFirstSource + 1});
  };
  {
    auto log = make(0);
    log->finishSetup();
    MemoryBlob blob(kProgramBlobSize);
    for (uint32_t s = 0; s < 17; ++s) {
      const double values[] = {double(s), 2.0 * s};
      log->append(s, *test::makeRecord(blob, values));
    }
    log->save();
  }
  const std::vector<uint8_t> good = fileBytes(file);
  // The header (H = 54) and the ten 32-byte records carry CRCs.
  std::vector<size_t> crcBlocks = {0, 54};
  for (size_t slot = 0; slot < kDepth; ++slot) {
    crcBlocks.push_back(54 + 32 * slot);
    crcBlocks.push_back(32);
  }
  Mutator mutator(777);
  int restored = 0;
  for (int i = 0; i < kMutatedFiles; ++i) {
    writeBytes(file, mutator.mutate(good, crcBlocks));
    auto log = make(i % 3 == 0 ? 0 : 15);
    try {
      if (!log->restore())
        continue;
    } catch (const XLARX::RecorderFileError &) {
      continue;
    }
    ++restored;
    MemoryBlob blob(kProgramBlobSize);
    auto *records = dynamic_cast<LogArrayType *>(log->readRecords(blob, nullptr));
    if (!records)
      continue;
    ASSERT_LE(records->structureCount(), kDepth);
    for (size_t r = 0; r < records->structureCount(); ++r) {
      const uint32_t sequence = records->at(r)->recordNumber();
      ASSERT_LT(sequence, log->position());
      ASSERT_GE(sequence + kDepth, log->position());
      ASSERT_EQ(records->at(r)->values()->count(), 2u);
    }
  }
  EXPECT_GT(restored, 0);
}

} // namespace
} // namespace arxmod
