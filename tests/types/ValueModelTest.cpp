// Value model: arenas, fixed point, scalar conversions, equality, compare,
// casts, copies and the exception texts.
#include "SampleValues.h"

#include <gtest/gtest.h>

#include <atomic>
#include <thread>

namespace arxmod {
namespace {

using test::sampleValues;

template <typename E, typename F> std::string failureText(F &&action) {
  try {
    action();
  } catch (const E &error) {
    return error.text();
  }
  return "<no exception>";
}

TEST(MemoryBlobTest, ChunkSizesRoundAndPromoteToAPage) {
  const struct {
    size_t requested, chunk;
  } cases[] = {{3000, 4096}, {2055, 2056}, {2056, 4096}, {4095, 4096}, {4097, 4104}, {1, 8}};
  for (const auto &c : cases) {
    SCOPED_TRACE(c.requested);
    EXPECT_EQ(MemoryBlob(c.requested).chunkSize(), c.chunk);
  }
}

TEST(MemoryBlobTest, ChainsChildrenAndCountsLiveBlobs) {
  const long before = MemoryBlob::liveCount();
  {
    MemoryBlob blob(64);
    void *first = blob.allocate(60);
    void *second = blob.allocate(8);  // does not fit: a child of 64 bytes
    void *large = blob.allocate(500); // a child of twice the request
    EXPECT_EQ(blob.childCount(), 2u);
    EXPECT_TRUE(blob.contains(first));
    EXPECT_TRUE(blob.contains(second));
    EXPECT_TRUE(blob.contains(static_cast<char *>(large) + 999));
    EXPECT_EQ(reinterpret_cast<uintptr_t>(second) % 8, 0u);
    EXPECT_EQ(MemoryBlob::liveCount(), before + 3);
    int local = 0;
    EXPECT_FALSE(blob.contains(&local));
  }
  EXPECT_EQ(MemoryBlob::liveCount(), before);
}

TEST(MemoryBlobTest, RegistryFindsTheArenaOfAnAddress) {
  RegisteredMemoryBlob a(128), b(128);
  void *inB = b.allocate(16);
  void *inChildOfA = (a.allocate(120), a.allocate(100));
  EXPECT_EQ(RegisteredMemoryBlob::containing(inB), &b);
  EXPECT_EQ(RegisteredMemoryBlob::containing(inChildOfA), &a);
  int local = 0;
  EXPECT_EQ(RegisteredMemoryBlob::containing(&local), nullptr);
}

// Every value a thread builds lies in its own arena, the registry finds that
// arena for it, and no other thread's values overwrite it.
TEST(MemoryBlobConcurrentTest, ArenasOnSeveralThreadsStayApart) {
  std::atomic<int> misplaced{0};
  std::vector<std::thread> threads;
  for (uint32_t t = 0; t < 4; ++t)
    threads.emplace_back([t, &misplaced] {
      for (int i = 0; i < 200; ++i) {
        RegisteredMemoryBlob blob(kProgramBlobSize);
        std::vector<UnsignedType *> values;
        for (uint32_t j = 0; j < 100; ++j)
          values.push_back(blob.make<UnsignedType>(t * 1000 + j));
        for (uint32_t j = 0; j < values.size(); ++j)
          if (!blob.contains(values[j]) || RegisteredMemoryBlob::containing(values[j]) != &blob ||
              values[j]->get() != t * 1000 + j)
            ++misplaced;
      }
    });
  for (auto &thread : threads)
    thread.join();
  EXPECT_EQ(misplaced.load(), 0);
}

// An arena made on one thread and dropped on another leaves the registry.
TEST(MemoryBlobConcurrentTest, ArenasDroppedOnAnotherThreadLeaveTheRegistry) {
  const size_t before = RegisteredMemoryBlob::registeredCount();
  std::vector<std::unique_ptr<RegisteredMemoryBlob>> made;
  std::thread maker([&made] {
    for (int i = 0; i < 50; ++i)
      made.push_back(std::make_unique<RegisteredMemoryBlob>(64));
  });
  maker.join();
  EXPECT_EQ(RegisteredMemoryBlob::registeredCount(), before + 50);
  const void *inFirst = made.front()->allocate(8);
  EXPECT_EQ(RegisteredMemoryBlob::containing(inFirst), made.front().get());
  std::thread dropper([&made] { made.clear(); });
  dropper.join();
  EXPECT_EQ(RegisteredMemoryBlob::registeredCount(), before);
  EXPECT_EQ(RegisteredMemoryBlob::containing(inFirst), nullptr);
}

TEST(MixinRegisteredBlobTest, ValueOutsideItsArenaIsRefusedWhileCheckIsOn) {
  MemoryBlob blob(64);
  alignas(8) unsigned char storage[sizeof(UnsignedType)];
  EXPECT_EQ(failureText<MixinRegisteredBlob::NotFromOwnBlob>(
                [&] { new (storage) UnsignedType(blob, 1u); }),
            "MixinRegisteredBlob must be created fromthe blob it contains");
  MixinRegisteredBlob::setOwnBlobCheck(false);
  EXPECT_NO_THROW(new (storage) UnsignedType(blob, 1u));
  MixinRegisteredBlob::setOwnBlobCheck(true);
}

TEST(FixedPointTest, ConvertsBothWays) {
  const struct {
    double value;
    int32_t high;
    uint32_t low;
  } cases[] = {{1.5, 0, 0xC0000000u},         {-1.5, -1, 0x40000000u},
               {0.5, 0, 0x40000000u},         {0.0, 0, 0},
               {-0.5, -1, 0xC0000000u},       {3.0, 1, 0x80000000u},
               {2147483648.0, 0x40000000, 0}, {-2147483648.0, -0x40000000, 0}};
  for (const auto &c : cases) {
    SCOPED_TRACE(c.value);
    const FixedPoint fixed = FixedPoint::fromDouble(c.value);
    EXPECT_EQ(fixed.high, c.high);
    EXPECT_EQ(fixed.low, c.low);
    EXPECT_EQ(fixed.toDouble(), c.value);
  }
}

TEST(FixedPointTest, RefusesValuesOutOfRange) {
  for (double value : {2147483649.0, -2147483649.0, std::nan(""), HUGE_VAL}) {
    SCOPED_TRACE(value);
    EXPECT_EQ(failureText<FixedPoint::FloatOutOfRange>([&] { FixedPoint::fromDouble(value); }),
              "FixedPoint::FloatOutOfRange");
  }
}

TEST(NumericTypeTest, ConversionsTruncateTowardZeroAndSaturate) {
  MemoryBlob blob(kProgramBlobSize);
  const struct {
    NumericType *value;
    int32_t asSigned;
    uint32_t asUnsigned;
    bool asBoolean;
  } cases[] = {
      {blob.make<Float32Type>(2.9f), 2, 2, true},
      {blob.make<Float32Type>(0.4f), 0, 0, false},
      {blob.make<Float64Type>(-2.9), -2, 0xFFFFFFFEu, true},
      {blob.make<Float64Type>(1e30), INT32_MAX, UINT32_MAX, true},
      {blob.make<Float64Type>(-1e30), INT32_MIN, 0, true},
      {blob.make<Float64Type>(std::nan("")), 0, 0, false},
      {blob.make<FixedPointType>(FixedPoint::fromDouble(-1.5)), -1, 0xFFFFFFFFu, true},
      {blob.make<SignedType>(-1), -1, 0xFFFFFFFFu, true},
      {blob.make<UnsignedType>(0xFFFFFFFFu), -1, 0xFFFFFFFFu, true},
      {blob.make<BooleanType>(0u), 0, 0, false},
  };
  for (const auto &c : cases) {
    SCOPED_TRACE(c.value->toText());
    EXPECT_EQ(c.value->asSigned(), c.asSigned);
    EXPECT_EQ(c.value->asUnsigned(), c.asUnsigned);
    EXPECT_EQ(c.value->asBoolean(), c.asBoolean);
    EXPECT_EQ(c.value->asComplex().imag(), 0.0);
  }
  EXPECT_EQ(blob.make<SignedType>(3)->asFixedPoint(), FixedPoint::fromDouble(3.0));
  EXPECT_THROW(blob.make<Float64Type>(3e9)->asFixedPoint(), FixedPoint::FloatOutOfRange);
}

TEST(NumericTypeTest, EqualityComparesValuesCompareNeedsTheSameType) {
  MemoryBlob blob(kProgramBlobSize);
  EXPECT_TRUE(blob.make<SignedType>(-1)->equals(*blob.make<Float64Type>(-1.0)));
  EXPECT_TRUE(blob.make<UnsignedType>(1u)->equals(*blob.make<BooleanType>(1u)));
  EXPECT_TRUE(blob.make<UnsignedType>(1u)->differs(*blob.make<UnsignedType>(2u)));
  EXPECT_FALSE(blob.make<UnsignedType>(1u)->equals(*makeString(blob, "1")));
  EXPECT_EQ(blob.make<UnsignedType>(1u)->compare(*blob.make<BooleanType>(1u)), 0);
  EXPECT_EQ(blob.make<UnsignedType>(1u)->compare(*blob.make<UnsignedType>(2u)), -1);
  EXPECT_EQ(blob.make<Float32Type>(3.0f)->compare(*blob.make<Float32Type>(2.0f)), 1);
  EXPECT_EQ(blob.make<SignedType>(-4)->compare(*blob.make<SignedType>(-4)), 0);
}

TEST(NumericTypeTest, KindCodesAreTheDefaultDigits) {
  MemoryBlob blob(kProgramBlobSize);
  const std::pair<NumericType *, int> cases[] = {
      {blob.make<SignedType>(), 5},   {blob.make<UnsignedType>(), 5},
      {blob.make<CharType>(), 3},     {blob.make<BooleanType>(), 1},
      {blob.make<Float32Type>(), 7},  {blob.make<Float64Type>(), 15},
      {blob.make<Float80Type>(), 19}, {blob.make<FixedPointType>(), 15}};
  for (const auto &[value, digits] : cases) {
    SCOPED_TRACE(value->typeName());
    EXPECT_EQ(value->kindCode(), digits);
  }
}

TEST(ArrayTypeTest, IndexedAccessAndBadIndex) {
  MemoryBlob blob(kProgramBlobSize);
  auto *array = blob.make<Sint16Array>(std::span<const int16_t>({-2, 7, 300}));
  EXPECT_EQ(array->count(), 3u);
  EXPECT_EQ(array->elementAsLongDouble(0), -2);
  EXPECT_EQ(array->elementAsInteger(2), 300);
  EXPECT_EQ(array->arrayKey(), 16);
  auto *element = array->elementValue(1, blob);
  EXPECT_EQ(element->typeName(), "SignedType");
  EXPECT_EQ(element->asSigned(), 7);
  EXPECT_EQ(failureText<PICType::BadIndex>([&] { array->elementAsLongDouble(3); }), "Bad Index");
  EXPECT_THROW(array->elementPointer(3), PICType::BadIndex);
  EXPECT_THROW(array->elementValue(3, blob), PICType::BadIndex);
}

TEST(ArrayTypeTest, ArraysOfAnyWidthCompareByElementValues) {
  MemoryBlob blob(kProgramBlobSize);
  auto *narrow = blob.make<Uint08Array>(std::span<const uint8_t>({1, 2}));
  auto *wide = blob.make<Uint32Array>(std::span<const uint32_t>({1, 2}));
  auto *floats = blob.make<Float64Array>(std::span<const double>({1.0, 2.0}));
  auto *longer = blob.make<Uint32Array>(std::span<const uint32_t>({1, 2, 3}));
  EXPECT_TRUE(narrow->equals(*wide));
  EXPECT_TRUE(narrow->equals(*floats));
  EXPECT_FALSE(narrow->equals(*longer));
  EXPECT_EQ(makeString(blob, "AB")->text(), "AB");
}

TEST(ContainerTest, BadIndexNamesTheBounds) {
  MemoryBlob blob(kProgramBlobSize);
  auto *list = test::makeList(
      blob, {blob.make<UnsignedType>(1u), blob.make<UnsignedType>(2u), blob.make<VoidType>()});
  EXPECT_EQ(list->at(1)->typeName(), "UnsignedType");
  EXPECT_EQ(failureText<PICType::BadIndex>([&] { list->at(3); }),
            "Bad Index 3 Should be between 0 and 3");
  auto *ranges = blob.make<RangeArray>();
  EXPECT_EQ(failureText<PICType::BadIndex>([&] { ranges->item(0); }),
            "Bad Index 0 Should be between 0 and 0");
}

TEST(ContainerTest, ValuesOfAnotherArenaAreRefused) {
  MemoryBlob blob(kProgramBlobSize), other(kProgramBlobSize);
  const std::string expected = "PICType::FromWrongBlob(): inserted into one from a different blob";
  auto *list = blob.make<PICTypeContainer>();
  EXPECT_EQ(
      failureText<PICType::FromWrongBlob>([&] { list->append(other.make<UnsignedType>(1u)); }),
      expected);
  auto *range = blob.make<RangeType>();
  EXPECT_EQ(failureText<PICType::FromWrongBlob>(
                [&] { range->setField(0, other.make<UnsignedType>(1u)); }),
            expected);
  EXPECT_THROW(blob.make<MethodInvocation>(21u, other.make<UnsignedType>(1u)),
               PICType::FromWrongBlob);
}

TEST(StructureTest, FieldsAreCheckedByKind) {
  MemoryBlob blob(kProgramBlobSize);
  auto *event = blob.make<EventType>();
  EXPECT_EQ(failureText<EventType::NotAHandle>([&] { event->setField(2, makeString(blob, "x")); }),
            "Not a handle");
  EXPECT_NO_THROW(event->setField(4, blob.make<ExtendedHandleType>(7u, "n")));
  auto *range = blob.make<RangeType>();
  EXPECT_EQ(
      failureText<PICType::InvalidType>([&] { range->setField(1, blob.make<SignedType>(1)); }),
      "InvalidType::Invalid dynamic_cast<UnsignedType>(SignedType)");
  EXPECT_THROW(range->setField(0, nullptr), PICType::InvalidType);
  auto *strings = blob.make<StringArrayType>();
  EXPECT_THROW(strings->setField(0, test::makeList(blob, {blob.make<UnsignedType>(1u)})),
               PICType::InvalidType);
}

TEST(StructureTest, NewRecordsStartEmpty) {
  MemoryBlob blob(kProgramBlobSize);
  auto *log = blob.make<LogRecordType>();
  EXPECT_EQ(log->recordNumber(), 0u);
  EXPECT_EQ(log->listCount(), 0u);
  auto *exception = blob.make<ExceptionType>();
  EXPECT_EQ(exception->code(), 0u);
  EXPECT_EQ(exception->text(), "");
  EXPECT_EQ(exception->value()->typeName(), "VoidType");
  log->setRecordNumber(blob.make<UnsignedType>(9u));
  log->setNumeric(blob.make<Float32Type>(1.5f));
  EXPECT_EQ(log->recordNumber(), 9u);
  EXPECT_EQ(log->numeric()->asDouble(), 1.5);
  EXPECT_THROW(log->setNumeric(makeString(blob, "x")), PICType::InvalidType);
  EXPECT_THROW(log->setValues(blob.make<VoidType>()), PICType::InvalidType);
}

TEST(StructureTest, EqualityNeedsTheSameClassAndFields) {
  MemoryBlob blob(kProgramBlobSize);
  auto *a = blob.make<ExceptionType>(5u, "text");
  EXPECT_TRUE(a->equals(*blob.make<ExceptionType>(5u, "text")));
  EXPECT_FALSE(a->equals(*blob.make<ExceptionType>(5u, "other")));
  EXPECT_FALSE(a->equals(*blob.make<ExceptionType>(5u, "")));
  EXPECT_FALSE(blob.make<RangeType>()->equals(*blob.make<MethodSecurityType>()));
  EXPECT_FALSE(blob.make<ExtendedHandleType>(1u, "a")->equals(*blob.make<UnsignedType>(1u)));
}

TEST(CastTest, CheckedCastsNameBothClasses) {
  MemoryBlob blob(kProgramBlobSize);
  PICType *value = blob.make<CharType>(65u);
  EXPECT_EQ(picCast<CharType>(value)->get(), 65u);
  EXPECT_NE(picCast<NumericType>(value), nullptr);
  EXPECT_EQ(failureText<PICType::InvalidType>([&] { picCast<UnsignedType>(value); }),
            "InvalidType::Invalid dynamic_cast<UnsignedType>(CharType)");
  EXPECT_EQ(failureText<PICType::InvalidType>([&] { picCast<Char08Array>(value); }),
            "InvalidType::Invalid dynamic_cast<Char08Array>(CharType)");
  EXPECT_EQ(picClassName<std::string>(), "Not a NewType");
  EXPECT_EQ(failureText<PICType::InvalidType>(
                [&] { picCast<CharType>(static_cast<PICType *>(nullptr)); }),
            "Invalid Type");
}

TEST(NamesTest, TypeAndFamilyNames) {
  MemoryBlob blob(kProgramBlobSize);
  const struct {
    PICType *value;
    const char *type, *family;
    bool named;
  } cases[] = {
      {blob.make<UnsignedType>(), "UnsignedType", "noname", false},
      {makeString(blob, ""), "Char08Array", "string", false},
      {blob.make<Sint16Array>(size_t{0}), "Sint16Array", "SignedArrayType", true},
      {blob.make<Uint08Array>(size_t{0}), "Uint08Array", "UnsignedArrayType", true},
      {blob.make<Boolean32Array>(size_t{0}), "Boolean32Array", "noname", false},
      {blob.make<Float80Array>(size_t{0}), "Float80Array", "Float80Array", true},
      {blob.make<ExtendedHandleType>(), "ExtendedHandleType", "noname", false},
      {blob.make<RangeType>(), "RangeType", "RangeType", true},
      {blob.make<WaveformArray>(), "WaveformArray", "WaveformArray", true},
      {blob.make<UnknownStructureArray>(uint8_t{9}), "UnknownStructureArray",
       "UnknownStructureArray", true},
      {blob.make<PICTypeContainer>(), "PICTypeContainer", "PICTypeContainer", true},
      {blob.make<Program>(), "Program", "noname", false},
      {blob.make<Statement>(1u, blob.make<MethodInvocation>(1u)), "StatementType", "noname", false},
  };
  for (const auto &c : cases) {
    SCOPED_TRACE(c.type);
    EXPECT_EQ(c.value->typeName(), c.type);
    EXPECT_EQ(c.value->familyName(), c.family);
    EXPECT_EQ(c.value->isNamed(), c.named);
  }
  EXPECT_EQ(familyNameOf("PICType"), "ARXType");
  EXPECT_EQ(familyNameOf("SimpleNumericType<float>"), "SimpleNumericType<float>");
}

TEST(DuplicateTest, EveryValueCopiesIntoAnotherArena) {
  MemoryBlob blob(kProgramBlobSize), target(kProgramBlobSize);
  for (const auto &[name, value] : sampleValues(blob)) {
    SCOPED_TRACE(name);
    PICType *copy = value->duplicate(target);
    EXPECT_EQ(&copy->blob(), &target);
    EXPECT_EQ(copy->typeName(), value->typeName());
    EXPECT_TRUE(copy->equals(*value));
    EXPECT_TRUE(value->equals(*copy));
  }
}

TEST(DuplicateTest, ProgramClassesRefuseToCopy) {
  MemoryBlob blob(kProgramBlobSize), target(kProgramBlobSize);
  auto *program = blob.make<Program>();
  Statement *statement = program->addStatement(0x10u, 21u);
  EXPECT_EQ(failureText<KSXmsg>([&] { statement->duplicate(target); }),
            "Cant Duplicate Statement picstmt ");
  EXPECT_EQ(failureText<KSXmsg>([&] { statement->invocation()->duplicate(target); }),
            "Cant Duplicate MethodInvocation picstmt ");
  EXPECT_THROW(program->duplicate(target), KSXmsg);
}

} // namespace
} // namespace arxmod
