// PICTypeContainer: appending, indexing, encoding, copying and comparing.
#include "types/PICTypeContainer.h"

namespace arxmod {

void PICTypeContainer::append(PICType *value) {
  if (!value)
    throw InvalidType();
  checkSameBlob(value);
  auto *node = static_cast<Node *>(blob().allocate(sizeof(Node)));
  *node = Node{value, nullptr};
  if (last_)
    last_->next = node;
  else
    first_ = node;
  last_ = node;
  ++count_;
}

PICType *PICTypeContainer::at(size_t index) const {
  if (index >= count_)
    throw BadIndex(index, count_);
  const Node *node = first_;
  while (index-- > 0)
    node = node->next;
  return node->value;
}

void PICTypeContainer::encode(NibbleWriter &writer) const {
  for (const PICType *value : *this)
    value->encodeAsValue(writer);
}

PICType *PICTypeContainer::duplicate(MemoryBlob &target) const {
  auto *copy = target.make<PICTypeContainer>();
  for (const PICType *value : *this)
    copy->append(value->duplicate(target));
  return copy;
}

int PICTypeContainer::equals(const PICType &other) const {
  const auto *container = dynamic_cast<const PICTypeContainer *>(&other);
  if (!container || container->count_ != count_)
    return 0;
  auto mine = begin();
  for (const PICType *theirs : *container)
    if (!(*mine++)->equals(*theirs))
      return 0;
  return 1;
}

void PICTypeContainer::printElements(std::ostream &out, std::string_view indent) const {
  const std::string inner = std::string(indent) + '\t';
  for (const PICType *value : *this)
    value->print(out, inner);
  out << indent;
}

} // namespace arxmod
