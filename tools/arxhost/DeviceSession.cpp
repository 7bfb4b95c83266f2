// DeviceSession: the plug-in and the transport of one device.
#include "DeviceSession.h"

#include "ProgramText.h"
#include "messages/PIC_MessageIncluded.h"
#include "types/PICCodec.h"
#include "types/PICTypeContainer.h"

#include <algorithm>
#include <cstdlib>

namespace arxhost {
namespace {

constexpr size_t kAnswerCapacity = 131072;

void noMeter(uint32_t, const uint8_t *, int32_t, uint8_t *, int32_t *replyLength) {
  *replyLength = 0;
}

std::string replyStatusName(uint8_t status) {
  switch (status) {
  case arxmod::PIC_MessageImpl::kBadProgram:
    return "bad program or bad packet";
  case arxmod::PIC_MessageImpl::kTimeout:
    return "timeout";
  case arxmod::PIC_MessageImpl::kSiteNotResponding:
    return "site not responding";
  case arxmod::PIC_MessageImpl::kSiteNotConnected:
    return "site not connected";
  case arxmod::PIC_MessageImpl::kDeviceDisabled:
    return "device disabled";
  default:
    return "status " + std::to_string(status);
  }
}

DeviceEntry findDevice(HostDatabase &database, const std::string &name, MeterNeed need) {
  DeviceEntry device = database.device(name);
  if (need == MeterNeed::Required && device.connection.empty())
    throw ToolError("device '" + name + "' cannot be reached: " +
                    (device.port.empty() ? "it has no port"
                                         : "its port '" + device.port + "' has no connection") +
                    "; register it with --connection tcp://HOST:PORT or "
                    "rtu:///dev/ttyX?baud=19200 (see 'arxhost port list')");
  return device;
}

} // namespace

std::string ProgramOutcome::failureText() const {
  if (!processFailure.empty())
    return "Process failed" + processFailure;
  if (replyStatus != 0)
    return "the device did not answer (" + replyStatusName(replyStatus) + ")" +
           (exchangeFailure.empty() ? "" : ": " + exchangeFailure);
  return "the answer holds no result";
}

std::vector<uint8_t> requestPacket(const DeviceEntry &device,
                                   std::unique_ptr<arxmod::NodeMessage> body) {
  auto envelope = arxmod::makeRef<arxmod::ENVLMessage>();
  envelope->header().setMessageId(1);
  envelope->header().setFlags(0x01); // request
  envelope->header().setSource(arxmod::ENVL_Address(1));
  envelope->header().setDestination(arxmod::ENVL_Address(static_cast<uint32_t>(device.id)));
  envelope->setNodeMessage(std::move(body));

  arxmod::DL_Info packet;
  packet.protocolId = static_cast<uint16_t>(device.protocolId);
  packet.translatorId = static_cast<uint16_t>(device.translatorId);
  packet.deviceId = static_cast<uint16_t>(device.id);
  packet.data = envelope->encode();
  return packet.toBytes();
}

DeviceSession::DeviceSession(const std::filesystem::path &dbFile, const std::string &deviceName,
                             const std::filesystem::path &pluginFile, MeterNeed need)
    : database_(HostDatabase::open(dbFile)), device_(findDevice(database_, deviceName, need)),
      pluginFile_(pluginFile),
      databaseFiles_(std::filesystem::absolute(database_.file()).parent_path()) {
  if (!device_.connection.empty()) {
    try {
      exchange_ = transport::openDeviceExchange({device_.port, device_.connection, device_.unit});
    } catch (const transport::ConnectionError &e) {
      throw ToolError(std::string(e.what()) + " (device '" + device_.name + "')");
    }
  }
  // The plug-in finds the host database through the environment, from load on.
  setenv("ARXMOD_HOST_DB", std::filesystem::absolute(database_.file()).c_str(), 1);
  plugin_ = std::make_unique<PluginLibrary>(pluginFile);
}

DeviceSession::~DeviceSession() = default;

int64_t DeviceSession::logMark() {
  // Look first, then ask: a row written in between is seen by this answer
  // or makes the next look say "changed".
  if (databaseFiles_.changedSinceLastLook())
    logMark_ = database_.lastLogId();
  return logMark_;
}

std::optional<arxmod::DL_Info> DeviceSession::call(const std::vector<uint8_t> &request,
                                                   std::string &failure) {
  const int64_t mark = logMark();
  // One buffer for the answers of every call: a poll's rounds would
  // otherwise allocate and clear it each time.
  if (answer_.empty())
    answer_.resize(kAnswerCapacity);
  int32_t answerLength = 0;
  const bool processed = exchange_ ? plugin_->process(exchange_->context(), request, answer_,
                                                      answerLength, exchange_->callback())
                                   : plugin_->process(static_cast<uint32_t>(device_.id), request,
                                                      answer_, answerLength, &noMeter);
  if (!processed) {
    failure.clear();
    for (const auto &entry : database_.logEntriesAfter(mark))
      failure += "\n  system log [" + std::to_string(entry.priority) + "] " + entry.origin + ": " +
                 entry.text;
    return std::nullopt;
  }
  if (answerLength < 0)
    throw ToolError("the answer did not fit into " + std::to_string(kAnswerCapacity) + " bytes");
  arxmod::ByteReader in(answer_.data(),
                        std::min(static_cast<size_t>(answerLength), answer_.size()));
  return arxmod::DL_Info::read(in);
}

ProgramOutcome DeviceSession::execute(const arxmod::Program &program) {
  ProgramOutcome outcome;
  const auto request = requestPacket(device_, executeMessage(program));
  arxmod::ByteReader requestIn(request);
  outcome.requestEnvelope = arxmod::DL_Info::read(requestIn).data;
  const auto answer = call(request, outcome.processFailure);
  if (!answer) {
    if (outcome.processFailure.empty())
      outcome.processFailure = "\n  (the system log has no row about it)";
    return outcome;
  }
  outcome.packetStatus = answer->status;
  outcome.answerEnvelope = answer->data;
  arxmod::ByteReader body(answer->data);
  outcome.answer = arxmod::makeRef<arxmod::ENVLMessage>();
  outcome.answer->decode(body);
  const arxmod::PIC_MessageImpl &reply = outcome.answer->nodeMessage()->programMessage().impl();
  outcome.replyStatus = reply.status();
  if (exchange_)
    outcome.exchangeFailure = exchange_->lastFailure();
  outcome.blob = std::make_unique<arxmod::RegisteredMemoryBlob>(arxmod::kProgramBlobSize);
  if (!reply.resultBytes().empty()) {
    const auto &results = arxmod::picCast<arxmod::PICTypeContainer>(
        *arxmod::decodePIC(reply.resultBytes(), *outcome.blob));
    outcome.results.assign(results.begin(), results.end());
  }
  return outcome;
}

} // namespace arxhost
