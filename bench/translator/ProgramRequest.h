// Programs of (handle, method) statements as a host sends them, shared by
// the translator benchmarks: the encoded program, and the execute request
// packet that carries it.
#pragma once

#include <cstdint>
#include <utility>
#include <vector>

namespace arxmod::bench {

using HandleMethod = std::pair<uint32_t, uint32_t>;

std::vector<uint8_t> programBytes(const std::vector<HandleMethod> &statements);
std::vector<uint8_t> executeRequest(uint16_t device, const std::vector<uint8_t> &programBytes);

} // namespace arxmod::bench
