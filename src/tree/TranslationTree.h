// TranslationTree: the assembled tree of a device, as translators see it.
//
// TreeReader is the look-up interface; TranslationTree takes the ObjList's
// lock (shared) for every call and keeps the ObjList alive through its counted
// reference, so an object found stays valid while the caller holds the
// tree, even after FileManager has replaced it with a newer one.
// TranslationTreeReader answers the same look-ups without locking, for code
// that already holds the lock or owns the set alone.
//
//   IRefPtr<TranslationTree> tree = FileManager::instance().getTree(device);
//   if (const ARXObj *obj = tree->find(handle)) ...
#pragma once

#include "base/RefBase.h"
#include "tree/ObjList.h"

#include <cstdint>
#include <string>

namespace arxmod {

class TreeReader {
public:
  virtual ~TreeReader() = default;
  virtual const ARXObj *find(uint32_t handle) const = 0;
  virtual bool contains(uint32_t handle) const = 0;
  virtual size_t count() const = 0;
  virtual std::string revision() const = 0;
};

class TranslationTreeReader : public TreeReader {
public:
  explicit TranslationTreeReader(IRefPtr<ObjList> objects) : objects_(std::move(objects)) {}

  const ARXObj *find(uint32_t handle) const override { return objects_->find(handle); }
  bool contains(uint32_t handle) const override { return objects_->contains(handle); }
  size_t count() const override { return objects_->count(); }
  std::string revision() const override { return objects_->revision(); }

private:
  IRefPtr<ObjList> objects_;
};

class TranslationTree : public RefBase, public TreeReader {
public:
  explicit TranslationTree(IRefPtr<ObjList> objects);

  const ARXObj *find(uint32_t handle) const override;
  bool contains(uint32_t handle) const override;
  size_t count() const override;
  std::string revision() const override;

  // The object set, for writers and merges that take its lock themselves.
  const IRefPtr<ObjList> &objects() const { return objects_; }

  // Tells this tree from every other tree of the process, so that a map
  // prepared against a tree sees when it is handed a reloaded one, even one
  // made in the same millisecond. Never 0.
  uint64_t creationStamp() const { return creationStamp_; }

private:
  IRefPtr<ObjList> objects_;
  uint64_t creationStamp_;
};

} // namespace arxmod
