// Programs and values in their text form for the host tool.
#include "ProgramText.h"

#include "HostDatabase.h"
#include "messages/PIC_MessageIncluded.h"
#include "types/PICCodec.h"
#include "types/StructureTypes.h"
#include "types/TextParser.h"

#include <cctype>
#include <sstream>

namespace arxhost {
namespace {

constexpr uint16_t kPid = 1;

std::string trimmed(std::string text) {
  while (!text.empty() && std::isspace(static_cast<unsigned char>(text.back())))
    text.pop_back();
  return text;
}

} // namespace

arxmod::Program *parseProgram(const std::string &text, arxmod::MemoryBlob &blob) {
  const arxmod::TextParseResult parsed = arxmod::parsePICTextWithReport(text, blob);
  auto *program = dynamic_cast<arxmod::Program *>(parsed.value);
  if (!parsed.error.empty() || !program)
    throw ToolError(
        "the program does not parse (" +
        trimmed(parsed.error.empty() ? "it is not a list of statements" : parsed.error) +
        "): " + trimmed(text) +
        "\n  write one statement per line: HANDLE METHOD [ARGUMENT], for example "
        "'0x100 ARX_read_name' or '0x101 129 22u'");
  return program;
}

arxmod::PICType *parseValue(std::string_view text, const std::string &what,
                            arxmod::MemoryBlob &blob) {
  const arxmod::TextParseResult parsed = arxmod::parsePICTextWithReport(text, blob);
  if (!parsed.error.empty() || !parsed.value || dynamic_cast<const arxmod::Program *>(parsed.value))
    throw ToolError(what + " '" + std::string(text) + "' is not a value (" +
                    trimmed(parsed.error.empty() ? "it reads as statements" : parsed.error) +
                    "); write it in the text form of values, e.g. 230.5, 7u, true or a text");
  return parsed.value;
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

} // namespace arxhost
