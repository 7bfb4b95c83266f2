// A device session's failed calls, in a program of its own: the plug-in
// keeps the host database it first found for the life of the process.
#include "DeviceSession.h"
#include "ToolFixture.h"

#include <fstream>
#include <sstream>

namespace arxhost {
namespace {

using DeviceSessionTest = ToolFixture;

TEST_F(DeviceSessionTest, AFailedCallShowsTheSystemLogRowsOfThatCallOnly) {
  std::ostringstream out;
  initCommand(db, out);
  std::ofstream(dir / "translators" / "meter1.dat")
      << "saved_as_ARX 0x7 classid = ARX name = <5>meter";
  std::ofstream(dir / "translators" / "meter1.xml") << "<Map/>";
  NewDevice meter;
  meter.name = "meter1";
  meter.treeFile = "meter1.dat";
  meter.mapFile = "meter1.xml";
  deviceAddCommand(db, meter, out);
  DeviceSession session(db, "meter1", ARXMOD_PLUGIN_PATH, MeterNeed::Optional);

  arxmod::DL_Info bad;
  bad.translatorId = static_cast<uint16_t>(session.device().translatorId);
  bad.deviceId = static_cast<uint16_t>(session.device().id);
  bad.status = 7; // refused as a bad packet
  std::string first;
  EXPECT_FALSE(session.call(bad.toBytes(), first));
  EXPECT_NE(first.find("Bad Packet"), std::string::npos) << first;

  bad.status = 0;
  bad.data = {0xDE, 0xAD}; // no envelope
  std::string second;
  EXPECT_FALSE(session.call(bad.toBytes(), second));
  EXPECT_NE(second, "");
  EXPECT_EQ(second.find("Bad Packet"), std::string::npos) << second;
  EXPECT_EQ(second.find("system log"), second.rfind("system log")) << second; // one row
}

} // namespace
} // namespace arxhost
