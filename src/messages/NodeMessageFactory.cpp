// The node-message factory: service and type bytes select the class, the
// class decodes itself. The service byte of a service-1 message is put back
// so that the message's own decode reads its whole frame.
#include "messages/NodeMessageFactory.h"

#include "messages/ENVL_Exception.h"
#include "messages/PIC_MessageIncluded.h"
#include "messages/PacketMessages.h"
#include "messages/PollPIC_Message.h"
#include "messages/SimpleMessages.h"
#include "messages/SystemResponse.h"
#include "messages/WireRead.h"

#include <iostream>

namespace arxmod {

namespace {

std::unique_ptr<NodeMessage> createMessageIncluded(uint8_t type) {
  switch (type) {
  case PIC_MessageIncluded::kType:
    return std::make_unique<PIC_MessageIncluded>();
  case VerbatimIncluded::kType:
    return std::make_unique<VerbatimIncluded>();
  case BufferIncluded::kType:
    return std::make_unique<BufferIncluded>();
  case TimeMessageIncluded::kType:
    return std::make_unique<TimeMessageIncluded>();
  case TimeMessageIncludedFull::kType:
    return std::make_unique<TimeMessageIncludedFull>(0, 0);
  case ClearPIC_Messages::kType:
    return std::make_unique<ClearPIC_Messages>();
  case XLUseChannelMessage::kType:
    return std::make_unique<XLUseChannelMessage>();
  case ChangePasswordMessage::kType:
    return std::make_unique<ChangePasswordMessage>();
  case CTTPIncluded::kType:
    return std::make_unique<CTTPIncluded>();
  case SystemResponse::kType:
    return std::make_unique<SystemResponse>();
  default:
    return nullptr;
  }
}

} // namespace

std::unique_ptr<NodeMessage> decodeNodeMessageAt(ByteReader &reader, unsigned depth) {
  const size_t start = reader.position();
  uint8_t service = 0;
  if (!reader.readU8(service))
    return nullptr;
  if (service == kServicePoll) {
    reader.rewindTo(start);
    auto poll = std::make_unique<PollPIC_Message>();
    poll->decode(reader);
    return poll;
  }
  if (service != kServiceMessageIncluded)
    return nullptr;

  const uint8_t type = wire::take<uint8_t>(reader, kUnitBase);
  reader.rewindTo(start);
  std::unique_ptr<NodeMessage> message = createMessageIncluded(type);
  if (!message) {
    std::cerr << " NMm_Service = " << unsigned{service}
              << " NMm_MessageIncludedType = " << unsigned{type};
    return nullptr;
  }
  if (type == SystemResponse::kType)
    static_cast<SystemResponse &>(*message).decodeAtDepth(reader, depth);
  else
    message->decode(reader);
  return message;
}

std::unique_ptr<NodeMessage> decodeNodeMessage(ByteReader &reader) {
  return decodeNodeMessageAt(reader, 0);
}

} // namespace arxmod
