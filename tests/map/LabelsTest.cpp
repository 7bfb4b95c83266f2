// Enumerations, configurable values and labels, and dynamic labels: the
// texts and values a client reads through them.
#include "map/DynamicLabel.h"
#include "map/EnumerationInfo.h"
#include "tree/RegisterObj.h"
#include "types/ArrayTypes.h"
#include "types/StructureTypes.h"

#include <gtest/gtest.h>

namespace arxmod {
namespace {

IRefPtr<EnumerationInfo> states(const std::string &fallback = "") {
  auto list = makeRef<EnumerationInfo>("States", fallback);
  list->add(0, "Open");
  list->add(1, "Closed");
  list->add(7, "1.5");
  list->add(8, "");
  list->add(9, "Open");
  return list;
}

TEST(LabelsTest, EnumerationTextsAndOrdinals) {
  std::string text;
  EXPECT_TRUE(states()->textFor(1, text, ""));
  EXPECT_EQ(text, "Closed");
  EXPECT_FALSE(states()->textFor(4, text, ""));
  EXPECT_TRUE(states("Unknown")->textFor(4, text, ""));
  EXPECT_EQ(text, "Unknown");
  EXPECT_TRUE(states("Unknown")->textFor(4, text, "Given"));
  EXPECT_EQ(text, "Given");
  EXPECT_FALSE(states()->add(1, "again"));

  int32_t ordinal = -1;
  EXPECT_TRUE(states()->ordinalFor("Open", ordinal));
  EXPECT_EQ(ordinal, 0); // the first match
  EXPECT_FALSE(states()->ordinalFor("open", ordinal));
  EXPECT_FALSE(states()->ordinalFor("Clos", ordinal));
  EXPECT_TRUE(states()->ordinalFor("", ordinal));
  EXPECT_EQ(ordinal, 8);
}

TEST(LabelsTest, EnumerationValuesFollowTheRegisterClass) {
  MemoryBlob blob(4096);
  const struct {
    uint32_t classNumber; // 0: no register object
    int32_t ordinal;
    std::string typeName, text;
  } cases[] = {
      {23, 7, "Float64Type", "1.5"},  {25, 7, "Float64Type", "1.5"}, {21, 7, "BooleanType", "1"},
      {21, 0, "Char08Array", "Open"}, {47, 7, "Char08Array", "1.5"}, {0, 7, "Char08Array", "1.5"},
      {23, 8, "UnsignedType", "8"},   {23, 4, "UnsignedType", "4"},
  };
  for (const auto &c : cases) {
    SCOPED_TRACE(std::to_string(c.classNumber) + "/" + std::to_string(c.ordinal));
    RegisterObj object(0x10, c.classNumber, 1, "r");
    PICType *value = states()->valueFor(c.ordinal, blob, c.classNumber ? &object : nullptr, "");
    ASSERT_TRUE(value);
    EXPECT_EQ(value->typeName(), c.typeName);
    const auto *chars = dynamic_cast<const CharArrayBase *>(value);
    EXPECT_EQ(chars ? chars->text() : value->toText(), c.text);
  }
}

TEST(LabelsTest, ConfigurableValuesAndLabels) {
  MemoryBlob blob(4096);
  ConfigValueInfo values;
  values.add(0, "-NA-");
  values.add(1, "-na-");
  values.add(2, "12.5");
  RegisterObj numeric(0x10, 23, 1, "r");
  EXPECT_FALSE(values.valueFor(5, blob, &numeric, ""));
  auto *missing = dynamic_cast<ExceptionType *>(values.valueFor(0, blob, &numeric, ""));
  ASSERT_TRUE(missing);
  EXPECT_EQ(missing->code(), 5u);
  EXPECT_EQ(values.valueFor(1, blob, &numeric, "")->typeName(), "Char08Array");
  EXPECT_EQ(values.valueFor(2, blob, &numeric, "")->toText(), "12.5");

  ConfigLabelInfo labels("", 0x44);
  labels.add(0, "{LBL} of {LBL}");
  labels.add(1, "Plain");
  EXPECT_EQ(labels.handle(), 0x44u);
  RegisterObj named(0x11, 23, 1, "V1");
  RegisterObj labelled(0x12, 23, 1, "V2");
  labelled.setLabel("Volts A");
  const auto text = [&](int32_t ordinal, const ARXObj *object) {
    return picCast<CharArrayBase>(labels.valueFor(ordinal, blob, object, ""))->text();
  };
  using namespace std::string_literals;
  EXPECT_EQ(text(0, &named), "V1 of {LBL}\0"s); // with its terminating zero
  EXPECT_EQ(text(0, &labelled), "Volts A of {LBL}\0"s);
  EXPECT_EQ(text(0, nullptr), "{LBL} of {LBL}\0"s);
  EXPECT_EQ(text(1, &named), "Plain\0"s);
  try {
    labels.valueFor(3, blob, &named, "");
    ADD_FAILURE() << "found a label";
  } catch (const MapLookupError &e) {
    EXPECT_EQ(e.text(), "Could not find a configurable label value for configLabel=3");
  }
}

IRefPtr<XLARX::DynamicLabel> label(const std::string &trigger, const std::string &active,
                                   const std::string &inactive) {
  auto made = makeRef<XLARX::DynamicLabel>();
  made->ordinalHandle = 5;
  made->deviceLabelHandle = 6;
  made->enumeration = states();
  made->setTrigger(trigger);
  made->setActiveFormat(active);
  made->setInactiveFormat(inactive);
  return made;
}

TEST(LabelsTest, DynamicLabelsChooseAndFillTheirFormat) {
  const struct {
    std::string trigger, active, inactive, deviceLabel;
    int32_t ordinal;
    std::optional<std::string> expected;
  } cases[] = {
      {"Feeder", "$DL", "Spare", "Feeder 1", 0, "Feeder 1"},
      {"Feeder", "$DL", "Spare", "Line 1", 0, "Spare"},
      {"Feeder", "$DL", "", "Line 1", 0, std::nullopt},
      {"", "$DL ($EV) #$EO", "", "Breaker", 1, "Breaker (Closed) #1"},
      {"", "$EV $EV", "", "", 0, "Open $EV"}, // each placeholder once
      {"", "", "Always $EO", "x", -2, "Always -2"},
      {"F|Line", "$DL", "", "F1 F2", 0, "Line1 F2"}, // the trigger's first occurrence
      {"|", "$DL", "", "a|b", 0, "a|b"},             // one character: no replacement
  };
  for (const auto &c : cases) {
    SCOPED_TRACE(c.trigger + " " + c.active + " / " + c.deviceLabel);
    EXPECT_EQ(label(c.trigger, c.active, c.inactive)->produceLabel(c.ordinal, c.deviceLabel),
              c.expected);
  }
  try {
    label("", "$EV", "")->produceLabel(3, "");
    ADD_FAILURE() << "made a label";
  } catch (const MapLookupError &e) {
    EXPECT_EQ(e.text(), "Could not obtain a value from enumeration 'States' for ordinal=3");
  }
}

TEST(LabelsTest, DynamicLabelsNeedTheirHandles) {
  IRefPtr<XLARX::DynamicLabel> made = label("", "$EV", "");
  EXPECT_TRUE(made->isValid());
  made->ordinalHandle = 0;
  EXPECT_FALSE(made->definitionComplete());
  EXPECT_TRUE(made->isValid()); // remembered once passed

  XLARX::DynamicLabel noEnumeration;
  noEnumeration.ordinalHandle = 5;
  noEnumeration.setActiveFormat("$EV");
  EXPECT_FALSE(noEnumeration.isValid());
  EXPECT_FALSE(noEnumeration.produceLabel(0, "x"));
  XLARX::DynamicLabel triggerOnly;
  triggerOnly.setTrigger("T");
  triggerOnly.setActiveFormat("fixed");
  EXPECT_FALSE(triggerOnly.isValid());
  triggerOnly.deviceLabelHandle = 9;
  EXPECT_TRUE(triggerOnly.isValid());
  EXPECT_EQ(label("T|U", "$DL", "in")->describe(),
            "Ordinal Handle=5; Enumeration Name=States; Enumeration Found=yes; Device Label "
            "Handle=6; Device Label Trigger=T; Active Format=$DL; Inactive Format=in");
}

} // namespace
} // namespace arxmod
