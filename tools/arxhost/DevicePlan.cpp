// DevicePlan: the device's translator preparing a read of every mapped
// handle in this process.
#include "DevicePlan.h"

#include "base/KSXmsg.h"
#include "modbus/ModbusTransaction.h"
#include "translator/ModbusTranslator.h"
#include "types/NumericTypes.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>

namespace arxhost {
namespace {

// The device's translator, noting for which handle each Modbus request of
// the pass was made, in the order the transaction holds them.
class PlanningTranslator final : public XLARX::ModbusTranslator {
public:
  using ModbusTranslator::ModbusTranslator;

  bool prepareDeviceRequest(const arxmod::TranslationInfo &entry, const arxmod::ARXObj *object,
                            uint32_t method, arxmod::PICType *argument,
                            XL::Transaction &transaction,
                            arxmod::IRefPtr<XL::Transaction> &subTransaction) override {
    const bool ready = ModbusTranslator::prepareDeviceRequest(entry, object, method, argument,
                                                              transaction, subTransaction);
    const size_t made = subTransaction ? subTransaction->requests().size() : 0;
    requestHandles_.resize(made, entry.handle);
    return ready;
  }

  const std::vector<uint32_t> &requestHandles() const { return requestHandles_; }

private:
  std::vector<uint32_t> requestHandles_;
};

} // namespace

std::string mapAddressText(uint8_t registerClass, uint16_t offset) {
  char text[16];
  std::snprintf(text, sizeof text, "%u%05u", unsigned{registerClass}, unsigned{offset} + 1);
  return text;
}

DevicePlan planDevice(HostDatabase &database, const DeviceEntry &device) {
  // The translator finds the device's files through the host database.
  setenv("ARXMOD_HOST_DB", std::filesystem::absolute(database.file()).c_str(), 1);
  const auto deviceId = static_cast<uint32_t>(device.id);
  DevicePlan plan;
  try {
    auto translator = arxmod::makeRef<PlanningTranslator>(deviceId);
    auto transaction = arxmod::makeRef<XL::Transaction>();
    translator->begin(*transaction);
    arxmod::MemoryBlob blob(64);
    arxmod::PICType *noArgument = blob.make<arxmod::VoidType>();
    arxmod::IRefPtr<XL::Transaction> sub;
    // Ahead of a client's reads, a pass refreshes what the cache holds.
    translator->readyForPrograms(*transaction, sub);
    const auto &map = translator->map();
    for (const auto &entry : map->entries())
      translator->prepareInvocation(entry->handle, 21, noArgument, *transaction, sub);
    if (const auto &config = map->transactionConfig()) {
      plan.maxRegisters = config->maxRequestRegisters;
      plan.scatteredReads = config->scatteredReadSupported;
    }
    const auto *modbus = dynamic_cast<const XLARX::ModbusTransaction *>(sub.get());
    if (!modbus)
      return plan;
    const std::vector<uint32_t> &handles = translator->requestHandles();
    std::vector<uint32_t> all(handles);
    std::sort(all.begin(), all.end());
    plan.handles = static_cast<size_t>(std::unique(all.begin(), all.end()) - all.begin());
    for (XLARX::PlannedMessage &message : modbus->plan()) {
      PlannedRead read;
      read.unit = message.unit != 0 ? message.unit : static_cast<uint32_t>(device.unit);
      for (const size_t index : message.requests)
        if (index < handles.size() && std::find(read.handles.begin(), read.handles.end(),
                                                handles[index]) == read.handles.end())
          read.handles.push_back(handles[index]);
      read.message = std::move(message);
      plan.messages.push_back(std::move(read));
    }
  } catch (const arxmod::KSXmsg &e) {
    throw ToolError("device '" + device.name + "': " + e.what());
  }
  return plan;
}

} // namespace arxhost
