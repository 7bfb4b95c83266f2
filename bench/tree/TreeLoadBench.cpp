// Loading a generated 16,000-object device tree from its XML and text
// forms, against pugixml parsing the same XML alone, with the heap memory
// the loaded tree keeps per object; and look-ups in trees of up to 200,000
// objects.
#include "tree/RegisterObj.h"
#include "tree/TextTree.h"
#include "tree/TreeFile.h"
#include "tree/XmlTree.h"

#include <benchmark/benchmark.h>

#include <malloc.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <sstream>

namespace arxmod {
namespace {

constexpr uint32_t kModules = 1000;
constexpr uint32_t kRegistersPerModule = 15; // 1000 modules + 15000 registers

IRefPtr<ObjList> generatedTree() {
  auto list = makeRef<ObjList>();
  for (uint32_t m = 0; m < kModules; ++m) {
    const uint32_t handle = 0x10000 + m * 0x20;
    auto module = std::make_unique<ModuleObj>(handle, 511, 3, "Minimum " + std::to_string(m));
    std::vector<uint32_t> outputs, setups;
    for (uint32_t r = 1; r <= kRegistersPerModule; ++r) {
      const uint32_t cls = r % 3 == 0 ? 47 : 25;
      auto reg = std::make_unique<RegisterObj>(handle + r, cls, handle,
                                               module->name() + " Register " + std::to_string(r));
      reg->setValueText(cls == 47 ? "\"text value\"" : std::to_string(r * 1.25));
      reg->setTime(1765000000 + r);
      (r <= 10 ? outputs : setups).push_back(handle + r);
      list->insert(std::move(reg));
    }
    module->setOutputs(std::move(outputs));
    module->setSetups(std::move(setups));
    module->setInputs(std::vector<CompleteObjectHandle>{{0x10001, ""}});
    list->insert(std::move(module));
  }
  return list;
}

const std::string &xmlBytes() {
  static const std::string bytes = [] {
    std::ostringstream out;
    writeXmlTree(*generatedTree())->save(out);
    return out.str();
  }();
  return bytes;
}

const std::string &textBytes() {
  static const std::string bytes = textTreeString(*generatedTree());
  return bytes;
}

size_t heapInUse() { return mallinfo2().uordblks; }

// The XML form written to a file once, for the benchmarks that load files.
const std::filesystem::path &xmlFile() {
  static const std::filesystem::path path = [] {
    auto file = std::filesystem::temp_directory_path() /
                ("arxmod_tree_bench_" + std::to_string(getpid()) + ".xml");
    std::ofstream(file, std::ios::binary) << xmlBytes();
    return file;
  }();
  return path;
}

// Times `load`; the heap the loaded tree keeps is measured on one extra
// load outside the timed loop, since asking the allocator walks its free
// lists and would be counted as load time.
template <typename Load> void report(benchmark::State &state, size_t fileBytes, Load load) {
  for (auto _ : state) {
    IRefPtr<ObjList> tree = load();
    tree->sizeForCount();
    benchmark::DoNotOptimize(tree.get());
    state.PauseTiming(); // freeing the tree is not part of loading it
    tree.reset();
    state.ResumeTiming();
  }
  const size_t before = heapInUse();
  IRefPtr<ObjList> tree = load();
  tree->sizeForCount();
  const size_t kept = heapInUse() - before;
  const auto objects = static_cast<double>(tree->count());
  state.counters["objects"] = objects;
  state.counters["bytes_per_object"] = static_cast<double>(kept) / objects;
  state.counters["file_bytes"] = static_cast<double>(fileBytes);
}

// pugixml parsing the same bytes and nothing else: with its default options
// (argument 0) and with the options the tree reader parses with (1).
void BM_PugixmlParseOnly(benchmark::State &state) {
  const std::string &bytes = xmlBytes();
  const unsigned options = state.range(0) ? kTreeParseOptions : pugi::parse_default;
  for (auto _ : state) {
    pugi::xml_document document;
    benchmark::DoNotOptimize(document.load_buffer(bytes.data(), bytes.size(), options).status);
  }
}
BENCHMARK(BM_PugixmlParseOnly)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond);

// The least any reader of the parsed document does: the parse, then every
// node's name and value and every attribute's name and value through
// pugixml's node interface, building nothing.
void BM_PugixmlParseAndVisit(benchmark::State &state) {
  const std::string &bytes = xmlBytes();
  for (auto _ : state) {
    pugi::xml_document document;
    document.load_buffer(bytes.data(), bytes.size(), kTreeParseOptions);
    size_t seen = 0;
    pugi::xml_node node = document.first_child();
    while (node) {
      seen += static_cast<size_t>(*node.name() + *node.value());
      for (pugi::xml_attribute attribute = node.first_attribute(); attribute;
           attribute = attribute.next_attribute())
        seen += static_cast<size_t>(*attribute.name() + *attribute.value());
      if (pugi::xml_node child = node.first_child()) {
        node = child;
        continue;
      }
      while (node && !node.next_sibling())
        node = node.parent();
      node = node ? node.next_sibling() : node;
    }
    benchmark::DoNotOptimize(seen);
  }
}
BENCHMARK(BM_PugixmlParseAndVisit)->Unit(benchmark::kMillisecond);

void BM_PugixmlLoadFile(benchmark::State &state) {
  const std::filesystem::path &path = xmlFile();
  for (auto _ : state) {
    pugi::xml_document document;
    benchmark::DoNotOptimize(document.load_file(path.c_str(), kTreeParseOptions).status);
  }
}
BENCHMARK(BM_PugixmlLoadFile)->Unit(benchmark::kMillisecond);

void BM_LoadXmlTree(benchmark::State &state) {
  report(state, xmlBytes().size(), [] { return loadTreeBytes(xmlBytes(), "tree.xml"); });
}
BENCHMARK(BM_LoadXmlTree)->Unit(benchmark::kMillisecond);

void BM_LoadXmlTreeFile(benchmark::State &state) {
  report(state, xmlBytes().size(), [] { return loadTreeFile(xmlFile()); });
}
BENCHMARK(BM_LoadXmlTreeFile)->Unit(benchmark::kMillisecond);

void BM_LoadTextTree(benchmark::State &state) {
  report(state, textBytes().size(), [] { return loadTreeBytes(textBytes(), "tree.dat"); });
}
BENCHMARK(BM_LoadTextTree)->Unit(benchmark::kMillisecond);

// Look-ups in a loaded tree of N objects, with handles spread as tree files
// spread them: per look-up time should stay flat as N grows.
void BM_FindInSizedTree(benchmark::State &state) {
  const auto count = static_cast<uint32_t>(state.range(0));
  ObjList objects;
  for (uint32_t i = 0; i < count; ++i)
    objects.insert(std::make_unique<ARXObj>(0x10000 + i * 0x20 + i % 16, 1, 0, "o"));
  objects.sizeForCount();
  uint32_t i = 0;
  for (auto _ : state) {
    benchmark::DoNotOptimize(objects.find(0x10000 + i * 0x20 + i % 16));
    i = i + 7919 < count ? i + 7919 : (i + 7919) % count;
  }
  state.counters["buckets"] = static_cast<double>(objects.bucketCount());
}
BENCHMARK(BM_FindInSizedTree)->Arg(1000)->Arg(16000)->Arg(40000)->Arg(100000)->Arg(200000);

} // namespace
} // namespace arxmod
