// The JSON of a result value for --json output: numbers as numbers,
// booleans as true or false, texts as strings, arrays and lists as arrays,
// a void value as null, and any other structure (a date, a range, a log
// record) as the string of its text form.
#pragma once

#include "types/PICType.h"

#include <string>

namespace arxhost {

std::string valueJson(const arxmod::PICType &value);

} // namespace arxhost
