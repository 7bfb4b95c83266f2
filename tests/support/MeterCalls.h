// MeterCalls: Process calls for devices whose tree and map files the test
// writes, answered by the simulated meter behind the exchange callback,
// with the answers decoded. The same calls go to the translator linked
// into the test (processCall) or to the loaded plug-in (its Process).
//
// One host database serves the whole test program; each device gets files
// of its own (tree<N>.dat, map<N>.xml) and a device type of its own, so a
// test's devices never share per-device state with another test's.
//
//   const uint16_t device = meterDevices().add(*tree, "<ModbusInfo .../>");
//   Answer answer = callProgram(process, exchange, device, {{0x101, 21}});
#pragma once

#include "TempHostDatabase.h"
#include "arxmod/plugin.h"
#include "sim/SimExchange.h"
#include "tree/ObjList.h"
#include "types/PICType.h"

#include <cstdint>
#include <filesystem>
#include <functional>
#include <string>
#include <vector>

namespace arxmod::test {

struct Invocation {
  uint32_t handle;
  uint32_t method;
  PICType *(*argument)(MemoryBlob &) = nullptr; // none: the method's void argument
};

struct Answer {
  bool processed = false;           // Process returned true
  uint32_t packetStatus = 0;        // of the answer packet
  uint8_t replyStatus = 0;          // of the program message
  uint16_t actions = 0;             // of the program message
  std::vector<std::string> results; // one-line text forms
};

// The host database and the devices the test program adds to it.
class MeterDevices {
public:
  // Makes the database (with translator directories, a console file and
  // the translator row) on first use.
  TempHostDatabase &database();
  // A new device whose tree file holds `tree` and whose map file holds
  // `mapBody` inside a map document; its number.
  uint16_t add(const ObjList &tree, const std::string &mapBody, const std::string &name = "meter");
  // A new device whose tree and map files are copies of `treeFile` and
  // `mapFile`; its number.
  uint16_t addFiles(const std::filesystem::path &treeFile, const std::filesystem::path &mapFile,
                    const std::string &name = "meter");
  // Replaces the map file of `device`; its last-write time moves on.
  void rewriteMap(uint16_t device, const std::string &mapBody);

private:
  // Registers a device whose files are written; its number.
  uint16_t enter(uint16_t device, const std::string &treeFile, const std::string &name);
};
MeterDevices &meterDevices();

// The whole map document around `body`.
std::string mapDocument(const std::string &body);

// The execute request packet of `program` for `device`.
std::vector<uint8_t> programRequestFor(uint16_t device, const std::vector<Invocation> &program);
// The answer packet's statuses and results.
Answer decodeAnswer(const std::vector<uint8_t> &packet);

using ProcessFunction =
    std::function<bool(uint32_t context, const uint8_t *request, int32_t requestLength,
                       uint8_t *answer, int32_t *answerLength, ArxExchangeCallback callback)>;
// One Process call of `program` on `device`, exchanges going to `exchange`.
Answer callProgram(const ProcessFunction &process, sim::SimExchange &exchange, uint16_t device,
                   const std::vector<Invocation> &program);

} // namespace arxmod::test
