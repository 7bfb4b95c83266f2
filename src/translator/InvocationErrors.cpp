// Building the ExceptionType results of failed invocations.
#include "translator/InvocationErrors.h"

namespace XLARX {

arxmod::ExceptionType *exceptionResult(arxmod::MemoryBlob &blob, uint32_t code,
                                       arxmod::PICType *value) {
  auto *result = blob.make<arxmod::ExceptionType>();
  result->setCode(code);
  if (value)
    result->setValue(value);
  return result;
}

} // namespace XLARX
