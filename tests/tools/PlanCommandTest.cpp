// plan on a device of its own files: every reason a message can end for
// reads (size limit, gap, invalid range, unit change, last), the handles
// each message answers, the JSON lines, and the device named when its
// files cannot be loaded.
#include "ToolFixture.h"

#include <fstream>
#include <sstream>

namespace arxhost {
namespace {

constexpr const char *kTree = R"(<?xml version="1.0"?>
<XMLARXTree xmlns="x-schemas:x-kslsystem:/schemas/arxobjs.0.4.xml" xmlns:t="x-schemas:x-kslsystem:/schemas/tree-arxobjs.0.4.xml">
  <t:ARX t:SA="ModuleObj" t:H="256" t:P="0" t:N="Meter" t:CI="PowerMeter_Module" t:SC="0" t:S="1">
    <t:OH>
      <t:ARX t:SA="RegisterObj" t:H="272" t:P="256" t:N="A" t:CI="NumericVariable_Register"/>
      <t:ARX t:SA="RegisterObj" t:H="273" t:P="256" t:N="B" t:CI="NumericVariable_Register"/>
      <t:ARX t:SA="RegisterObj" t:H="274" t:P="256" t:N="C" t:CI="NumericVariable_Register"/>
      <t:ARX t:SA="RegisterObj" t:H="275" t:P="256" t:N="D" t:CI="NumericVariable_Register"/>
      <t:ARX t:SA="RegisterObj" t:H="276" t:P="256" t:N="E" t:CI="NumericVariable_Register"/>
      <t:ARX t:SA="RegisterObj" t:H="277" t:P="256" t:N="F" t:CI="NumericVariable_Register"/>
      <t:ARX t:SA="RegisterObj" t:H="278" t:P="256" t:N="G" t:CI="NumericVariable_Register"/>
      <t:ARX t:SA="RegisterObj" t:H="279" t:P="256" t:N="H" t:CI="NumericVariable_Register"/>
      <t:ARX t:SA="BoolObj" t:H="280" t:P="256" t:N="I" t:CI="Boolean_Register"/>
      <t:ARX t:SA="RegisterObj" t:H="281" t:P="256" t:N="J" t:CI="NumericVariable_Register"/>
    </t:OH>
  </t:ARX>
</XMLARXTree>
)";

constexpr const char *kMap = R"(<?xml version="1.0"?>
<TranslationMap>
  <DeviceInfo Type="Plan" MaxRequestRegisters="10"/>
  <InvalidAddressRange ModbusAddress="400030" NumberOfRegisters="5"/>
  <ModbusInfo ARXHandle="272" Name="A" ModbusAddress="400001" RequestType="R" Format="UINT16"/>
  <ModbusInfo ARXHandle="273" Name="B" ModbusAddress="400005" RequestType="R" Format="UINT32"/>
  <ModbusInfo ARXHandle="274" Name="C" ModbusAddress="400010" RequestType="R" Format="UINT16"/>
  <ModbusInfo ARXHandle="275" Name="D" ModbusAddress="400011" RequestType="R" Format="UINT16"/>
  <ModbusInfo ARXHandle="276" Name="E" ModbusAddress="400025" RequestType="R" Format="UINT16"/>
  <ModbusInfo ARXHandle="277" Name="F" ModbusAddress="400036" RequestType="R" Format="UINT16"/>
  <ModbusInfo ARXHandle="278" Name="G" ModbusAddress="2:400037" RequestType="R" Format="UINT16"/>
  <ModbusInfo ARXHandle="279" Name="H" ModbusAddress="300001" RequestType="R" Format="SINT16"/>
  <ModbusInfo ARXHandle="280" Name="I" ModbusAddress="000001" RequestType="RW" Format="UINT16"/>
  <ModbusInfo ARXHandle="281" Name="J" ModbusAddress="400050" RequestType="W" Format="UINT16"/>
</TranslationMap>
)";

using PlanCommandTest = ToolFixture;

// One database for the program: the translator's file tables stay with it.
TEST_F(PlanCommandTest, ShowsEachMessageWithItsHandlesAndWhyItEnds) {
  std::ostringstream out;
  initCommand(db, out);
  std::ofstream(dir / "translators" / "tree.xml") << kTree;
  std::ofstream(dir / "translators" / "map.xml") << kMap;
  NewDevice meter;
  meter.name = "meter1";
  meter.treeFile = "tree.xml";
  meter.mapFile = "map.xml";
  deviceAddCommand(db, meter, out);
  NewDevice broken = meter;
  broken.name = "meter2";
  broken.type = "Broken";
  broken.mapFile = "missing.xml";
  deviceAddCommand(db, broken, out);

  std::ostringstream text;
  EXPECT_EQ(planCommand(db, {"meter1", false}, text), 0);
  EXPECT_EQ(text.str(), "A full read of meter1 sends 7 Modbus messages for 9 handles (at most 10 "
                        "registers a message; scattered reads not supported):\n"
                        "FC  UNIT  FIRST   COUNT  ENDS BY        HANDLES\n"
                        "3   1     400001  10     size limit     272-274\n"
                        "3   1     400011  1      gap            275\n"
                        "3   1     400025  1      invalid range  276\n"
                        "3   1     400036  1      unit change    277\n"
                        "3   2     400037  1      last           278\n"
                        "4   1     300001  1      last           279\n"
                        "1   1     000001  1      last           280\n");

  std::ostringstream json;
  EXPECT_EQ(planCommand(db, {"meter1", true}, json), 0);
  std::istringstream lines(json.str());
  std::string first;
  std::getline(lines, first);
  EXPECT_EQ(first, R"({"function": 3, "unit": 1, "first": "400001", "count": 10, )"
                   R"("handles": [272, 273, 274], "end": "size limit"})");
  const std::string all = json.str();
  EXPECT_EQ(std::count(all.begin(), all.end(), '\n'), 7);

  EXPECT_EQ(errorOf([&] {
              planCommand(db, {"meter2", false}, out);
            }),
            "device 'meter2': Cannot find translator map file 'missing.xml'");
}

} // namespace
} // namespace arxhost
