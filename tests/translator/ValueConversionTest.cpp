// ValueConversion: scaling and range mapping both ways, referenced
// constants from the cache and the tree, the values a write sends, and the
// exact refusal texts.
#include "translator/ValueConversion.h"
#include "TreeBuilder.h"
#include "cache/PendingReads.h"
#include "translator/InvocationErrors.h"
#include "tree/RegisterObj.h"
#include "types/ArrayTypes.h"
#include "types/NumericTypes.h"

#include <gtest/gtest.h>

namespace XLARX {
namespace {

using Entry = arxmod::TranslationFields;

constexpr uint32_t kTextRegister = 4097;
constexpr uint32_t kCachedRegister = 4098;
constexpr uint32_t kUnreadRegister = 4099;
constexpr uint32_t kEmptyRegister = 4100;

class ValueConversionTest : public ::testing::Test {
protected:
  ValueConversionTest() {
    auto list = arxmod::makeRef<arxmod::ObjList>();
    text_ = &arxmod::test::addObject<arxmod::RegisterObj>(*list, kTextRegister, 47, 3, "divisor");
    arxmod::test::addObject<arxmod::RegisterObj>(*list, kEmptyRegister, 23, 3, "empty");
    arxmod::test::addObject<arxmod::RegisterObj>(*list, 0x700, 26, 3, "pulse");
    arxmod::test::addObject<arxmod::RegisterObj>(*list, 0x701, 23, 3, "numeric");
    tree_ = arxmod::makeRef<arxmod::TranslationTree>(list);
    cache_ = arxmod::makeRef<Cache>(tree_, "meter", 1);
    cache_->addHandle(kCachedRegister, true, kCacheRefreshable, 10000);
    cache_->addHandle(kUnreadRegister, true, kCacheRefreshable, 10000);
    PendingReads pending(cache_);
    cache_->markPending(kCachedRegister, pending);
    cache_->finishRead(kCachedRegister, blob_.make<arxmod::Float64Type>(4.0), 1, 1);
    pending.pop();
  }

  static Entry scaled(double scale, double multiplier, double offset) {
    Entry entry;
    entry.scalingPresent = true;
    entry.scale.constant = scale;
    entry.multiplier.constant = multiplier;
    entry.offset.constant = offset;
    return entry;
  }
  static Entry ranged(double mbMin, double mbMax, double arxMin, double arxMax) {
    Entry entry;
    entry.rangePresent = true;
    entry.modbusMin.constant = mbMin;
    entry.modbusMax.constant = mbMax;
    entry.arxMin.constant = arxMin;
    entry.arxMax.constant = arxMax;
    return entry;
  }

  ValueConversion conversion() const { return {cache_.get(), tree_.get()}; }

  template <typename F> std::string refusal(F &&convert) {
    try {
      convert();
    } catch (const MappedARXException &failure) {
      EXPECT_EQ(failure.code(), 3u);
      return failure.text();
    }
    return "no refusal";
  }

  arxmod::MemoryBlob blob_{4096};
  arxmod::RegisterObj *text_ = nullptr;
  arxmod::IRefPtr<arxmod::TranslationTree> tree_;
  arxmod::IRefPtr<Cache> cache_;
};

TEST_F(ValueConversionTest, ReadsAndWritesScaleBothWays) {
  Entry offsetOnly;
  offsetOnly.scalingPresent = true; // only Offset given: Scale and Multiplier stay 1
  offsetOnly.offset.constant = 100;
  Entry both = ranged(0, 4095, 0, 100);
  both.scalingPresent = true;
  both.scale.constant = 2;
  struct Case {
    const char *name;
    Entry entry;
    double in;
    double read;
    double written;
  } cases[] = {
      {"scale 10", scaled(10, 1, 0), 1234, 123.4, 12340},
      {"offset 100", scaled(1, 1, 100), 150, 50, 250},
      {"offset only", offsetOnly, 150, 50, 250},
      {"multiplier 1000", scaled(1, 1000, 0), 2, 2000, 0.002},
      {"range top", ranged(0, 4095, 0, 100), 4095, 100, 4095},
      {"range clamps", ranged(0, 4095, 0, 100), 5000, 100, 4095},
      {"range middle", ranged(0, 4095, 0, 100), 50, 50 * 100.0 / 4095, 2047.5},
      {"range below", ranged(100, 200, -10, 10), 0, -10, 150},
      {"range then scale", both, 4095, 50, 4095},
      {"zero multiplier reads 0", scaled(1, 0, 0), 77, 0, 0},
  };
  for (const Case &c : cases) {
    SCOPED_TRACE(c.name);
    EXPECT_DOUBLE_EQ(conversion().readConvert(c.entry, c.in), c.read);
    if (c.entry.multiplier.constant != 0 || !c.entry.scalingPresent) {
      EXPECT_DOUBLE_EQ(conversion().writeConvert(c.entry, c.in), c.written);
    }
  }
  EXPECT_DOUBLE_EQ(conversion().writeConvert(scaled(10, 1, 0), 123.4), 1234);
  EXPECT_DOUBLE_EQ(conversion().writeConvert(ranged(0, 4095, 0, 100), 150), 4095);
  EXPECT_DOUBLE_EQ(conversion().writeConvert(scaled(0, 1, 7), 99), 7); // zero scale: the offset
}

TEST_F(ValueConversionTest, RefusalsNameTheirCause) {
  struct Case {
    const char *name;
    std::function<void()> convert;
    std::string text;
  } cases[] = {
      {"zero divisor", [&] { conversion().readConvert(scaled(0, 1, 0), 1); },
       "Divisor constant cannot be zero"},
      {"zero multiplier on write", [&] { conversion().writeConvert(scaled(1, 0, 0), 1); },
       "Multiplier attribute can not be zero for writing requests."},
      {"equal object bounds", [&] { conversion().readConvert(ranged(0, 10, 5, 5), 1); },
       "Min and max scaling constants cannot be equal"},
      {"equal raw bounds on write", [&] { conversion().writeConvert(ranged(3, 3, 0, 1), 1); },
       "Min and max scaling constants cannot be equal"},
  };
  for (const Case &c : cases) {
    SCOPED_TRACE(c.name);
    EXPECT_EQ(refusal(c.convert), c.text);
  }
}

TEST_F(ValueConversionTest, ReferencedConstantsUseCurrentValues) {
  Entry entry = scaled(1, 1, 0);
  entry.scale.handle = kTextRegister;
  struct Case {
    const char *name;
    std::optional<std::string> text; // value text of the referenced register
    std::string outcome;
  } cases[] = {
      {"text number", "\"2.5\"", "4"},
      {"text with unit", "\"2.5 kV\"", "4"},
      {"not a number", "\"abc\"", "Bad register reference (cannot convert string to numeric)"},
      {"number", "5.0", "2"},
      {"no value text", std::nullopt, "Bad register reference (handle 4097 holds error 5)"},
      {"text list", "StringArrayType { \"a\" }",
       "Bad register reference (handle 4097 holds a StringArrayType)"},
  };
  for (const Case &c : cases) {
    SCOPED_TRACE(c.name);
    text_->setValueText(c.text);
    std::string outcome;
    try {
      std::ostringstream out;
      out << conversion().readConvert(entry, 10);
      outcome = out.str();
    } catch (const MappedARXException &failure) {
      outcome = failure.text();
    }
    EXPECT_EQ(outcome, c.outcome);
  }
}

TEST_F(ValueConversionTest, CachedValueComesBeforeTheTree) {
  EXPECT_DOUBLE_EQ(conversion().referenceValue(kCachedRegister), 4.0);
  EXPECT_EQ(refusal([&] { conversion().referenceValue(kUnreadRegister); }),
            "Bad register reference (handle 4099 holds error 5: No value received from device.)");
  EXPECT_EQ(refusal([&] { conversion().referenceValue(0x9999); }),
            "Bad register reference (handle 39321 has no value)");
  Entry entry = ranged(0, 0, 0, 100);
  entry.modbusMax.handle = kCachedRegister; // raw range 0..4 onto 0..100
  EXPECT_DOUBLE_EQ(conversion().readConvert(entry, 1), 25);
}

TEST_F(ValueConversionTest, WriteValueOfArguments) {
  auto enumeration = arxmod::makeRef<arxmod::EnumerationInfo>();
  enumeration->add(0, "Wye");
  enumeration->add(3, "Delta");
  Entry withOptions = scaled(10, 1, 0);
  withOptions.enumeration = enumeration;
  Entry plain = scaled(10, 1, 0);
  plain.writeValue = 5;
  const arxmod::ARXObj *pulse = tree_->find(0x700);
  const arxmod::ARXObj *numeric = tree_->find(0x701);
  struct Case {
    const char *name;
    const Entry &entry;
    const arxmod::ARXObj *object;
    arxmod::PICType *argument;
    std::optional<double> written;
  } cases[] = {
      {"option text", withOptions, numeric, arxmod::makeString(blob_, "Delta"), 30},
      {"unknown option", withOptions, numeric, arxmod::makeString(blob_, "Star"), std::nullopt},
      {"number with options", withOptions, numeric, blob_.make<arxmod::UnsignedType>(2u), 20},
      {"void with options", withOptions, pulse, blob_.make<arxmod::VoidType>(), std::nullopt},
      {"number", plain, numeric, blob_.make<arxmod::Float64Type>(1.5), 15},
      {"boolean", plain, numeric, blob_.make<arxmod::BooleanType>(1u), 10},
      {"pulse takes WriteValue", plain, pulse, blob_.make<arxmod::VoidType>(), 50},
      {"text on a numeric register", plain, numeric, arxmod::makeString(blob_, "1"), std::nullopt},
      {"no object", plain, nullptr, blob_.make<arxmod::VoidType>(), std::nullopt},
  };
  for (const Case &c : cases) {
    SCOPED_TRACE(c.name);
    EXPECT_EQ(conversion().writeValueOf(c.entry, c.object, c.argument), c.written);
  }
}

} // namespace
} // namespace XLARX
