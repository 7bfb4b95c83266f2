// XLARX::ARXProgramTranslator: program preparation across passes, program
// execution and the program answer.
#include "translator/ARXProgramTranslator.h"

#include "base/KSXmsg.h"
#include "messages/PIC_MessageIncluded.h"
#include "translator/InvocationErrors.h"

namespace XLARX {

using arxmod::IRefPtr;
using arxmod::PIC_MessageImpl;

uint8_t replyStatusFor(XL::ResponseStatus status) {
  switch (status) {
  case XL::ResponseOkay:
    return PIC_MessageImpl::kGood;
  case XL::ResponseTimeout:
    return PIC_MessageImpl::kTimeout;
  case XL::ResponseSiteNotConnected:
    return PIC_MessageImpl::kSiteNotConnected;
  case XL::ResponseSiteNotResponding:
    return PIC_MessageImpl::kSiteNotResponding;
  default:
    return PIC_MessageImpl::kBadProgram;
  }
}

void ARXProgramTranslator::begin(XL::Transaction &transaction) {
  status_ = XL::ResponseOkay;
  preparedPrograms_.clear();
  Translator::begin(transaction);
}

void ARXProgramTranslator::prepare(const IRefPtr<XL::Request> &request,
                                   XL::Transaction &transaction,
                                   IRefPtr<XL::Transaction> &subTransaction) {
  // Once an exchange of this call has failed, no further device work is done.
  if (status_ != XL::ResponseOkay) {
    markHandled(request);
    return;
  }
  Translator::prepare(request, transaction, subTransaction);
}

void ARXProgramTranslator::prepareProgram(const IRefPtr<XL::Request> &request,
                                          XL::Transaction &transaction,
                                          IRefPtr<XL::Transaction> &subTransaction) {
  arxmod::NodeMessage &message = nodeMessageOf(arxRequest(request));
  if (message.typeCode() == kChannelMessageType) {
    if (readyForPrograms(transaction, subTransaction))
      markHandled(request);
    return;
  }
  const uint16_t actions = message.actions();
  if (!(actions & PIC_MessageImpl::kRequest))
    throw arxmod::KSXmsg("Not a request");
  if (!(actions & PIC_MessageImpl::kExecute)) {
    markHandled(request);
    return;
  }
  const auto closed = [&subTransaction] { return subTransaction && subTransaction->closed(); };
  const auto held = holdForProgram();
  if (!readyForPrograms(transaction, subTransaction) || closed())
    return;

  auto found = preparedPrograms_.find(request.get());
  if (found == preparedPrograms_.end())
    found = preparedPrograms_.emplace(request.get(), extractProgram(message)).first;

  PreparedProgram &program = found->second;
  size_t completed = 0;
  for (size_t index = 0; index < program.statements.size(); ++index) {
    if (program.prepared[index]) {
      ++completed;
      continue;
    }
    const arxmod::Statement *statement = program.statements[index];
    const arxmod::MethodInvocation &invocation = *statement->invocation();
    bool ready = false;
    for (;;) {
      const size_t queued = subTransaction ? subTransaction->requests().size() : 0;
      ready = prepareInvocation(statement->handle(), invocation.method(), invocation.argument(),
                                transaction, subTransaction);
      // Ask again only while the previous call made progress: a level that
      // answers false without queueing anything would otherwise be asked
      // forever within one pass.
      const size_t now = subTransaction ? subTransaction->requests().size() : 0;
      if (ready || closed() || now == queued)
        break;
    }
    if (ready) {
      program.prepared[index] = true;
      ++completed;
    }
    if (closed())
      break;
  }
  if (completed == program.statements.size())
    markHandled(request);
}

PreparedProgram ARXProgramTranslator::extractProgram(arxmod::NodeMessage &nodeMessage) {
  auto *carrier = dynamic_cast<arxmod::ProgramCarrier *>(&nodeMessage);
  if (!carrier || !carrier->hasProgramMessage())
    throw arxmod::KSXmsg("Missing PIC Message");
  const auto bytes = carrier->programMessage().impl().programBytes();
  if (bytes.empty())
    throw arxmod::KSXmsg("Missing ARX Program");
  PreparedProgram prepared;
  prepared.blob = std::make_unique<arxmod::RegisteredMemoryBlob>(arxmod::kProgramBlobSize);
  prepared.program = arxmod::decodeProgram(bytes, *prepared.blob);
  prepared.statements.reserve(prepared.program->structureCount());
  for (arxmod::PICType *item : prepared.program->items())
    prepared.statements.push_back(static_cast<const arxmod::Statement *>(item));
  prepared.prepared.assign(prepared.statements.size(), false);
  return prepared;
}

arxmod::PICType *ARXProgramTranslator::invokeCapturing(uint32_t handle, uint32_t method,
                                                       arxmod::PICType *argument) {
  arxmod::MemoryBlob &blob = argument->blob();
  arxmod::PICType *result = nullptr;
  try {
    result = invoke(handle, method, argument);
  } catch (const MappedARXException &failure) {
    result = failure.text().empty()
                 ? exceptionResult(blob, failure.code())
                 : blob.make<arxmod::ExceptionType>(failure.code(), failure.text());
  } catch (Except_type code) {
    result = exceptionResult(blob, code);
  }
  return result ? result : blob.make<arxmod::ExceptionType>(3u, "Unknown error");
}

std::vector<uint8_t> ARXProgramTranslator::executeProgram(const XL::Request *request) {
  const auto found = preparedPrograms_.find(request);
  if (found == preparedPrograms_.end())
    throw arxmod::KSXmsg("Program missing");
  const auto held = holdForProgram();
  arxmod::ResultArea results;
  for (const arxmod::Statement *statement : found->second.statements) {
    const arxmod::MethodInvocation &invocation = *statement->invocation();
    // A result that does not fit raises PICType::ParseError, ending the call.
    results.append(
        *invokeCapturing(statement->handle(), invocation.method(), invocation.argument()));
  }
  if (results.size() == 0)
    throw XL::ResponseBadPacket;
  const auto bytes = results.bytes();
  return {bytes.begin(), bytes.end()};
}

IRefPtr<XL::Response>
ARXProgramTranslator::makeProgramResponse(const IRefPtr<XL::Request> &request) {
  const ARXRequest &arx = arxRequest(request);
  arxmod::NodeMessage &message = nodeMessageOf(arx);
  if (message.typeCode() == kChannelMessageType)
    return arxmod::makeRef<ARXResponse>(arx.message(), XL::ResponseBadPacket);
  auto *included = message.asPIC_MessageIncluded();
  if (!included || !included->hasProgramMessage())
    throw arxmod::KSXmsg("Invalid request");
  const PIC_MessageImpl &asked = included->programMessage().impl();
  if (!asked.isRequest())
    throw arxmod::KSXmsg("Not a request");

  uint16_t actions = asked.actions() & ~PIC_MessageImpl::kRequest;
  XL::ResponseStatus resultStatus = status_;
  auto answer = std::make_unique<arxmod::PIC_Message>();
  PIC_MessageImpl &reply = answer->impl();
  const auto refuse = [&](XL::ResponseStatus raised) {
    actions &= ~PIC_MessageImpl::kExecute;
    resultStatus = raised;
    reply.clearProgramAndResult();
  };
  try {
    if (actions & PIC_MessageImpl::kExecute) {
      if (status_ != XL::ResponseOkay)
        throw status_;
      reply.setResult(executeProgram(request.get()));
      resultStatus = XL::ResponseOkay;
    } else if (actions & PIC_MessageImpl::kEcho) {
      // A reply carries the echoed program in its program field, the only
      // field a reply without execution sends.
      resultStatus = XL::ResponseOkay;
      reply.setProgram(asked.programBytes());
    } else {
      resultStatus = XL::ResponseOkay;
      actions = 0;
    }
  } catch (XL::ResponseStatus raised) {
    refuse(raised);
  }
  // Only a raised status becomes the answer's status. Anything else goes on
  // to Process's failure table as what it is: a KSXmsg (the typed values'
  // and the decoder's families, such as the parse error of results that do
  // not fit, among them) ends the call with its own text; std::bad_alloc, a
  // programming error or any other exception is logged there as an
  // unexpected one rather than passed off as a bad program.

  reply.setActions(actions);
  reply.setPid(asked.pid());
  reply.setFrequency(asked.frequency());
  reply.setPriority(asked.priority());
  reply.setStatus(replyStatusFor(resultStatus));
  auto envelope = arxmod::ENVLMessage::makeReply(
      arx.message()->header(), std::make_unique<arxmod::PIC_MessageIncluded>(std::move(answer)));
  return arxmod::makeRef<ARXResponse>(std::move(envelope), resultStatus);
}

} // namespace XLARX
