// arxhost run as a new user meets it. A program of its own: the plug-in
// keeps its device and directory tables for the life of the process, so
// the devices of the other tool tests' databases must not be seen here.
#include "ToolFixture.h"

#include <fstream>
#include <sstream>

namespace arxhost {
namespace {

using RunCommandTest = ToolFixture;

// run on the shipped sample tree, as the README shows it, and the three
// mistakes a new user makes first.
TEST_F(RunCommandTest, RunsAProgramOnTheSampleTreeAndExplainsFailures) {
  std::ostringstream out;
  initCommand(db, out);
  NewDevice forgotten;
  forgotten.name = "meter0";
  forgotten.treeFile = "never_copied.xml";
  forgotten.mapFile = "sample_map.xml"; // the device type's, which maps no register
  deviceAddCommand(db, forgotten, out);
  std::ofstream(dir / "translators" / forgotten.mapFile) << "<Map/>";
  NewDevice meter;
  meter.name = "meter1";
  meter.treeFile = "mx4110_sample_tree.xml";
  deviceAddCommand(db, meter, out);
  RunOptions run{"meter0", "0x100 ARX_read_name\n0x110 Register_read_value\n0x999 1\n",
                 ARXMOD_PLUGIN_PATH, false};

  std::ostringstream missingTree;
  EXPECT_EQ(runCommand(db, run, missingTree), 1);
  EXPECT_NE(missingTree.str().find("never_copied.xml' does not exist"), std::string::npos)
      << missingTree.str();

  std::filesystem::copy_file(ARXMOD_SAMPLE_TREE, dir / "translators" / meter.treeFile);
  run.device = "meter1";
  // A meter's first call also reads its circuit labels and mode, which a
  // device without connection leaves unanswered; the plug-in stays loaded,
  // so the next call, within their interval, is answered from the tree.
  std::ostringstream first;
  runCommand(db, run, first);
  EXPECT_NE(first.str().find("answer: reply status"), std::string::npos) << first.str();
  std::ostringstream answer;
  EXPECT_EQ(runCommand(db, run, answer), 0) << answer.str();
  EXPECT_NE(answer.str().find("0x100 ARX_read_name\n    -> Power Meter\n"
                              "0x110 Register_read_value\n    -> 230.4\n"
                              "0x999 ARX_read_class\n    -> exception 9: Invalid object 999\n"
                              "answer: reply status 0"),
            std::string::npos)
      << answer.str();

  run.program = "0x100 no_such_method";
  EXPECT_EQ(errorOf([&] { runCommand(db, run, out); }).substr(0, 66),
            "the program does not parse (Invalid method.): 0x100 no_such_method");
  run.device = "meter2";
  EXPECT_EQ(errorOf([&] { runCommand(db, run, out); }),
            db.string() + ": no device named 'meter2' in table Device (see 'arxhost device list')");
}

} // namespace
} // namespace arxhost
