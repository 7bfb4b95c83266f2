// ping: sends a channel message for a device through the plug-in's Process,
// as the host's communications server would, and shows what came back.
#include "Commands.h"

#include "PluginLibrary.h"
#include "frame/DL_Info.h"
#include "frame/ResponseStatus.h"
#include "messages/ENVLMessage.h"
#include "messages/SimpleMessages.h"

#include <cstdlib>
#include <ostream>

namespace arxhost {
namespace {

constexpr size_t kAnswerCapacity = 65536;

// No meter is attached to a ping: every exchange the plug-in attempts
// times out (a reply length of 0).
void noMeter(uint32_t, const uint8_t *, int32_t, uint8_t *, int32_t *replyLength) {
  *replyLength = 0;
}

std::vector<uint8_t> channelRequest(const DeviceEntry &device) {
  auto envelope = arxmod::makeRef<arxmod::ENVLMessage>();
  envelope->header().setMessageId(1);
  envelope->header().setFlags(0x01); // request
  envelope->header().setSource(arxmod::ENVL_Address(1));
  envelope->header().setDestination(arxmod::ENVL_Address(static_cast<uint32_t>(device.id)));
  envelope->setNodeMessage(std::make_unique<arxmod::XLUseChannelMessage>());

  arxmod::DL_Info packet;
  packet.protocolId = static_cast<uint16_t>(device.protocolId);
  packet.translatorId = static_cast<uint16_t>(device.translatorId);
  packet.deviceId = static_cast<uint16_t>(device.id);
  packet.data = envelope->encode();
  return packet.toBytes();
}

void showAnswer(const std::vector<uint8_t> &request, const std::vector<uint8_t> &answer,
                std::ostream &out) {
  arxmod::ByteReader in(answer);
  const auto packet = arxmod::DL_Info::read(in);
  arxmod::ByteReader requestIn(request);
  const bool echoed = packet.data == arxmod::DL_Info::read(requestIn).data;
  out << "answer: " << answer.size() << " bytes for device " << packet.deviceId
      << ", packet status " << packet.status << " ("
      << XL::responseStatusText(XL::responseFromPacketStatus(packet.status)) << ")\n"
      << (echoed ? "the channel is open: the plug-in sent the request envelope back\n"
                 : "the answer envelope differs from the request\n");
  arxmod::ByteReader body(packet.data);
  auto envelope = arxmod::makeRef<arxmod::ENVLMessage>();
  envelope->decode(body);
  out << "envelope: " << arxmod::toText(*envelope, true) << "\n";
}

} // namespace

int pingCommand(const std::filesystem::path &dbFile, const std::string &deviceName,
                const std::filesystem::path &pluginFile, std::ostream &out) {
  auto database = HostDatabase::open(dbFile);
  const DeviceEntry device = database.device(deviceName);
  const int64_t logMark = database.lastLogId();

  // The plug-in finds the host database through the environment.
  setenv("ARXMOD_HOST_DB", std::filesystem::absolute(dbFile).c_str(), 1);
  PluginLibrary plugin(pluginFile);

  std::vector<uint8_t> answer(kAnswerCapacity);
  int32_t answerLength = 0;
  out << "ping " << device.name << " (device " << device.id << ", translator "
      << device.translatorName << ") through " << pluginFile.string() << "\n";
  const auto request = channelRequest(device);
  if (!plugin.process(static_cast<uint32_t>(device.id), request, answer, answerLength, &noMeter)) {
    out << "Process failed";
    for (const auto &entry : database.logEntriesAfter(logMark))
      out << "\n  system log [" << entry.priority << "] " << entry.origin << ": " << entry.text;
    out << "\n";
    return 1;
  }
  if (answerLength < 0)
    throw ToolError("the answer did not fit into " + std::to_string(kAnswerCapacity) + " bytes");
  showAnswer(request, answer, out);
  return 0;
}

} // namespace arxhost
