// run: executes a program of method invocations on a device through the
// plug-in's Process and prints each statement beside its result.
//
// The program is written in the text form of programs, one statement per
// line: a handle, a method name or number, and optionally an argument in
// the text form of values ("0x100 ARX_read_name", "0x101 129 22u"). It is
// parsed here, as a client would compile it, so that a mistake is reported
// before anything is sent.
#include "Commands.h"

#include "PluginCall.h"
#include "frame/ResponseStatus.h"
#include "messages/ENVLMessage.h"
#include "messages/PIC_MessageIncluded.h"
#include "types/PICCodec.h"
#include "types/TextParser.h"

#include <cctype>
#include <iomanip>
#include <ostream>
#include <sstream>

namespace arxhost {
namespace {

constexpr uint16_t kPid = 1;

// A value's text form on one line.
std::string oneLine(const arxmod::PICType &value) {
  std::ostringstream text;
  value.print(text, "\n");
  std::string folded = arxmod::foldToOneLine(text.str());
  folded.erase(0, folded.find_first_not_of(' '));
  return folded;
}

std::string resultText(const arxmod::PICType &result) {
  if (const auto *failure = dynamic_cast<const arxmod::ExceptionType *>(&result)) {
    std::string text = "exception " + std::to_string(failure->code());
    if (!failure->text().empty())
      text += ": " + failure->text();
    return text;
  }
  return oneLine(result);
}

void printBytes(std::ostream &out, const char *label, const std::vector<uint8_t> &bytes) {
  out << label << " (" << bytes.size() << " bytes):";
  for (size_t i = 0; i < bytes.size(); ++i)
    out << (i % 16 ? " " : "\n  ") << std::hex << std::setw(2) << std::setfill('0')
        << unsigned(bytes[i]) << std::dec;
  out << "\n";
}

arxmod::Program *parseProgram(const std::string &text, arxmod::MemoryBlob &blob) {
  const arxmod::TextParseResult parsed = arxmod::parsePICTextWithReport(text, blob);
  auto *program = dynamic_cast<arxmod::Program *>(parsed.value);
  if (!parsed.error.empty() || !program) {
    std::string reason = parsed.error.empty() ? "it is not a list of statements" : parsed.error;
    while (!reason.empty() && reason.back() == '\n')
      reason.pop_back();
    std::string shown = text;
    while (!shown.empty() && std::isspace(static_cast<unsigned char>(shown.back())))
      shown.pop_back();
    throw ToolError("the program does not parse (" + reason + "): " + shown +
                    "\n  write one statement per line: HANDLE METHOD [ARGUMENT], for example "
                    "'0x100 ARX_read_name' or '0x101 129 22u'");
  }
  return program;
}

std::unique_ptr<arxmod::NodeMessage> executeMessage(const arxmod::Program &program) {
  std::vector<uint8_t> bytes(arxmod::kResultAreaSize);
  bytes.resize(arxmod::encodePIC(program, bytes));
  auto message = std::make_unique<arxmod::PIC_Message>();
  message->impl().setActions(arxmod::PIC_MessageImpl::kRequest | arxmod::PIC_MessageImpl::kExecute);
  message->impl().setPid(kPid);
  message->impl().setProgram(bytes);
  return std::make_unique<arxmod::PIC_MessageIncluded>(std::move(message));
}

void showResults(const arxmod::Program &program, const arxmod::PIC_MessageImpl &reply,
                 std::ostream &out) {
  arxmod::RegisteredMemoryBlob blob(arxmod::kProgramBlobSize);
  const auto *results = reply.resultBytes().empty()
                            ? nullptr
                            : &arxmod::picCast<arxmod::PICTypeContainer>(
                                  *arxmod::decodePIC(reply.resultBytes(), blob));
  auto result = results ? results->begin() : arxmod::PICTypeContainer::const_iterator();
  for (const arxmod::PICType *item : program.items()) {
    out << oneLine(*item) << "\n    -> ";
    if (results && result != results->end())
      out << resultText(**result++) << "\n";
    else
      out << "(no result)\n";
  }
}

} // namespace

int runCommand(const std::filesystem::path &dbFile, const RunOptions &options, std::ostream &out) {
  auto database = HostDatabase::open(dbFile);
  const DeviceEntry device = database.device(options.device);
  arxmod::RegisteredMemoryBlob blob(arxmod::kProgramBlobSize);
  const arxmod::Program &program = *parseProgram(options.program, blob);

  out << "run on " << device.name << " (device " << device.id << ", translator "
      << device.translatorName << ") through " << options.pluginFile.string() << "\n";
  const auto request = requestPacket(device, executeMessage(program));
  const auto answer = callPlugin(database, device, options.pluginFile, request, out);
  if (!answer)
    return 1;

  arxmod::ByteReader body(answer->data);
  auto envelope = arxmod::makeRef<arxmod::ENVLMessage>();
  envelope->decode(body);
  const arxmod::PIC_MessageImpl &reply = envelope->nodeMessage()->programMessage().impl();
  showResults(program, reply, out);
  out << "answer: reply status " << unsigned(reply.status()) << ", packet status " << answer->status
      << " (" << XL::responseStatusText(XL::responseFromPacketStatus(answer->status)) << ")\n";
  if (options.raw) {
    arxmod::ByteReader requestIn(request);
    printBytes(out, "request envelope", arxmod::DL_Info::read(requestIn).data);
    printBytes(out, "answer envelope", answer->data);
    out << "answer envelope:\n" << arxmod::toText(*envelope, true) << "\n";
  }
  return 0;
}

} // namespace arxhost
