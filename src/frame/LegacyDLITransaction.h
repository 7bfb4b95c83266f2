// LegacyDLITransaction: the transaction built from one Process call.
//
// It reads the host's packet, decodes its data as one envelope (the single
// request of the transaction) and keeps the packet, without its data, as the
// template of every packet written later: the answer and each packet sent
// through the exchange callback.
#pragma once

#include "arxmod/plugin.h"
#include "frame/ARXTransaction.h"
#include "frame/DL_Info.h"
#include "frame/ReplyBufferPool.h"

namespace arxmod {

class LegacyDLITransaction : public XLARX::ENVLTransaction {
public:
  // Reads one packet from `request`; raises DL_Info::DL_InfoExec "Bad Packet"
  // when its status is not 0, and KSXmsg texts for unreadable packets and
  // envelopes.
  LegacyDLITransaction(ByteReader &request, uint32_t hostContext, ArxExchangeCallback exchange,
                       int32_t capacity);

  uint32_t deviceId() const override;
  std::string deviceType() const override;
  uint16_t protocolId() const override;
  uint16_t translatorId() const override;
  std::string translatorName() const override;

  // Writes the answer packet (nothing when the host wants no reply).
  void writeAnswer(ByteWriter &out) const;

  const DL_Info &templatePacket() const;
  uint32_t context() const { return context_; }
  ArxExchangeCallback callback() const { return callback_; }
  int32_t answerCapacity() const { return answerCapacity_; }
  // The buffer offered to the callback for a reply, answerCapacity() bytes,
  // or null when the capacity is 0. Borrowed from the ReplyBufferPool at the
  // call's first exchange and kept for its later ones.
  uint8_t *replyBuffer() const;

private:
  uint32_t context_;
  ArxExchangeCallback callback_;
  int32_t answerCapacity_; // bytes; also the reply capacity offered to the callback
  DL_Info packet_;
  mutable ReplyBufferPool::Lease replyBuffer_;
};

} // namespace arxmod
