// TreeFile: loading one tree file in whichever of its three forms it is.
//
// The form is decided per file: an XML document with an XMLARXTree element
// is an XML tree; otherwise a name containing ".fwn" (any case) is a
// framework file, a text tree wrapped in a small binary header; otherwise
// the file is a text tree.
#pragma once

#include "base/RefBase.h"
#include "tree/ObjList.h"

#include <filesystem>
#include <span>
#include <string>
#include <string_view>

namespace arxmod {

// The objects of the tree file at `path`. Raises KSXmsg with the reader's
// message, or "File does not exist or was not well-formed." when the file
// yields no object set.
IRefPtr<ObjList> loadTreeFile(const std::filesystem::path &path);

// The same for bytes already read; `name` decides the framework form.
IRefPtr<ObjList> loadTreeBytes(std::string_view bytes, std::string_view name);

// The text tree embedded in a framework file; null when the bytes are not a
// framework file or its header points outside the file.
IRefPtr<ObjList> readFrameworkFile(std::span<const uint8_t> bytes);

inline constexpr std::string_view kFrameworkMagic{"ARX_DESIGNER_FRAMEWORK\0", 23};

} // namespace arxmod
