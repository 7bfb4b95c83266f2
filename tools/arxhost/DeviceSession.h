// DeviceSession: what the commands that talk to a device share (ping, run,
// read, write, poll, demo): the device's entry in the host database, the
// plug-in loaded as the host loads it, and the transport to the device's
// meter from its port's connection text.
//
//   DeviceSession session(dbFile, "meter1", pluginFile, MeterNeed::Required);
//   arxmod::RegisteredMemoryBlob blob(arxmod::kProgramBlobSize);
//   auto *program = blob.make<arxmod::Program>();
//   program->addStatement(0x110, 21);
//   ProgramOutcome outcome = session.execute(*program);
//   if (outcome.answered()) ... outcome.results[0] ...
//
// A device without a connection is refused when the command needs its
// meter; otherwise its exchanges get no reply (the plug-in reports a
// timeout), which is all a program on the tree alone needs.
#pragma once

#include "FileChangeWatch.h"
#include "HostDatabase.h"
#include "PluginLibrary.h"
#include "frame/DL_Info.h"
#include "messages/ENVLMessage.h"
#include "transport/DeviceExchange.h"
#include "types/MemoryBlob.h"
#include "types/ProgramTypes.h"

#include <filesystem>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace arxhost {

enum class MeterNeed { Required, Optional };

// What came back for one program.
struct ProgramOutcome {
  // Set when Process failed: the system-log rows the call added.
  std::string processFailure;
  uint32_t packetStatus = 0;
  uint8_t replyStatus = 0;
  // Why the meter gave no usable reply, when an exchange failed.
  std::string exchangeFailure;
  std::unique_ptr<arxmod::RegisteredMemoryBlob> blob;
  // The results in statement order; fewer than the statements (none) when
  // the device work failed.
  std::vector<const arxmod::PICType *> results;
  std::vector<uint8_t> requestEnvelope;
  std::vector<uint8_t> answerEnvelope;
  arxmod::IRefPtr<arxmod::ENVLMessage> answer;

  // True when every statement has its result.
  bool answered(size_t statements) const {
    return processFailure.empty() && results.size() == statements;
  }
  // Why the program has no results, for the user: the failure of Process,
  // or the reply status with the transport's reason.
  std::string failureText() const;
};

class DeviceSession {
public:
  // ToolError when the device is not in the database, when `need` is
  // Required and it has no connection, when its connection text does not
  // parse (naming the port), and when the plug-in cannot be loaded.
  DeviceSession(const std::filesystem::path &dbFile, const std::string &deviceName,
                const std::filesystem::path &pluginFile, MeterNeed need);
  ~DeviceSession();
  DeviceSession(const DeviceSession &) = delete;
  DeviceSession &operator=(const DeviceSession &) = delete;

  HostDatabase &database() { return database_; }
  const DeviceEntry &device() const { return device_; }
  const std::filesystem::path &pluginFile() const { return pluginFile_; }
  // The meter's connection text; empty when the device has none.
  const std::string &connection() const { return device_.connection; }

  // Passes one request packet to Process. The answer packet; none when
  // Process failed, with `failure` set to the system-log rows it added.
  std::optional<arxmod::DL_Info> call(const std::vector<uint8_t> &request, std::string &failure);
  // Executes `program` on the device.
  ProgramOutcome execute(const arxmod::Program &program);

private:
  // The newest SystemLog row before a call; the rows after it are what a
  // failed call added. Asked of the database only when its files changed.
  int64_t logMark();

  HostDatabase database_;
  DeviceEntry device_;
  std::filesystem::path pluginFile_;
  std::unique_ptr<transport::DeviceExchange> exchange_;
  std::unique_ptr<PluginLibrary> plugin_;
  std::vector<uint8_t> answer_; // the answer packet of the last call
  FileChangeWatch databaseFiles_;
  int64_t logMark_ = 0;
};

// The packet of a request envelope (from node 1 to the device) carrying `body`.
std::vector<uint8_t> requestPacket(const DeviceEntry &device,
                                   std::unique_ptr<arxmod::NodeMessage> body);

} // namespace arxhost
