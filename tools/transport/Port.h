// Port and PortPool: one backend per port, shared by every device on it and
// by every thread, with its exchanges taken one at a time.
//
// The pool keys ports by their connection text, so two devices whose
// Port.Connection is the same text share one TCP connection or serial line.
#pragma once

#include "transport/Backend.h"
#include "transport/ConnectionText.h"

#include <map>
#include <memory>
#include <mutex>
#include <string>

namespace arxhost::transport {

class Port {
public:
  Port(std::string name, std::string connection, std::unique_ptr<Backend> backend);

  const std::string &name() const { return name_; }
  const std::string &connection() const { return connection_; }

  // One exchange with the backend; other threads wait for it to end.
  BackendResult exchange(uint8_t unit, std::span<const uint8_t> pdu, bool wantReply);

private:
  std::string name_;
  std::string connection_;
  std::mutex mutex_;
  std::unique_ptr<Backend> backend_;
};

// The backend for a parsed connection.
std::unique_ptr<Backend> makeBackend(const PortAddress &address);

class PortPool {
public:
  // The pool of the process (the host tool's).
  static PortPool &shared();

  // The port for `connection`, made on first use; ConnectionError names the
  // port and what is wrong with the text.
  std::shared_ptr<Port> port(const std::string &name, const std::string &connection);

private:
  std::mutex mutex_;
  std::map<std::string, std::shared_ptr<Port>> ports_;
};

} // namespace arxhost::transport
