// TextTree: the text form of tree files, parsed and written.
//
// A text tree is an optional header ("REVISION = 1005", "tree_revision =
// "..."") followed by object blocks, each a "saved_as_..." keyword, the
// object's handle and one statement per attribute:
//
//   REVISION = 1005
//   saved_as_Register 0x101
//     classid = NumericVariable_Register
//     parent = 0x100
//     name = <9>Minimum 1
//     value = "7.5"
//
// Header problems are warnings; anything the parser cannot read past ends
// the parse with BadDataFile and no objects, so a damaged file never yields
// part of a tree.
#pragma once

#include "base/KSXmsg.h"
#include "base/RefBase.h"
#include "tree/ObjList.h"

#include <ostream>
#include <string>
#include <string_view>
#include <vector>

namespace arxmod {

class BadDataFile : public KSXmsg {
public:
  BadDataFile() : KSXmsg("\nARXOBJS LEVEL 1 EXCEPTION: Parse Error\n") {}
  explicit BadDataFile(std::string text) : KSXmsg(std::move(text)) {}
};

inline constexpr unsigned long kTextTreeRevision = 1005;
// Deepest nesting of blocks and braces the parser follows.
inline constexpr unsigned kMaxTextTreeDepth = 64;

// Parses a whole text tree. Header warnings go to the diagnostic trace and,
// when `warnings` is given, are appended there too.
IRefPtr<ObjList> parseTextTree(std::string_view text, std::vector<std::string> *warnings = nullptr);

// Writes every object as a text tree, in ObjList::writeOrder.
void writeTextTree(const ObjList &objects, std::ostream &out);
std::string textTreeString(const ObjList &objects);

} // namespace arxmod
