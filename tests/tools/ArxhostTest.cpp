// The host tool's commands as a new user meets them: a database is created,
// devices registered, a device pinged through the real plug-in, and each
// mistake answered with a message naming the file, table or device.
#include "ToolFixture.h"

#include <fstream>
#include <sstream>

namespace arxhost {
namespace {

using ArxhostTest = ToolFixture;

TEST_F(ArxhostTest, InitRegistersAndPingsADeviceThroughThePlugin) {
  std::ostringstream out;
  EXPECT_EQ(initCommand(db, out), 0);
  EXPECT_TRUE(std::filesystem::is_directory(dir / "translators" / "override"));
  NewDevice meter;
  meter.name = "meter1";
  meter.connection = "tcp://127.0.0.1:1502";
  meter.treeFile = "meter1.dat";
  meter.mapFile = "meter1.xml";
  EXPECT_EQ(deviceAddCommand(db, meter, out), 0);
  // Every call reads the device's tree and map, a ping too; this map maps
  // no register, so the ping needs no meter.
  std::ofstream(dir / "translators" / "meter1.dat")
      << "saved_as_ARX 0x7 classid = ARX name = <5>meter";
  std::ofstream(dir / "translators" / "meter1.xml") << "<Map/>";
  std::ostringstream ping;
  EXPECT_EQ(pingCommand(db, "meter1", ARXMOD_PLUGIN_PATH, ping), 0) << ping.str();
  EXPECT_NE(ping.str().find("the channel is open"), std::string::npos) << ping.str();
}

TEST_F(ArxhostTest, NamesTheFileTableOrDeviceAtFault) {
  std::ostringstream out;
  EXPECT_EQ(errorOf([&] { pingCommand(db, "meter1", ARXMOD_PLUGIN_PATH, out); }),
            "Host database " + db.string() + " does not exist; create it with 'arxhost init --db " +
                db.string() + "'");
  initCommand(db, out);
  EXPECT_EQ(errorOf([&] { initCommand(db, out); }),
            "Host database " + db.string() + " already exists; remove it first");
  NewDevice meter;
  meter.name = "meter1";
  deviceAddCommand(db, meter, out);
  EXPECT_EQ(errorOf([&] { deviceAddCommand(db, meter, out); }),
            db.string() + ": a device named 'meter1' exists already in table Device");
  EXPECT_EQ(errorOf([&] { pingCommand(db, "meter2", ARXMOD_PLUGIN_PATH, out); }),
            db.string() + ": no device named 'meter2' in table Device (see 'arxhost device list')");
  const std::string missingPlugin = (dir / "none.so").string();
  EXPECT_EQ(errorOf([&] {
              pingCommand(db, "meter1", missingPlugin, out);
            }).rfind("Cannot load plug-in " + missingPlugin + ": ", 0),
            0u);
}

TEST_F(ArxhostTest, ReusesSitesPortsAndTypesByName) {
  std::ostringstream out;
  initCommand(db, out);
  for (const char *name : {"a", "b"}) {
    NewDevice meter;
    meter.name = name;
    deviceAddCommand(db, meter, out);
  }
  auto database = HostDatabase::open(db);
  EXPECT_EQ(database.deviceNames(), (std::vector<std::string>{"a", "b"}));
  EXPECT_EQ(database.device("b").translatorName, "MX4110_4120");
}

TEST_F(ArxhostTest, GivesTheTransportThePortConnectionAndUnitOfADevice) {
  std::ostringstream out;
  initCommand(db, out);
  NewDevice meter;
  meter.name = "meter1";
  meter.port = "North";
  meter.connection = "tcp://10.0.0.5:502";
  meter.unit = 7;
  deviceAddCommand(db, meter, out);
  const DeviceEntry device = HostDatabase::open(db).device("meter1");
  EXPECT_EQ(device.port, "North");
  EXPECT_EQ(device.connection, "tcp://10.0.0.5:502");
  EXPECT_EQ(device.unit, 7);
}

} // namespace
} // namespace arxhost
