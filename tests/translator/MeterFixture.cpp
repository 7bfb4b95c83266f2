// MeterFixture: the host database, device files and Process calls.
#include "MeterFixture.h"

#include "DeviceTree.h"
#include "PacketBuilder.h"
#include "files/FileManager.h"
#include "frame/EngineSelection.h"
#include "frame/ProcessCall.h"
#include "messages/ENVLMessage.h"
#include "messages/PIC_Message.h"
#include "translator/ModbusTranslator.h"
#include "tree/TextTree.h"
#include "types/PICCodec.h"

#include <atomic>
#include <filesystem>
#include <fstream>

namespace arxmod::test {
namespace {

constexpr uint16_t kTranslator = 1;

std::atomic<uint16_t> nextDevice{100};

std::string mapFileName(uint16_t device) { return "map" + std::to_string(device) + ".xml"; }

void writeFile(const std::filesystem::path &path, const std::string &content) {
  std::ofstream(path, std::ios::binary | std::ios::trunc) << content;
}

} // namespace

std::string mapDocument(const std::string &body) { return "<Map>" + body + "</Map>"; }

TempHostDatabase &MeterFixture::database() {
  static TempHostDatabase *db = [] {
    auto *made = new TempHostDatabase();
    made->addTranslatorDirectories();
    made->exec("INSERT INTO Translator VALUES(1,'MX4110_4120',0,'mx4110_4120.so')");
    return made;
  }();
  return *db;
}

MeterFixture::MeterFixture() {
  database();
  FileManager::instance().setRecheckInterval(0);
  installDeviceTranslatorMaker(&XLARX::makeModbusTranslator);
  meter_.addUnit(1);
}

MeterFixture::~MeterFixture() = default;

uint16_t MeterFixture::addDevice(const ObjList &tree, const std::string &mapBody,
                                 const std::string &name) {
  const uint16_t device = nextDevice++;
  const std::string id = std::to_string(device);
  const std::string treeFile = "tree" + id + ".dat";
  writeFile(database().translatorDirectory() / treeFile, textTreeString(tree));
  writeFile(database().translatorDirectory() / mapFileName(device), mapDocument(mapBody));
  database().exec("INSERT INTO DeviceType VALUES(" + id + ",'type" + id + "',1,'" +
                  mapFileName(device) + "')");
  database().exec("INSERT INTO Device(ID,Name,DeviceTypeID,TreeFile) VALUES(" + id + ",'" + name +
                  "'," + id + ",'" + treeFile + "')");
  return device;
}

void MeterFixture::rewriteMap(uint16_t device, const std::string &mapBody) {
  const auto path = database().translatorDirectory() / mapFileName(device);
  const auto before = std::filesystem::last_write_time(path);
  writeFile(path, mapDocument(mapBody));
  std::filesystem::last_write_time(path, before + std::chrono::seconds(1));
}

Answer MeterFixture::run(uint16_t device, const std::vector<Invocation> &program) {
  RegisteredMemoryBlob blob(kProgramBlobSize);
  auto *made = blob.make<Program>();
  for (const Invocation &invocation : program)
    made->addStatement(invocation.handle, invocation.method,
                       invocation.argument ? invocation.argument(blob) : nullptr);
  const std::vector<uint8_t> request = programRequest(device, kTranslator, *made);
  std::vector<uint8_t> answerBytes(65536);
  int32_t length = static_cast<int32_t>(answerBytes.size());
  Answer answer;
  answer.processed =
      processCall(exchange_.context(), request.data(), static_cast<int32_t>(request.size()),
                  answerBytes.data(), &length, sim::SimExchange::callback());
  if (!answer.processed || length <= 0)
    return answer;
  answerBytes.resize(static_cast<size_t>(length));
  ByteReader in(answerBytes);
  const DL_Info packet = DL_Info::read(in);
  answer.packetStatus = packet.status;
  ByteReader body(packet.data);
  ENVLMessage envelope;
  envelope.decode(body);
  const PIC_MessageImpl &reply = envelope.nodeMessage()->programMessage().impl();
  answer.replyStatus = reply.status();
  if (!reply.resultBytes().empty()) {
    RegisteredMemoryBlob results(kProgramBlobSize);
    for (const PICType *value : picCast<PICTypeContainer>(*decodePIC(reply.resultBytes(), results)))
      answer.results.push_back(oneLineText(*value));
  }
  return answer;
}

} // namespace arxmod::test
