// Object model: class table and parents, register families, module labels,
// the label rule, protected registers, clone and register values.
#include "tree/ClassTable.h"
#include "tree/ModuleLabels.h"
#include "tree/ObjList.h"
#include "tree/RegisterObj.h"
#include "types/NumericTypes.h"
#include "types/StructureTypes.h"

#include <gtest/gtest.h>

#include <set>

namespace arxmod {
namespace {

TEST(ClassTableTest, LooksUpPrimaryNamesAliasesAndGaps) {
  EXPECT_EQ(classNameOf(21), "Boolean_Register");
  EXPECT_EQ(classNumberOf("BooleanVariable_Register"), 21u);
  EXPECT_EQ(classNumberOf("Boolean_Register"), 21u);
  EXPECT_EQ(classNumberOf("boolean_register"), std::nullopt);
  EXPECT_EQ(classNameOf(517), "WaveformComb_Module");
  EXPECT_EQ(classNumberOf("SnapshotRecorder_Module"), 537u);
  EXPECT_EQ(classNameOf(2000), "Manager_Module");
  for (uint32_t gap : {0u, 35u, 36u, 37u, 507u, 611u}) {
    SCOPED_TRACE(gap);
    EXPECT_EQ(classNameOf(gap), std::nullopt);
    EXPECT_EQ(classNameOrNumber(gap), std::to_string(gap));
  }
  const auto rows = classTable();
  ASSERT_EQ(rows.size(), 147u);
  std::set<uint32_t> numbers;
  for (const auto &row : rows)
    numbers.insert(row.number);
  EXPECT_EQ(numbers.size(), 139u);
}

TEST(ClassTableTest, EveryNumberHasAParentEndingAtARX) {
  std::set<uint32_t> numbers;
  for (const auto &row : classTable())
    numbers.insert(row.number);
  for (uint32_t number : numbers) {
    SCOPED_TRACE(number);
    ASSERT_TRUE(classParentOf(number).has_value());
    EXPECT_TRUE(classIsA(number, kClassARX));
  }
  EXPECT_EQ(classParentOf(507), std::nullopt);
}

TEST(ClassTableTest, AncestorTestFollowsTheHierarchy) {
  const struct {
    uint32_t number, ancestor;
    bool isA;
  } cases[] = {{31, 27, true},   {31, 30, true},   {31, 20, true},   {22, 47, true},
               {44, 38, true},   {535, 522, true}, {537, 516, true}, {2000, 500, true},
               {24, 23, true},   {23, 23, true},   {27, 31, false},  {511, 20, false},
               {21, 500, false}, {507, 1, false},  {999, 1, false}};
  for (const auto &c : cases) {
    SCOPED_TRACE(std::to_string(c.number) + " isa " + std::to_string(c.ancestor));
    EXPECT_EQ(classIsA(c.number, c.ancestor), c.isA);
  }
}

TEST(ClassTableTest, RegisterFamiliesComeFromPrimaryNames) {
  const struct {
    uint32_t number;
    RegisterFamily family;
  } cases[] = {{23, RegisterFamily::Numeric},    {24, RegisterFamily::Numeric},
               {25, RegisterFamily::Numeric},    {26, RegisterFamily::Numeric},
               {21, RegisterFamily::Boolean},    {47, RegisterFamily::StringLike},
               {22, RegisterFamily::StringLike}, {29, RegisterFamily::Other},
               {500, RegisterFamily::Other},     {35, RegisterFamily::Other}};
  for (const auto &c : cases) {
    SCOPED_TRACE(c.number);
    EXPECT_EQ(registerFamily(c.number), c.family);
  }
}

TEST(ModuleLabelsTest, QuotedRowsAreExact) {
  const struct {
    uint32_t cls;
    size_t count;
    std::vector<std::string_view> first;
  } rows[] = {
      {501,
       84,
       {"V1", "V2", "V3", "V4", "I1", "I2", "I3", "I4", "I5", "Enable", "Volts Mode", "PT Prim",
        "PT Sec"}},
      {511, 6, {"Source", "Enable", "Reset", "Minimum", "Trigger", "Event"}},
      {512, 6, {"Source", "Enable", "Reset", "Maximum", "Trigger", "Event"}},
      {518, 6, {"Enable", "Sync", "Period", "Sync Mode", "Trigger", "Event"}},
      {525, 19, {"Client Period"}},
      {537,
       15,
       {"Source", "Enable", "Record", "Rearm", "Reset", "Depth", "RecordMode", "LogMode",
        "EvLog Mode", "Insert Outage Records", "Data Log", "Log State", "Records Left",
        "Record Complete", "Event"}},
      {544, 3, {"EvPriority", "Trigger", "Event"}},
      {545, 3, {"EvPriority", "Switch", "Event"}},
      {546, 3, {"EvPriority", "Number", "Event"}},
      {567, 4, {"Source", "Enable", "Pulse Out", "Event"}},
      {592, 7, {"Source", "Enable", "Reset", "Operate Now", "Calc Mode", "Value", "Event"}},
  };
  for (const auto &row : rows) {
    SCOPED_TRACE(row.cls);
    EXPECT_EQ(moduleLabelRow(row.cls).labels.size(), row.count);
    for (size_t i = 0; i < row.first.size(); ++i)
      EXPECT_EQ(registerLabel(row.cls, static_cast<uint32_t>(i)), row.first[i]);
    EXPECT_THROW(registerLabel(row.cls, static_cast<uint32_t>(row.count)), LabelLookupError);
  }
  EXPECT_EQ(registerLabel(525, 18), "Security State");
  EXPECT_EQ(moduleLabelRow(511).code, "MN");
  EXPECT_EQ(moduleLabelRow(592).code, "AVG");
}

TEST(ModuleLabelsTest, ManagerLabelsAndRefusals) {
  EXPECT_EQ(managerLabel(511), "Minimum Modules");
  EXPECT_EQ(managerLabel(512), "Maximum Modules");
  EXPECT_EQ(managerLabel(552), "HIFI Modules");
  EXPECT_EQ(managerLabel(2000), "Feature Manager");
  for (uint32_t cls : {500u, 507u, 516u, 576u, 611u, 1999u})
    EXPECT_THROW(managerLabel(cls), LabelLookupError) << cls;
  EXPECT_THROW(registerLabel(552, 0), LabelLookupError);
  EXPECT_THROW(registerLabel(2000, 0), LabelLookupError);
  for (uint32_t cls = kFirstLabelledModuleClass; cls <= kLastLabelledModuleClass; ++cls)
    for (std::string_view label : moduleLabelRow(cls).labels)
      EXPECT_LE(label.size(), kMaxRegisterLabelLength) << cls;
}

TEST(ObjectModelTest, LabelEqualToNameIsStoredAsAbsent) {
  RegisterObj reg(5, 23, 4, "Vln a");
  reg.setLabel("Vln a");
  EXPECT_FALSE(reg.label());
  reg.setLabel("Voltage A");
  EXPECT_EQ(reg.label(), "Voltage A");
  reg.setLabel(std::nullopt);
  EXPECT_FALSE(reg.label());
}

TEST(ObjectModelTest, ProtectedRegistersAreNamedSecOrSop) {
  for (const char *name : {"SECPassword", "SOPSettings", "SEC"})
    EXPECT_TRUE(RegisterObj(1, 47, 0, name).isProtected()) << name;
  for (const char *name : {"XSEC", "secPassword", "SE", ""})
    EXPECT_FALSE(RegisterObj(1, 47, 0, name).isProtected()) << name;
}

TEST(ObjectModelTest, CloneOwnsItsListsAndDropsTheOwner) {
  ObjList owner;
  auto module = std::make_unique<ModuleObj>(0x100, 511, 3, "Minimum 1");
  module->setInputs(std::vector<CompleteObjectHandle>{{1, "n"}});
  module->setOutputs(std::vector<uint32_t>{2});
  module->setSetups(std::vector<uint32_t>{3});
  module->setInputNames(std::vector<std::string>{"Source"});
  module->setInputClasses(InputClassesList{{0, 0, 1, 23}});
  ModuleObj *original = module.get();
  owner.insert(std::move(module));

  auto copy = original->clone();
  auto *clone = dynamic_cast<ModuleObj *>(copy.get());
  ASSERT_NE(clone, nullptr);
  EXPECT_EQ(clone->owner(), nullptr);
  EXPECT_EQ(original->owner(), &owner);
  EXPECT_EQ(clone->kindName(), "ModuleObj");
  clone->setInputs(std::vector<CompleteObjectHandle>{});
  clone->setOutputs(std::vector<uint32_t>{9, 9});
  clone->setSetups(std::nullopt);
  clone->setInputNames(std::vector<std::string>{"Other"});
  clone->setInputClasses(InputClassesList{});
  EXPECT_EQ(original->inputs()->size(), 1u);
  EXPECT_EQ(*original->outputs(), std::vector<uint32_t>{2});
  EXPECT_EQ(*original->setups(), std::vector<uint32_t>{3});
  EXPECT_EQ(original->inputNames()->front(), "Source");
  EXPECT_EQ(original->inputClasses()->size(), 1u);
}

TEST(ObjectModelTest, CloneOwnsTheRarelySetAttributes) {
  RegisterObj original(0x101, 47, 0x100, "Name");
  EXPECT_FALSE(original.label() || original.comment() || original.descriptors() ||
               original.securityLevels() || original.structuredValue());
  original.setLabel("Label");
  original.setComment("comment");
  original.setDescriptors(std::vector<std::string>{"d"});
  original.setSecurityLevels(SecurityLevels{{1, 2}});
  original.setStructuredValue("1, 2");

  auto copy = original.clone();
  auto &clone = static_cast<RegisterObj &>(*copy);
  EXPECT_EQ(clone.label(), "Label");
  EXPECT_EQ(clone.structuredValue(), "1, 2");
  clone.setLabel(std::nullopt);
  clone.setComment("other");
  clone.setDescriptors(std::nullopt);
  clone.setSecurityLevels(std::nullopt);
  clone.setStructuredValue(std::nullopt);
  EXPECT_FALSE(clone.label() || clone.descriptors() || clone.securityLevels() ||
               clone.structuredValue());
  EXPECT_EQ(original.label(), "Label");
  EXPECT_EQ(original.comment(), "comment");
  EXPECT_EQ(original.descriptors()->front(), "d");
  EXPECT_EQ(original.securityLevels()->at(1), 2u);
  EXPECT_EQ(original.structuredValue(), "1, 2");
}

TEST(ObjectModelTest, KindNamesFollowTheClass) {
  for (const auto &info : objKinds()) {
    SCOPED_TRACE(info.kindName);
    auto object = makeObj(info.kind);
    EXPECT_EQ(object->kindName(), info.kindName);
    EXPECT_EQ(object->clone()->kindName(), info.kindName);
  }
}

TEST(ObjectModelTest, RegisterValueIsParsedIntoTheArena) {
  MemoryBlob blob(kProgramBlobSize);
  RegisterObj reg(0x101, 25, 0x100, "Value");
  EXPECT_THROW(reg.value(nullptr), RegisterObj::BlobCannotBeNull);
  try {
    reg.value(nullptr);
  } catch (const KSXmsg &e) {
    EXPECT_EQ(e.text(), "Blob Cannot Be Null");
  }
  auto *missing = dynamic_cast<ExceptionType *>(reg.value(&blob));
  ASSERT_NE(missing, nullptr);
  EXPECT_EQ(missing->code(), 5u);
  EXPECT_EQ(missing->text(), "");
  reg.setValueText("7u");
  PICType *value = reg.value(&blob);
  EXPECT_EQ(picCast<UnsignedType>(value)->get(), 7u);
  EXPECT_TRUE(blob.contains(value));
}

TEST(ObjListTest, BucketCountsFollowTheSizeTable) {
  const struct {
    size_t count, buckets;
  } cases[] = {{0, 59},       {100, 59},      {101, 137},     {151, 211},    {301, 401},
               {501, 673},    {1001, 1361},   {2501, 3331},   {5001, 6673},  {8000, 6673},
               {8001, 10667}, {12000, 10667}, {12001, 16001}, {40000, 16001}};
  for (const auto &c : cases) {
    SCOPED_TRACE(c.count);
    EXPECT_EQ(bucketCountFor(c.count), c.buckets);
  }
}

// Inserting grows the table to keep chains short; sizing after a load uses
// the table above as the least size and never shrinks what inserts grew.
TEST(ObjListTest, SizingAfterALoadNeverShrinksTheTable) {
  for (size_t count : {size_t{150}, size_t{40000}, size_t{200000}}) {
    SCOPED_TRACE(count);
    ObjList objects;
    for (uint32_t handle = 1; handle <= count; ++handle)
      objects.insert(std::make_unique<ARXObj>(handle, 1, 0, "o"));
    const size_t grown = objects.bucketCount();
    objects.sizeForCount();
    EXPECT_EQ(objects.bucketCount(), std::max(grown, bucketCountFor(count)));
    EXPECT_GE(objects.bucketCount(), count);
    EXPECT_TRUE(objects.contains(static_cast<uint32_t>(count)));
  }
}

} // namespace
} // namespace arxmod
