// PluginCall: request packets and the Process call of the host tool.
#include "PluginCall.h"

#include "PluginLibrary.h"
#include "messages/ENVLMessage.h"

#include <cstdlib>
#include <ostream>

namespace arxhost {
namespace {

constexpr size_t kAnswerCapacity = 131072;

void noMeter(uint32_t, const uint8_t *, int32_t, uint8_t *, int32_t *replyLength) {
  *replyLength = 0;
}

} // namespace

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

std::optional<arxmod::DL_Info> callPlugin(HostDatabase &database, const DeviceEntry &device,
                                          const std::filesystem::path &pluginFile,
                                          const std::vector<uint8_t> &request, std::ostream &out) {
  const int64_t logMark = database.lastLogId();
  // The plug-in finds the host database through the environment.
  setenv("ARXMOD_HOST_DB", std::filesystem::absolute(database.file()).c_str(), 1);
  PluginLibrary plugin(pluginFile);

  std::vector<uint8_t> answer(kAnswerCapacity);
  int32_t answerLength = 0;
  if (!plugin.process(static_cast<uint32_t>(device.id), request, answer, answerLength, &noMeter)) {
    out << "Process failed";
    for (const auto &entry : database.logEntriesAfter(logMark))
      out << "\n  system log [" << entry.priority << "] " << entry.origin << ": " << entry.text;
    out << "\n";
    return std::nullopt;
  }
  if (answerLength < 0)
    throw ToolError("the answer did not fit into " + std::to_string(kAnswerCapacity) + " bytes");
  arxmod::ByteReader in(answer);
  return arxmod::DL_Info::read(in);
}

} // namespace arxhost
