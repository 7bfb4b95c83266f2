// The text side of programs for the commands that run them (run, read,
// write, poll): parsing a program as a client compiles it, the execute
// message that carries it, and values and results on one line.
#pragma once

#include "messages/NodeMessage.h"
#include "types/MemoryBlob.h"
#include "types/ProgramTypes.h"

#include <memory>
#include <string>
#include <string_view>

namespace arxhost {

// The program of `text` (one statement a line: HANDLE METHOD [ARGUMENT]) in
// `blob`; ToolError with the parser's reason and an example when it does
// not parse.
arxmod::Program *parseProgram(const std::string &text, arxmod::MemoryBlob &blob);

// One value in the text form of values, in `blob`; ToolError naming `what`
// when the text does not parse.
arxmod::PICType *parseValue(std::string_view text, const std::string &what,
                            arxmod::MemoryBlob &blob);

// A program message that asks the device to execute `program`.
std::unique_ptr<arxmod::NodeMessage> executeMessage(const arxmod::Program &program);

// A value's text form on one line.
std::string oneLine(const arxmod::PICType &value);
// A result on one line; a failed invocation as "exception CODE: TEXT".
std::string resultText(const arxmod::PICType &result);

} // namespace arxhost
