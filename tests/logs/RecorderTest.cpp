// Recorders: the factory's choice and depth checks, reads of records and
// ranges, and the event and waveform logs with their files.
#include "logs/RecorderFactory.h"

#include "LogTestSupport.h"
#include "TreeBuilder.h"
#include "logs/EventLogRecorder.h"
#include "logs/RecorderCache.h"
#include "logs/WaveformLogRecorder.h"
#include "tree/RegisterObj.h"
#include "types/StructureArrays.h"

#include <typeinfo>

namespace arxmod {
namespace {

using XLARX::BufRecorder;
using XLARX::makeRecorder;

class RecorderTest : public test::LogTest {
protected:
  IRefPtr<BufRecorder> made(uint32_t handle, uint32_t position = 0) {
    return makeRecorder(makeLogKey(test::kDevice, handle), tree_, position, logs_);
  }
  std::string depthFailure(const std::function<void(ObjList &)> &change) {
    IRefPtr<ObjList> objects = test::makeLogTree();
    change(*objects);
    TranslationTreeReader tree(objects);
    try {
      makeRecorder(makeLogKey(test::kDevice, test::kDataLog), tree, 0, logs_);
    } catch (const KSXmsg &failure) {
      return failure.text();
    }
    return "";
  }
  static void setDepth(ObjList &objects, const char *value) {
    static_cast<RegisterObj *>(objects.find(test::kDataDepth))->setValueText(value);
  }
  std::vector<uint32_t> sequences(PICType *records) {
    std::vector<uint32_t> numbers;
    if (auto *array = dynamic_cast<LogArrayType *>(records))
      for (size_t i = 0; i < array->structureCount(); ++i)
        numbers.push_back(array->at(i)->recordNumber());
    return numbers;
  }
  RangeType *range(MemoryBlob &blob, uint32_t first, uint32_t last) {
    auto *made = blob.make<RangeType>();
    made->setField(0, blob.make<UnsignedType>(first));
    made->setField(1, blob.make<UnsignedType>(last));
    return made;
  }
  void appendEvents(BufRecorder &log, uint32_t count) {
    for (uint32_t i = 0; i < count; ++i) {
      MemoryBlob blob(1024);
      auto *event = blob.make<EventType>();
      event->setField(0, blob.make<UnsignedType>(100u + log.position()));
      event->setField(3, makeString(blob, "Pulsed"));
      log.append(2000.0 + log.position(), *event);
    }
  }
};

TEST_F(RecorderTest, FactoryChoosesByRegisterClassAndOwner) {
  struct Case {
    uint32_t handle;
    const char *recorder; // nullptr: none
  };
  const Case cases[] = {
      {test::kDataLog, "DataLogRecorder"},
      {test::kWaveLog, "WaveformLogRecorder"},
      {test::kEventLog, "EventLogRecorder"},
      {test::kOtherLog, nullptr},
      {test::kPlainRegister, nullptr},
      {test::kDataModule, nullptr},
      {0x9999, nullptr},
  };
  for (const Case &test : cases) {
    SCOPED_TRACE(test.handle);
    IRefPtr<BufRecorder> recorder = made(test.handle);
    if (!test.recorder) {
      EXPECT_FALSE(recorder);
      continue;
    }
    ASSERT_TRUE(recorder);
    const BufRecorder &object = *recorder;
    EXPECT_NE(std::string(typeid(object).name()).find(test.recorder), std::string::npos);
    EXPECT_TRUE(recorder->usable());
    EXPECT_EQ(recorder->depth(), 10u);
    EXPECT_EQ(recorder->fileName(),
              logs_ / (logKeyText(makeLogKey(test::kDevice, test.handle)) + ".arx"));
  }
}

TEST_F(RecorderTest, DepthComesFromABoundedSetupWithinItsBounds) {
  struct Case {
    const char *what;
    std::function<void(ObjList &)> change;
    const char *message;
  };
  const Case cases[] = {
      {"no setups",
       [](ObjList &o) {
         static_cast<ModuleObj *>(o.find(test::kDataModule))->setSetups(std::nullopt);
       },
       "Required log setup registers missing."},
      {"no Depth setup", [](ObjList &o) { o.find(test::kDataDepth)->setName("Data Rec 1 Mode"); },
       "Log depth register missing from tree."},
      {"Depth setup not in the tree",
       [](ObjList &o) {
         static_cast<ModuleObj *>(o.find(test::kDataModule))
             ->setSetups(std::vector<uint32_t>{0x999});
       },
       "Log depth register missing from tree."},
      {"not bounded",
       [](ObjList &o) {
         auto &module = *static_cast<ModuleObj *>(o.find(test::kDataModule));
         module.setSetups(std::vector<uint32_t>{0x231});
         test::addObject<RegisterObj>(o, 0x231, 23, test::kDataModule, "Depth").setValueText("5");
       },
       "Log depth register not BoundedObj type."},
      {"zero", [](ObjList &o) { setDepth(o, "0"); }, "Log Depth register can not have zero value."},
      {"negative", [](ObjList &o) { setDepth(o, "-3"); },
       "Log Depth register can not have zero value."},
      {"no value",
       [](ObjList &o) {
         static_cast<RegisterObj *>(o.find(test::kDataDepth))->setValueText(std::nullopt);
       },
       "Log Depth register can not have zero value."},
      {"above the bound", [](ObjList &o) { setDepth(o, "100001"); },
       "Depth register value too large"},
      {"4 billion under a bound that allows it",
       [](ObjList &o) {
         static_cast<BoundedObj *>(o.find(test::kDataDepth))->setBounds(Bounds{1, 5e9});
         setDepth(o, "4000000000");
       },
       "Depth register value too large"},
  };
  for (const Case &test : cases) {
    SCOPED_TRACE(test.what);
    EXPECT_EQ(depthFailure(test.change), test.message);
  }
  EXPECT_EQ(depthFailure([](ObjList &o) { setDepth(o, "100000"); }), "");
}

TEST_F(RecorderTest, ReadsAllRecordsOrARangeAcrossTheWrapAround) {
  IRefPtr<BufRecorder> log = made(test::kDataLog);
  MemoryBlob blob(kProgramBlobSize);
  auto *empty = picCast<ExceptionType>(log->readRecords(blob, nullptr));
  EXPECT_EQ(empty->code(), 5u);
  EXPECT_EQ(empty->text(), "Not Available");

  for (uint32_t s = 0; s < 27; ++s) {
    const double values[] = {double(s), 0};
    log->append(s, *test::makeRecord(blob, values));
  }
  EXPECT_EQ(log->position(), 27u);
  struct Case {
    const char *what;
    PICType *request;
    std::vector<uint32_t> expected;
  };
  const Case cases[] = {
      {"no argument", nullptr, {17, 18, 19, 20, 21, 22, 23, 24, 25, 26}},
      {"void", blob.make<VoidType>(), {17, 18, 19, 20, 21, 22, 23, 24, 25, 26}},
      {"inside", range(blob, 19, 21), {19, 20, 21}},
      {"one record", range(blob, 26, 26), {26}},
      {"overlapping the start", range(blob, 0, 18), {17, 18}},
      {"to the end of numbers", range(blob, 25, 0xFFFFFFFF), {25, 26}},
      {"overwritten records", range(blob, 3, 12), {}},
      {"first after last", range(blob, 22, 20), {}},
  };
  for (const Case &test : cases) {
    SCOPED_TRACE(test.what);
    PICType *records = log->readRecords(blob, test.request);
    ASSERT_EQ(records->typeName(), "LogArrayType");
    EXPECT_EQ(sequences(records), test.expected);
  }
  auto *wrong = picCast<ExceptionType>(log->readRecords(blob, blob.make<UnsignedType>(3u)));
  EXPECT_EQ(wrong->code(), 3u);
  EXPECT_EQ(wrong->text(), "Wrong Data Type");

  log->clear();
  EXPECT_EQ(log->position(), 27u) << "clearing keeps the position";
  EXPECT_EQ(picCast<ExceptionType>(log->readRecords(blob, nullptr))->code(), 5u);
}

TEST_F(RecorderTest, EventLogCacheIsATreeDocumentRestoredStrictly) {
  {
    IRefPtr<BufRecorder> log = made(test::kEventLog);
    appendEvents(*log, 13);
    log->save();
  }
  const std::filesystem::path file = logs_ / "0000000700000420.arx";
  const std::string document = test::readFile(file);
  EXPECT_NE(document.find("XMLARXTree"), std::string::npos);
  EXPECT_NE(document.find("Event Log 1 Log"), std::string::npos);

  IRefPtr<BufRecorder> restored = made(test::kEventLog);
  EXPECT_EQ(restored->position(), 13u);
  MemoryBlob blob(kProgramBlobSize);
  auto *records = picCast<LogArrayType>(restored->readRecords(blob, nullptr));
  ASSERT_EQ(sequences(records), (std::vector<uint32_t>{3, 4, 5, 6, 7, 8, 9, 10, 11, 12}));
  EXPECT_EQ(records->at(9)->numeric()->asDouble(), 2012.0);
  auto *event = picCast<EventType>(records->at(9)->values()->first());
  EXPECT_EQ(picCast<UnsignedType>(event->field(0))->get(), 112u);

  // A record with two values in place of one: corrupted, kept aside, restarted.
  MemoryBlob cacheBlob(kProgramBlobSize);
  auto *bad = cacheBlob.make<LogArrayType>();
  auto *record = cacheBlob.make<LogRecordType>();
  record->setNumeric(cacheBlob.make<Float64Type>(1.0));
  record->values()->append(cacheBlob.make<UnsignedType>(1u));
  record->values()->append(cacheBlob.make<UnsignedType>(2u));
  bad->append(record);
  int error = 0;
  ASSERT_EQ(writeRecorderCache(*static_cast<const RegisterObj *>(tree_.find(test::kEventLog)), *bad,
                               file, error),
            "");
  IRefPtr<BufRecorder> refused = made(test::kEventLog, 13);
  EXPECT_EQ(refused->recordCount(), 0u);
  EXPECT_TRUE(systemLogHas(kCorruptCacheMessage, file));
  EXPECT_TRUE(std::filesystem::exists(file.string() + ".refused-1"));

  for (const char *junk : {"not xml", "<a/>", ""}) {
    SCOPED_TRACE(junk);
    const std::string text = junk;
    writeBytes(file, {text.begin(), text.end()});
    auto log = makeRef<XLARX::EventLogRecorder>(
        BufRecorder::Identity{makeLogKey(test::kDevice, test::kEventLog), 10, 0, file},
        std::make_unique<EventLogRegisterObj>(test::kEventLog, 31, test::kEventModule, "Log"));
    EXPECT_THROW(log->restore(), XLARX::RecorderFileError);
  }
}

TEST_F(RecorderTest, WaveformLogKeepsOneFilePerRecordAndDropsATornOne) {
  IRefPtr<XLARX::WaveformLogRecorder> waves =
      refCast<XLARX::WaveformLogRecorder>(made(test::kWaveLog));
  ASSERT_TRUE(waves);
  MemoryBlob blob(kProgramBlobSize);
  for (uint32_t s = 0; s < 12; ++s) {
    auto *wave = blob.make<WaveformType>();
    for (size_t i = 0; i < 4; ++i)
      wave->setField(i, blob.make<Float64Type>(s + 0.5 * i));
    auto *samples = blob.make<Float32Array>(3);
    samples->setElement(0, s);
    wave->setField(4, samples);
    waves->append(3000.0 + s, *wave);
  }
  try {
    waves->append(1.0, *blob.make<UnsignedType>(1u));
    ADD_FAILURE() << "a number was recorded as a waveform";
  } catch (const KSXmsg &failure) {
    EXPECT_EQ(failure.text(), "Wrong Data Type");
  }
  waves->save();
  EXPECT_EQ(waves->recordFileName(3), logs_ / "0000000700000320.0003.dat");
  EXPECT_EQ(fileBytes(waves->recordFileName(3)).size(), 52u + 3 * 8 + 2);
  std::vector<uint8_t> record11 = fileBytes(waves->recordFileName(1));
  record11[20] ^= 0x10;
  writeBytes(waves->recordFileName(1), record11);

  IRefPtr<BufRecorder> restored = made(test::kWaveLog);
  EXPECT_EQ(restored->position(), 12u);
  auto *records = picCast<LogArrayType>(restored->readRecords(blob, nullptr));
  EXPECT_EQ(sequences(records), (std::vector<uint32_t>{2, 3, 4, 5, 6, 7, 8, 9, 10}));
  auto *wave = picCast<WaveformType>(records->at(8)->values()->first());
  EXPECT_EQ(picCast<NumericType>(wave->field(3))->asDouble(), 11.5);
  auto *samples = picCast<Float64Array>(wave->field(4));
  ASSERT_EQ(samples->count(), 3u);
  EXPECT_EQ(samples->element(0), 10.0);
  EXPECT_EQ(records->at(8)->numeric()->asDouble(), 3010.0);
}

} // namespace
} // namespace arxmod
