// Envelope decode and encode for the two envelopes every Process call sees:
// a program request (PIC_MessageIncluded with a ~200-byte program) and an
// XLUseChannelMessage.
#include "messages/NodeMessages.h"

#include <benchmark/benchmark.h>

namespace arxmod {
namespace {

ENVL_Header benchHeader() {
  ENVL_Header header;
  header.setMessageId(0x1234);
  header.setFlags(ENVL_Header::kFlagRequest | ENVL_Header::kFlagNakable);
  header.setSource(ENVL_Address(5));
  header.setDestination(ENVL_Address(0x00010002));
  header.setSessionId(7);
  return header;
}

ENVLMessage programRequest() {
  auto program = std::make_unique<PIC_Message>();
  program->impl().setActions(PIC_MessageImpl::kRequest | PIC_MessageImpl::kExecute);
  program->impl().setPid(9);
  std::vector<uint8_t> bytes(200);
  for (size_t i = 0; i < bytes.size(); ++i)
    bytes[i] = static_cast<uint8_t>(i * 37);
  program->impl().setProgram(bytes);
  return ENVLMessage(benchHeader(), std::make_unique<PIC_MessageIncluded>(std::move(program)));
}

ENVLMessage channelRequest() {
  return ENVLMessage(benchHeader(), std::make_unique<XLUseChannelMessage>());
}

void decodeLoop(benchmark::State &state, const ENVLMessage &source) {
  const std::vector<uint8_t> bytes = source.encode();
  for (auto _ : state) {
    ENVLMessage envelope;
    ByteReader reader(bytes);
    envelope.decode(reader);
    benchmark::DoNotOptimize(envelope.nodeMessage());
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * bytes.size()));
}

void encodeLoop(benchmark::State &state, const ENVLMessage &source) {
  size_t size = 0;
  for (auto _ : state) {
    std::vector<uint8_t> bytes = source.encode();
    size = bytes.size();
    benchmark::DoNotOptimize(bytes.data());
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * size));
}

void BM_DecodeProgramRequest(benchmark::State &state) { decodeLoop(state, programRequest()); }
void BM_EncodeProgramRequest(benchmark::State &state) { encodeLoop(state, programRequest()); }
void BM_DecodeUseChannel(benchmark::State &state) { decodeLoop(state, channelRequest()); }
void BM_EncodeUseChannel(benchmark::State &state) { encodeLoop(state, channelRequest()); }

BENCHMARK(BM_DecodeProgramRequest);
BENCHMARK(BM_EncodeProgramRequest);
BENCHMARK(BM_DecodeUseChannel);
BENCHMARK(BM_EncodeUseChannel);

} // namespace
} // namespace arxmod
