// Engine selection and the installed device translator maker.
#include "frame/EngineSelection.h"

#include "base/KSXmsg.h"
#include "frame/ARXTransaction.h"
#include "frame/LegacyDLIComm.h"
#include "host/LibraryName.h"

#include <atomic>

namespace arxmod {
namespace {
std::atomic<DeviceTranslatorMaker> installedMaker{nullptr};
}

void installDeviceTranslatorMaker(DeviceTranslatorMaker maker) { installedMaker.store(maker); }

IRefPtr<XL::Engine> selectEngine(XL::Transaction &transaction) {
  if (dynamic_cast<XLARX::ENVLTransaction *>(&transaction)) {
    const std::string name = transaction.translatorName();
    if (name != kTranslatorName)
      throw KSXmsg("Translator '" + name + "' not supported by " + libraryName());
    DeviceTranslatorMaker maker = installedMaker.load();
    if (!maker)
      throw KSXmsg("No device translator is installed in " + libraryName());
    return maker(transaction, transaction.deviceId());
  }
  if (dynamic_cast<XL::SerialTransaction *>(&transaction))
    return makeRef<LegacyDLIComm>();
  throw KSXmsg("Unsupported transaction");
}

} // namespace arxmod
