// MethodTable: the rows and the two look-ups.
#include "types/MethodTable.h"

#include <algorithm>
#include <cctype>

namespace arxmod {
namespace {

constexpr MethodTableRow kRows[] = {
    {1, "ARX_read_class"},
    {2, "ARX_read_name"},
    {3, "ARX_read_label"},
    {128, "ARX_write_label"},
    {129, "ARX_read_security_level"},
    {130, "ARX_read_all_security_levels"},
    {131, "ARX_read_parent_handle"},
    {132, "ARX_read_owners"},
    {133, "ARX_isa"},
    {134, "ARX_check_sanity"},
    {20, "Register_read_time"},
    {300, "Register_write_time"},
    {21, "Register_read_value"},
    {22, "Register_write_value"},
    {23, "Register_read_staletime"},
    {28, "BVReg_read_on_name"},
    {30, "BVReg_read_on_label"},
    {500, "BVReg_write_on_label"},
    {29, "BVReg_read_off_name"},
    {31, "BVReg_read_off_label"},
    {501, "BVReg_write_off_label"},
    {32, "BVReg_current_state_label"},
    {520, "ENReg_read_enumerations"},
    {540, "NBReg_read_bounds"},
    {541, "NBReg_write_bounds"},
    {35, "ArrayReg_read_depth"},
    {36, "ArrayReg_write_depth"},
    {37, "ArrayReg_read_rollover"},
    {40, "LogReg_read_position"},
    {41, "LogReg_write_position"},
    {45, "EventLogReg_read_alarms"},
    {46, "EventLogReg_write_alarms"},
    {560, "EventLogReg_read_alarm_count_rollover"},
    {583, "LogView_read_updates"},
    {584, "EventView_acknowledge"},
    {585, "DBReg_columns"},
    {586, "DBReg_connect"},
    {587, "DBReg_disconnect"},
    {588, "DBReg_fetch"},
    {589, "DBReg_free"},
    {590, "DBReg_invoke"},
    {591, "DBReg_results"},
    {592, "DBReg_tables"},
    {593, "DBReg_query"},
    {594, "DBReg_transact"},
    {595, "DBReg_fetch_updates"},
    {601, "CalReg_read_calendar_value"},
    {602, "CalReg_write_calendar_value"},
    {603, "CalReg_read_profile_value"},
    {604, "CalReg_write_profile_value"},
    {605, "CalReg_read_profile_labels"},
    {606, "CalReg_write_profile_labels"},
    {607, "CalReg_read_profile_names"},
    {608, "CalReg_read_activity_depth"},
    {621, "FormReg_read_formula_value"},
    {622, "FormReg_write_formula_value"},
    {623, "FormReg_read_reset_powerup_value"},
    {624, "FormReg_write_reset_powerup_value"},
    {627, "ADReg_read_allowed_classes"},
    {1000, "Module_read_input_handles"},
    {1001, "Module_write_input_handles"},
    {1002, "Module_read_input_classes"},
    {1007, "Module_read_input_names"},
    {1003, "Module_read_output_handles"},
    {1004, "Module_read_setup_handles"},
    {80, "Module_read_setup_counter"},
    {1020, "Module_write_setup_counter"},
    {81, "Module_read_update_counter"},
    {1021, "Module_write_update_counter"},
    {1005, "Module_read_update_period"},
    {1022, "Module_write_update_period"},
    {1006, "Module_read_module_security"},
    {1030, "Module_read_state"},
    {1031, "Module_write_state"},
    {1032, "RecorderModule_write_rearm"},
    {100, "Manager_read_aggregate_setup_counter"},
    {1503, "Manager_write_aggregate_setup_counter"},
    {101, "Manager_read_aggregate_update_counter"},
    {1504, "Manager_write_aggregate_update_counter"},
    {1505, "Manager_read_collective_state"},
    {1500, "Manager_create_module"},
    {1501, "Manager_destroy_module"},
    {1502, "Manager_read_managed_class"},
    {1505, "Manager_read_collective_state"},
    {1506, "Manager_read_capacity"},
};
static_assert(std::size(kRows) == 85);

bool sameIgnoringCase(std::string_view a, std::string_view b) {
  return std::equal(a.begin(), a.end(), b.begin(), b.end(), [](char x, char y) {
    return std::tolower(static_cast<unsigned char>(x)) ==
           std::tolower(static_cast<unsigned char>(y));
  });
}

} // namespace

std::span<const MethodTableRow> methodTable() { return kRows; }

std::optional<std::string_view> methodName(uint32_t number) {
  for (const MethodTableRow &row : kRows)
    if (row.number == number)
      return row.name;
  return std::nullopt;
}

std::optional<uint32_t> methodNumber(std::string_view name, CaseSensitivity sensitivity) {
  for (const MethodTableRow &row : kRows)
    if (sensitivity == CaseSensitivity::Exact ? row.name == name : sameIgnoringCase(row.name, name))
      return row.number;
  return std::nullopt;
}

} // namespace arxmod
