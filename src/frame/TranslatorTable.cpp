// Loads "SELECT ID,Name,ProtocolID FROM Translator" once per process. A
// failed load is not kept, so the next lookup tries again.
#include "frame/TranslatorTable.h"

#include "base/ProcessSingleton.h"
#include "host/ConfigDatabase.h"

namespace arxmod {

namespace {
constinit ProcessSingleton<TranslatorTable> table;
}

TranslatorTable &TranslatorTable::instance() { return table.get(); }

void TranslatorTable::releaseInstance() { table.release(); }

TranslatorTable::Entry TranslatorTable::lookup(uint16_t translatorId) {
  std::lock_guard guard(lock_);
  if (!entries_) {
    std::unordered_map<uint16_t, Entry> loaded;
    for (const auto &row :
         ConfigDatabase::instance().query("SELECT ID,Name,ProtocolID FROM Translator")) {
      if (row.size() < 3)
        continue;
      loaded[static_cast<uint16_t>(ConfigDatabase::toInt32(row[0]))] = {
          ConfigDatabase::toString(row[1]), static_cast<uint16_t>(ConfigDatabase::toInt32(row[2]))};
    }
    entries_ = std::move(loaded);
  }
  auto it = entries_->find(translatorId);
  return it == entries_->end() ? Entry{} : it->second;
}

std::string TranslatorTable::name(uint16_t translatorId) { return lookup(translatorId).name; }

uint16_t TranslatorTable::protocolId(uint16_t translatorId) {
  return lookup(translatorId).protocolId;
}

} // namespace arxmod
