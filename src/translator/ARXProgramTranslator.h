// XLARX::ARXProgramTranslator: programs of method invocations, prepared
// across the passes of the engine and executed once device work is done.
//
// Each pass, every statement of every program is offered to
// prepareInvocation until it needs no further device traffic; the
// statements that are ready are remembered, so later passes only revisit
// the others. When the passes end, makeProgramResponse invokes every
// statement in order and encodes the results into one 65536-byte result
// area. A failed device exchange (status) stops all further preparation and
// becomes the answer's status instead of results.
//
// Results live in the arena of the invocation's argument, which is the
// arena of the decoded program; it is released with the PreparedProgram at
// the next begin or with the translator, so nothing outlives the call.
#pragma once

#include "base/ReentrantSharedMutex.h"
#include "translator/ARXTranslator.h"
#include "types/PICCodec.h"

#include <memory>
#include <shared_mutex>
#include <unordered_map>
#include <vector>

namespace XLARX {

struct PreparedProgram {
  std::unique_ptr<arxmod::RegisteredMemoryBlob> blob; // holds the program and the results
  arxmod::Program *program = nullptr;
  std::vector<const arxmod::Statement *> statements;
  // Statements whose invocation was prepared in this call, by index.
  std::vector<bool> prepared;
};

class ARXProgramTranslator : public Translator {
public:
  // True when the invocation can be answered without further device
  // traffic; false after adding device requests to `subTransaction`, or when
  // it is closed.
  virtual bool prepareInvocation(uint32_t handle, uint32_t method, arxmod::PICType *argument,
                                 XL::Transaction &transaction,
                                 arxmod::IRefPtr<XL::Transaction> &subTransaction) = 0;
  // The result of one invocation, allocated in the argument's arena; nullptr
  // when none could be produced.
  virtual arxmod::PICType *invoke(uint32_t handle, uint32_t method, arxmod::PICType *argument) = 0;
  virtual bool readyForPrograms(XL::Transaction & /*transaction*/,
                                arxmod::IRefPtr<XL::Transaction> & /*subTransaction*/) {
    return true;
  }
  // Held while a program is prepared for one pass and while it is executed
  // (never across a device exchange): a level whose look-ups each take a
  // shared lock takes it once here, so that the calls of many threads do
  // not contend on that lock once per look-up. Nothing by default.
  virtual std::shared_lock<arxmod::ReentrantSharedMutex> holdForProgram() { return {}; }

  void begin(XL::Transaction &transaction) override;
  void prepare(const arxmod::IRefPtr<XL::Request> &request, XL::Transaction &transaction,
               arxmod::IRefPtr<XL::Transaction> &subTransaction) override;
  void prepareProgram(const arxmod::IRefPtr<XL::Request> &request, XL::Transaction &transaction,
                      arxmod::IRefPtr<XL::Transaction> &subTransaction) override;
  arxmod::IRefPtr<XL::Response>
  makeProgramResponse(const arxmod::IRefPtr<XL::Request> &request) override;

  // Decodes the program of a program-carrying node message into a new
  // 4096-byte arena.
  static PreparedProgram extractProgram(arxmod::NodeMessage &nodeMessage);

  // invoke(), with the invocation's own failures turned into ExceptionType
  // results; everything else thrown continues to the caller.
  arxmod::PICType *invokeCapturing(uint32_t handle, uint32_t method, arxmod::PICType *argument);

protected:
  // The first failing status of a device exchange of this call (0 while none failed).
  XL::ResponseStatus status() const { return status_; }
  void setStatus(XL::ResponseStatus status) { status_ = status; }

private:
  // Encodes every statement's result; the bytes appended (ResponseBadPacket
  // is thrown when there are none).
  std::vector<uint8_t> executeProgram(const XL::Request *request);

  std::unordered_map<const XL::Request *, PreparedProgram> preparedPrograms_;
  XL::ResponseStatus status_ = XL::ResponseOkay;
};

// The program message's reply status for a response status.
uint8_t replyStatusFor(XL::ResponseStatus status);

} // namespace XLARX
