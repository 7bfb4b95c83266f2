// arxhost read and write against a Modbus server that is not ours: Debian's
// python3-pymodbus, started by the test on a free loopback port. The values
// travel through the arxhost program, the plug-in's translator chain and the
// Modbus TCP transport; each is checked against what the server holds.
#include "ToolFixture.h"

#include "PymodbusServer.h"

namespace arxhost {
namespace {

struct Output {
  std::vector<std::string> lines;
  int status = -1;
};

// Runs arxhost with `arguments`, collecting `lines` lines of its output.
Output arxhostRun(const std::filesystem::path &db, std::vector<std::string> arguments,
                  size_t lines) {
  arguments.insert(arguments.begin(), {ARXHOST_PATH, "--db", db.string()});
  arxmod::test::ChildProcess program(arguments);
  Output output;
  for (size_t i = 0; i < lines; ++i)
    output.lines.push_back(program.readLine(20000));
  output.status = program.wait(20000);
  return output;
}

std::string readJson(int handle, const std::string &label, const std::string &value) {
  return "{\"handle\": " + std::to_string(handle) + ", \"label\": \"" + label +
         "\", \"value\": " + value + ", \"error\": null}";
}

using ArxhostInteropTest = ToolFixture;

TEST_F(ArxhostInteropTest, ReadsAndWritesEveryTableOfAPymodbusServer) {
  arxmod::test::PymodbusServer server;
  if (!server.skipReason().empty())
    GTEST_SKIP() << server.skipReason();
  const std::string port = server.port();
  ASSERT_FALSE(port.empty()) << "the pymodbus server did not start";

  ASSERT_EQ(arxhostRun(db, {"init"}, 0).status, 0);
  std::filesystem::copy_file(PYMODBUS_FILES "/pymodbus_tree.xml", dir / "translators/tree.xml");
  std::filesystem::copy_file(PYMODBUS_FILES "/pymodbus_map.xml", dir / "translators/map.xml");
  ASSERT_EQ(arxhostRun(db,
                       {"device", "add", "py", "--connection", "tcp://127.0.0.1:" + port, "--unit",
                        "1", "--tree", "tree.xml", "--map", "map.xml"},
                       0)
                .status,
            0);

  struct Case {
    const char *name;
    std::vector<std::string> arguments;
    std::vector<std::string> lines;
    int status;
  };
  const Case cases[] = {
      {"read every table",
       {"read", "py", "272", "273", "274", "275", "276", "277", "--json"},
       {readJson(272, "Holding 6", "1005"), readJson(273, "Input register 8", "2007"),
        readJson(274, "Coil 4", "true"), readJson(275, "Coil 5", "false"),
        readJson(276, "Discrete input 10", "true"), readJson(277, "Discrete input 11", "false")},
       0},
      {"write a holding register",
       {"write", "py", "272", "4321", "--json"},
       {readJson(272, "Holding 6", "4321")},
       0},
      {"set a coil", {"write", "py", "275", "true"}, {"wrote true to 275 (Coil 5)"}, 0},
      {"clear a coil",
       {"write", "py", "274", "false", "--json"},
       {readJson(274, "Coil 4", "false")},
       0},
      {"write an input register",
       {"write", "py", "273", "5", "--json"},
       {"{\"handle\": 273, \"label\": \"Input register 8\", \"value\": null, \"error\": "
        "{\"code\": 4, \"text\": \"the operation is not supported by this object\"}}"},
       1},
      {"read back",
       {"read", "py", "272", "274", "275", "--json"},
       {readJson(272, "Holding 6", "4321"), readJson(274, "Coil 4", "false"),
        readJson(275, "Coil 5", "true")},
       0},
  };
  for (const Case &c : cases) {
    SCOPED_TRACE(c.name);
    const Output output = arxhostRun(db, c.arguments, c.lines.size());
    EXPECT_EQ(output.lines, c.lines);
    EXPECT_EQ(output.status, c.status);
  }

  server.closeInput();
  const std::vector<int> coils = arxmod::test::tableValues(server.readLine(), "co");
  const std::vector<int> registers = arxmod::test::tableValues(server.readLine(), "hr");
  EXPECT_EQ(server.wait(), 0);
  ASSERT_EQ(coils.size(), 20u);
  ASSERT_EQ(registers.size(), 20u);
  EXPECT_EQ((std::vector<int>(coils.begin() + 2, coils.begin() + 6)),
            (std::vector<int>{0, 0, 1, 1}));
  EXPECT_EQ((std::vector<int>(registers.begin() + 4, registers.begin() + 7)),
            (std::vector<int>{1004, 4321, 1006}));
}

} // namespace
} // namespace arxhost
