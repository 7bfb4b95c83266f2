// One call of the plug-in's Process entry point: read the host's packet,
// run the selected engine, write the answer packet.
//
// No exception leaves this function: a failure is written to the system log
// (origin = library name, code 100, sub-origin "Unknown") and the result is
// false, with *answerLength untouched.
#pragma once

#include "arxmod/plugin.h"

#include <cstdint>

namespace arxmod {

bool processCall(uint32_t context, const uint8_t *request, int32_t requestLength, uint8_t *answer,
                 int32_t *answerLength, ArxExchangeCallback callback) noexcept;

} // namespace arxmod
