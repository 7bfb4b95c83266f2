// The plan of a placement: covered requests and end reasons per message.
#include "modbus/MessagePlan.h"

#include <algorithm>

namespace XLARX {
namespace {

// The nearest read after `item` that a block read could have reached: of
// its register class, ending beyond it, not answered by it, and read by a
// block read or a dataset block (not scattered, not a stray block member).
// Among equal starts, one of the item's own unit comes first.
const ModbusRequest *nextRequested(const MessagePlacement &placement, const MessageItem &item,
                                   const std::vector<const ModbusRequest *> &requests) {
  const ModbusRequest *nearest = nullptr;
  for (size_t i = 0; i < requests.size(); ++i) {
    const ModbusRequest &request = *requests[i];
    if (request.isWrite() || request.item().isFileRecord || request.scattered ||
        request.registerClass != item.message.registerClass ||
        request.lastRegister() <= item.message.last() || placement.answers(item, request, i) ||
        (request.position >= 0 && !placement.liesInDatasetBlock(request)))
      continue;
    const auto key = [&](const ModbusRequest &r) {
      return std::pair(r.registerOffset, r.unit != item.unit);
    };
    if (!nearest || key(request) < key(*nearest))
      nearest = &request;
  }
  return nearest;
}

MessageEnd blockReadEnd(const MessagePlacement &placement, const MessageItem &item,
                        const std::vector<const ModbusRequest *> &requests) {
  const ModbusMessage &message = item.message;
  if (item.datasetBlock)
    return MessageEnd::DatasetBlock;
  const uint16_t limit = placement.readLimit();
  if (message.count >= limit)
    return MessageEnd::SizeLimit;
  const ModbusRequest *next = nextRequested(placement, item, requests);
  if (!next)
    return MessageEnd::Last;
  if (next->unit != item.unit)
    return MessageEnd::UnitChange;
  if (placement.liesInDatasetBlock(*next))
    return MessageEnd::DatasetBlock;
  const uint32_t first = std::min<uint32_t>(message.start, next->registerOffset);
  const uint32_t last = std::max(message.last(), next->lastRegister());
  if (placement.coversInvalidRange(message.registerClass, first, last))
    return MessageEnd::InvalidRange;
  const bool adjacent = next->registerOffset <= message.last() + 1;
  return last - first + 1 > limit && adjacent ? MessageEnd::SizeLimit : MessageEnd::Gap;
}

MessageEnd endOf(const MessagePlacement &placement, const MessageItem &item,
                 const std::vector<const ModbusRequest *> &requests) {
  switch (item.message.kind) {
  case MessageKind::Write:
    return MessageEnd::Write;
  case MessageKind::FileRecordRead:
    return MessageEnd::FileRecord;
  case MessageKind::ScatteredRead:
    return item.message.count >= placement.scatteredLimit() ? MessageEnd::SizeLimit
                                                            : MessageEnd::Last;
  case MessageKind::Read:
    break;
  }
  return blockReadEnd(placement, item, requests);
}

} // namespace

std::string_view messageEndName(MessageEnd end) {
  switch (end) {
  case MessageEnd::SizeLimit:
    return "size limit";
  case MessageEnd::Gap:
    return "gap";
  case MessageEnd::InvalidRange:
    return "invalid range";
  case MessageEnd::DatasetBlock:
    return "dataset block";
  case MessageEnd::UnitChange:
    return "unit change";
  case MessageEnd::Write:
    return "write";
  case MessageEnd::FileRecord:
    return "file record";
  case MessageEnd::Last:
    break;
  }
  return "last";
}

std::vector<PlannedMessage> planMessages(const MessagePlacement &placement,
                                         const std::vector<const ModbusRequest *> &requests) {
  std::vector<PlannedMessage> plan;
  plan.reserve(placement.items().size());
  for (const MessageItem &item : placement.items()) {
    PlannedMessage planned;
    planned.functionCode = item.message.functionCode();
    planned.unit = item.unit;
    planned.registerClass = item.message.registerClass;
    planned.start = item.message.start;
    planned.count = item.message.count;
    if (item.message.kind == MessageKind::ScatteredRead)
      planned.addresses = item.message.data;
    for (size_t i = 0; i < requests.size(); ++i)
      if (placement.answers(item, *requests[i], i))
        planned.requests.push_back(i);
    planned.end = endOf(placement, item, requests);
    plan.push_back(std::move(planned));
  }
  return plan;
}

} // namespace XLARX
