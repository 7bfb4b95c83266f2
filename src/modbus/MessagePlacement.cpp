// Placing requests in messages, and matching replies back to requests.
#include "modbus/MessagePlacement.h"

#include <algorithm>
#include <atomic>

namespace XLARX {
namespace {

constexpr uint16_t kDefaultScatteredLimit = 100; // addresses per scattered read
// Dataset blocks and invalid ranges are ranges of holding registers.
constexpr uint8_t kHoldingRegisters = 4;

bool inRange(const arxmod::TransactionConfig::RegisterItem &item, uint32_t offset) {
  return item.first <= offset && offset <= item.last;
}

bool readable(const arxmod::TransactionConfig::RegisterItem &block) {
  return block.count >= 1 && block.count <= kMaxReadCount && block.last >= block.first;
}

uint64_t unitRegister(uint32_t unit, uint32_t reg) { return uint64_t{unit} << 16 | reg; }

bool sameSpace(const MessageItem &item, const ModbusRequest &request) {
  return item.unit == request.unit && item.message.registerClass == request.registerClass;
}

bool listsAnyOf(const ModbusMessage &message, const ModbusRequest &request) {
  return std::any_of(message.data.begin(), message.data.end(), [&](uint16_t address) {
    return address >= request.registerOffset && address <= request.lastRegister();
  });
}

} // namespace

uint8_t nextTransmissionNumber() {
  static std::atomic<uint32_t> counter{0};
  return static_cast<uint8_t>(counter.fetch_add(1, std::memory_order_relaxed) + 1);
}

MessagePlacement::MessagePlacement(arxmod::IRefPtr<arxmod::TransactionConfig> config)
    : config_(std::move(config)) {}

uint16_t MessagePlacement::readLimit() const {
  const uint16_t limit = config_ ? config_->maxRequestRegisters : 0;
  return limit >= 1 && limit <= kMaxReadCount ? limit : kMaxReadCount;
}

uint16_t MessagePlacement::scatteredLimit() const {
  const uint16_t limit = config_ ? config_->maxRequestRegisters : 0;
  return limit >= 1 && limit < kDefaultScatteredLimit ? limit : kDefaultScatteredLimit;
}

bool MessagePlacement::place(ModbusRequest &request, size_t index) {
  if (request.isWrite()) {
    placeWrite(request, index);
    return true;
  }
  if (request.item().isFileRecord) {
    MessageItem item;
    item.message.kind = MessageKind::FileRecordRead;
    item.message.count = request.item().numberOfRegisters;
    item.message.fileNumber = request.item().fileNumber;
    item.message.recordNumber = request.item().recordNumber;
    item.unit = request.unit;
    items_.push_back(std::move(item));
    return false;
  }
  if (const RegisterItem *block = datasetBlockOf(request))
    placeInDatasetBlock(request, *block);
  else if (request.position >= 0)
    return false; // a member of no readable block: nothing can read it
  else if (config_ && config_->scatteredReadSupported && request.registerClass == kHoldingRegisters)
    placeInScatteredRead(request);
  else
    placeInBlockRead(request);
  return false;
}

void MessagePlacement::placeWrite(const ModbusRequest &request, size_t index) {
  MessageItem item;
  item.message.kind = MessageKind::Write;
  item.message.single = config_ && !config_->multiplePresetSupported;
  item.message.registerClass = static_cast<uint8_t>(request.registerClass);
  item.message.start = request.registerOffset;
  item.message.count = request.item().numberOfRegisters;
  item.message.data = request.encodeRegisters();
  item.unit = request.unit;
  item.owner = index;
  items_.push_back(std::move(item));
}

const MessagePlacement::RegisterItem *
MessagePlacement::datasetBlockOf(const ModbusRequest &request) const {
  if (!config_ || request.registerClass != kHoldingRegisters)
    return nullptr;
  for (const RegisterItem &block : config_->datasetBlocks) {
    if (!readable(block))
      continue;
    if (request.position >= 0 ? block.first == request.registerOffset
                              : inRange(block, request.registerOffset))
      return &block;
  }
  return nullptr;
}

bool MessagePlacement::liesInDatasetBlock(const ModbusRequest &request) const {
  return datasetBlockOf(request) != nullptr;
}

void MessagePlacement::placeInDatasetBlock(const ModbusRequest &request,
                                           const RegisterItem &block) {
  const bool present = std::any_of(items_.begin(), items_.end(), [&](const MessageItem &item) {
    return item.message.kind == MessageKind::Read && sameSpace(item, request) &&
           item.message.start == block.first;
  });
  if (present)
    return;
  const uint32_t first = request.position >= 0
                             ? uint32_t{block.first} + static_cast<uint32_t>(request.position)
                             : request.registerOffset;
  if (first + request.item().numberOfRegisters - 1 > block.last)
    return; // the value does not fit in the block
  MessageItem item;
  item.message.kind = MessageKind::Read;
  item.message.registerClass = kHoldingRegisters;
  item.message.start = block.first;
  item.message.count = block.count;
  item.unit = request.unit;
  item.datasetBlock = true;
  items_.push_back(std::move(item));
}

bool MessagePlacement::coversInvalidRange(uint8_t registerClass, uint32_t first,
                                          uint32_t last) const {
  if (!config_ || registerClass != kHoldingRegisters)
    return false;
  return std::any_of(
      config_->invalidRanges.begin(), config_->invalidRanges.end(),
      [&](const RegisterItem &range) { return range.first <= last && first <= range.last; });
}

bool MessagePlacement::mayMerge(const MessageItem &item, const ModbusRequest &request) const {
  if (!item.open || item.message.kind != MessageKind::Read || !sameSpace(item, request))
    return false;
  const uint32_t first = std::min<uint32_t>(item.message.start, request.registerOffset);
  const uint32_t last = std::max(item.message.last(), request.lastRegister());
  return last - first + 1 <= readLimit() &&
         !coversInvalidRange(item.message.registerClass, first, last);
}

void MessagePlacement::placeInBlockRead(const ModbusRequest &request) {
  for (MessageItem &item : items_) {
    if (!mayMerge(item, request))
      continue;
    const uint32_t first = std::min<uint32_t>(item.message.start, request.registerOffset);
    const uint32_t last = std::max(item.message.last(), request.lastRegister());
    item.message.start = static_cast<uint16_t>(first);
    item.message.count = static_cast<uint16_t>(last - first + 1);
    item.open = item.message.count < readLimit();
    return;
  }
  MessageItem item;
  item.message.kind = MessageKind::Read;
  item.message.registerClass = static_cast<uint8_t>(request.registerClass);
  item.message.start = request.registerOffset;
  item.message.count = request.item().numberOfRegisters;
  item.unit = request.unit;
  item.open = true;
  items_.push_back(std::move(item));
}

MessageItem &MessagePlacement::scatteredReadFor(uint32_t unit) {
  const auto last = std::find_if(items_.rbegin(), items_.rend(), [&](const MessageItem &item) {
    return item.message.kind == MessageKind::ScatteredRead && item.unit == unit;
  });
  if (last != items_.rend() && last->message.count < scatteredLimit())
    return *last;
  MessageItem item;
  item.message.kind = MessageKind::ScatteredRead;
  item.message.registerClass = kHoldingRegisters;
  item.message.transmissionNumber = nextTransmissionNumber();
  item.unit = unit;
  items_.push_back(std::move(item));
  return items_.back();
}

void MessagePlacement::placeInScatteredRead(ModbusRequest &request) {
  const bool covered = std::any_of(items_.begin(), items_.end(), [&](const MessageItem &item) {
    return item.message.kind == MessageKind::Read && sameSpace(item, request) &&
           item.message.start <= request.registerOffset &&
           request.lastRegister() <= item.message.last();
  });
  if (covered)
    return;
  request.scattered = true;
  for (uint32_t reg = request.registerOffset; reg <= request.lastRegister(); ++reg) {
    if (!scatteredRegisters_.insert(unitRegister(request.unit, reg)).second)
      continue;
    ModbusMessage &message = scatteredReadFor(request.unit).message;
    message.data.push_back(static_cast<uint16_t>(reg));
    message.count = static_cast<uint16_t>(message.data.size());
  }
}

bool MessagePlacement::answers(const MessageItem &item, const ModbusRequest &request,
                               size_t index) const {
  const ModbusMessage &message = item.message;
  if (item.unit != request.unit)
    return false;
  switch (message.kind) {
  case MessageKind::Write:
    return item.owner == index;
  case MessageKind::FileRecordRead:
    return request.item().isFileRecord && message.fileNumber == request.item().fileNumber &&
           message.recordNumber == request.item().recordNumber &&
           message.count == request.item().numberOfRegisters;
  case MessageKind::ScatteredRead:
    return request.scattered && listsAnyOf(message, request);
  case MessageKind::Read:
    break;
  }
  if (request.isWrite() || request.item().isFileRecord || request.scattered ||
      message.registerClass != request.registerClass)
    return false;
  if (request.position >= 0)
    return message.start == request.registerOffset &&
           uint32_t(request.position) + request.item().numberOfRegisters <= message.count;
  return message.start <= request.registerOffset && request.lastRegister() <= message.last();
}

} // namespace XLARX
