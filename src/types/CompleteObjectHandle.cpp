// CompleteObjectHandle: text form and conversion to typed values.
#include "types/CompleteObjectHandle.h"

#include <algorithm>
#include <charconv>
#include <cstdio>

namespace arxmod {

std::string CompleteObjectHandle::toText() const {
  char digits[16];
  std::snprintf(digits, sizeof digits, "0x%x", handle);
  return node.empty() ? std::string(digits) : std::string(digits) + "@" + node;
}

std::optional<CompleteObjectHandle> CompleteObjectHandle::fromText(std::string_view field) {
  const size_t first = field.find_first_not_of(" \t");
  if (first == std::string_view::npos)
    return std::nullopt;
  field.remove_prefix(first);
  const size_t at = field.find('@');
  std::string_view number = field.substr(0, at);
  while (!number.empty() && (number.back() == ' ' || number.back() == '\t'))
    number.remove_suffix(1);
  int base = 10;
  if (number.size() > 2 && number[0] == '0' && (number[1] == 'x' || number[1] == 'X')) {
    number.remove_prefix(2);
    base = 16;
  }
  CompleteObjectHandle result;
  const auto [end, error] =
      std::from_chars(number.data(), number.data() + number.size(), result.handle, base);
  if (number.empty() || error != std::errc() || end != number.data() + number.size())
    return std::nullopt;
  if (at != std::string_view::npos)
    result.node = std::string(field.substr(at + 1));
  return result;
}

PICType *CompleteObjectHandle::toPICType(MemoryBlob &blob) const {
  if (node.empty())
    return blob.make<UnsignedType>(handle);
  return blob.make<ExtendedHandleType>(handle, node);
}

PICType *CompleteObjectHandle::listToPICType(std::span<const CompleteObjectHandle> handles,
                                             MemoryBlob &blob) {
  const bool named = std::any_of(handles.begin(), handles.end(),
                                 [](const CompleteObjectHandle &h) { return !h.node.empty(); });
  if (named) {
    auto *array = blob.make<ExtendedHandleArrayType>();
    for (const CompleteObjectHandle &h : handles)
      array->append(blob.make<ExtendedHandleType>(h.handle, h.node));
    return array;
  }
  auto *array = blob.make<Uint32Array>(handles.size());
  std::transform(handles.begin(), handles.end(), array->elements().begin(),
                 [](const CompleteObjectHandle &h) { return h.handle; });
  return array;
}

} // namespace arxmod
