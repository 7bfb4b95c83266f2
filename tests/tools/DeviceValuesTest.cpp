// read, write and poll as scripts use them, against the sample meter served
// over Modbus TCP with the sample tree and map: the JSON Lines with their
// keys in order and their value types, the text tables, the exit status,
// and a meter that cannot be reached.
#include "ToolFixture.h"

#include "SampleFiles.h"
#include "SimServer.h"

#include <fstream>
#include <regex>
#include <sstream>

namespace arxhost {
namespace {

std::vector<std::string> linesOf(const std::string &text) {
  std::vector<std::string> lines;
  std::istringstream in(text);
  for (std::string line; std::getline(in, line);)
    lines.push_back(line);
  return lines;
}

// `{"handle": H, "label": "L", "value": V, "error": null}` with V matching
// `value`.
std::string goodRow(int handle, const std::string &label, const std::string &value) {
  return "\\{\"handle\": " + std::to_string(handle) + ", \"label\": \"" + label +
         "\", \"value\": " + value + ", \"error\": null";
}

const std::string kNumber = "-?[0-9]+(\\.[0-9]+)?(e-?[0-9]+)?";

// One host database, translator directory and meter for the whole suite:
// the translator's file tables in this program keep the first translator
// directory they read, and the plug-in the devices it first found.
class DeviceValuesTest : public ToolFixture {
protected:
  static inline std::filesystem::path suiteDir;
  static inline std::unique_ptr<SimServer> sim;

  static void SetUpTestSuite() {
    std::string pattern = (std::filesystem::temp_directory_path() / "arxhost-test-XXXXXX").string();
    ASSERT_NE(mkdtemp(pattern.data()), nullptr);
    suiteDir = pattern;
    const std::filesystem::path suiteDb = suiteDir / "host.db";
    std::ostringstream out;
    ASSERT_EQ(initCommand(suiteDb, out), 0);
    std::ofstream(suiteDir / "translators" / "tree.xml") << kSampleTree;
    std::ofstream(suiteDir / "translators" / "map.xml") << kSampleMap;
    sim = std::make_unique<SimServer>(SimOptions{"127.0.0.1:0", 1, {}});
    addMeter(suiteDb, "meter1", "tcp://" + sim->address());
    // Port 1 on the loopback refuses the connection at once.
    addMeter(suiteDb, "gone", "tcp://127.0.0.1:1");
  }
  static void TearDownTestSuite() {
    sim.reset();
    std::filesystem::remove_all(suiteDir);
  }
  void SetUp() override {
    dir = suiteDir;
    db = suiteDir / "host.db";
  }
  void TearDown() override {}

  static void addMeter(const std::filesystem::path &suiteDb, const std::string &name,
                       const std::string &connection) {
    NewDevice meter;
    meter.name = name;
    meter.port = name + "-port";
    meter.connection = connection;
    meter.treeFile = "tree.xml";
    meter.mapFile = "map.xml";
    std::ostringstream out;
    ASSERT_EQ(deviceAddCommand(suiteDb, meter, out), 0);
  }

  int read(std::vector<std::string> handles, bool json, std::string &text,
           const std::string &device = "meter1") {
    std::ostringstream out;
    const int status = readCommand(db, {device, std::move(handles), json, ARXMOD_PLUGIN_PATH}, out);
    text = out.str();
    return status;
  }

  // `rounds` rounds of poll, a millisecond apart.
  int poll(uint64_t rounds, bool terminal, std::string &text) {
    PollOptions options;
    options.device = "meter1";
    options.everySeconds = 0.001;
    options.count = rounds;
    options.terminal = terminal;
    options.pluginFile = ARXMOD_PLUGIN_PATH;
    std::ostringstream out;
    const int status = pollCommand(db, options, out, std::stop_token());
    text = out.str();
    return status;
  }

  int write(const std::string &handle, const std::string &value, bool json, std::string &text) {
    std::ostringstream out;
    const int status = writeCommand(db, {"meter1", handle, value, json, ARXMOD_PLUGIN_PATH}, out);
    text = out.str();
    return status;
  }
};

TEST_F(DeviceValuesTest, ReadWritesOneJsonObjectPerHandleWithItsKeysInOrder) {
  struct Case {
    const char *name;
    std::vector<std::string> handles;
    std::vector<std::string> rows; // regular expressions, one per line
    int status;
  };
  const Case cases[] = {
      {"numbers",
       {"272", "0x11D"},
       {goodRow(272, "Vln a", kNumber) + "\\}", goodRow(285, "Total Power", kNumber) + "\\}"},
       0},
      {"a text and truth values",
       {"295", "300", "301"},
       {goodRow(295, "Meter Name", "\"[^\"]*\"") + "\\}",
        goodRow(300, "Relay 1", "(true|false)") + "\\}",
        goodRow(301, "Digital In 1", "(true|false)") + "\\}"},
       0},
      {"an object the tree does not have",
       {"289", "999"},
       {goodRow(289, "Line Freq", kNumber) + "\\}",
        "\\{\"handle\": 999, \"label\": \"\", \"value\": null, \"error\": \\{\"code\": 9, "
        "\"text\": \"[^\"]+\"\\}\\}"},
       1},
  };
  for (const Case &c : cases) {
    SCOPED_TRACE(c.name);
    std::string text;
    EXPECT_EQ(read(c.handles, true, text), c.status);
    const std::vector<std::string> lines = linesOf(text);
    ASSERT_EQ(lines.size(), c.rows.size()) << text;
    for (size_t i = 0; i < lines.size(); ++i)
      EXPECT_TRUE(std::regex_match(lines[i], std::regex(c.rows[i]))) << lines[i];
  }
}

TEST_F(DeviceValuesTest, ReadShowsATableWithLabelsAndUnits) {
  std::string text;
  EXPECT_EQ(read({"272", "278", "288"}, false, text), 0);
  const std::vector<std::string> lines = linesOf(text);
  ASSERT_EQ(lines.size(), 4u) << text;
  EXPECT_TRUE(std::regex_match(lines[0], std::regex("HANDLE +LABEL +VALUE +UNITS"))) << lines[0];
  EXPECT_TRUE(std::regex_match(lines[1], std::regex("272 +Vln a +" + kNumber + " +V"))) << lines[1];
  EXPECT_TRUE(std::regex_match(lines[2], std::regex("278 +I a +" + kNumber + " +A"))) << lines[2];
  EXPECT_TRUE(std::regex_match(lines[3], std::regex("288 +Power Factor +" + kNumber + " *")))
      << lines[3];
}

TEST_F(DeviceValuesTest, AMeterThatCannotBeReachedFailsEveryHandleWithTheReason) {
  std::string text;
  EXPECT_EQ(read({"272", "273"}, true, text, "gone"), 1);
  const std::vector<std::string> lines = linesOf(text);
  ASSERT_EQ(lines.size(), 2u) << text;
  for (const std::string &line : lines)
    EXPECT_TRUE(std::regex_match(
        line, std::regex("\\{\"handle\": 27[23], \"label\": \"[^\"]*\", \"value\": null, "
                         "\"error\": \\{\"code\": 5, \"text\": \"[^\"]+\"\\}\\}")))
        << line;
}

TEST_F(DeviceValuesTest, WriteAnswersWithTheValueWrittenOrItsError) {
  struct Case {
    const char *name;
    std::string value;
    bool json;
    std::string expected; // regular expression of the whole output
    int status;
    std::string readBack; // CT Prim afterwards
  };
  const Case cases[] = {
      {"a setup", "800", false, "wrote 800 to 259 \\(CT Prim\\)\n", 0, "800"},
      {"as JSON", "400", true, goodRow(259, "CT Prim", "400") + "\\}\n", 0, "400"},
      {"outside its bounds", "40000", true,
       "\\{\"handle\": 259, \"label\": \"CT Prim\", \"value\": null, \"error\": \\{\"code\": "
       "[0-9]+, \"text\": \"[^\"]+\"\\}\\}\n",
       1, "400"},
      {"outside its bounds as text", "0", false,
       "write of 0 to 259 \\(CT Prim\\) failed: exception [0-9]+: .+\n", 1, "400"},
  };
  for (const Case &c : cases) {
    SCOPED_TRACE(c.name);
    std::string text;
    EXPECT_EQ(write("259", c.value, c.json, text), c.status);
    EXPECT_TRUE(std::regex_match(text, std::regex(c.expected))) << text;
    EXPECT_EQ(read({"259"}, true, text), 0);
    EXPECT_TRUE(std::regex_search(text, std::regex("\"value\": " + c.readBack + ","))) << text;
  }
}

TEST_F(DeviceValuesTest, WriteCarriesOutMeterCommands) {
  struct Case {
    const char *name;
    std::string handle;
    std::string value;
    bool json;
    std::string expected; // regular expression of the whole output
    int status;
  };
  const Case cases[] = {
      {"command 2008", "0x09500101", "5", false,
       "wrote 5 to 156238081 \\(Command successfully executed\\.\\)\n", 0},
      {"output assignment", "0x09900005", "DO1", true,
       "\\{\"handle\": 160432133, \"label\": \"\", \"value\": \"DO1\", \"error\": null\\}\n", 0},
      {"an output the meter does not have", "0x09900005", "7", true,
       "\\{\"handle\": 160432133, \"label\": \"\", \"value\": null, \"error\": \\{\"code\": "
       "3, \"text\": \"[^\"]+\"\\}\\}\n",
       1},
  };
  for (const Case &c : cases) {
    SCOPED_TRACE(c.name);
    std::string text;
    EXPECT_EQ(write(c.handle, c.value, c.json, text), c.status);
    EXPECT_TRUE(std::regex_match(text, std::regex(c.expected))) << text;
  }
}

TEST_F(DeviceValuesTest, WriteNamesAValueThatDoesNotParse) {
  std::string text;
  EXPECT_NE(errorOf([&] { write("259", "\"unterminated", false, text); }).find("VALUE"),
            std::string::npos);
  EXPECT_NE(errorOf([&] { write("handle", "1", false, text); }), "");
}

TEST_F(DeviceValuesTest, PollWritesJsonLinesWithTheTimeOfEachRound) {
  std::string text;
  EXPECT_EQ(poll(2, false, text), 0);
  const std::vector<std::string> lines = linesOf(text);
  ASSERT_GE(lines.size(), 2u);
  ASSERT_EQ(lines.size() % 2, 0u);
  const std::regex row("\\{\"handle\": ([0-9]+), \"label\": \"[^\"]*\", \"value\": .+, "
                       "\"error\": null, \"time\": "
                       "\"[0-9]{4}-[0-9]{2}-[0-9]{2}T[0-9]{2}:[0-9]{2}:[0-9]{2}\\.[0-9]{3}Z\"\\}");
  const size_t perRound = lines.size() / 2;
  for (size_t i = 0; i < lines.size(); ++i) {
    std::smatch match;
    ASSERT_TRUE(std::regex_match(lines[i], match, row)) << lines[i];
    std::smatch sameInFirstRound;
    const std::string &first = lines[i % perRound];
    std::regex_match(first, sameInFirstRound, row);
    EXPECT_EQ(match[1], sameInFirstRound[1]) << "rounds list the handles in one order";
  }
}

TEST_F(DeviceValuesTest, PollRedrawsItsTableInPlaceOnATerminal) {
  std::string text;
  EXPECT_EQ(poll(3, true, text), 0);
  std::smatch up;
  ASSERT_TRUE(std::regex_search(text, up, std::regex("\x1b\\[([0-9]+)A"))) << text;
  // Each redraw moves up over the title, the header, a row per handle and
  // the summary of the round before.
  const size_t rows = std::stoul(up[1]);
  size_t redraws = 0;
  for (size_t at = 0; (at = text.find("\x1b[" + std::to_string(rows) + "A", at)) != text.npos; ++at)
    ++redraws;
  EXPECT_EQ(redraws, 2u);
  EXPECT_NE(text.find("HANDLE"), text.npos);
  EXPECT_NE(text.find("AGE"), text.npos);
  EXPECT_NE(text.find("round 3"), text.npos);
  EXPECT_NE(text.find("every read succeeded"), text.npos);
  // The last drawing: the rows between its header and its summary.
  const size_t header = text.rfind("HANDLE");
  const size_t summary = text.rfind("every read succeeded");
  EXPECT_EQ(linesOf(text.substr(header, summary - header)).size() + 2, rows);
}

TEST_F(DeviceValuesTest, PollRefusesAPeriodThatIsNoPeriod) {
  for (const double every : {0.0, -1.0, 100000.0}) {
    SCOPED_TRACE(every);
    PollOptions options;
    options.device = "meter1";
    options.everySeconds = every;
    std::ostringstream out;
    EXPECT_NE(errorOf([&] { pollCommand(db, options, out, std::stop_token()); }).find("--every"),
              std::string::npos);
  }
}

} // namespace
} // namespace arxhost
