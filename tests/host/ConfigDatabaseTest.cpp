// The configuration database client: cells, ISNULL, failures, host settings
// and the cached device table.
#include "host/ConfigDatabase.h"

#include "TempHostDatabase.h"
#include "base/KSXmsg.h"
#include "host/HostName.h"
#include "host/SqlFunctions.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

namespace arxmod {
namespace {

using ::testing::AllOf;
using ::testing::HasSubstr;
using Cell = ConfigDatabase::Cell;

std::string failureText(const std::function<void()> &action) {
  try {
    action();
  } catch (const KSXmsg &failure) {
    return failure.text();
  }
  return "no exception";
}

TEST(ConfigDatabaseCellTest, ConvertsToInt32AndRejectsWhatDoesNotFit) {
  const struct {
    Cell cell;
    int32_t expected;
  } valid[] = {{std::monostate{}, 0},
               {int64_t{-2147483648LL}, INT32_MIN},
               {int64_t{2147483647}, INT32_MAX},
               {2.6, 3},
               {std::string("42"), 42},
               {std::string("-7"), -7}};
  for (const auto &c : valid) {
    SCOPED_TRACE(ConfigDatabase::toString(c.cell));
    EXPECT_EQ(ConfigDatabase::toInt32(c.cell), c.expected);
  }
  const Cell invalid[] = {int64_t{2147483648LL}, 1e12, std::string("4x"), std::string(""),
                          std::string("99999999999")};
  for (const auto &cell : invalid) {
    SCOPED_TRACE(ConfigDatabase::toString(cell));
    EXPECT_THAT(failureText([&] { ConfigDatabase::toInt32(cell); }),
                HasSubstr("is not a 32-bit integer"));
  }
}

TEST(SqlFunctionsTest, QuotesOnlyCallsOfIsNull) {
  const struct {
    std::string_view sql;
    std::string_view quoted;
  } cases[] = {
      {"SELECT ISNULL(a,'') FROM t", R"(SELECT "ISNULL"(a,'') FROM t)"},
      {"select isnull (a, 1)", R"(select "ISNULL" (a, 1))"},
      {"SELECT 'ISNULL(a,b)'", "SELECT 'ISNULL(a,b)'"},
      {"SELECT a FROM t WHERE a ISNULL", "SELECT a FROM t WHERE a ISNULL"},
      {R"(SELECT "ISNULL"(a,b))", R"(SELECT "ISNULL"(a,b))"},
      {"SELECT MYISNULL(a)", "SELECT MYISNULL(a)"},
      {"SELECT 1 -- ISNULL(\n", "SELECT 1 -- ISNULL(\n"},
      {"SELECT /* ISNULL( */ 1", "SELECT /* ISNULL( */ 1"},
      {"SELECT [ISNULL](a)", "SELECT [ISNULL](a)"},
      {"SELECT 'unterminated ISNULL(", "SELECT 'unterminated ISNULL("},
  };
  for (const auto &c : cases) {
    SCOPED_TRACE(c.sql);
    EXPECT_EQ(quoteIsNullCalls(c.sql), c.quoted);
  }
}

class ConfigDatabaseTest : public ::testing::Test {
protected:
  ConfigDatabase &client_ = ConfigDatabase::instance();
  test::TempHostDatabase database_;
};

TEST_F(ConfigDatabaseTest, ConnectionUsesWalIsNullAndBusyTimeout) {
  const auto rows = client_.query("SELECT ISNULL(NULL,'x'), ISNULL(5,'y'), isnull ( NULL , 7 )");
  ASSERT_EQ(rows.size(), 1u);
  EXPECT_EQ(rows[0], (ConfigDatabase::Row{std::string("x"), int64_t{5}, int64_t{7}}));
  EXPECT_EQ(ConfigDatabase::toString(client_.query("PRAGMA journal_mode").at(0).at(0)), "wal");
  EXPECT_GE(ConfigDatabase::toInt32(client_.query("PRAGMA busy_timeout").at(0).at(0)), 5000);
  EXPECT_EQ(client_.path(), database_.file());
}

TEST_F(ConfigDatabaseTest, ColumnsKeepTheirTypes) {
  const auto rows = client_.query("SELECT 1, 2.5, 'text', NULL, x'00ff'");
  ASSERT_EQ(rows.size(), 1u);
  EXPECT_EQ(rows[0], (ConfigDatabase::Row{int64_t{1}, 2.5, std::string("text"), std::monostate{},
                                          std::string("\x00\xff", 2)}));
}

TEST_F(ConfigDatabaseTest, FailuresNameFileMessageAndStatement) {
  EXPECT_THAT(failureText([&] { client_.query("SELECT * FROM NoSuchTable"); }),
              AllOf(HasSubstr("Host database '" + database_.file().string() + "'"),
                    HasSubstr("no such table: NoSuchTable"),
                    HasSubstr("executing \"SELECT * FROM NoSuchTable\"")));

  const auto missing = database_.directory() / "missing.db";
  test::TempHostDatabase::use(missing);
  EXPECT_THAT(failureText([&] { client_.query("SELECT 1"); }),
              HasSubstr("Host database '" + missing.string() + "'"));
  EXPECT_FALSE(std::filesystem::exists(missing)) << "a missing database is not created";
}

TEST_F(ConfigDatabaseTest, HostSettingIsAbsentWhenMissingOrNull) {
  database_.exec("INSERT INTO HostSetting VALUES ('DataDirectory', '/var/lib/arx'),"
                 " ('Empty', NULL)");
  EXPECT_EQ(client_.hostSetting("DataDirectory"), "/var/lib/arx");
  EXPECT_EQ(client_.hostSetting("Empty"), std::nullopt);
  EXPECT_EQ(client_.hostSetting("NoSuchSetting"), std::nullopt);
  EXPECT_EQ(client_.hostSetting("' OR 1=1 --"), std::nullopt);
}

TEST_F(ConfigDatabaseTest, ParametersAreBoundNotPastedIntoTheText) {
  database_.exec("INSERT INTO HostSetting VALUES ('Quote''s', 'found'), ('Other', 'leaked')");
  const auto rows = client_.query("SELECT Value FROM HostSetting WHERE Name = ? OR Name = ?",
                                  {std::string("Quote's"), std::string("x' OR '1'='1")});
  ASSERT_EQ(rows.size(), 1u);
  EXPECT_EQ(rows[0], (ConfigDatabase::Row{std::string("found")}));
  EXPECT_EQ(client_.query("SELECT ? + 1, ?, ?", {int64_t{41}, 2.5, std::monostate{}}).at(0),
            (ConfigDatabase::Row{int64_t{42}, 2.5, std::monostate{}}));
}

TEST_F(ConfigDatabaseTest, DeviceTableFollowsLastUpdate) {
  database_.exec(R"sql(
    INSERT INTO Translator VALUES (1, 'MX4110_4120', 0, 'mx4110_4120.so');
    INSERT INTO DeviceType VALUES (1, 'MX4110', 1, 'mx.xml');
    INSERT INTO Site VALUES (1, 'Plant A');
    INSERT INTO Port VALUES (1, 'COM1', 1, 1, NULL), (2, 'COM2', 1, 0, NULL);
    INSERT INTO Device (ID, Name, DeviceTypeID, PortID, Enabled, CustomProperty1, LastUpdate)
      VALUES (10, 'Feeder 1', 1, 1, 1, 'cp', '2024-01-01'),
             (11, 'Feeder 2', 1, 2, 1, NULL, '2024-01-01'),
             (12, 'Loose', 1, NULL, 1, NULL, '2024-01-01'),
             (13, 'Off', 1, 1, 0, NULL, '2024-01-01');
  )sql");
  const struct {
    uint32_t id;
    std::string name, site;
    bool enabled;
  } cases[] = {{10, "Feeder 1", "Plant A", true},
               {11, "Feeder 2", "Plant A", false},
               {12, "Loose", "", true},
               {13, "Off", "Plant A", false}};
  for (const auto &c : cases) {
    SCOPED_TRACE(c.id);
    const auto record = client_.device(c.id);
    ASSERT_TRUE(record);
    EXPECT_EQ(record->name, c.name);
    EXPECT_EQ(record->typeName, "MX4110");
    EXPECT_EQ(record->siteName, c.site);
    EXPECT_EQ(record->enabled, c.enabled);
  }
  EXPECT_EQ(client_.device(10)->customProperty1, "cp");
  EXPECT_EQ(client_.device(99), std::nullopt);

  database_.exec("UPDATE Device SET Name='Renamed' WHERE ID=10");
  EXPECT_EQ(client_.deviceRefreshed(10)->name, "Feeder 1") << "LastUpdate did not change";
  database_.exec("UPDATE Device SET LastUpdate='2024-02-01' WHERE ID=10");
  EXPECT_EQ(client_.device(10)->name, "Feeder 1") << "checked at most once per period";
  EXPECT_EQ(client_.deviceRefreshed(10)->name, "Renamed");

  database_.exec("INSERT INTO Device (ID, Name, DeviceTypeID) VALUES (14, 'New', 1)");
  EXPECT_EQ(client_.deviceRefreshed(14)->name, "New") << "a new row changes the count";
}

TEST(HostNameTest, CutsAtTheFirstDotAndFallsBack) {
  EXPECT_EQ(hostNameFrom("plant-a.example.org"), "plant-a");
  EXPECT_EQ(hostNameFrom("plant-b"), "plant-b");
  EXPECT_EQ(hostNameFrom(".hidden"), "Unknown");
  const std::string fromSystem = hostNameFrom(std::nullopt);
  EXPECT_FALSE(fromSystem.empty());
  EXPECT_EQ(fromSystem.find('.'), std::string::npos);
  EXPECT_EQ(hostNameFrom(std::string()), fromSystem);
}

} // namespace
} // namespace arxmod
