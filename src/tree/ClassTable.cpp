// ClassTable: the class rows, the parent rows and their look-ups.
//
// Name look-ups come from the text tree lexer once per word, so they go
// through a hash map built on first use; number look-ups are rarer and scan
// the rows, which keeps the first-row rule visible.
#include "tree/ClassTable.h"

#include <unordered_map>

namespace arxmod {
namespace {

constexpr ClassTableRow kRows[] = {
    {1, "ARX"},
    {1, "PIC"},
    {20, "ARX_Register"},
    {20, "PIC_Register"},
    {21, "Boolean_Register"},
    {21, "BooleanVariable_Register"},
    {22, "Enumerated_Register"},
    {23, "Numeric_Register"},
    {24, "NumericBounded_Register"},
    {25, "NumericVariable_Register"},
    {26, "Pulse_Register"},
    {26, "Delta_Register"},
    {27, "Array_Register"},
    {28, "BooleanArray_Register"},
    {29, "NumericArray_Register"},
    {30, "Log_Register"},
    {31, "EventLog_Register"},
    {32, "Waveform_Register"},
    {32, "WaveformFormatter_Register"},
    {33, "Event_Register"},
    {34, "Time_Register"},
    {38, "Table_Register"},
    {39, "Schema_Register"},
    {40, "LogView_Register"},
    {41, "EventView_Register"},
    {42, "LabelTable_Register"},
    {43, "LogSchema_Register"},
    {44, "EventSchema_Register"},
    {45, "Database_Register"},
    {46, "Calendar_Register"},
    {47, "String_Register"},
    {48, "Formula_Register"},
    {49, "Address_Register"},
    {500, "ARX_Module"},
    {500, "PIC_Module"},
    {501, "PowerMeter_Module"},
    {502, "AnalogInput_Module"},
    {503, "AnalogOutput_Module"},
    {504, "DigitalInput_Module"},
    {505, "DigitalOutput_Module"},
    {506, "Pulser_Module"},
    {508, "SlidingWindowDemand_Module"},
    {509, "ThermalDemand_Module"},
    {510, "Integrator_Module"},
    {511, "Minimum_Module"},
    {512, "Maximum_Module"},
    {513, "Setpoint_Module"},
    {514, "FFT_Module"},
    {515, "HarmonicsAnalyser_Module"},
    {516, "Recorder_Module"},
    {517, "WaveformComb_Module"},
    {517, "WaveformFormatter_Module"},
    {518, "PeriodicTimer_Module"},
    {519, "OneShotTimer_Module"},
    {520, "Counter_Module"},
    {521, "AndOr_Module"},
    {522, "EventLogController_Module"},
    {523, "DataAcquisition_Module"},
    {524, "Communications_Module"},
    {525, "Diagnostics_Module"},
    {526, "RealTimeClock_Module"},
    {527, "Factory_Module"},
    {528, "LogSchema_Module"},
    {529, "EventSchema_Module"},
    {530, "ExternalControl_Module"},
    {531, "SymmetricalComponents_Module"},
    {532, "Label_Module"},
    {533, "LogView_Module"},
    {534, "EventView_Module"},
    {535, "SystemLogController_Module"},
    {536, "WaveformRecorder_Module"},
    {537, "DataRecorder_Module"},
    {537, "SnapshotRecorder_Module"},
    {538, "LogAcquisition_Module"},
    {539, "Scheduler_Module"},
    {540, "SagSwell_Module"},
    {541, "Arithmetic_Module"},
    {542, "PulseMerge_Module"},
    {543, "Spawning_Module"},
    {544, "ExternalPulse_Module"},
    {545, "ExternalBoolean_Module"},
    {546, "ExternalNumeric_Module"},
    {547, "DDE_Input_Module"},
    {548, "Modbus_Master_Input_Module"},
    {549, "Modbus_Master_Output_Module"},
    {550, "Lonworks_Import_Module"},
    {551, "Lonworks_Export_Module"},
    {552, "High_Impedance_Fault_Module"},
    {553, "Modbus_Slave_Read_Module"},
    {554, "DataMonitor_Module"},
    {555, "DistributedNumeric_Module"},
    {556, "DistributedBoolean_Module"},
    {557, "DistributedPulse_Module"},
    {558, "Alert_Module"},
    {559, "Convert_Module"},
    {560, "LogMonitor_Module"},
    {561, "DNP_Slave_Export_Module"},
    {562, "DNP_Slave_Import_Module"},
    {563, "DNP_Slave_Options_Module"},
    {564, "Relative_Setpoint_Module"},
    {565, "Transient_Module"},
    {566, "Power_Harmonics_Module"},
    {567, "Feedback_Module"},
    {568, "Profibus_Slave_Export_Module"},
    {569, "Display_Module"},
    {570, "Display_Options_Module"},
    {571, "Scroll_Module"},
    {572, "Store_Module"},
    {573, "Time_Of_Use_Module"},
    {574, "Calibration_Pulser_Module"},
    {575, "Flicker_Module"},
    {576, "EN50160_Module"},
    {577, "Bin_Module"},
    {578, "Harmonics_Evaluation_Module"},
    {579, "Mains_Signaling_Evaluation_Module"},
    {580, "Disturbance_Analyzer_Module"},
    {581, "Harmonics_Measurement_Module"},
    {582, "Voltage_Selection_Module"},
    {583, "Signal_Limit_Evaluation_Module"},
    {584, "Log_Export_Module"},
    {585, "Security_Module"},
    {586, "Security_Options_Module"},
    {587, "Web_Page_Module"},
    {588, "XML_Import_Module"},
    {589, "Difference_Summation_Module"},
    {590, "ITC_Module"},
    {591, "Query_Module"},
    {592, "Averaging_Module"},
    {593, "Modbus_Master_Map_Module"},
    {594, "Modbus_Master_Device_Module"},
    {595, "Modbus_Master_Options_Module"},
    {596, "Universal_Module"},
    {597, "PowerQualityAggregator_Module"},
    {598, "DistDirectionDetection_Module"},
    {599, "SnmpMapping_Module"},
    {600, "TrendingForecasting_Module"},
    {601, "MmxuMap_Module"},
    {602, "MmtrMap_Module"},
    {603, "MstaMap_Module"},
    {604, "MsqiMap_Module"},
    {605, "GgioCustomAnalogMap_Module"},
    {606, "GgioCustomDigitalMap_Module"},
    {607, "GgioOnboardMap_Module"},
    {608, "GgioExpansionMap_Module"},
    {609, "MhaiMap_Module"},
    {610, "Comtrade_Module"},
    {2000, "Manager_Module"},
};

struct ParentRow {
  uint32_t number;
  uint32_t parent;
};

constexpr ParentRow kParents[] = {
    {1, 0},     {20, 1},    {500, 1},    {21, 20},   {23, 20},   {26, 20},   {27, 20},   {32, 20},
    {33, 20},   {34, 20},   {38, 20},    {40, 20},   {45, 20},   {46, 20},   {47, 20},   {48, 20},
    {49, 20},   {24, 23},   {25, 23},    {28, 27},   {29, 27},   {30, 27},   {31, 30},   {39, 38},
    {42, 38},   {43, 39},   {41, 40},    {44, 43},   {22, 47},   {501, 500}, {502, 500}, {503, 500},
    {504, 500}, {505, 500}, {506, 500},  {508, 500}, {509, 500}, {510, 500}, {511, 500}, {512, 500},
    {513, 500}, {514, 500}, {515, 500},  {516, 500}, {517, 500}, {518, 500}, {519, 500}, {520, 500},
    {521, 500}, {522, 500}, {523, 500},  {524, 500}, {525, 500}, {526, 500}, {527, 500}, {528, 500},
    {529, 528}, {530, 500}, {531, 500},  {532, 500}, {533, 500}, {534, 533}, {535, 522}, {536, 516},
    {537, 516}, {538, 500}, {539, 500},  {540, 500}, {541, 500}, {542, 500}, {543, 500}, {544, 500},
    {545, 500}, {546, 500}, {547, 500},  {548, 500}, {549, 500}, {550, 500}, {551, 500}, {552, 500},
    {553, 500}, {554, 500}, {555, 500},  {556, 500}, {557, 500}, {558, 500}, {559, 500}, {560, 500},
    {561, 500}, {562, 500}, {563, 500},  {564, 500}, {565, 500}, {566, 500}, {567, 500}, {568, 500},
    {569, 500}, {570, 500}, {571, 500},  {572, 500}, {573, 500}, {574, 500}, {575, 500}, {576, 500},
    {577, 500}, {578, 500}, {579, 500},  {580, 500}, {581, 500}, {582, 500}, {583, 500}, {584, 500},
    {585, 500}, {586, 500}, {587, 500},  {588, 500}, {589, 500}, {590, 500}, {591, 500}, {592, 500},
    {593, 500}, {594, 500}, {595, 500},  {596, 500}, {597, 500}, {598, 500}, {599, 500}, {600, 500},
    {601, 500}, {602, 500}, {603, 500},  {604, 500}, {605, 500}, {606, 500}, {607, 500}, {608, 500},
    {609, 500}, {610, 500}, {2000, 500},
};

static_assert(std::size(kRows) == 147);
static_assert(std::size(kParents) == 139);

const std::unordered_map<std::string_view, uint32_t> &numbersByName() {
  static const std::unordered_map<std::string_view, uint32_t> map = [] {
    std::unordered_map<std::string_view, uint32_t> built;
    for (const auto &row : kRows)
      built.emplace(row.name, row.number); // emplace keeps the first row of a name
    return built;
  }();
  return map;
}

} // namespace

std::span<const ClassTableRow> classTable() { return kRows; }

std::optional<std::string_view> classNameOf(uint32_t number) {
  for (const auto &row : kRows)
    if (row.number == number)
      return row.name;
  return std::nullopt;
}

std::optional<uint32_t> classNumberOf(std::string_view name) {
  const auto &map = numbersByName();
  auto it = map.find(name);
  if (it == map.end())
    return std::nullopt;
  return it->second;
}

std::string classNameOrNumber(uint32_t number) {
  if (auto name = classNameOf(number))
    return std::string(*name);
  return std::to_string(number);
}

std::optional<uint32_t> classParentOf(uint32_t number) {
  for (const auto &row : kParents)
    if (row.number == number)
      return row.parent;
  return std::nullopt;
}

bool classIsA(uint32_t number, uint32_t ancestor) {
  uint32_t current = number;
  for (unsigned step = 0; step <= kMaxClassDepth; ++step) {
    if (current == ancestor)
      return true;
    if (current == kClassARX)
      return false;
    auto parent = classParentOf(current);
    if (!parent)
      return false;
    current = *parent;
  }
  return false;
}

RegisterFamily registerFamily(uint32_t classNumber) {
  const std::string_view name = classNameOf(classNumber).value_or("");
  if (name == "Numeric_Register" || name == "NumericBounded_Register" ||
      name == "NumericVariable_Register" || name == "Pulse_Register")
    return RegisterFamily::Numeric;
  if (name == "Boolean_Register")
    return RegisterFamily::Boolean;
  if (name == "String_Register" || name == "Enumerated_Register")
    return RegisterFamily::StringLike;
  return RegisterFamily::Other;
}

} // namespace arxmod
