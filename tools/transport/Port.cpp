// Ports, their backends and the pool that shares them.
#include "transport/Port.h"

#include "transport/RtuBackend.h"
#include "transport/TcpBackend.h"

namespace arxhost::transport {

Port::Port(std::string name, std::string connection, std::unique_ptr<Backend> backend)
    : name_(std::move(name)), connection_(std::move(connection)), backend_(std::move(backend)) {}

BackendResult Port::exchange(uint8_t unit, std::span<const uint8_t> pdu, bool wantReply) {
  std::lock_guard lock(mutex_);
  return backend_->exchange(unit, pdu, wantReply);
}

std::unique_ptr<Backend> makeBackend(const PortAddress &address) {
  if (const auto *tcp = std::get_if<TcpAddress>(&address))
    return std::make_unique<TcpBackend>(*tcp);
  return std::make_unique<RtuBackend>(std::get<RtuAddress>(address));
}

PortPool &PortPool::shared() {
  static PortPool pool;
  return pool;
}

std::shared_ptr<Port> PortPool::port(const std::string &name, const std::string &connection) {
  const PortAddress address = parseConnection(name, connection);
  std::lock_guard lock(mutex_);
  auto &entry = ports_[connection];
  if (!entry)
    entry = std::make_shared<Port>(name, connection, makeBackend(address));
  return entry;
}

} // namespace arxhost::transport
