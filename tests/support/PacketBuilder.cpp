// Request packets for tests.
#include "PacketBuilder.h"

#include "messages/ENVLMessage.h"
#include "messages/PIC_MessageIncluded.h"
#include "messages/SimpleMessages.h"
#include "types/PICCodec.h"

namespace arxmod::test {

std::vector<uint8_t> envelopeBytes(std::unique_ptr<NodeMessage> body) {
  auto envelope = makeRef<ENVLMessage>();
  envelope->header().setMessageId(0x1234);
  envelope->header().setFlags(0x01);
  envelope->header().setSource(ENVL_Address(5));
  envelope->header().setDestination(ENVL_Address(0x00010002));
  envelope->header().setSessionId(7);
  envelope->setNodeMessage(std::move(body));
  return envelope->encode();
}

std::vector<uint8_t> channelEnvelope() {
  return envelopeBytes(std::make_unique<XLUseChannelMessage>());
}

DL_Info requestPacket(uint16_t deviceId, uint16_t translatorId, std::vector<uint8_t> data) {
  DL_Info packet;
  packet.address = 0x1234;
  packet.protocolId = 3;
  packet.translatorId = translatorId;
  packet.deviceId = deviceId;
  packet.hostWord1 = 0xFFFFFFFF;
  packet.requestParameter = 0x11223344;
  packet.hostWord3 = 0x55667788;
  packet.hostShort = 0x99AA;
  packet.flagsExtra = 0x5A;
  packet.data = std::move(data);
  return packet;
}

std::vector<uint8_t> programRequest(uint16_t deviceId, uint16_t translatorId,
                                    const Program &program) {
  auto message = std::make_unique<PIC_Message>();
  message->impl().setActions(PIC_MessageImpl::kRequest | PIC_MessageImpl::kExecute);
  message->impl().setPid(3);
  std::vector<uint8_t> bytes(kResultAreaSize);
  bytes.resize(encodePIC(program, bytes));
  message->impl().setProgram(bytes);
  return requestPacket(deviceId, translatorId,
                       envelopeBytes(std::make_unique<PIC_MessageIncluded>(std::move(message))))
      .toBytes();
}

} // namespace arxmod::test
