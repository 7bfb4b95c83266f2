// ClassTable: the protocol's object classes by number and name, the class
// hierarchy behind the ancestor test, and the register families.
//
// 147 (number, name) rows over 139 distinct numbers: eight numbers carry a
// second, older name, and the first row of a number is its primary name.
// Look-ups by number answer the first row; look-ups by name are exact and
// case-sensitive, so both names of an aliased number are accepted:
//
//   classNameOf(21)                              -> "Boolean_Register"
//   classNumberOf("BooleanVariable_Register")    -> 21
//   classIsA(31 /*EventLog_Register*/, 27)       -> true
#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>

namespace arxmod {

struct ClassTableRow {
  uint32_t number;
  std::string_view name;
};

// Class numbers the rest of the code names.
inline constexpr uint32_t kClassARX = 1;
inline constexpr uint32_t kClassRegister = 20;
inline constexpr uint32_t kClassModule = 500;
inline constexpr uint32_t kClassManager = 2000;

// All rows, in table order.
std::span<const ClassTableRow> classTable();

// The primary name of a class number; nothing when no row has it.
std::optional<std::string_view> classNameOf(uint32_t number);
// The number of the first row named exactly `name`; nothing when no row has it.
std::optional<uint32_t> classNumberOf(std::string_view name);
// The primary name, or the number in decimal when no row has it (how the
// tree writers name a class).
std::string classNameOrNumber(uint32_t number);

// The parent class of a class number; nothing for a number without a row
// (unassigned numbers, and 507 which no module class uses). Class 1 has parent 0.
std::optional<uint32_t> classParentOf(uint32_t number);
// Whether `number` is `ancestor` or descends from it, following parents up
// to class 1 (at most kMaxClassDepth steps, so a table error cannot loop).
bool classIsA(uint32_t number, uint32_t ancestor);
inline constexpr unsigned kMaxClassDepth = 556;

// How a register's value is reduced to its plain form, decided by the
// primary name of its class number.
enum class RegisterFamily { Numeric, Boolean, StringLike, Other };
RegisterFamily registerFamily(uint32_t classNumber);

} // namespace arxmod
