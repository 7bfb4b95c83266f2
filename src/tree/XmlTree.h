// XmlTree: the XML form of a tree file, read and written with pugixml.
//
// The document's XMLARXTree element (at any depth) names the form by its
// namespace: the element form, one t:ARX element per object with owned
// registers optionally nested in their module's t:OH and t:SH, or the older
// form whose element text is a whole text tree.
//
//   auto doc = writeXmlTree(*objects);          // XMLARXTree with t:ARX elements
//   IRefPtr<ObjList> back = readXmlTree(*doc);  // the same objects
#pragma once

#include "base/RefBase.h"
#include "tree/ObjList.h"

#include <memory>
#include <pugixml.hpp>
#include <string>
#include <string_view>

namespace arxmod {

inline constexpr std::string_view kElementFormNamespace =
    "x-schemas:x-kslsystem:/schemas/arxobjs.0.4.xml";
inline constexpr std::string_view kTextFormNamespace =
    "x-schemas:x-kslsystem:/schemas/arxobjs.0.0.xml";
inline constexpr std::string_view kTreeNamespace =
    "x-schemas:x-kslsystem:/schemas/tree-arxobjs.0.4.xml";

// The first XMLARXTree element of the document, in document order; an empty
// node when there is none.
pugi::xml_node findTreeElement(const pugi::xml_document &document);

// The objects of a document whose XMLARXTree element was found; null when
// the element's namespace names neither form. Raises KSXmsg with the
// reader's message for a malformed object element.
IRefPtr<ObjList> readXmlTree(pugi::xml_node treeElement);

// A new document holding every object, in ObjList::writeOrder.
std::unique_ptr<pugi::xml_document> writeXmlTree(const ObjList &objects);

// The plain form of a register value text for t:VS, by register family;
// nothing for a family that has none.
std::optional<std::string> plainValue(std::string_view valueText, uint32_t classNumber);

// Parse options for tree documents: whitespace-only text of an element is
// kept, so a value of blanks survives a round trip, and an element's text is
// stored in the element itself instead of a child node. Tree files are mostly
// elements holding one number or text, so that saves a node for each (the
// reader asks for child_value(), which reads either form).
inline constexpr unsigned kTreeParseOptions =
    pugi::parse_default | pugi::parse_ws_pcdata_single | pugi::parse_embed_pcdata;

} // namespace arxmod
