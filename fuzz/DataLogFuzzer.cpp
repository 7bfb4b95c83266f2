// Fuzz target: restoring a data log from its file. The first input byte
// says which CRCs are recomputed over the rest (bit 0 the header's, bit 1
// each record slot's, so that damaged contents reach the checks behind
// the CRCs) and the position the recorder expects (bit 2: one within the
// file's window, else 0); the rest is the file. A file is refused or
// restored; the records read back from a restored log lie in the slots and
// the window they belong to, each with the log's two values.
#include "QuietStreams.h"
#include "host/Console.h"
#include "logs/Crc16.h"
#include "logs/DataLogFormat.h"
#include "logs/DataLogRecorder.h"
#include "types/StructureArrays.h"

#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <vector>

namespace {

using namespace arxmod;

constexpr uint32_t kDepth = 10;
constexpr uint32_t kModule = 0x200;
const std::vector<uint32_t> kSources = {0x201, 0x202};
constexpr LogKey kKey = makeLogKey(7, 0x220);

void reseal(std::vector<uint8_t> &file, size_t start, size_t length) {
  if (length >= 2 && start + length <= file.size())
    storeCrc16(crc16Modbus({file.data() + start, length - 2}), file.data() + start + length - 2);
}

const std::filesystem::path &logFile() {
  static const std::filesystem::path file = [] {
    const auto directory = std::filesystem::temp_directory_path() /
                           ("arxmod_fuzz_datalog_" + std::to_string(::getpid()));
    std::filesystem::create_directories(directory);
    return directory / "0000000700000220.arx";
  }();
  return file;
}

void writeFile(const std::vector<uint8_t> &bytes) {
  std::FILE *out = std::fopen(logFile().c_str(), "wb");
  if (!out)
    __builtin_trap();
  if (!bytes.empty())
    std::fwrite(bytes.data(), 1, bytes.size(), out);
  std::fclose(out);
}

void checkRecords(const XLARX::DataLogRecorder &log) {
  MemoryBlob blob(kProgramBlobSize);
  auto *records = dynamic_cast<LogArrayType *>(log.readRecords(blob, nullptr));
  if (!records)
    return;
  if (records->structureCount() > kDepth)
    __builtin_trap();
  for (size_t r = 0; r < records->structureCount(); ++r) {
    const uint64_t sequence = records->at(r)->recordNumber();
    if (sequence >= log.position() || sequence + kDepth < log.position() ||
        records->at(r)->values()->count() != kSources.size())
      __builtin_trap();
  }
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int *, char ***) {
  arxmod::fuzz::quietStandardStreams();
  // The console lines of the system log entries the runs make, too.
  arxmod::consoleBuffer().setSink([](std::string_view) {});
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
  if (size == 0)
    return 0;
  std::vector<uint8_t> file(data + 1, data + size);
  const size_t header = dataLogHeaderSize(kSources.size());
  const size_t record = dataLogRecordSize(kSources.size());
  if (data[0] & 1)
    reseal(file, 0, header);
  if (data[0] & 2)
    for (size_t slot = 0; slot < kDepth; ++slot)
      reseal(file, header + slot * record, record);
  writeFile(file);
  auto log = makeRef<XLARX::DataLogRecorder>(
      XLARX::BufRecorder::Identity{kKey, kDepth, (data[0] & 4) ? 15u : 0u, logFile()}, kModule,
      kSources);
  try {
    if (log->restore())
      checkRecords(*log);
  } catch (const XLARX::RecorderFileError &) {
  }
  return 0;
}
