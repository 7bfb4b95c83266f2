// The host tool's database commands as a new user meets them: a database
// is created, sites, ports and devices added, listed and removed, a device
// pinged through the real plug-in, and each mistake answered with a
// message naming the file, table, site, port or device.
#include "ToolFixture.h"

#include <fstream>
#include <sstream>

namespace arxhost {
namespace {

using ArxhostTest = ToolFixture;

NewDevice meterNamed(const std::string &name) {
  NewDevice meter;
  meter.name = name;
  return meter;
}

TEST_F(ArxhostTest, InitRegistersAndPingsADeviceThroughThePlugin) {
  std::ostringstream out;
  EXPECT_EQ(initCommand(db, out), 0);
  EXPECT_TRUE(std::filesystem::is_directory(dir / "translators" / "override"));
  NewDevice meter = meterNamed("meter1");
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

TEST_F(ArxhostTest, ListsSitesPortsAndDevicesInColumns) {
  std::ostringstream out;
  initCommand(db, out);
  siteAddCommand(db, "Plant", out);
  portAddCommand(db, {"Line1", "Plant", "tcp://10.0.0.5:502"}, out);
  NewDevice meter = meterNamed("meter1");
  meter.port = "Line1";
  meter.unit = 7;
  meter.treeFile = "tree.xml";
  meter.mapFile = "map.xml";
  deviceAddCommand(db, meter, out);
  deviceAddCommand(db, meterNamed("spare"), out); // on a new port "Port" of site "Site"

  std::ostringstream sites, ports, devices;
  siteListCommand(db, sites);
  portListCommand(db, ports);
  deviceListCommand(db, devices);
  EXPECT_EQ(sites.str(), "SITE   PORTS\n"
                         "Plant  1\n"
                         "Site   1\n");
  EXPECT_EQ(ports.str(), "PORT   SITE   DEVICES  CONNECTION\n"
                         "Line1  Plant  1        tcp://10.0.0.5:502\n"
                         "Port   Site   1        -\n");
  EXPECT_EQ(devices.str(), "DEVICE  PORT   UNIT  TYPE         TREE      MAP\n"
                           "meter1  Line1  7     MX4110_4120  tree.xml  map.xml\n"
                           "spare   Port   1     MX4110_4120  -         map.xml\n"); // the type's
  const DeviceEntry entry = HostDatabase::open(db).device("meter1");
  EXPECT_EQ(entry.port, "Line1");
  EXPECT_EQ(entry.connection, "tcp://10.0.0.5:502");
  EXPECT_EQ(entry.unit, 7);
}

TEST_F(ArxhostTest, RemovesOnlyWhatNothingUses) {
  std::ostringstream out;
  initCommand(db, out);
  NewDevice meter = meterNamed("meter1");
  meter.site = "Plant";
  meter.port = "Line1";
  deviceAddCommand(db, meter, out);
  const std::string prefix = db.string() + ": ";
  EXPECT_EQ(errorOf([&] { removeCommand(db, TableKind::Site, "Plant", out); }),
            prefix + "site 'Plant' still has ports (Line1); remove them first with 'arxhost port "
                     "remove NAME'");
  EXPECT_EQ(errorOf([&] { removeCommand(db, TableKind::Port, "Line1", out); }),
            prefix + "port 'Line1' still serves devices (meter1); remove them first with "
                     "'arxhost device remove NAME'");
  for (const auto kind : {TableKind::Device, TableKind::Port, TableKind::Site})
    EXPECT_EQ(removeCommand(db, kind,
                            kind == TableKind::Device ? "meter1"
                            : kind == TableKind::Port ? "Line1"
                                                      : "Plant",
                            out),
              0);
  EXPECT_EQ(out.str().substr(out.str().find("Removed")),
            "Removed device 'meter1'\nRemoved port 'Line1'\nRemoved site 'Plant'\n");
  EXPECT_EQ(errorOf([&] { removeCommand(db, TableKind::Device, "meter1", out); }),
            prefix + "no device named 'meter1' in table Device (see 'arxhost device list')");
}

TEST_F(ArxhostTest, NamesTheFileTableOrDeviceAtFault) {
  std::ostringstream out;
  EXPECT_EQ(errorOf([&] { pingCommand(db, "meter1", ARXMOD_PLUGIN_PATH, out); }),
            "Host database " + db.string() + " does not exist; create it with 'arxhost init --db " +
                db.string() + "'");
  initCommand(db, out);
  EXPECT_EQ(errorOf([&] { initCommand(db, out); }),
            "Host database " + db.string() + " already exists; remove it first");
  deviceAddCommand(db, meterNamed("meter1"), out);
  siteAddCommand(db, "Plant", out);
  portAddCommand(db, {"Line2", "Plant", ""}, out);

  const std::string prefix = db.string() + ": ";
  NewDevice otherSite = meterNamed("meter2");
  otherSite.port = "Line2";
  otherSite.site = "Yard";
  NewDevice otherConnection = meterNamed("meter3");
  otherConnection.connection = "tcp://10.0.0.9:502";
  NewDevice badConnection = meterNamed("meter4");
  badConnection.port = "Line9";
  badConnection.connection = "tcp://10.0.0.9";
  NewDevice badUnit = meterNamed("meter5");
  badUnit.unit = 256;
  struct Case {
    const char *name;
    std::function<void()> call;
    std::string error;
  };
  const Case cases[] = {
      {"device name taken", [&] { deviceAddCommand(db, meterNamed("meter1"), out); },
       prefix + "a device named 'meter1' exists already in table Device"},
      {"site name taken", [&] { siteAddCommand(db, "Plant", out); },
       prefix + "a site named 'Plant' exists already in table Site"},
      {"port name taken",
       [&] {
         portAddCommand(db, {"Line2", "Plant", ""}, out);
       },
       prefix + "a port named 'Line2' exists already in table Port"},
      {"port of another site", [&] { deviceAddCommand(db, otherSite, out); },
       prefix + "port 'Line2' belongs to site 'Plant', not 'Yard'; leave out --site or give "
                "another --port"},
      {"port with another connection", [&] { deviceAddCommand(db, otherConnection, out); },
       prefix + "port 'Port' reaches nothing (it has no connection), not tcp://10.0.0.9:502; "
                "leave out --connection or give another --port (see 'arxhost port list')"},
      {"connection that does not parse", [&] { deviceAddCommand(db, badConnection, out); },
       "port 'Line9': connection 'tcp://10.0.0.9': address '10.0.0.9' has no port: write "
       "HOST:PORT; write tcp://HOST:PORT or rtu:///dev/ttyX?baud=19200&parity=E&stop=1"},
      {"unit out of range", [&] { deviceAddCommand(db, badUnit, out); },
       "--unit 256 is not a Modbus unit number (0 to 255)"},
      {"unknown device", [&] { pingCommand(db, "meter9", ARXMOD_PLUGIN_PATH, out); },
       prefix + "no device named 'meter9' in table Device (see 'arxhost device list')"},
      {"unknown port", [&] { removeCommand(db, TableKind::Port, "Line7", out); },
       prefix + "no port named 'Line7' in table Port (see 'arxhost port list')"},
  };
  for (const Case &c : cases) {
    SCOPED_TRACE(c.name);
    EXPECT_EQ(errorOf(c.call), c.error);
  }
  const std::string missingPlugin = (dir / "none.so").string();
  EXPECT_EQ(errorOf([&] {
              pingCommand(db, "meter1", missingPlugin, out);
            }).rfind("Cannot load plug-in " + missingPlugin + ": ", 0),
            0u);
}

TEST_F(ArxhostTest, SaysWhenADeviceFileIsNotInTheTranslatorDirectory) {
  std::ostringstream out;
  initCommand(db, out);
  std::ofstream(dir / "translators" / "tree.xml") << "<XMLARXTree/>";
  NewDevice meter = meterNamed("meter1");
  meter.treeFile = "tree.xml";
  meter.mapFile = "map.xml";
  std::ostringstream added;
  deviceAddCommand(db, meter, added);
  EXPECT_EQ(added.str(), "Registered device 'meter1' as device 1 (type MX4110_4120, port Port, "
                         "unit 1)\nnote: map.xml is not in the translator directory " +
                             (dir / "translators").string() +
                             " yet; copy it there before the device is read\n");
}

} // namespace
} // namespace arxhost
