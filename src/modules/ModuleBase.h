// SPXP_ModuleBase: one virtual module, an object module of a device's tree
// that the meter lacks and the plug-in emulates once per second.
//
// A module is made from its ModuleObj (inputs, outputs and setups copied),
// checked against the tree (validate), given its first output values in
// the device's value cache (initialise) and then run pass after pass by a
// calculation engine (compute). Clients read the outputs through the same
// cache as meter values; a client write to one of its registers reaches
// controlWrite. Every module of a device shares one ModuleDevice: the
// device's number, value cache, tree and map, and its PC-side event log.
//
// Inputs are read through the input functions below, which take the
// cache's lock for each read; loops over many channels take it once with
// Cache::Access. Values written carry the pass's time and tick (CalcPass).
//
// Concurrency: compute and controlWrite run under the device's module-list
// lock (ModuleList.h), so a module's own state needs no lock of its own.
// No module holds the cache's lock while it appends to a log.
#pragma once

#include "base/KSXmsg.h"
#include "base/RefBase.h"
#include "cache/Cache.h"
#include "map/TranslationMap.h"
#include "tree/ARXObj.h"
#include "tree/RegisterObj.h"
#include "tree/TranslationTree.h"
#include "types/CompleteObjectHandle.h"
#include "types/MemoryBlob.h"
#include "types/NumericTypes.h"
#include "types/StructureTypes.h"

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace XLARX {

class LogBuffer;
struct CalcStatistics;

// What the virtual modules of one device share.
struct ModuleDevice : public arxmod::RefBase {
  // `logs` is the PC-side log buffer the modules write to; nullptr stands
  // for the process's (LogBuffer::instance(), made when first written).
  ModuleDevice(uint32_t id, arxmod::IRefPtr<Cache> valueCache,
               arxmod::IRefPtr<arxmod::TranslationTree> objectTree,
               arxmod::IRefPtr<arxmod::TranslationMap> translationMap, LogBuffer *logs = nullptr);

  LogBuffer &logBuffer() const;

  const uint32_t deviceId;
  const arxmod::IRefPtr<Cache> cache;
  const arxmod::IRefPtr<arxmod::TranslationTree> tree;
  const arxmod::IRefPtr<arxmod::TranslationMap> map;
  // The device's event log register (the first EventLog_Register that a
  // module owns), or 0 when the tree has none.
  const uint32_t eventLogHandle;

private:
  LogBuffer *const logs_;
};

// One calculation pass, as the engine hands it to every module of a device.
struct CalcPass {
  double time = 0;   // seconds since 1970-01-01 00:00 UTC
  uint32_t tick = 0; // tick count at which the pass started
  // The device's and its engine's statistics (the Diagnostics module
  // publishes them); nullptr outside an engine.
  const CalcStatistics *statistics = nullptr;
};

// A module refused by validate, or a module list that cannot be built; the
// text names the module handle.
class ModuleInvalid : public arxmod::KSXmsg {
public:
  using KSXmsg::KSXmsg;
};

// An output register of a module and, once first stored, its value in the
// cache. A cache's values never move and are never removed (a changed map
// or tree gets a new cache, and new modules with it), and the module holds
// its cache: the pointer stays good for the module's life, and later stores
// skip the look-up. It is read and written only under the cache's lock.
struct OutputRef {
  uint32_t handle = 0; // 0: none
  CacheValue *value = nullptr;
};

// A client write that a module refuses (a value of the wrong kind).
class ControlWriteRefused : public arxmod::KSXmsg {
public:
  using KSXmsg::KSXmsg;
};

class SPXP_ModuleBase : public arxmod::RefBase {
public:
  SPXP_ModuleBase(const arxmod::ModuleObj &module, arxmod::IRefPtr<ModuleDevice> device);
  ~SPXP_ModuleBase() override;

  // One calculation pass.
  virtual void compute(const CalcPass &pass) = 0;
  // A client's write of `value` to register `handle`; false when this module
  // does not handle writes to it. May raise ControlWriteRefused.
  virtual bool controlWrite(uint32_t handle, const arxmod::PICType &value);
  // Puts the module's first output values into the cache.
  virtual void initialise(const arxmod::TreeReader &tree);
  // Checks the module against the tree; raises ModuleInvalid. Accepts by default.
  virtual void validate(const arxmod::TreeReader &tree);

  uint32_t handle() const { return handle_; }
  uint32_t classNumber() const { return classNumber_; }
  const std::string &name() const { return name_; }
  const std::vector<arxmod::CompleteObjectHandle> &inputs() const { return inputs_; }
  const std::vector<uint32_t> &outputs() const { return outputs_; }
  const std::vector<uint32_t> &setups() const { return setups_; }
  const ModuleDevice &device() const { return *device_; }

  // The handle of input n; 0 when the module has no input n, the input has
  // no handle, or it names another node.
  uint32_t inputHandle(size_t n) const;

protected:
  // --- Input functions.
  // Input n as a boolean: true without input, handle or cached value;
  // false when the cached value is not a number.
  bool booleanInput(size_t n) const;
  // Input n read as a counter: true when it differs from `lastCount`, which
  // takes the new count. The first count seen sets `lastCount` without a
  // pulse. `missing` is the answer when the input or its value is missing.
  bool pulseInput(size_t n, std::optional<uint32_t> &lastCount, bool missing) const;
  // True when the cache holds a value received for input n.
  bool inputHasValue(size_t n) const;
  // Under `values`: the cache value of input n with the number it holds,
  // when the input has a handle whose value is a number other than NaN.
  struct SourceNumber {
    const CacheValue &entry;
    const arxmod::NumericType &number;
  };
  std::optional<SourceNumber> sourceNumber(Cache::Access &values, size_t n) const;
  // The first register among the outputs, then the setups, whose name
  // contains `label` (case-sensitive); nullptr when none does.
  const arxmod::RegisterObj *findOutputRegister(std::string_view label,
                                                const arxmod::TreeReader &tree) const;
  // Records an event: an EventType of `priority` whose cause is
  // (`causeHandle`, `cause`) and whose effect is (this module, `effect`),
  // in the device's event log and in the module's Event output. `cause`
  // may live in any arena.
  void raiseEvent(uint32_t priority, uint32_t causeHandle, const arxmod::PICType &cause,
                  std::string_view effect, const CalcPass &pass);
  // The same with a text as cause.
  void raiseEvent(uint32_t priority, uint32_t causeHandle, std::string_view cause,
                  std::string_view effect, const CalcPass &pass);

  // --- Outputs.
  // Under `values`: the cache value of `output`, made with flag 0x04 (so
  // clients are answered from the cache) when missing.
  static CacheValue &outputValue(Cache::Access &values, OutputRef &output);
  // Stores `value` as the value of `output`; nothing for an output without handle.
  void storeOutput(OutputRef &output, const arxmod::PICType &value, const CalcPass &pass) const;
  // The same with the cache's lock already held, with the time and tick given.
  static void storeLocked(Cache::Access &values, OutputRef &output, const arxmod::PICType &value,
                          double time, uint32_t tick);
  // Values to store, valid until the next call of the same function.
  const arxmod::Float64Type &numberValue(double value);
  const arxmod::UnsignedType &counterValue(uint32_t count);
  const arxmod::BooleanType &booleanValue(bool value);
  void storeNumber(OutputRef &output, double value, const CalcPass &pass);
  void storeCounter(OutputRef &output, uint32_t count, const CalcPass &pass);
  void storeBoolean(OutputRef &output, bool value, const CalcPass &pass);
  // Stores the "not available" value (an exception value with code 5).
  void storeNotAvailable(OutputRef &output, const CalcPass &pass) const;
  const arxmod::ExceptionType &notAvailable() const { return *notAvailable_; }

  // --- Interest in the sources' cache values (their low-speed markers):
  // taken while the module is enabled, so that the sources keep being
  // refreshed, released while it is disabled and when it is destroyed.
  // Sources the map lists but the cache lacks are added to the cache's
  // low-speed group when the module is initialised.
  void addSourcesToCache(size_t sourceCount) const;
  // Reads Enable (input `enableInput`), takes or releases the interest in
  // the first `sourceCount` inputs accordingly, and answers whether enabled.
  bool followEnable(size_t enableInput, size_t sourceCount);

  // What a Reset pulse does besides the module's own state: `cleared`
  // outputs become "not available", and the "Reset"/"Pulsed" event is
  // raised with input `resetInput` as its cause.
  void announceReset(std::span<OutputRef> cleared, size_t resetInput, const CalcPass &pass);

  // The priority of the module's events, from its "EvPriority" setup (0
  // without one); read by initialise.
  void readEventPriority(const arxmod::TreeReader &tree);
  uint32_t eventPriority() const { return eventPriority_; }

  // Raises ModuleInvalid with `message`, " handle ", the module handle and ".".
  [[noreturn]] void refuse(std::string_view message) const;

  // The pass values of initialise: now, on the process clock.
  static CalcPass initialPass();

private:
  static constexpr size_t kScratchBytes = 256;

  void setInterest(bool interested, size_t sourceCount);
  // Under `values`: the cache value of input n; nullptr without one.
  const CacheValue *inputValue(Cache::Access &values, size_t n) const;

  const arxmod::IRefPtr<ModuleDevice> device_;
  const uint32_t handle_;
  const uint32_t classNumber_;
  const std::string name_;
  std::vector<arxmod::CompleteObjectHandle> inputs_;
  std::vector<uint32_t> outputs_;
  std::vector<uint32_t> setups_;
  uint32_t eventPriority_ = 0;
  OutputRef eventOutput_; // the output of class Event_Register, if any
  // The inputs' cache values once found (see OutputRef); nullptr until then.
  mutable std::vector<const CacheValue *> inputValues_;
  bool interested_ = false;
  std::vector<uint32_t> interests_; // sources whose low-speed markers this module raised

  // Values the stores copy from; only the module's own passes and writes
  // (under the module-list lock) touch them.
  arxmod::MemoryBlob scratchBlob_{kScratchBytes};
  arxmod::Float64Type *const scratchNumber_;
  arxmod::UnsignedType *const scratchCounter_;
  arxmod::BooleanType *const scratchBoolean_;
  const arxmod::ExceptionType *const notAvailable_;
};

// " handle 0x1A2." as validation messages end.
std::string moduleHandleSuffix(uint32_t handle);

} // namespace XLARX
