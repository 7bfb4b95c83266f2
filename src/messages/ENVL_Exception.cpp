// Throw traces of the node-message layer.
#include "messages/ENVL_Exception.h"

#include <iostream>

namespace arxmod {

void traceThrow(std::string_view unit, SourceLine where) {
  std::cerr << "\nThrow in " << unit << " at " << where.line();
}

} // namespace arxmod
