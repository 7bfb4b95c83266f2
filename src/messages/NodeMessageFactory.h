// The node-message factory's entry point for messages nested inside a
// SystemResponse, which carries the nesting depth along.
#pragma once

#include "messages/NodeMessage.h"

namespace arxmod {

// decodeNodeMessage() for a message that sits `depth` responses deep.
std::unique_ptr<NodeMessage> decodeNodeMessageAt(ByteReader &reader, unsigned depth);

} // namespace arxmod
