// Register decoding per format family (time per value decoded from a
// 125-register block), and reading and preparing a generated map of 5,000
// entries against its tree, beside pugixml parsing the same file alone.
#include "map/MapFile.h"
#include "map/ModbusFormatter.h"
#include "map/ZoneBias.h"
#include "tree/RegisterObj.h"
#include "tree/TranslationTree.h"

#include <benchmark/benchmark.h>
#include <pugixml.hpp>

#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <random>
#include <sstream>

namespace arxmod {
namespace {

using namespace XLARX;

constexpr size_t kBlock = 125; // the most registers one read returns

// Decodes every value of a 125-register block in `format`; the counter is
// the time per value.
void decodeBlock(benchmark::State &state, uint32_t format) {
  ScopedZoneBias zone({300, 0, false});
  std::mt19937 random(7);
  std::vector<uint16_t> block(kBlock);
  for (uint16_t &word : block)
    word = static_cast<uint16_t>(random() % 0x1000); // valid BCD digits, dates near 1900
  const FormatInfo &info = *formatInfo(format);
  const size_t width = info.variableLength ? kBlock : info.registers;
  const size_t values = kBlock / width;
  ModbusConversion value;
  value.format = format;
  value.mask = info.defaultMask;
  value.notAvailableCheck = true;
  const ModbusFormatter &formatter = ModbusFormatter::instance();
  for (auto _ : state) {
    for (size_t i = 0; i < values; ++i) {
      formatter.decode(std::span(block).subspan(i * width, width), width, value);
      benchmark::DoNotOptimize(value.number);
    }
  }
  state.counters["per_value"] = benchmark::Counter(static_cast<double>(values),
                                                   benchmark::Counter::kIsIterationInvariantRate |
                                                       benchmark::Counter::kInvert);
}

BENCHMARK_CAPTURE(decodeBlock, U16, MBF_U16_21);
BENCHMARK_CAPTURE(decodeBlock, S16_swapped, MBF_S16_12);
BENCHMARK_CAPTURE(decodeBlock, MaskedBool, MBF_MaskedBool);
BENCHMARK_CAPTURE(decodeBlock, S32, MBF_S32_4321);
BENCHMARK_CAPTURE(decodeBlock, U32_M10K, MBF_U32_M10k_4321);
BENCHMARK_CAPTURE(decodeBlock, F32, MBF_F32_2143);
BENCHMARK_CAPTURE(decodeBlock, PF32, MBF_PF32);
BENCHMARK_CAPTURE(decodeBlock, PF_NEXUS, MBF_PF_Nexus);
BENCHMARK_CAPTURE(decodeBlock, U64_M10K, MBF_U64_M10k_21_87);
BENCHMARK_CAPTURE(decodeBlock, S64, MBF_S64_87_21);
BENCHMARK_CAPTURE(decodeBlock, F64, MBF_F64_87_21);
BENCHMARK_CAPTURE(decodeBlock, DateTime4_UTC, MBF_DateTime4_UTC);
BENCHMARK_CAPTURE(decodeBlock, DateTime3_LOCAL, MBF_DateTime3_LOCAL);
BENCHMARK_CAPTURE(decodeBlock, YMDhms_UTC, MBF_DateTime_YMDhms_UTC);
BENCHMARK_CAPTURE(decodeBlock, IEC870_UTC, MBF_DATETIME_IEC870_UTC);
BENCHMARK_CAPTURE(decodeBlock, PackedBCD_125, MBF_PackedBCD);
BENCHMARK_CAPTURE(decodeBlock, ASCII_125, MBF_ASCII);
BENCHMARK_CAPTURE(decodeBlock, U16_ARRAY_125, MBF_U16_21_ARRAY);

constexpr uint32_t kEntries = 5000;
constexpr uint32_t kRegistersPerModule = 20;
constexpr uint32_t kModules = kEntries / kRegistersPerModule;
constexpr uint32_t kFirstModule = 0x10000;

uint32_t moduleHandle(uint32_t m) { return kFirstModule + m * 0x40; }
uint32_t registerHandle(uint32_t i) {
  return moduleHandle(i / kRegistersPerModule) + 1 + i % kRegistersPerModule;
}

// A map of the kind a meter has: mostly plain values, with shared and own
// enumerations, configurable values and labels, dynamic labels, scaling by
// reference, address blocks and exclusions of whole modules.
std::string generatedMap() {
  const char *formats[] = {"UINT16",     "SINT16",        "U32-4321",       "F32-4321", "U32-MFP",
                           "MASKEDBOOL", "DATETIME4_UTC", "U64-M10K-21-87", "ASCII",    "PF-NEXUS"};
  std::ostringstream out;
  out << "<?xml version=\"1.0\"?>\n<MX4110Map>\n"
      << "  <DeviceInfo Type=\"MX4110\" MaxRequestRegisters=\"100\" "
         "GlobalNotAvailable=\"0x8000\" LowSpeedUpdateRate=\"60\" HighSpeedUpdateRate=\"5\"/>\n";
  for (int e = 0; e < 20; ++e) {
    out << "  <EnumInfo Name=\"Enum" << e << "\" DefaultEnumValue=\"Unknown\">";
    for (int o = 0; o < 8; ++o)
      out << "<Option Value=\"State " << o << "\"/>";
    out << "</EnumInfo>\n";
  }
  out << "  <ConfigLabelInfo Name=\"Inputs\" ARXHandle=\"" << registerHandle(0) << "\">";
  for (int o = 0; o < 16; ++o)
    out << "<ConfigLabels Value=\"{LBL} input " << o << "\"/>";
  out << "</ConfigLabelInfo>\n";
  for (uint32_t i = 0; i < kEntries; ++i) {
    const char *format = formats[i % std::size(formats)];
    out << "  <ModbusInfo ARXHandle=\"0x" << std::hex << registerHandle(i) << std::dec
        << "\" Name=\"Value " << i << "\" ModbusAddress=\"4" << 10001 + 4 * i << "\" RequestType=\""
        << (i % 7 == 0 ? "RW" : "R") << "\" Format=\"" << format << "\"";
    if (i % 3 == 0)
      out << " Scale=\"10\" Offset=\"-273.15\"";
    if (i % 11 == 0)
      out << " Multiplier=\"r" << registerHandle(i / 2) << "\"";
    if (i % 13 == 0)
      out << " ModbusMin=\"0\" ModbusMax=\"4095\" ARXMin=\"-10\" ARXMax=\"10\"";
    if (std::string_view(format) == "ASCII")
      out << " NumberOfRegisters=\"16\"";
    if (i % 17 == 0)
      out << " CacheSpec=\"d\"";
    if (i % 10 == 4)
      out << " EnumName=\"Enum" << i % 20 << "\"";
    if (i % 40 == 5)
      out << " ConfigLabelName=\"Inputs\"";
    out << ">";
    if (i % 20 == 9) {
      out << "<Enumeration Value=\"Off\"/><Enumeration Value=\"On\"/>";
    }
    if (i % 25 == 3) {
      out << "</ModbusInfo>\n  <ModbusInfo ARXHandle=\"" << registerHandle(i) + 0x1000000
          << "\" Name=\"Selected\" ModbusAddress=\"4" << 10001 + 4 * i
          << "\" RequestType=\"R\" Format=\"UINT16\" ConfigValueHandle=\"" << registerHandle(i)
          << "\"><ConfigValues Value=\"1\"/><ConfigValues Value=\"10\"/><ConfigValues "
             "Value=\"-NA-\"/>";
    }
    if (i % 50 == 7)
      out << "<DynamicLabel EnumOrdinalHandle=\"" << registerHandle(i - 1)
          << "\" DeviceLabelHandle=\"" << registerHandle(i + 1) << "\" EnumName=\"Enum1\" "
          << "DeviceLabelTrigger=\"Feeder|Line\" ActiveFormat=\"$DL ($EV)\" "
             "InactiveFormat=\"Breaker $EO\"/>";
    out << "</ModbusInfo>\n";
  }
  for (uint32_t m = 0; m < kModules; m += 5) {
    out << "  <CalcInfo ARXHandle=\"" << moduleHandle(m) << "\"/>\n";
    out << "  <HandleExclusionList ARXHandle=\"" << moduleHandle(m) << "\" ConfigARXHandle=\""
        << registerHandle(0) << "\"/>\n";
  }
  for (uint32_t b = 0; b < 10; ++b)
    out << "  <DatasetAddressBlock ModbusAddress=\"4" << 10001 + 100 * b
        << "\" NumberOfRegisters=\"50\"/>\n";
  out << "  <InvalidAddressRange ModbusAddress=\"430001\" NumberOfRegisters=\"100\"/>\n"
      << "</MX4110Map>\n";
  return out.str();
}

IRefPtr<TranslationTree> generatedTree() {
  auto list = makeRef<ObjList>();
  for (uint32_t m = 0; m < kModules; ++m) {
    auto module = std::make_unique<ModuleObj>(moduleHandle(m), 511, 3, "Minimum");
    std::vector<uint32_t> outputs;
    for (uint32_t r = 0; r < kRegistersPerModule; ++r) {
      const uint32_t handle = registerHandle(m * kRegistersPerModule + r);
      outputs.push_back(handle);
      // Every other register has the module's parent, so the exclusions expand.
      list->insert(
          std::make_unique<RegisterObj>(handle, 23, r % 2 ? 3 : moduleHandle(m), "Register"));
    }
    module->setOutputs(std::move(outputs));
    list->insert(std::move(module));
  }
  list->sizeForCount();
  return makeRef<TranslationTree>(list);
}

const std::filesystem::path kMapPath = std::filesystem::temp_directory_path() /
                                       ("arxmod_map_bench_" + std::to_string(getpid()) + ".xml");

// The generated map, written on first use and removed at exit.
const std::filesystem::path &mapFile() {
  static const struct WrittenFile {
    WrittenFile() { std::ofstream(kMapPath, std::ios::binary) << generatedMap(); }
    ~WrittenFile() {
      std::error_code ignored;
      std::filesystem::remove(kMapPath, ignored);
    }
  } file;
  return kMapPath;
}

void readAndPrepareMap(benchmark::State &state) {
  const std::filesystem::path &path = mapFile();
  IRefPtr<TranslationTree> tree = generatedTree();
  size_t entries = 0;
  for (auto _ : state) {
    IRefPtr<TranslationMap> map = readMapFile(path);
    map->prepare(*tree);
    entries = map->count();
  }
  state.counters["entries"] = static_cast<double>(entries);
  state.counters["file_bytes"] = static_cast<double>(std::filesystem::file_size(path));
}
BENCHMARK(readAndPrepareMap)->Unit(benchmark::kMillisecond);

// pugixml alone on the same file: the floor of any reader built on it.
void pugixmlParseOnly(benchmark::State &state) {
  const std::filesystem::path &path = mapFile();
  for (auto _ : state) {
    pugi::xml_document document;
    benchmark::DoNotOptimize(document.load_file(path.c_str()));
  }
}
BENCHMARK(pugixmlParseOnly)->Unit(benchmark::kMillisecond);

} // namespace
} // namespace arxmod
