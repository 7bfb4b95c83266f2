// Arrays of scalars: equality, index checks, strings and the stream form.
#include "types/ArrayTypes.h"

#include "types/NibbleWriter.h"

#include <bit>

namespace arxmod {

int SimpleArray::equals(const PICType &other) const {
  const auto *array = dynamic_cast<const SimpleArray *>(&other);
  if (!array || array->count() != count())
    return 0;
  for (size_t i = 0; i < count(); ++i)
    if (array->elementAsLongDouble(i) != elementAsLongDouble(i))
      return 0;
  return 1;
}

void SimpleArray::checkIndex(size_t index) const {
  if (index >= count())
    throw BadIndex();
}

std::string CharArrayBase::text() const {
  std::string result;
  result.reserve(count());
  for (size_t i = 0; i < count(); ++i)
    result.push_back(static_cast<char>(element(i)));
  return result;
}

void CharArrayBase::printBody(std::ostream &out, std::string_view) const { out << text(); }

Char08Array *makeString(MemoryBlob &blob, std::string_view text) {
  return blob.make<Char08Array>(
      std::span<const uint8_t>(reinterpret_cast<const uint8_t *>(text.data()), text.size()));
}

static_assert(std::endian::native == std::endian::little,
              "elements are reversed from little-endian");

void encodeArray(NibbleWriter &writer, const SimpleArray &array, const void *data) {
  const size_t count = array.count();
  const unsigned width = array.elementWidth();
  if (count > UINT32_MAX / width)
    throw PICErrors(pic_error::kBufferFull);
  putKey(writer, array.arrayKey());
  writer.putArraySize(static_cast<uint32_t>(count));
  writer.putLength(static_cast<uint32_t>(count * width));
  const auto *bytes = static_cast<const uint8_t *>(data);
  // Elements in memory order become big-endian in the stream.
  for (size_t i = 0; i < count; ++i) {
    const uint8_t *element = bytes + i * width;
    for (unsigned b = width; b-- > 0;)
      writer.putByte(element[b]);
  }
}

} // namespace arxmod
