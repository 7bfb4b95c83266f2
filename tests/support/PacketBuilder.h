// Request packets as the host builds them, for tests.
#pragma once

#include "frame/DL_Info.h"
#include "messages/NodeMessage.h"
#include "types/ProgramTypes.h"

#include <cstdint>
#include <memory>
#include <vector>

namespace arxmod::test {

// An envelope (request flag set) around `body`.
std::vector<uint8_t> envelopeBytes(std::unique_ptr<NodeMessage> body);
std::vector<uint8_t> channelEnvelope();

// A packet for `deviceId` and `translatorId` carrying `data`.
DL_Info requestPacket(uint16_t deviceId, uint16_t translatorId, std::vector<uint8_t> data);

// The packet of an execute request for `program`.
std::vector<uint8_t> programRequest(uint16_t deviceId, uint16_t translatorId,
                                    const Program &program);

} // namespace arxmod::test
