// MeterPlugin: the real plug-in, loaded with dlopen once for the test
// program, serving devices of MeterCalls.h. The plug-in reads the files of
// a device again at every call (ARXMOD_FILE_RECHECK_MS=0), since its clock
// cannot be stepped from here.
#pragma once

#include "MeterCalls.h"

namespace arxmod::test {

// The plug-in's Process.
const ProcessFunction &pluginProcess();

// Lines the plug-in wrote to its console file so far.
std::string consoleText();

} // namespace arxmod::test
