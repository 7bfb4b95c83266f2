// MethodTable: the object protocol's method numbers and names.
//
// 85 (number, name) rows in a fixed order; Manager_read_collective_state
// appears twice with the same number. Both look-ups are linear searches that
// answer the first matching row, which is cheap at this size and keeps the
// first-row rule obvious.
//
//   methodName(21)                          -> "Register_read_value"
//   methodNumber("register_read_value", CaseSensitivity::Ignore) -> 21
#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string_view>

namespace arxmod {

struct MethodTableRow {
  uint32_t number;
  std::string_view name;
};

enum class CaseSensitivity { Exact, Ignore };

// All rows, in table order.
std::span<const MethodTableRow> methodTable();

// The name of the first row with `number`; nothing when no row has it.
std::optional<std::string_view> methodName(uint32_t number);

// The number of the first row named `name`; nothing when no row has it.
std::optional<uint32_t> methodNumber(std::string_view name,
                                     CaseSensitivity sensitivity = CaseSensitivity::Exact);

} // namespace arxmod
