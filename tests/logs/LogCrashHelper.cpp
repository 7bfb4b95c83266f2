// LogCrashHelper: the other process of the restart and crash tests.
//
//   LogCrashHelper append <dir> <count>   appends <count> data records, exits
//   LogCrashHelper verify <dir>           restores every log and checks it;
//                                         prints "data <pos> event <pos>",
//                                         exit status 1 and the fault otherwise
//   LogCrashHelper write <dir> <seed>     verifies as above, then appends and
//                                         saves until killed; prints "ready"
//                                         after its first save
//   LogCrashHelper exit <dir> <count>     appends <count> data records to the
//                                         process's log buffer (its logs in
//                                         <dir>/translators/logs) and returns
//                                         from main after saving half of
//                                         them: the buffer's last save runs
//                                         from the exit handler, with the
//                                         plain system calls
//
// Data record s has time s and the values 1.5 s and -s, so a restored record
// can be checked against its sequence number as well as its CRC.
//
// Files are not flushed to disk here: a killed process loses nothing the
// kernel already holds, and flushing guards against power loss, which the
// crash test does not simulate; without it the test runs in seconds.
#include "LogTree.h"
#include "logs/LogBuffer.h"
#include "logs/LogFileIo.h"
#include "logs/PositionFile.h"
#include "types/StructureArrays.h"

#include <cstdio>
#include <cstdlib>
#include <random>
#include <string>

using namespace arxmod;

namespace {

constexpr uint32_t kDepth = 50;

void appendData(XLARX::LogBuffer &logs, const TreeReader &tree) {
  const double s = logs.GetLogPosition(test::kDevice, test::kDataLog, tree);
  MemoryBlob blob(512);
  const double values[] = {1.5 * s, -s};
  logs.Append(test::kDevice, test::kDataLog, tree, s, *test::makeRecord(blob, values));
}

void appendEvent(XLARX::LogBuffer &logs, const TreeReader &tree) {
  MemoryBlob blob(512);
  const uint32_t s = logs.GetLogPosition(test::kDevice, test::kEventLog, tree);
  logs.Append(test::kDevice, test::kEventLog, tree, s, *blob.make<UnsignedType>(s));
}

class NoFlush : public LogWriteSeam {
public:
  int syncFile(int) override { return 0; }
};

int fail(const std::string &fault) {
  std::printf("%s\n", fault.c_str());
  return 1;
}

int verify(XLARX::LogBuffer &logs, const TreeReader &tree) {
  PositionMap positions;
  bool missing = false;
  const std::string message =
      readPositionFile(logs.directory() / kPositionFileName, positions, missing);
  if (!message.empty() && !missing)
    return fail("position file: " + message);

  MemoryBlob blob(64 * 1024);
  const uint32_t data = logs.GetLogPosition(test::kDevice, test::kDataLog, tree);
  PICType *records = logs.GetLogs(test::kDevice, test::kDataLog, tree, nullptr, blob);
  if (auto *array = dynamic_cast<LogArrayType *>(records)) {
    for (size_t i = 0; i < array->structureCount(); ++i) {
      const LogRecordType *record = array->at(i);
      const double s = record->recordNumber();
      const auto *values = record->values();
      if (record->numeric()->asDouble() != s || values->count() != 2 ||
          picCast<NumericType>(values->at(0))->asDouble() != 1.5 * s ||
          picCast<NumericType>(values->at(1))->asDouble() != -s || s >= data)
        return fail("data record " + std::to_string(record->recordNumber()) + " is wrong");
    }
  }
  const uint32_t event = logs.GetLogPosition(test::kDevice, test::kEventLog, tree);
  // Every log is restored by now: a refused one was moved aside.
  for (const auto &entry : std::filesystem::directory_iterator(logs.directory()))
    if (entry.path().string().find(".refused-") != std::string::npos)
      return fail("a file was refused: " + entry.path().string());
  std::printf("data %u event %u\n", data, event);
  return 0;
}

} // namespace

int main(int argc, char **argv) {
  if (argc != 4 && !(argc == 3 && std::string(argv[1]) == "verify"))
    return fail("usage: LogCrashHelper append|write|verify <dir> [count|seed]");
  const std::string mode = argv[1];
  if (mode == "exit") {
    std::filesystem::current_path(argv[2]);
    IRefPtr<ObjList> objects = test::makeLogTree(kDepth);
    TranslationTreeReader tree(objects);
    XLARX::LogBuffer &logs = XLARX::LogBuffer::instance();
    const long count = std::atol(argv[3]);
    // A save before the exit, as the save thread makes them: the write
    // path is set up while the process runs, and used again at exit.
    for (long i = 0; i < count / 2; ++i)
      appendData(logs, tree);
    logs.saveChanged();
    for (long i = count / 2; i < count; ++i)
      appendData(logs, tree);
    return 0;
  }
  NoFlush noFlush;
  ScopedLogWriteSeam use(noFlush);
  IRefPtr<ObjList> objects = test::makeLogTree(kDepth);
  TranslationTreeReader tree(objects);
  XLARX::LogBuffer logs(argv[2]);
  if (mode == "append") {
    for (long i = std::atol(argv[3]); i > 0; --i)
      appendData(logs, tree);
    return 0;
  }
  if (const int status = verify(logs, tree); status != 0 || mode == "verify")
    return status;
  std::fflush(stdout);
  std::mt19937 random(static_cast<uint32_t>(std::atol(argv[3])));
  for (uint64_t round = 0;; ++round) {
    const int appends = std::uniform_int_distribution<int>(1, 20)(random);
    for (int i = 0; i < appends; ++i)
      appendData(logs, tree);
    if (round % 3 == 0)
      appendEvent(logs, tree);
    logs.saveChanged();
    if (round == 0) {
      std::printf("ready\n");
      std::fflush(stdout);
    }
  }
}
