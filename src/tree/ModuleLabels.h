// ModuleLabels: the register labels of each module class, and the names of
// the managers that own the modules of a class.
//
// One row per module class number 501 to 610 (row = number - 501): a short
// code, a long name, and the labels of the module's registers in order
// (inputs first, then setups and outputs). Rows of classes the plug-in never
// builds are empty or carry only their names. Virtual modules name their
// registers from these labels:
//
//   registerLabel(511, 0)  -> "Source"
//   managerLabel(512)      -> "Maximum Modules"
//   managerLabel(2000)     -> "Feature Manager"
#pragma once

#include "base/KSXmsg.h"

#include <cstdint>
#include <span>
#include <string>
#include <string_view>

namespace arxmod {

struct ModuleLabelRow {
  std::string_view code;     // short code, e.g. "MN"; empty for an empty row
  std::string_view longName; // e.g. "Minimum"
  std::span<const std::string_view> labels;
};

inline constexpr uint32_t kFirstLabelledModuleClass = 501;
inline constexpr uint32_t kLastLabelledModuleClass = 610;
inline constexpr size_t kMaxRegisterLabelLength = 39;

// Raised by the look-ups below for a class or register outside the table;
// callers turn it into a message of their own.
class LabelLookupError : public KSXmsg {
public:
  using KSXmsg::KSXmsg;
};

// The row of a module class; LabelLookupError outside 501 to 610.
const ModuleLabelRow &moduleLabelRow(uint32_t classNumber);

// The label of register `registerNumber` of a module of `classNumber`.
std::string_view registerLabel(uint32_t classNumber, uint32_t registerNumber);

// The row's long name followed by " Modules", or "Feature Manager" for the
// manager class 2000.
std::string managerLabel(uint32_t classNumber);

} // namespace arxmod
