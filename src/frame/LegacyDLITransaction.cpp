// Construction from the host's packet, the packet-derived identity of the
// transaction, and the writing of the answer packet.
#include "frame/LegacyDLITransaction.h"

#include "frame/TranslatorTable.h"
#include "host/ConfigDatabase.h"

namespace arxmod {

LegacyDLITransaction::LegacyDLITransaction(ByteReader &request, uint32_t hostContext,
                                           ArxExchangeCallback exchange, int32_t capacity)
    : context_(hostContext), callback_(exchange), answerCapacity_(capacity),
      packet_(DL_Info::read(request)) {
  if (packet_.status != 0)
    throw DL_Info::DL_InfoExec("Bad Packet");
  ByteReader envelopeBytes(packet_.data);
  auto message = makeRef<ENVLMessage>();
  message->decode(envelopeBytes);
  if (!message->nodeMessage())
    throw KSXmsg("Request envelope holds no node message it can read (unknown service or "
                 "message type)");
  packet_.data.clear();
  addRequest(makeRef<XLARX::ARXRequest>(std::move(message)));
}

const DL_Info &LegacyDLITransaction::templatePacket() const { return packet_; }

uint8_t *LegacyDLITransaction::replyBuffer() const {
  if (!replyBuffer_.data() && answerCapacity_ > 0)
    replyBuffer_ = ReplyBufferPool::instance().borrow(static_cast<size_t>(answerCapacity_));
  return replyBuffer_.data();
}

uint32_t LegacyDLITransaction::deviceId() const { return packet_.deviceId; }

std::string LegacyDLITransaction::deviceType() const {
  auto &database = ConfigDatabase::instance();
  auto record = database.device(packet_.deviceId);
  if (!record)
    record = database.deviceRefreshed(packet_.deviceId);
  return record ? record->typeName : std::string();
}

uint16_t LegacyDLITransaction::protocolId() const { return packet_.protocolId; }

uint16_t LegacyDLITransaction::translatorId() const { return packet_.translatorId; }

std::string LegacyDLITransaction::translatorName() const {
  return TranslatorTable::instance().name(packet_.translatorId);
}

void LegacyDLITransaction::writeAnswer(ByteWriter &out) const {
  if (packet_.flags & DL_Info::kFlagNoReply)
    return;
  auto *response =
      responses().empty() ? nullptr : dynamic_cast<XLARX::ARXResponse *>(responses()[0].get());
  if (!response || !response->message())
    throw KSXmsg("Bogus response");
  DL_Info answer = packet_;
  answer.data = response->message()->encode();
  answer.hostWord1 &= DL_Info::kHostWord1AnswerMask;
  answer.status = XL::packetStatusFromResponse(response->status);
  answer.write(out);
}

} // namespace arxmod
