// LogReads: methods 21 and 40 on log registers.
#include "logs/LogReads.h"

#include "logs/RecorderFactory.h"
#include "types/NumericTypes.h"

namespace XLARX {

using namespace arxmod;

bool isLogRead(uint32_t handle, uint32_t method, const TreeReader &tree) {
  return (method == kRegisterReadValue || method == kLogRegReadPosition) &&
         logRegisterOf(tree, handle) != nullptr;
}

PICType *answerLogRead(LogBuffer &logs, uint32_t device, uint32_t handle, uint32_t method,
                       const PICType *argument, const TreeReader &tree, MemoryBlob &blob) {
  if (method != kRegisterReadValue && method != kLogRegReadPosition)
    return nullptr;
  const std::optional<uint32_t> position = logs.RecordedPosition(device, handle, tree);
  if (!position)
    return nullptr;
  if (method == kLogRegReadPosition)
    return blob.make<UnsignedType>(*position);
  return logs.GetLogs(device, handle, tree, argument, blob);
}

} // namespace XLARX
