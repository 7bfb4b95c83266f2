// The exported entry points of mx4110_4120.so and what happens when the
// library is loaded and unloaded.
//
// Loading installs the console sink (standard error is redirected into it),
// switches off the own-arena check of typed values, records the library's
// own file name and installs the device translator.
// Nothing else is created until the first Process call.
#include "arxmod/plugin.h"

#include "frame/EngineSelection.h"
#include "frame/ProcessCall.h"
#include "host/Console.h"
#include "host/LibraryName.h"
#include "translator/TreeOnlyTranslator.h"
#include "types/PICType.h"

#include <dlfcn.h>

#define ARXMOD_EXPORT extern "C" __attribute__((visibility("default")))

namespace {

struct LibraryLifetime {
  LibraryLifetime() {
    arxmod::installConsole();
    // The own-arena check guards the construction of the library's static
    // values; once they exist it only costs time on every value built.
    arxmod::MixinRegisteredBlob::setOwnBlobCheck(false);
    Dl_info info{};
    if (dladdr(reinterpret_cast<const void *>(&Process), &info) && info.dli_fname)
      arxmod::setLibraryName(arxmod::libraryNameFromPath(info.dli_fname));
    arxmod::installDeviceTranslatorMaker(&XLARX::makeTreeOnlyTranslator);
  }
  ~LibraryLifetime() { arxmod::uninstallConsole(); }
};

const LibraryLifetime lifetime;

} // namespace

ARXMOD_EXPORT int Init(void) { return 1; }

ARXMOD_EXPORT int Terminate(void) { return 1; }

ARXMOD_EXPORT unsigned char Process(uint32_t context, const uint8_t *request, int32_t requestLength,
                                    uint8_t *answer, int32_t *answerLength,
                                    ArxExchangeCallback callback) {
  return arxmod::processCall(context, request, requestLength, answer, answerLength, callback) ? 1
                                                                                              : 0;
}
