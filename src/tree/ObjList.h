// ObjList: the object set of one tree, shared by reference count.
//
// A dictionary from handle to owned object, the tree revision named by a
// text tree, and a lock for users that walk or change the set from several
// threads (a TranslationTree takes it for every look-up). The dictionary
// starts small and is sized once after a load (sizeForCount), so that look-ups
// stay close to one bucket step for trees of tens of thousands of objects.
#pragma once

#include "base/RefBase.h"
#include "tree/ARXObj.h"

#include <memory>
#include <mutex>
#include <string>
#include <unordered_map>
#include <vector>

namespace arxmod {

class ObjList : public RefBase {
public:
  static constexpr size_t kInitialBuckets = 281;

  ObjList();

  ARXObj *find(uint32_t handle) const;
  bool contains(uint32_t handle) const { return objects_.contains(handle); }
  size_t count() const { return objects_.size(); }

  // Takes the object and sets its owner dictionary; false (and the object is
  // dropped) when the handle is already present.
  bool insert(std::unique_ptr<ARXObj> object);

  // The order in which writers visit the objects: the object with handle 2
  // (the device's root module), then the managers, the modules and every
  // other object, each group by handle so that files are reproducible.
  std::vector<const ARXObj *> writeOrder() const;
  const std::unordered_map<uint32_t, std::unique_ptr<ARXObj>> &objects() const { return objects_; }

  const std::string &revision() const { return revision_; }
  void setRevision(std::string revision) { revision_ = std::move(revision); }

  // Room for `count` objects without rehashing while a reader inserts them.
  void reserve(size_t count) { objects_.reserve(count); }
  // Rebuilds the dictionary with at least bucketCountFor(count()) buckets.
  void sizeForCount();
  size_t bucketCount() const { return objects_.bucket_count(); }

  std::mutex &lock() const { return lock_; }

private:
  std::unordered_map<uint32_t, std::unique_ptr<ARXObj>> objects_;
  std::string revision_;
  mutable std::mutex lock_;
};

// The bucket count a dictionary of `count` objects is given after a load:
// 59 up to 100 objects, rising in steps to 16001 from 12001 objects on.
size_t bucketCountFor(size_t count);

} // namespace arxmod
