// run: executes a program of method invocations on a device through the
// plug-in's Process and prints each statement beside its result.
//
// The program is written in the text form of programs, one statement per
// line: a handle, a method name or number, and optionally an argument in
// the text form of values ("0x100 ARX_read_name", "0x101 129 22u"). It is
// parsed here, as a client would compile it, so that a mistake is reported
// before anything is sent.
#include "Commands.h"

#include "DeviceSession.h"
#include "ProgramText.h"
#include "frame/ResponseStatus.h"

#include <iomanip>
#include <ostream>

namespace arxhost {
namespace {

void printBytes(std::ostream &out, const char *label, const std::vector<uint8_t> &bytes) {
  out << label << " (" << bytes.size() << " bytes):";
  for (size_t i = 0; i < bytes.size(); ++i)
    out << (i % 16 ? " " : "\n  ") << std::hex << std::setw(2) << std::setfill('0')
        << unsigned(bytes[i]) << std::dec;
  out << "\n";
}

} // namespace

int runCommand(const std::filesystem::path &dbFile, const RunOptions &options, std::ostream &out) {
  DeviceSession session(dbFile, options.device, options.pluginFile, MeterNeed::Optional);
  const DeviceEntry &device = session.device();
  arxmod::RegisteredMemoryBlob blob(arxmod::kProgramBlobSize);
  const arxmod::Program &program = *parseProgram(options.program, blob);

  out << "run on " << device.name << " (device " << device.id << ", translator "
      << device.translatorName << ") through " << options.pluginFile.string() << "\n";
  if (session.connection().empty())
    out << "(the device has no connection: reads from its meter get no reply)\n";
  const ProgramOutcome outcome = session.execute(program);
  if (!outcome.processFailure.empty()) {
    out << outcome.failureText() << "\n";
    return 1;
  }
  auto result = outcome.results.begin();
  for (const arxmod::PICType *item : program.items()) {
    out << oneLine(*item) << "\n    -> ";
    out << (result != outcome.results.end() ? resultText(**result++) : "(no result)") << "\n";
  }
  out << "answer: reply status " << unsigned(outcome.replyStatus) << ", packet status "
      << outcome.packetStatus << " ("
      << XL::responseStatusText(XL::responseFromPacketStatus(outcome.packetStatus)) << ")\n";
  if (!outcome.exchangeFailure.empty())
    out << "meter: " << outcome.exchangeFailure << "\n";
  if (options.raw) {
    printBytes(out, "request envelope", outcome.requestEnvelope);
    printBytes(out, "answer envelope", outcome.answerEnvelope);
    out << "answer envelope:\n" << arxmod::toText(*outcome.answer, true) << "\n";
  }
  return 0;
}

} // namespace arxhost
