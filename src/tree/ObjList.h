// ObjList: the object set of one tree, shared by reference count.
//
// A dictionary from handle to owned object, the tree revision named by a
// text tree, and a lock for users that walk or change the set from several
// threads (a TranslationTree takes it for every look-up). The dictionary
// starts small and is sized once after a load (sizeForCount), so that look-ups
// stay close to one bucket step for trees of tens of thousands of objects.
//
// The dictionary is a chained hash table whose chains are indexes into one
// array of entries, kept in insertion order: a load inserts tens of thousands
// of objects, and a node allocated per entry (as std::unordered_map does)
// cost more than reading the objects, as did relinking nodes on growth.
#pragma once

#include "base/RefBase.h"
#include "tree/ARXObj.h"

#include <memory>
#include <shared_mutex>
#include <string>
#include <vector>

namespace arxmod {

// The least bucket count a dictionary of `count` objects is given after a
// load: 59 up to 100 objects, rising in steps to 16001 from 12001 objects on.
size_t bucketCountFor(size_t count);

class ObjList : public RefBase {
public:
  static constexpr size_t kInitialBuckets = 281;

  ObjList();

  ARXObj *find(uint32_t handle) const;
  bool contains(uint32_t handle) const { return find(handle) != nullptr; }
  size_t count() const { return entries_.size(); }

  // Takes the object and sets its owner dictionary; false (and the object is
  // dropped) when the handle is already present.
  bool insert(std::unique_ptr<ARXObj> object);

  // The order in which writers visit the objects: the object with handle 2
  // (the device's root module), then the managers, the modules and every
  // other object, each group by handle so that files are reproducible.
  std::vector<const ARXObj *> writeOrder() const;
  // Every object, in the order inserted.
  template <typename Visit> void forEach(Visit &&visit) const {
    for (const Entry &entry : entries_)
      visit(static_cast<const ARXObj &>(*entry.object));
  }

  const std::string &revision() const { return revision_; }
  void setRevision(std::string revision) { revision_ = std::move(revision); }

  // Rebuilds the dictionary with bucketCountFor(count()) buckets, or keeps
  // the larger table that inserts grew, so chains stay short at any size.
  void sizeForCount();
  size_t bucketCount() const { return heads_.size(); }

  // Shared by readers (look-ups and invocations), exclusive for writers
  // (merges, label updates), so readers of one tree never wait on each other.
  std::shared_mutex &lock() const { return lock_; }

private:
  static constexpr uint32_t kNoEntry = UINT32_MAX;
  struct Entry {
    uint32_t handle;
    uint32_t next; // the next entry of the same bucket, or kNoEntry
    std::unique_ptr<ARXObj> object;
  };

  size_t bucketOf(uint32_t handle) const { return handle % heads_.size(); }
  void rehash(size_t buckets);

  std::vector<Entry> entries_;
  std::vector<uint32_t> heads_; // per bucket, its first entry or kNoEntry
  std::string revision_;
  mutable std::shared_mutex lock_;
};

} // namespace arxmod
