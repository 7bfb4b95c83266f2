// Engine selection: which engine serves a transaction.
//
// An envelope transaction from the host is served by the device translator,
// after the translator name carried by its packet has been checked against
// the one this library serves; a serial transaction (device traffic) by
// LegacyDLIComm. The frame does not know the translator classes, which sit
// in higher layers: the plug-in installs a maker for them when it loads.
#pragma once

#include "base/RefBase.h"
#include "frame/Transaction.h"

#include <string_view>

namespace arxmod {

// The name of the translator this library serves, compared byte for byte.
inline constexpr std::string_view kTranslatorName = "MX4110_4120";

// Makes the device translator for an envelope transaction of `deviceId`.
using DeviceTranslatorMaker = IRefPtr<XL::Engine> (*)(XL::Transaction &transaction,
                                                      uint32_t deviceId);
void installDeviceTranslatorMaker(DeviceTranslatorMaker maker);

IRefPtr<XL::Engine> selectEngine(XL::Transaction &transaction);

} // namespace arxmod
