// The sample device files of examples/mx4110_4120, built into the host tool
// so that the demo needs no file beside it.
#pragma once

#include <string_view>

namespace arxhost {

extern const std::string_view kSampleTree; // tree.xml
extern const std::string_view kSampleMap;  // map.xml

} // namespace arxhost
