// NodeMessage: the abstract base of the node messages that an envelope
// carries, and the factory that reads one from the wire.
//
// Every node message starts with a service byte: 1 (a message is included,
// and a type byte follows that selects the class) or 2 (a poll). The base
// holds the service and type bytes and supplies the defaults of the whole
// operation set, so the translator can call any operation on any message:
// program-message operations raise NoPIC_MessageIncluded, poll operations
// raise NoPollPIC_Message, downcasts yield nullptr.
//
// Node messages belong to one envelope of one Process call and are not
// shared between threads; they carry no locks.
#pragma once

#include "base/ByteReader.h"
#include "base/ByteWriter.h"

#include <cstddef>
#include <cstdint>
#include <iosfwd>
#include <memory>

namespace arxmod {

class XLUseChannelMessage;
class TimeMessageIncluded;
class TimeMessageIncludedFull;
class ClearPIC_Messages;
class PIC_MessageIncluded;
class BufferIncluded;
class CTTPIncluded;
class PollPIC_Message;
class VerbatimIncluded;
class PIC_Message;

// Service bytes.
inline constexpr uint8_t kServiceMessageIncluded = 1;
inline constexpr uint8_t kServicePoll = 2;

class NodeMessage {
public:
  NodeMessage &operator=(const NodeMessage &) = delete;
  virtual ~NodeMessage() = default;

  // An independent deep copy: contained messages and buffers included.
  virtual std::unique_ptr<NodeMessage> copy() const = 0;

  // Writes service byte, type byte and body. The base writes the service byte.
  virtual void encode(ByteWriter &writer) const;
  // Diagnostic text; `raw` adds program bytes and packet data. The base prints nothing.
  virtual void print(std::ostream &out, bool raw) const;
  // Reads service byte, type byte and body. The base reads the service byte.
  // A short read raises UnderflowStream.
  virtual void decode(ByteReader &reader);

  virtual XLUseChannelMessage *asXLUseChannelMessage() { return nullptr; }
  virtual TimeMessageIncluded *asTimeMessageIncluded() { return nullptr; }
  virtual TimeMessageIncludedFull *asTimeMessageIncludedFull() { return nullptr; }
  virtual ClearPIC_Messages *asClearPIC_Messages() { return nullptr; }
  virtual PIC_MessageIncluded *asPIC_MessageIncluded() { return nullptr; }
  virtual BufferIncluded *asBufferIncluded() { return nullptr; }
  virtual CTTPIncluded *asCTTPIncluded() { return nullptr; }
  virtual PollPIC_Message *asPollPIC_Message() { return nullptr; }
  virtual VerbatimIncluded *asVerbatimIncluded() { return nullptr; }

  // Operations on the held program message (PIC_MessageIncluded, PollPIC_Message).
  // Mode 4 or 14 toggles execute (0x04) and create|execute|destroy (0x0E);
  // returns 1 when the actions changed, -1 otherwise.
  virtual int switchExecutionMode(int mode);
  virtual void setActions(uint16_t actions);
  virtual void setStatus(uint8_t status);
  virtual void setPid(uint16_t pid);
  virtual void setPriority(uint8_t priority);
  virtual void clearProgramAndResult();
  virtual PIC_Message &programMessage();
  const PIC_Message &programMessage() const;
  virtual uint16_t pid() const;
  virtual uint8_t status() const;
  virtual uint16_t actions() const;
  virtual uint8_t priority() const;

  // Poll controls and queries (PollPIC_Message).
  virtual void alterFrequency(uint8_t frequency);
  virtual void setPollService(uint8_t service);
  virtual void setPollPriority(uint8_t priority);
  virtual void sleep();
  virtual void awaken();
  // Like the program-message queries, these raise NoPIC_MessageIncluded by default.
  virtual bool isAsleep() const;
  virtual bool isAwake() const;
  virtual uint8_t pollFrequency() const;
  virtual uint8_t pollPriority() const;
  virtual uint8_t pollService() const;

  // TimeMessageIncludedFull takes the current time; the others ignore it.
  virtual void setToNow() {}

  // The type byte; fixed by the class for ChangePasswordMessage (31) and
  // SystemResponse (255), the poll's own type byte for PollPIC_Message.
  virtual uint8_t typeCode() const { return type_; }
  // Bytes that encode() writes for the message as it is now.
  virtual size_t encodedLength() const = 0;

  uint8_t service() const noexcept { return service_; }

protected:
  NodeMessage(uint8_t service, uint8_t type) : service_(service), type_(type) {}
  NodeMessage(const NodeMessage &) = default;

  // Service and type bytes, the frame of every service-1 message.
  void encodeFrame(ByteWriter &writer) const;
  void decodeFrame(ByteReader &reader);
  // Like decodeFrame(), for classes whose type is fixed: a type byte other
  // than type_ raises ENVL_Exception "Unexpected message type".
  void decodeFixedFrame(ByteReader &reader);
  // " type: " and the type byte in hexadecimal, two characters wide.
  void printType(std::ostream &out) const;

  uint8_t service_;
  uint8_t type_;
};

// Reads one node message. Yields nullptr when the input is exhausted, when the
// service byte is neither 1 nor 2, or when a service-1 type byte names no
// class (the latter after writing " NMm_Service = 1 NMm_MessageIncludedType = <type>"
// to std::cerr). Exceptions of the message's decode pass out unchanged.
std::unique_ptr<NodeMessage> decodeNodeMessage(ByteReader &reader);

} // namespace arxmod
