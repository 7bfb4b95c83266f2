// Programs encoded as a host encodes them, and the execute request packet:
// the program in a PIC message in an envelope, for translator 1 and a device.
#include "ProgramRequest.h"

#include "frame/DL_Info.h"
#include "messages/ENVLMessage.h"
#include "messages/PIC_MessageIncluded.h"
#include "types/MemoryBlob.h"
#include "types/PICCodec.h"
#include "types/ProgramTypes.h"

#include <memory>

namespace arxmod::bench {

std::vector<uint8_t> programBytes(const std::vector<HandleMethod> &statements) {
  RegisteredMemoryBlob blob(kProgramBlobSize);
  auto *program = blob.make<Program>();
  for (const auto &[handle, method] : statements)
    program->addStatement(handle, method);
  std::vector<uint8_t> bytes(4096);
  bytes.resize(encodePIC(*program, bytes));
  return bytes;
}

std::vector<uint8_t> executeRequest(uint16_t device, const std::vector<uint8_t> &programBytes) {
  auto message = std::make_unique<PIC_Message>();
  message->impl().setActions(PIC_MessageImpl::kRequest | PIC_MessageImpl::kExecute);
  message->impl().setProgram(programBytes);
  auto envelope = makeRef<ENVLMessage>();
  envelope->header().setFlags(0x01);
  envelope->setNodeMessage(std::make_unique<PIC_MessageIncluded>(std::move(message)));
  DL_Info packet;
  packet.translatorId = 1;
  packet.deviceId = device;
  packet.data = envelope->encode();
  return packet.toBytes();
}

void throughputRuns(benchmark::internal::Benchmark *runs) {
  runs->Threads(1)->Threads(2)->Threads(4)->UseRealTime()->Repetitions(5)->ReportAggregatesOnly(
      true);
}

} // namespace arxmod::bench
