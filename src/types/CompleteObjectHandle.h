// CompleteObjectHandle: an object handle with the name of the node that owns
// it (empty for an object of the local node), as module inputs name them.
//
// Text form "0x1a@east" (or "0x1a" without a node); as a typed value an
// ExtendedHandleType when named, else an UnsignedType.
#pragma once

#include "types/StructureArrays.h"

#include <optional>
#include <span>
#include <string>
#include <string_view>

namespace arxmod {

struct CompleteObjectHandle {
  uint32_t handle = 0;
  std::string node;

  std::string toText() const;
  // A number ("0x" hexadecimal or decimal), then, after an at sign, the node
  // name up to the end of the field; nothing when the field is not that.
  static std::optional<CompleteObjectHandle> fromText(std::string_view field);

  PICType *toPICType(MemoryBlob &blob) const;
  // An "ExtendedHandleArrayType" when any handle names a node, otherwise a
  // "Uint32Array" of the bare handles.
  static PICType *listToPICType(std::span<const CompleteObjectHandle> handles, MemoryBlob &blob);

  friend bool operator==(const CompleteObjectHandle &, const CompleteObjectHandle &) = default;
};

} // namespace arxmod
