// The plug-in as hosts meet it that unload it: loaded, used, unloaded and
// loaded again in one process (without RTLD_NODELETE, so every unload
// really releases the library's state; LeakSanitizer reports what it
// leaves), and loaded by a plain C program that never touched the C++
// streams.
#include "DeviceTree.h"
#include "PacketBuilder.h"
#include "TempHostDatabase.h"
#include "arxmod/plugin.h"
#include "tree/TextTree.h"

#include <dlfcn.h>
#include <fcntl.h>
#include <fstream>
#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <spawn.h>
#include <sys/wait.h>

extern char **environ;

namespace arxmod::test {
namespace {

using ::testing::HasSubstr;

constexpr uint16_t kTranslator = 1;
constexpr uint16_t kTreeDevice = 10;

// A host database with our translator and one device whose tree file (and
// a map that maps nothing) lie in the translator directory; the console goes
// to console.txt.
class LoadTestDatabase : public TempHostDatabase {
public:
  LoadTestDatabase() : consoleFile(addConsoleFile()) {
    addTranslatorDirectories();
    exec("INSERT INTO Translator VALUES(1,'MX4110_4120',0,'mx4110_4120.so')");
    exec("INSERT INTO DeviceType VALUES(1,'MX4110',1,'meter.xml')");
    exec("INSERT INTO Device(ID,Name,DeviceTypeID,TreeFile) VALUES(10,'tree',1,'meter10.dat')");
    std::ofstream(translatorDirectory() / "meter.xml", std::ios::binary) << "<Map/>";
    std::ofstream(translatorDirectory() / "meter10.dat", std::ios::binary)
        << textTreeString(*makeDeviceTree());
  }
  const std::filesystem::path consoleFile;
};

template <typename Function> Function entry(void *plugin, const char *name) {
  void *address = dlsym(plugin, name);
  EXPECT_NE(address, nullptr) << name;
  return reinterpret_cast<Function>(address);
}

void noDevice(uint32_t, const uint8_t *, int32_t, uint8_t *, int32_t *replyLength) {
  *replyLength = 0;
}

std::vector<uint8_t> badPacket() {
  DL_Info packet = requestPacket(kTreeDevice, kTranslator, channelEnvelope());
  packet.status = 3;
  return packet.toBytes();
}

TEST(PluginLoadTest, LoadsUsesAndUnloadsTwiceInOneProcess) {
  LoadTestDatabase db;
  RegisteredMemoryBlob blob(kProgramBlobSize);
  auto *program = blob.make<Program>();
  program->addStatement(0x101, 2); // a register's value, from the tree file
  const std::vector<uint8_t> requests[] = {programRequest(kTreeDevice, kTranslator, *program),
                                           badPacket()};
  for (int round = 1; round <= 2; ++round) {
    SCOPED_TRACE(round);
    void *plugin = dlopen(ARXMOD_PLUGIN_PATH, RTLD_NOW | RTLD_LOCAL);
    ASSERT_NE(plugin, nullptr) << dlerror();
    auto process = entry<decltype(&::Process)>(plugin, "Process");
    EXPECT_EQ(entry<decltype(&::Init)>(plugin, "Init")(), 1);
    std::vector<unsigned char> results;
    for (const auto &request : requests) {
      std::vector<uint8_t> answer(4096);
      int32_t length = 4096;
      results.push_back(process(1, request.data(), static_cast<int32_t>(request.size()),
                                answer.data(), &length, &noDevice));
    }
    EXPECT_THAT(results, ::testing::ElementsAre(1, 0));
    EXPECT_EQ(db.text("SELECT Origin||'|'||Text FROM SystemLog ORDER BY ID DESC LIMIT 1"),
              "MX4110_4120.SO|Bad Packet");
    EXPECT_EQ(entry<decltype(&::Terminate)>(plugin, "Terminate")(), 1);
    ASSERT_EQ(dlclose(plugin), 0) << dlerror();
    EXPECT_EQ(dlopen(ARXMOD_PLUGIN_PATH, RTLD_NOW | RTLD_NOLOAD), nullptr)
        << "the plug-in stayed loaded";
  }
  EXPECT_EQ(db.count("SELECT COUNT(*) FROM SystemLog WHERE Text='Bad Packet'"), 2);
  const std::string console = readFile(db.consoleFile);
  size_t lines = 0;
  for (size_t at = console.find("Bad Packet"); at != std::string::npos;
       at = console.find("Bad Packet", at + 1))
    ++lines;
  EXPECT_EQ(lines, 2u) << "each load redirected the console again:\n" << console;
}

std::string hex(const std::vector<uint8_t> &bytes) {
  static constexpr char kDigits[] = "0123456789abcdef";
  std::string text;
  for (uint8_t byte : bytes)
    text.append({kDigits[byte >> 4], kDigits[byte & 15]});
  return text;
}

// Runs `argv` with standard output and error in files; its wait status.
int run(std::vector<std::string> argv, const std::filesystem::path &out,
        const std::filesystem::path &err) {
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_addopen(&actions, STDOUT_FILENO, out.c_str(),
                                   O_WRONLY | O_CREAT | O_TRUNC, 0644);
  posix_spawn_file_actions_addopen(&actions, STDERR_FILENO, err.c_str(),
                                   O_WRONLY | O_CREAT | O_TRUNC, 0644);
  std::vector<char *> arguments;
  for (std::string &argument : argv)
    arguments.push_back(argument.data());
  arguments.push_back(nullptr);
  pid_t child = 0;
  const int error = posix_spawn(&child, arguments[0], &actions, nullptr, arguments.data(), environ);
  posix_spawn_file_actions_destroy(&actions);
  EXPECT_EQ(error, 0) << arguments[0];
  int status = -1;
  if (error == 0)
    waitpid(child, &status, 0);
  return status;
}

// A host that has not used the C++ streams: text written to std::cerr (the
// decoder's throw trace of a cut-short envelope) must still reach
// ConsoleFile, since the streams are made before they are redirected, and
// nothing may reach the host's own standard error.
TEST(PluginLoadTest, APlainCHostFindsTheConsoleInItsConsoleFile) {
  LoadTestDatabase db; // its path reaches the child through ARXMOD_HOST_DB
  const auto out = db.directory() / "stdout.txt";
  const auto err = db.directory() / "stderr.txt";
  const std::vector<uint8_t> cutShort =
      requestPacket(kTreeDevice, kTranslator, {0x00, 0x20, 0x12}).toBytes();
  const int status = run({ARXMOD_C_HOST_PATH, ARXMOD_PLUGIN_PATH, hex(cutShort)}, out, err);
  ASSERT_TRUE(WIFEXITED(status)) << "wait status " << status << "\n" << readFile(err);
  EXPECT_EQ(WEXITSTATUS(status), 0) << readFile(err);
  EXPECT_EQ(readFile(out), "Process: 0, answer length 4096\n");
  EXPECT_EQ(readFile(err), "");
  const std::string console = readFile(db.consoleFile);
  EXPECT_THAT(console, HasSubstr("\nThrow in nmm_base at "));
  EXPECT_THAT(console, HasSubstr(" UnderflowStream]\n"));
  EXPECT_EQ(db.text("SELECT Priority||'|'||Text FROM SystemLog ORDER BY ID DESC LIMIT 1"),
            "191|UnderflowStream");
}

} // namespace
} // namespace arxmod::test
