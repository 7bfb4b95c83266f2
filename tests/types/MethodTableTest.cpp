// Method table: both look-ups, first-row rule and case handling.
#include "types/MethodTable.h"

#include <gtest/gtest.h>

#include <set>

namespace arxmod {
namespace {

TEST(MethodTableTest, LooksUpNumbersAndNames) {
  const struct {
    uint32_t number;
    const char *name;
  } cases[] = {{1, "ARX_read_class"},
               {21, "Register_read_value"},
               {22, "Register_write_value"},
               {1505, "Manager_read_collective_state"},
               {1506, "Manager_read_capacity"},
               {627, "ADReg_read_allowed_classes"},
               {1032, "RecorderModule_write_rearm"}};
  for (const auto &c : cases) {
    SCOPED_TRACE(c.name);
    EXPECT_EQ(methodName(c.number), c.name);
    EXPECT_EQ(methodNumber(c.name), c.number);
  }
  EXPECT_EQ(methodName(4), std::nullopt);
  EXPECT_EQ(methodNumber("Register_read_nothing"), std::nullopt);
}

TEST(MethodTableTest, CaseIsIgnoredOnlyWhenAsked) {
  EXPECT_EQ(methodNumber("register_READ_value"), std::nullopt);
  EXPECT_EQ(methodNumber("register_READ_value", CaseSensitivity::Ignore), 21u);
  EXPECT_EQ(methodNumber("Register_read_valu", CaseSensitivity::Ignore), std::nullopt);
}

TEST(MethodTableTest, HoldsEightyFiveRowsWithOneRepeatedName) {
  const auto rows = methodTable();
  ASSERT_EQ(rows.size(), 85u);
  std::set<std::string_view> names;
  for (const auto &row : rows)
    names.insert(row.name);
  EXPECT_EQ(names.size(), 84u);
  EXPECT_EQ(rows.front().name, "ARX_read_class");
  EXPECT_EQ(rows.back().name, "Manager_read_capacity");
}

} // namespace
} // namespace arxmod
