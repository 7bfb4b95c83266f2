// ModuleLabels: the label rows and their look-ups.
//
// Labels are taken from the rows the virtual modules need; other rows carry
// their names only, so their label look-ups fail instead of inventing text.
#include "tree/ModuleLabels.h"

#include "tree/ClassTable.h"

namespace arxmod {
namespace {

constexpr std::string_view kLabels501[] = {
    "V1",          "V2",          "V3",          "V4",          "I1",          "I2",
    "I3",          "I4",          "I5",          "Enable",      "Volts Mode",  "PT Prim",
    "PT Sec",      "CT Prim",     "CT Sec",      "I4 CT Prim",  "I4 CT Sec",   "I5 CT Prim",
    "I5 CT Sec",   "V1 Polarity", "V2 Polarity", "V3 Polarity", "I1 Polarity", "I2 Polarity",
    "I3 Polarity", "I4 Polarity", "I5 Polarity", "Phase Order", "Phase Lbls",  "Nom Freq",
    "V4 PT Prim",  "V4 PT Sec",   "Vln a",       "Vln b",       "Vln c",       "Vln avg",
    "Vll ab",      "Vll bc",      "Vll ca",      "Vll avg",     "I a",         "I b",
    "I c",         "I avg",       "kW a",        "kW b",        "kW c",        "kW tot",
    "kVAR a",      "kVAR b",      "kVAR c",      "kVAR tot",    "kVA a",       "kVA b",
    "kVA c",       "kVA tot",     "PF sign a",   "PF sign b",   "PF sign c",   "PF sign tot",
    "PF lead a",   "PF lead b",   "PF lead c",   "PF lead tot", "PF lag a",    "PF lag b",
    "PF lag c",    "PF lag tot",  "V1 Angle",    "V2 Angle",    "V3 Angle",    "I1 Angle",
    "I2 Angle",    "I3 Angle",    "I4",          "I5",          "V4",          "Line Freq",
    "V unbal",     "I unbal",     "Phase Rev",   "kWh del",     "kWh rec",     "Event"};
constexpr std::string_view kLabels511[] = {"Source",  "Enable",  "Reset",
                                           "Minimum", "Trigger", "Event"};
constexpr std::string_view kLabels512[] = {"Source",  "Enable",  "Reset",
                                           "Maximum", "Trigger", "Event"};
constexpr std::string_view kLabels518[] = {"Enable",    "Sync",    "Period",
                                           "Sync Mode", "Trigger", "Event"};
constexpr std::string_view kLabels525[] = {
    "Client Period",  "Client Count",   "Calc Period",       "Calc Duration",
    "Calc Overruns",  "Thread Number",  "Devices On Thread", "Modules On Thread",
    "Modules Failed", "Cache Entries",  "Cache Hits",        "Cache Misses",
    "Requests",       "Request Errors", "Comm Timeouts",     "Comm Errors",
    "Last Calc Time", "Uptime",         "Security State"};
constexpr std::string_view kLabels537[] = {
    "Source",   "Enable",     "Record",       "Rearm",           "Reset",
    "Depth",    "RecordMode", "LogMode",      "EvLog Mode",      "Insert Outage Records",
    "Data Log", "Log State",  "Records Left", "Record Complete", "Event"};
constexpr std::string_view kLabels544[] = {"EvPriority", "Trigger", "Event"};
constexpr std::string_view kLabels545[] = {"EvPriority", "Switch", "Event"};
constexpr std::string_view kLabels546[] = {"EvPriority", "Number", "Event"};
constexpr std::string_view kLabels567[] = {"Source", "Enable", "Pulse Out", "Event"};
constexpr std::string_view kLabels592[] = {"Source",    "Enable", "Reset", "Operate Now",
                                           "Calc Mode", "Value",  "Event"};

constexpr ModuleLabelRow kRows[] = {
    {"PM", "Power Meter", kLabels501},  // 501
    {"AI", "Analog In", {}},            // 502
    {"AO", "Analog Out", {}},           // 503
    {"DI", "Digital In", {}},           // 504
    {"DO", "Digital Out", {}},          // 505
    {"PU", "Pulser", {}},               // 506
    {},                                 // 507
    {"SWD", "Sliding Window", {}},      // 508
    {"TD", "Thermal Demand", {}},       // 509
    {"INT", "Integrator", {}},          // 510
    {"MN", "Minimum", kLabels511},      // 511
    {"MX", "Maximum", kLabels512},      // 512
    {"SP", "Setpoint", {}},             // 513
    {"FFT", "FFT", {}},                 // 514
    {"HA", "Harmonics", {}},            // 515
    {},                                 // 516
    {},                                 // 517
    {"PT", "Periodic Tmr", kLabels518}, // 518
    {"OT", "One Shot Tmr", {}},         // 519
    {"CTR", "Counter", {}},             // 520
    {"AND", "And/Or", {}},              // 521
    {"EL", "Event Log Ctl", {}},        // 522
    {"DA", "Data Acq", {}},             // 523
    {"COM", "Comm", {}},                // 524
    {"DIA", "Diagnostics", kLabels525}, // 525
    {"CLK", "Clock", {}},               // 526
    {"FAC", "Factory", {}},             // 527
    {},                                 // 528
    {},                                 // 529
    {},                                 // 530
    {"SC", "Symm Comp", {}},            // 531
    {},                                 // 532
    {},                                 // 533
    {},                                 // 534
    {"SL", "Sys Log Ctl", {}},          // 535
    {"WR", "Wform Rec", {}},            // 536
    {"RE", "Data Rec", kLabels537},     // 537
    {"LA", "Log Acq", {}},              // 538
    {"SCH", "Scheduler", {}},           // 539
    {"SS", "Sag/Swell", {}},            // 540
    {"AR", "Arithmetic", {}},           // 541
    {"PMG", "Pulse Merge", {}},         // 542
    {"SPN", "Spawning", {}},            // 543
    {"EP", "Ext Pulse", kLabels544},    // 544
    {"EB", "Ext Bool", kLabels545},     // 545
    {"EN", "Ext Num", kLabels546},      // 546
    {"DDE", "DDE Input", {}},           // 547
    {"MMI", "MB Master In", {}},        // 548
    {"MMO", "MB Master Out", {}},       // 549
    {"LI", "LON Import", {}},           // 550
    {"LE", "LON Export", {}},           // 551
    {"HF", "HIFI", {}},                 // 552
    {"MSR", "MB Slave Read", {}},       // 553
    {"DM", "Data Monitor", {}},         // 554
    {"DN", "Dist Num", {}},             // 555
    {"DB", "Dist Bool", {}},            // 556
    {"DP", "Dist Pulse", {}},           // 557
    {"ALR", "Alert", {}},               // 558
    {"CNV", "Convert", {}},             // 559
    {"LM", "Log Monitor", {}},          // 560
    {"DSE", "DNP Export", {}},          // 561
    {"DSI", "DNP Import", {}},          // 562
    {"DSO", "DNP Options", {}},         // 563
    {"RSP", "Rel Setpoint", {}},        // 564
    {"TR", "Transient", {}},            // 565
    {"PH", "Power Harm", {}},           // 566
    {"FBK", "Feedback", kLabels567},    // 567
    {"PSE", "Profibus Exp", {}},        // 568
    {"DSP", "Display", {}},             // 569
    {"DOP", "Display Opt", {}},         // 570
    {"SCR", "Scroll", {}},              // 571
    {"ST", "Store", {}},                // 572
    {"TOU", "Time Of Use", {}},         // 573
    {"CP", "Cal Pulser", {}},           // 574
    {"FL", "Flicker", {}},              // 575
    {},                                 // 576
    {"BIN", "Bin", {}},                 // 577
    {"HE", "Harm Eval", {}},            // 578
    {"MSE", "Mains Sig Eval", {}},      // 579
    {"DIS", "Dist Analyzer", {}},       // 580
    {"HM", "Harm Meas", {}},            // 581
    {"VS", "Volt Select", {}},          // 582
    {"SLE", "Sig Limit Eval", {}},      // 583
    {"LX", "Log Export", {}},           // 584
    {"SEC", "Security", {}},            // 585
    {"SO", "Security Opt", {}},         // 586
    {"WP", "Web Page", {}},             // 587
    {"XI", "XML Import", {}},           // 588
    {"DS", "Diff Sum", {}},             // 589
    {"ITC", "ITC", {}},                 // 590
    {"QRY", "Query", {}},               // 591
    {"AVG", "Averaging", kLabels592},   // 592
    {"MMM", "MB Master Map", {}},       // 593
    {"MMD", "MB Master Dev", {}},       // 594
    {"MMP", "MB Master Opt", {}},       // 595
    {"UV", "Universal", {}},            // 596
    {"PQA", "PQ Aggregator", {}},       // 597
    {"DDD", "Dist Dir Detect", {}},     // 598
    {"SNM", "SNMP Map", {}},            // 599
    {"TF", "Trend Forecast", {}},       // 600
    {"MMXU", "MMXU Map", {}},           // 601
    {"MMTR", "MMTR Map", {}},           // 602
    {"MSTA", "MSTA Map", {}},           // 603
    {"MSQI", "MSQI Map", {}},           // 604
    {"GCA", "GGIO Cust Ana", {}},       // 605
    {"GCD", "GGIO Cust Dig", {}},       // 606
    {"GOB", "GGIO Onboard", {}},        // 607
    {"GEX", "GGIO Expansion", {}},      // 608
    {"MHAI", "MHAI Map", {}},           // 609
    {"CTD", "COMTRADE", {}},            // 610
};
static_assert(std::size(kRows) == kLastLabelledModuleClass - kFirstLabelledModuleClass + 1);

} // namespace

const ModuleLabelRow &moduleLabelRow(uint32_t classNumber) {
  if (classNumber < kFirstLabelledModuleClass || classNumber > kLastLabelledModuleClass)
    throw LabelLookupError(std::string("No register labels for module class ") +
                           std::to_string(classNumber));
  return kRows[classNumber - kFirstLabelledModuleClass];
}

std::string_view registerLabel(uint32_t classNumber, uint32_t registerNumber) {
  const ModuleLabelRow &row = moduleLabelRow(classNumber);
  if (registerNumber >= row.labels.size())
    throw LabelLookupError(std::string("No label for register ") + std::to_string(registerNumber) +
                           " of module class " + std::to_string(classNumber));
  return row.labels[registerNumber];
}

std::string managerLabel(uint32_t classNumber) {
  if (classNumber == kClassManager)
    return "Feature Manager";
  const ModuleLabelRow &row = moduleLabelRow(classNumber);
  if (row.longName.empty())
    throw LabelLookupError(std::string("No manager label for module class ") +
                           std::to_string(classNumber));
  return std::string(row.longName) + " Modules";
}

} // namespace arxmod
