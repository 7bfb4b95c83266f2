// MeterCalls: the shared host database, device files, requests and answers.
#include "MeterCalls.h"

#include "DeviceTree.h"
#include "PacketBuilder.h"
#include "messages/ENVLMessage.h"
#include "messages/PIC_Message.h"
#include "tree/TextTree.h"
#include "types/PICCodec.h"

#include <atomic>
#include <filesystem>
#include <fstream>

namespace arxmod::test {
namespace {

constexpr uint16_t kTranslator = 1;
constexpr int32_t kAnswerCapacity = 65536;

std::atomic<uint16_t> nextDevice{100};

std::string mapFileName(uint16_t device) { return "map" + std::to_string(device) + ".xml"; }

void writeFile(const std::filesystem::path &path, const std::string &content) {
  std::ofstream(path, std::ios::binary | std::ios::trunc) << content;
}

} // namespace

MeterDevices &meterDevices() {
  static MeterDevices devices;
  return devices;
}

TempHostDatabase &MeterDevices::database() {
  static TempHostDatabase db;
  static const bool prepared = [] {
    db.addTranslatorDirectories();
    db.addConsoleFile();
    db.exec("INSERT INTO Translator VALUES(1,'MX4110_4120',0,'mx4110_4120.so')");
    return true;
  }();
  static_cast<void>(prepared);
  return db;
}

uint16_t MeterDevices::add(const ObjList &tree, const std::string &mapBody,
                           const std::string &name) {
  const uint16_t device = nextDevice++;
  const std::string treeFile = "tree" + std::to_string(device) + ".dat";
  writeFile(database().translatorDirectory() / treeFile, textTreeString(tree));
  writeFile(database().translatorDirectory() / mapFileName(device), mapDocument(mapBody));
  return enter(device, treeFile, name);
}

uint16_t MeterDevices::addFiles(const std::filesystem::path &treeFile,
                                const std::filesystem::path &mapFile, const std::string &name) {
  const uint16_t device = nextDevice++;
  const std::string treeName = "tree" + std::to_string(device) + ".xml";
  const auto directory = database().translatorDirectory();
  std::filesystem::copy_file(treeFile, directory / treeName);
  std::filesystem::copy_file(mapFile, directory / mapFileName(device));
  return enter(device, treeName, name);
}

uint16_t MeterDevices::enter(uint16_t device, const std::string &treeFile,
                             const std::string &name) {
  const std::string id = std::to_string(device);
  database().exec("INSERT INTO DeviceType VALUES(" + id + ",'type" + id + "',1,'" +
                  mapFileName(device) + "')");
  database().exec("INSERT INTO Device(ID,Name,DeviceTypeID,TreeFile) VALUES(" + id + ",'" + name +
                  "'," + id + ",'" + treeFile + "')");
  return device;
}

void MeterDevices::rewriteMap(uint16_t device, const std::string &mapBody) {
  const auto path = database().translatorDirectory() / mapFileName(device);
  const auto before = std::filesystem::last_write_time(path);
  writeFile(path, mapDocument(mapBody));
  std::filesystem::last_write_time(path, before + std::chrono::seconds(1));
}

std::string mapDocument(const std::string &body) { return "<Map>" + body + "</Map>"; }

std::vector<uint8_t> programRequestFor(uint16_t device, const std::vector<Invocation> &program) {
  RegisteredMemoryBlob blob(kProgramBlobSize);
  auto *made = blob.make<Program>();
  for (const Invocation &invocation : program)
    made->addStatement(invocation.handle, invocation.method,
                       invocation.argument ? invocation.argument(blob) : nullptr);
  return programRequest(device, kTranslator, *made);
}

Answer decodeAnswer(const std::vector<uint8_t> &bytes) {
  Answer answer;
  answer.processed = true;
  ByteReader in(bytes);
  const DL_Info packet = DL_Info::read(in);
  answer.packetStatus = packet.status;
  ByteReader body(packet.data);
  ENVLMessage envelope;
  envelope.decode(body);
  const PIC_MessageImpl &reply = envelope.nodeMessage()->programMessage().impl();
  answer.replyStatus = reply.status();
  answer.actions = reply.actions();
  if (!reply.resultBytes().empty()) {
    RegisteredMemoryBlob results(kProgramBlobSize);
    for (const PICType *value : picCast<PICTypeContainer>(*decodePIC(reply.resultBytes(), results)))
      answer.results.push_back(oneLineText(*value));
  }
  return answer;
}

Answer callProgram(const ProcessFunction &process, sim::SimExchange &exchange, uint16_t device,
                   const std::vector<Invocation> &program) {
  const std::vector<uint8_t> request = programRequestFor(device, program);
  std::vector<uint8_t> answer(kAnswerCapacity);
  int32_t length = kAnswerCapacity;
  if (!process(exchange.context(), request.data(), static_cast<int32_t>(request.size()),
               answer.data(), &length, sim::SimExchange::callback()) ||
      length <= 0)
    return {};
  answer.resize(static_cast<size_t>(length));
  return decodeAnswer(answer);
}

} // namespace arxmod::test
