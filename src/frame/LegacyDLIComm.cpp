// The serial engine and the exchange of one request through the callback.
#include "frame/LegacyDLIComm.h"

#include "base/KSXmsg.h"
#include "frame/LegacyDLITransaction.h"

namespace arxmod {

ExchangeResult exchangeOnce(const LegacyDLITransaction &origin, const ExchangeAddressing &to,
                            const std::vector<uint8_t> &requestBytes) {
  DL_Info packet = origin.templatePacket();
  packet.deviceId = to.deviceId;
  packet.requestParameter = to.requestParameter;
  packet.protocolId = to.protocolId;
  packet.data = requestBytes;
  packet.flags = static_cast<uint8_t>(to.noReplyAtAll ? packet.flags | DL_Info::kFlagNoReplyAtAll
                                                      : packet.flags & ~DL_Info::kFlagNoReplyAtAll);
  packet.flags = static_cast<uint8_t>(to.wantsReply ? packet.flags & ~DL_Info::kFlagNoReply
                                                    : packet.flags | DL_Info::kFlagNoReply);
  const std::vector<uint8_t> bytes = packet.toBytes();

  const int32_t capacity = origin.answerCapacity() > 0 ? origin.answerCapacity() : 0;
  uint8_t *replyBuffer = origin.replyBuffer();
  int32_t length = capacity;
  if (ArxExchangeCallback callback = origin.callback())
    callback(origin.context(), bytes.data(), static_cast<int32_t>(bytes.size()), replyBuffer,
             &length);
  else
    length = 0;

  ExchangeResult result;
  if (!to.wantsReply)
    return result; // ResponseNone
  // No reply arrived. A negative length, or one beyond the buffer we offered,
  // cannot describe bytes we own; it counts as no reply too.
  if (length <= 0 || length > capacity) {
    result.status = XL::ResponseTimeout;
    return result;
  }
  ByteReader in(replyBuffer, static_cast<size_t>(length));
  try {
    DL_Info reply = DL_Info::read(in);
    result.status = XL::responseFromPacketStatus(reply.status);
    result.reply = std::move(reply.data);
  } catch (const DL_Info::DL_InfoExec &) {
    result.status = XL::ResponseBadPacket; // an unreadable reply packet
  }
  return result;
}

bool LegacyDLIComm::process(XL::Transaction &transaction) {
  auto *serial = dynamic_cast<XL::SerialTransaction *>(&transaction);
  if (!serial)
    throw KSXmsg("Request not serializable");
  auto *origin = dynamic_cast<const LegacyDLITransaction *>(&transaction.origin());
  if (!origin)
    throw KSXmsg("Do not support transaction of unknown origin");

  bool failed = false;
  XL::ResponseStatus lastFailure = XL::ResponseNone;
  const size_t count = serial->requestCount();
  for (size_t i = 0; i < count; ++i) {
    std::vector<uint8_t> bytes;
    if (!serial->requestBytes(i, bytes))
      break;
    if (serial->noReplyAtAll()) {
      exchangeOnce(
          *origin,
          {static_cast<uint16_t>(serial->noReplyDeviceId()), 0, serial->protocolId(), true, false},
          bytes);
      continue;
    }
    const bool wantsReply = !serial->noReply(i);
    ExchangeResult result;
    if (wantsReply && failed) {
      result.status = lastFailure;
    } else {
      result = exchangeOnce(*origin,
                            {static_cast<uint16_t>(serial->deviceId()), serial->requestParameter(i),
                             serial->protocolId(), false, wantsReply},
                            bytes);
      if (result.status == XL::ResponseTimeout || result.status == XL::ResponseSiteNotConnected ||
          result.status == XL::ResponseSiteNotResponding) {
        failed = true;
        lastFailure = result.status;
      }
    }
    if (wantsReply)
      serial->deliver(i, result.status, result.reply.data(), result.reply.size());
  }
  return true;
}

} // namespace arxmod
