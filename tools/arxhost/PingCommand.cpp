// ping: sends a channel message for a device through the plug-in's Process,
// as the host's communications server would, and shows what came back.
#include "Commands.h"

#include "DeviceSession.h"
#include "frame/ResponseStatus.h"
#include "messages/SimpleMessages.h"

#include <ostream>

namespace arxhost {

int pingCommand(const std::filesystem::path &dbFile, const std::string &deviceName,
                const std::filesystem::path &pluginFile, std::ostream &out) {
  DeviceSession session(dbFile, deviceName, pluginFile, MeterNeed::Optional);
  const DeviceEntry &device = session.device();
  out << "ping " << device.name << " (device " << device.id << ", translator "
      << device.translatorName << ") through " << pluginFile.string() << "\n";
  const auto request = requestPacket(device, std::make_unique<arxmod::XLUseChannelMessage>());
  std::string failure;
  const auto answer = session.call(request, failure);
  if (!answer) {
    out << "Process failed" << failure << "\n";
    return 1;
  }
  arxmod::ByteReader requestIn(request);
  const bool echoed = answer->data == arxmod::DL_Info::read(requestIn).data;
  out << "answer: " << answer->data.size() << " envelope bytes for device " << answer->deviceId
      << ", packet status " << answer->status << " ("
      << XL::responseStatusText(XL::responseFromPacketStatus(answer->status)) << ")\n"
      << (echoed ? "the channel is open: the plug-in sent the request envelope back\n"
                 : "the answer envelope differs from the request\n");
  arxmod::ByteReader body(answer->data);
  auto envelope = arxmod::makeRef<arxmod::ENVLMessage>();
  envelope->decode(body);
  out << "envelope: " << arxmod::toText(*envelope, true) << "\n";
  return 0;
}

} // namespace arxhost
