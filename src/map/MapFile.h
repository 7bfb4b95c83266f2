// MapFile: reading a device type's XML map file into a TranslationMap.
//
// Elements are found by tag name anywhere in the document, in document
// order; where they sit does not matter. The read runs on the calling
// thread. Every failure raises KSXmsg with the operator-facing message: a
// document that does not parse names the file, the reason, the offending
// line of text, the line and the column; a missing required attribute
// names the file, the element and its position; the other refusals
// (duplicates, unknown names and formats, bad address blocks) name the
// field and value at fault. Nothing half-read is ever returned.
//
//   IRefPtr<TranslationMap> map = readMapFile("/opt/translators/mx4110.xml");
#pragma once

#include "base/RefBase.h"
#include "map/TranslationMap.h"

#include <filesystem>
#include <string>
#include <string_view>

namespace arxmod {

// Largest map file read (a map of 100,000 entries is about 20 MB).
inline constexpr uintmax_t kMaxMapFileBytes = 256u << 20;
// Deepest element nesting accepted.
inline constexpr size_t kMaxMapDepth = 256;

IRefPtr<TranslationMap> readMapFile(const std::filesystem::path &path);
// The same for a document already in memory; `path` names it in messages.
IRefPtr<TranslationMap> readMapBytes(std::string_view bytes, const std::string &path);

} // namespace arxmod
