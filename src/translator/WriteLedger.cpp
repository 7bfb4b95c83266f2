// WriteLedger: the write invocations of one call and their replies.
#include "translator/WriteLedger.h"

namespace XLARX {

void WriteLedger::clear() {
  records_.clear();
  followed_.clear();
}

const WriteLedger::Record *WriteLedger::find(const InvocationKey &key) const {
  const auto found = records_.find(key);
  return found == records_.end() ? nullptr : &found->second;
}

void WriteLedger::answerWithException(const InvocationKey &key, uint32_t code, std::string text) {
  Record &entry = record(key);
  entry.outcome = Outcome::Exception;
  entry.code = code;
  entry.text = std::move(text);
}

void WriteLedger::confirm(const InvocationKey &key) { record(key).outcome = Outcome::Confirmed; }

void WriteLedger::answerFrom(const InvocationKey &key, arxmod::IRefPtr<ModbusRequest> request,
                             arxmod::IRefPtr<ModbusResponse> reply) {
  Record &entry = record(key);
  entry.outcome = Outcome::Sent;
  entry.answeredBy = std::move(request);
  entry.reply = std::move(reply);
}

void WriteLedger::follow(const InvocationKey &key, arxmod::IRefPtr<ModbusRequest> request,
                         WriteRole role) {
  if (role == WriteRole::Answer) {
    Record &entry = record(key);
    entry.outcome = Outcome::Sent;
    entry.answeredBy = request;
    entry.reply = nullptr;
  }
  const ModbusRequest *address = request.get();
  followed_.insert_or_assign(address, FollowedRequest{{key, role}, std::move(request)});
}

const WriteLedger::Followed *WriteLedger::followed(const ModbusRequest &request) const {
  const auto found = followed_.find(&request);
  return found == followed_.end() ? nullptr : &found->second.followed;
}

const WriteLedger::Followed *WriteLedger::takeReply(const ModbusRequest &request,
                                                    const arxmod::IRefPtr<ModbusResponse> &reply) {
  const auto found = followed_.find(&request);
  if (found == followed_.end())
    return nullptr;
  const Followed &followed = found->second.followed;
  if (followed.role == WriteRole::Answer) {
    Record &entry = record(followed.key);
    if (entry.answeredBy.get() == &request && !entry.reply)
      entry.reply = reply;
  }
  return &followed;
}

bool isGoodReply(const ModbusResponse *reply) {
  return reply && reply->status == XL::ResponseOkay && reply->errorCode == 0;
}

} // namespace XLARX
