// The process-wide table of translators (number -> name and protocol
// number), read once from the host configuration database.
#pragma once

#include <cstdint>
#include <mutex>
#include <optional>
#include <string>
#include <unordered_map>

namespace arxmod {

class TranslatorTable {
public:
  static TranslatorTable &instance();
  // Destroys the process's table (at unload); the next use loads it anew.
  static void releaseInstance();

  // Empty name and protocol 0 for a number absent from the table.
  std::string name(uint16_t translatorId);
  uint16_t protocolId(uint16_t translatorId);

private:
  struct Entry {
    std::string name;
    uint16_t protocolId = 0;
  };
  Entry lookup(uint16_t translatorId);

  std::mutex lock_;
  std::optional<std::unordered_map<uint16_t, Entry>> entries_; // loaded on first use, then kept
};

} // namespace arxmod
