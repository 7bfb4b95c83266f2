// ping: sends a channel message for a device through the plug-in's Process,
// as the host's communications server would, and shows what came back.
#include "Commands.h"

#include "PluginCall.h"
#include "frame/ResponseStatus.h"
#include "messages/ENVLMessage.h"
#include "messages/SimpleMessages.h"

#include <ostream>

namespace arxhost {
namespace {

void showAnswer(const std::vector<uint8_t> &request, const arxmod::DL_Info &packet,
                std::ostream &out) {
  arxmod::ByteReader requestIn(request);
  const bool echoed = packet.data == arxmod::DL_Info::read(requestIn).data;
  out << "answer: " << packet.data.size() << " envelope bytes for device " << packet.deviceId
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
  out << "ping " << device.name << " (device " << device.id << ", translator "
      << device.translatorName << ") through " << pluginFile.string() << "\n";
  const auto request = requestPacket(device, std::make_unique<arxmod::XLUseChannelMessage>());
  const auto answer = callPlugin(database, device, pluginFile, request, out);
  if (!answer)
    return 1;
  showAnswer(request, *answer, out);
  return 0;
}

} // namespace arxhost
