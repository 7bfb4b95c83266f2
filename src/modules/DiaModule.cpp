// SPXP_DiaModule: which output gets which statistic, and its passes.
#include "modules/DiaModule.h"

#include "modules/CalcStatistics.h"

namespace XLARX {

void SPXP_DiaModule::initialise(const arxmod::TreeReader &tree) {
  const auto &names = statisticNames();
  for (const uint32_t output : outputs()) {
    const arxmod::ARXObj *object = tree.find(output);
    if (!object)
      continue;
    for (size_t i = 0; i < names.size(); ++i)
      if (object->name().find(names[i]) != std::string::npos) {
        published_.emplace_back(OutputRef{output, nullptr}, i);
        break;
      }
  }
}

void SPXP_DiaModule::compute(const CalcPass &pass) {
  if (!pass.statistics)
    return;
  const std::array<double, kStatisticCount> values = statisticValues(*pass.statistics);
  Cache::Access access = device().cache->access();
  for (auto &[output, index] : published_)
    storeLocked(access, output, numberValue(values[index]), pass.time, pass.tick);
}

} // namespace XLARX
