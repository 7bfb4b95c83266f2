// The two translator directories (the shipped one and the operator's
// override), and the change detection of files searched in them.
//
// A file is looked for in the override directory first. FileWatch remembers
// where a file was found and its last-write time; fileChanged re-checks at
// most once per refresh period.
#pragma once

#include <cstdint>
#include <ctime>
#include <filesystem>
#include <string>

namespace arxmod {

// The directory from the host setting TranslatorOverrideDirectory
// (override true) or TranslatorDirectory, without one trailing "/"; raises
// KSXmsg "Invalid translator directory" when the setting is absent or empty.
// Each directory is read once per process and then kept.
std::string translatorDirectory(bool override);

struct FileWatch {
  std::string directory;  // where the file was last found; empty when not found
  timespec lastWrite{};   // its last-write time there
  uint32_t lastCheck = 0; // tick count of the last check
  bool checked = false;   // a check has been made
};

// Whether the named file, searched in the translator directories, changed
// since the last check recorded in `watch`.
bool fileChanged(FileWatch &watch, const std::string &name, bool force);

// Forgets the kept directories, so the next call reads the settings again
// (tests, and the plug-in at unload).
void forgetTranslatorDirectories();

} // namespace arxmod
