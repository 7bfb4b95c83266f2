// PICTypeContainer: an ordered list of values of one arena, the storage of
// lists, of the list field of a log record and of arrays of structures.
//
// A singly linked list of arena nodes: appending is O(1) and never moves a
// value, and nothing is freed before the arena goes. Index access walks the
// list; loops should iterate.
#pragma once

#include "types/PICType.h"

#include <iterator>

namespace arxmod {

class PICTypeContainer final : public PICType {
  struct Node {
    PICType *value;
    Node *next;
  };

public:
  static constexpr std::string_view kClassName = "PICTypeContainer";
  using PICType::PICType;

  class const_iterator {
  public:
    using iterator_category = std::forward_iterator_tag;
    using value_type = PICType *;
    using difference_type = std::ptrdiff_t;
    using pointer = PICType *const *;
    using reference = PICType *;
    const_iterator() = default;
    explicit const_iterator(const Node *node) : node_(node) {}
    PICType *operator*() const { return node_->value; }
    const_iterator &operator++() {
      node_ = node_->next;
      return *this;
    }
    const_iterator operator++(int) {
      const_iterator old = *this;
      node_ = node_->next;
      return old;
    }
    bool operator==(const const_iterator &) const = default;

  private:
    const Node *node_ = nullptr;
  };

  // Appends a value of this arena (FromWrongBlob otherwise).
  void append(PICType *value);
  size_t count() const noexcept { return count_; }
  bool empty() const noexcept { return count_ == 0; }
  PICType *first() const noexcept { return first_ ? first_->value : nullptr; }
  PICType *last() const noexcept { return last_ ? last_->value : nullptr; }
  // BadIndex "Bad Index i Should be between 0 and count" past the end.
  PICType *at(size_t index) const;
  const_iterator begin() const noexcept { return const_iterator(first_); }
  const_iterator end() const noexcept { return const_iterator(); }

  std::string_view typeName() const override { return "PICTypeContainer"; }
  // The elements one after another without a key of the container's own
  // (the form of a result area and of a log record's list).
  void encode(NibbleWriter &writer) const override;
  PICType *duplicate(MemoryBlob &target) const override;
  // Equal to a container of the same count whose elements are equal in order.
  int equals(const PICType &other) const override;

  // Prints the elements at `indent` plus a tab, then `indent`.
  void printElements(std::ostream &out, std::string_view indent) const;

protected:
  void printBody(std::ostream &out, std::string_view indent) const override {
    printElements(out, indent);
  }

private:
  Node *first_ = nullptr;
  Node *last_ = nullptr;
  size_t count_ = 0;
};

} // namespace arxmod
