// The data log file: its bytes, restore after a restart, torn records, every
// refusal of the reader, refused files kept aside, and failing writes.
#include "logs/DataLogRecorder.h"

#include "LogTestSupport.h"
#include "logs/Crc16.h"
#include "types/StructureArrays.h"

#include <array>
#include <cerrno>
#include <gmock/gmock.h>
#include <sys/stat.h>

namespace arxmod {
namespace {

using ::testing::HasSubstr;
using XLARX::DataLogRecorder;

constexpr LogKey kKey = makeLogKey(test::kDevice, test::kDataLog);
// D = 10 and V = 2: H = 54, R = 32; the auxiliary block is 88 bytes.
constexpr size_t kHeader = 54;
constexpr size_t kRecord = 32;
constexpr size_t kFileSize = kHeader + 10 * kRecord + 88 + 4;

class DataLogTest : public test::LogTest {
protected:
  IRefPtr<DataLogRecorder> recorder(uint32_t position = 0, uint32_t depth = 10,
                                    std::vector<uint32_t> sources = {0x201, 0x202},
                                    uint32_t module = 0x200) {
    auto made = makeRef<DataLogRecorder>(XLARX::BufRecorder::Identity{kKey, depth, position, file_},
                                         module, std::move(sources));
    made->finishSetup();
    return made;
  }
  // Appends records `first`..`last` with time 1000 + s and values s, -s.
  void appendRecords(XLARX::BufRecorder &log, uint32_t first, uint32_t last) {
    for (uint32_t s = first; s <= last; ++s) {
      MemoryBlob blob(512);
      const double values[] = {double(s), -double(s)};
      log.append(1000.0 + s, *test::makeRecord(blob, values));
    }
  }
  // The sequence numbers the log holds, oldest first.
  std::vector<uint32_t> sequences(const XLARX::BufRecorder &log) {
    MemoryBlob blob(kProgramBlobSize);
    std::vector<uint32_t> numbers;
    if (auto *records = dynamic_cast<LogArrayType *>(log.readRecords(blob, nullptr)))
      for (size_t i = 0; i < records->structureCount(); ++i)
        numbers.push_back(records->at(i)->recordNumber());
    return numbers;
  }
  std::string refusal(const std::vector<uint8_t> &bytes) {
    writeBytes(file_, bytes);
    auto log = makeRef<DataLogRecorder>(XLARX::BufRecorder::Identity{kKey, 10, 0, file_}, 0x200,
                                        std::vector<uint32_t>{0x201, 0x202});
    try {
      log->restore();
    } catch (const XLARX::RecorderFileError &refused) {
      EXPECT_EQ(refused.file(), file_);
      return refused.text();
    }
    return "";
  }
  std::vector<uint8_t> savedFile() {
    auto log = recorder();
    appendRecords(*log, 0, 23);
    log->save();
    return fileBytes(file_);
  }

  const std::filesystem::path file_ = logs_ / "0000000700000220.arx";
};

TEST_F(DataLogTest, RecordTwentyThreeOfDepthTenLiesInSlotThree) {
  const std::vector<uint8_t> bytes = savedFile();
  ASSERT_EQ(bytes.size(), kFileSize);

  const std::vector<uint8_t> header = {
      0xAA, 0xFF, 0x55, 0xAA, 0, 0, 0, 2,   0, 0, 0, 54, 0, 0, 2, 0x00, // magic, version, H, word 1
      0,    0,    0,    1,    0, 0, 0, 10,  0, 0, 0, 7,  0, 0, 2, 0x20, // word 2, D, identifier
      0,    0,    0,    1,    0, 0, 0, 2,   0, 0, 0, 2,                 // A, K, V
      0,    0,    2,    0x01, 0, 0, 2, 0x02};                           // source handles
  ASSERT_EQ(std::vector<uint8_t>(bytes.begin(), bytes.begin() + 52), header);
  EXPECT_EQ(loadCrc16(bytes.data() + 52), crc16Modbus(header));

  const std::vector<uint8_t> record23 = {0, 0, 0, 23,                      // sequence number
                                         0, 0, 0, 0,  0, 0xF8, 0x8F, 0x40, // 1023.0, little-endian
                                         5, 0, 0, 0,  0, 0,    0,    0x37, 0x40,  // Float64 23.0
                                         5, 0, 0, 0,  0, 0,    0,    0x37, 0xC0}; // Float64 -23.0
  const uint8_t *slot3 = bytes.data() + kHeader + 96;
  EXPECT_EQ(std::vector<uint8_t>(slot3, slot3 + 30), record23);
  EXPECT_EQ(loadCrc16(slot3 + 30), crc16Modbus(record23));

  const uint8_t *aux = bytes.data() + kHeader + 10 * kRecord;
  EXPECT_EQ(std::vector<uint8_t>(aux, aux + 8), (std::vector<uint8_t>{0, 0, 0, 1, 0, 0, 0, 0}));
  EXPECT_EQ(std::vector<uint8_t>(bytes.end() - 4, bytes.end()),
            (std::vector<uint8_t>{0xAA, 0x55, 0xFF, 0xAA}));
}

TEST_F(DataLogTest, RestoresAfterARestartAcrossTheRingsWrapAround) {
  {
    auto log = recorder();
    appendRecords(*log, 0, 13);
    log->save();
    appendRecords(*log, 14, 23); // changed in place: slots 4..9 and 0..3
    log->save();
  }
  auto restored = recorder(12); // the position map may lag the file
  EXPECT_EQ(restored->position(), 24u);
  EXPECT_EQ(sequences(*restored), (std::vector<uint32_t>{14, 15, 16, 17, 18, 19, 20, 21, 22, 23}));

  MemoryBlob blob(kProgramBlobSize);
  auto *range = blob.make<RangeType>();
  range->setField(0, blob.make<UnsignedType>(20u));
  range->setField(1, blob.make<UnsignedType>(400u));
  auto *records = picCast<LogArrayType>(restored->readRecords(blob, range));
  ASSERT_EQ(records->structureCount(), 4u);
  const LogRecordType *last = records->at(3);
  EXPECT_EQ(last->recordNumber(), 23u);
  EXPECT_EQ(last->numeric()->asDouble(), 1023.0);
  EXPECT_EQ(picCast<Float64Type>(last->values()->at(1))->get(), -23.0);

  ASSERT_EQ(restored->auxChannels().size(), 1u);
  ASSERT_EQ(restored->auxChannels()[0].values.size(), 1u);
  EXPECT_EQ(restored->auxChannels()[0].values[0] >> 32, 24u) << "restart mark at position 24";

  // Saves after a restore update the file in place (same inode), not anew.
  struct stat before {
  }, after{};
  ASSERT_EQ(stat(file_.c_str(), &before), 0);
  appendRecords(*restored, 24, 24);
  restored->save();
  ASSERT_EQ(stat(file_.c_str(), &after), 0);
  EXPECT_EQ(before.st_ino, after.st_ino);
  EXPECT_EQ(sequences(*recorder()).back(), 24u);

  auto ahead = recorder(40); // a position file ahead of the data: nothing goes back
  EXPECT_EQ(ahead->position(), 40u);
  EXPECT_TRUE(sequences(*ahead).empty());
}

TEST_F(DataLogTest, TornRecordIsDroppedAndTheOthersSurvive) {
  std::vector<uint8_t> bytes = savedFile();
  bytes[kHeader + 96 + 20] ^= 0x01; // a value byte of record 23
  bytes[kHeader + 32 + 1] = 0x77;   // the sequence number of record 21
  writeBytes(file_, bytes);
  auto restored = recorder();
  EXPECT_EQ(sequences(*restored), (std::vector<uint32_t>{14, 15, 16, 17, 18, 19, 20, 22}));
  EXPECT_EQ(restored->position(), 23u);
}

TEST_F(DataLogTest, RecordsAtTheTopOfTheSequenceRangeRestoreWithoutWrappingThePosition) {
  std::vector<uint8_t> bytes = savedFile();
  const auto renumber = [&](size_t slot, uint32_t sequence) {
    uint8_t *record = bytes.data() + kHeader + slot * kRecord;
    writeRecordHead(record, sequence, recordTime(record));
    storeCrc16(crc16Modbus({record, kRecord - 2}), record + kRecord - 2);
  };
  renumber(4, 0xFFFFFFFE);
  renumber(5, 0xFFFFFFFF); // no position can follow it: the record is dropped
  writeBytes(file_, bytes);
  auto restored = recorder();
  EXPECT_EQ(restored->position(), 0xFFFFFFFFu);
  EXPECT_EQ(sequences(*restored), (std::vector<uint32_t>{0xFFFFFFFE}));
}

TEST_F(DataLogTest, RefusesEveryDamagedFileWithItsMessage) {
  const std::vector<uint8_t> good = savedFile();
  auto changed = [&](size_t at, uint8_t value) {
    std::vector<uint8_t> bytes = good;
    bytes[at] = value;
    return bytes;
  };
  // A header whose fields were changed and whose CRC was made to match.
  auto resealed = [&](size_t at, uint8_t value) {
    std::vector<uint8_t> bytes = changed(at, value);
    storeCrc16(crc16Modbus({bytes.data(), 52}), bytes.data() + 52);
    return bytes;
  };
  const char *header = "Could not read file header in DataLogRecorder::RestoreHeaderData";
  const char *crc =
      "Invalid CRC on header so file not restored in DataLogRecorder::RestoreHeaderData";
  const char *config1 =
      "Configuration does not match 1 so file not restored in DataLogRecorder::RestoreHeaderData";
  const char *config2 =
      "Configuration does not match 2 so file not restored in DataLogRecorder::RestoreHeaderData";
  const char *records = "File read error occurred in DataLogRecorder::RestoreRecordData";
  std::vector<uint8_t> longer = good;
  longer.push_back(0);
  // A billion source handles, and the header length that goes with them,
  // claimed by a 466-byte file.
  std::vector<uint8_t> hugeK = good;
  const uint32_t sources = 0x3F0000FF, length = 46 + 4 * sources;
  for (int i = 0; i < 4; ++i) {
    hugeK[36 + i] = static_cast<uint8_t>(sources >> (24 - 8 * i));
    hugeK[8 + i] = static_cast<uint8_t>(length >> (24 - 8 * i));
  }
  struct Case {
    const char *what;
    std::vector<uint8_t> bytes;
    const char *message;
  };
  const Case cases[] = {
      {"empty file", {}, header},
      {"shorter than a header", std::vector<uint8_t>(good.begin(), good.begin() + 45), header},
      {"magic", resealed(1, 0), header},
      {"version 1", resealed(7, 1), header},
      {"header length", resealed(11, 58), header},
      {"a billion source handles", hugeK, header},
      {"a changed header byte", changed(22, 11), crc},
      {"the header CRC", changed(53, static_cast<uint8_t>(good[53] ^ 1)), crc},
      {"configuration word 1 (module)", resealed(15, 1), config1},
      {"configuration word 2 (encoding)", resealed(19, 2), config1},
      {"depth", resealed(23, 11), config2},
      {"identifier", resealed(27, 8), config2},
      {"auxiliary channels", resealed(35, 2), config2},
      {"values per record", resealed(43, 3), config2},
      {"a source handle", resealed(51, 3), config2},
      {"cut in the records", std::vector<uint8_t>(good.begin(), good.begin() + 200), records},
      {"a byte past the trailer", longer, records},
      {"the trailer", changed(kFileSize - 1, 0), records},
  };
  for (const Case &test : cases) {
    SCOPED_TRACE(test.what);
    EXPECT_EQ(refusal(test.bytes), test.message);
  }
  EXPECT_EQ(refusal(good), "");
}

TEST_F(DataLogTest, DamagedAuxiliaryBlockIsReportedAndTheRecordsKept) {
  std::vector<uint8_t> bytes = savedFile();
  bytes[kHeader + 10 * kRecord + 7] = 11; // 11 values in a channel of depth 10
  writeBytes(file_, bytes);
  auto restored = recorder();
  EXPECT_EQ(sequences(*restored).size(), 10u);
  EXPECT_TRUE(
      systemLogHas("File read error occurred in DataLogRecorder::RestoreAuxChannelData", file_));
}

TEST_F(DataLogTest, HeaderFailingItsCrcStartsANewFileAndKeepsTheOldBeside) {
  std::vector<uint8_t> bytes = savedFile();
  bytes[30] ^= 0x40;
  writeBytes(file_, bytes);
  auto log = recorder();
  EXPECT_TRUE(sequences(*log).empty());
  const std::filesystem::path kept = file_.string() + ".refused-1";
  EXPECT_EQ(fileBytes(kept), bytes);
  EXPECT_TRUE(systemLogHas("Invalid CRC on header so file not restored", file_));

  appendRecords(*log, 0, 2);
  log->save();
  EXPECT_EQ(fileBytes(file_).size(), kFileSize);
  EXPECT_EQ(sequences(*recorder()), (std::vector<uint32_t>{0, 1, 2}));

  writeBytes(file_, {1, 2, 3});
  recorder();
  EXPECT_TRUE(std::filesystem::exists(file_.string() + ".refused-2"));
  EXPECT_EQ(fileBytes(kept), bytes);
}

TEST_F(DataLogTest, FullDiskAndReadOnlyDirectoryAreReportedAndRetried) {
  auto log = recorder();
  appendRecords(*log, 0, 3);
  test::FailingWrites failing;
  {
    ScopedLogWriteSeam use(failing);
    failing.writeError = ENOSPC;
    EXPECT_FALSE(log->saveIfChanged());
    EXPECT_FALSE(std::filesystem::exists(file_));
    failing.writeError = 0;
    failing.openError = EROFS;
    appendRecords(*log, 4, 5);
    EXPECT_FALSE(log->saveIfChanged());
  }
  const auto texts = systemLogTexts();
  ASSERT_EQ(texts.size(), 1u) << "one report until a save succeeds";
  EXPECT_THAT(texts[0],
              HasSubstr("File write error 1 occurred in DataLogRecorder::SaveHeaderData File: " +
                        file_.string() + ". Reason: No space left on device"));
  EXPECT_EQ(sequences(*log).size(), 6u) << "records stay in memory";

  EXPECT_TRUE(log->saveIfChanged());
  EXPECT_EQ(sequences(*recorder()), (std::vector<uint32_t>{0, 1, 2, 3, 4, 5}));

  // In place: a failing write leaves the changed slots to the next save.
  appendRecords(*log, 6, 7);
  {
    ScopedLogWriteSeam use(failing);
    failing.openError = 0;
    failing.writeError = ENOSPC;
    EXPECT_FALSE(log->saveIfChanged());
  }
  EXPECT_THAT(systemLogTexts().back(),
              HasSubstr("File write error 2 occurred in DataLogRecorder::SaveRecordData"));
  EXPECT_TRUE(log->saveIfChanged());
  EXPECT_EQ(sequences(*recorder()).back(), 7u);
}

TEST_F(DataLogTest, ValuesKeepTheirTypesAndUnsupportedOnesAreRefused) {
  auto log = recorder(0, 10, {0x201, 0x202, 0x203, 0x204, 0x205, 0x206, 0x207, 0x208, 0x209});
  MemoryBlob blob(kProgramBlobSize);
  auto *values = blob.make<PICTypeContainer>();
  values->append(blob.make<SignedType>(-7));
  values->append(blob.make<UnsignedType>(4000000000u));
  values->append(blob.make<BooleanType>(1u));
  values->append(blob.make<Float32Type>(2.5f));
  values->append(blob.make<Float64Type>(1e300));
  values->append(blob.make<Float80Type>(-0.125));
  values->append(blob.make<FixedPointType>(FixedPoint::fromDouble(1.5)));
  values->append(blob.make<CharType>(65u));
  values->append(blob.make<ExceptionType>(5u, "No value received from device."));
  log->append(1.0, *values);
  log->save();

  auto restored = recorder(0, 10, {0x201, 0x202, 0x203, 0x204, 0x205, 0x206, 0x207, 0x208, 0x209});
  auto *records = picCast<LogArrayType>(restored->readRecords(blob, nullptr));
  const PICTypeContainer *back = records->at(0)->values();
  const char *types[] = {"SignedType",     "UnsignedType", "BooleanType",
                         "Float32Type",    "Float64Type",  "Float80Type",
                         "FixedPointType", "CharType",     "ExceptionType"};
  size_t i = 0;
  for (const PICType *value : *back) {
    SCOPED_TRACE(types[i]);
    EXPECT_EQ(value->typeName(), types[i]);
    if (i < 8) {
      EXPECT_TRUE(value->equals(*values->at(i)));
    }
    ++i;
  }
  EXPECT_EQ(picCast<ExceptionType>(back->at(8))->code(), 5u);

  auto *wrong = blob.make<PICTypeContainer>();
  for (int j = 0; j < 8; ++j)
    wrong->append(blob.make<Float64Type>(j));
  wrong->append(makeString(blob, "text"));
  try {
    restored->append(2.0, *wrong);
    ADD_FAILURE() << "a string was recorded";
  } catch (const KSXmsg &failure) {
    EXPECT_EQ(failure.text(), "Not supported type of record value");
  }
  EXPECT_EQ(restored->position(), 1u) << "a refused record changes nothing";
}

} // namespace
} // namespace arxmod
