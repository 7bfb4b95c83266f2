// SystemResponse: status answer with an optional nested node message.
#include "messages/SystemResponse.h"

#include "messages/ENVL_Exception.h"
#include "messages/NodeMessageFactory.h"
#include "messages/TextForm.h"
#include "messages/WireRead.h"

#include <ostream>

namespace arxmod {

SystemResponse::SystemResponse(const SystemResponse &other)
    : NodeMessage(other), status_(other.status_),
      original_(other.original_ ? other.original_->copy() : nullptr) {}

std::unique_ptr<NodeMessage> SystemResponse::copy() const {
  return std::make_unique<SystemResponse>(*this);
}

void SystemResponse::encode(ByteWriter &writer) const {
  encodeFrame(writer);
  writer.writeU8(status_);
  writer.writeU8(original_ ? kPresent : kAbsent);
  if (original_)
    original_->encode(writer);
}

void SystemResponse::decode(ByteReader &reader) { decodeAtDepth(reader, 0); }

void SystemResponse::decodeAtDepth(ByteReader &reader, unsigned depth) {
  decodeFixedFrame(reader);
  const uint8_t status = wire::take<uint8_t>(reader, kUnitMesg);
  uint8_t presence = kAbsent;
  if (!reader.readU8(presence))
    presence = kAbsent;
  std::unique_ptr<NodeMessage> original;
  if (presence != kAbsent) {
    if (depth >= kMaxNesting)
      throwTraced(kUnitMesg, ENVL_Exception("SystemResponse nested more than " +
                                            std::to_string(kMaxNesting) + " levels deep"));
    original = decodeNodeMessageAt(reader, depth + 1);
  }
  status_ = status;
  original_ = std::move(original);
}

void SystemResponse::print(std::ostream &out, bool) const {
  writeStatusName(out, status_);
  out << " Original(";
  if (original_)
    original_->print(out, false);
  else
    out << "<null>";
  out << "\n";
}

} // namespace arxmod
