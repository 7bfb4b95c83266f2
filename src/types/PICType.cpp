// PICType: the registered names, the own-blob check, the generic text form
// and the exception texts.
#include "types/PICType.h"

#include <sstream>
#include <unordered_map>

namespace arxmod {
namespace {

std::atomic<bool> ownBlobCheckOn{true};

// (type name, family name) pairs; names absent here are their own family.
const std::unordered_map<std::string_view, std::string_view> &familyTable() {
  static const std::unordered_map<std::string_view, std::string_view> table = [] {
    std::unordered_map<std::string_view, std::string_view> t;
    for (std::string_view name :
         {"SignedType",         "UnsignedType",     "CharType",       "BooleanType",
          "Float32Type",        "Float64Type",      "Float80Type",    "DemoFloat64Type",
          "FixedPointType",     "VoidType",         "DeltaType",      "NumericType",
          "ExtendedHandleType", "MethodInvocation", "StatementType",  "Program",
          "BooleanArrayType",   "Boolean08Array",   "Boolean16Array", "Boolean32Array"})
      t.emplace(name, "noname");
    for (std::string_view name : {"CharArrayType", "Char08Array", "Char16Array", "Char32Array"})
      t.emplace(name, "string");
    for (std::string_view name : {"Sint08Array", "Sint16Array", "Sint32Array"})
      t.emplace(name, "SignedArrayType");
    for (std::string_view name : {"Uint08Array", "Uint16Array", "Uint32Array"})
      t.emplace(name, "UnsignedArrayType");
    t.emplace("PICType", "ARXType");
    return t;
  }();
  return table;
}

} // namespace

MixinRegisteredBlob::MixinRegisteredBlob(MemoryBlob &blob) : blob_(&blob) {
  if (ownBlobCheckOn.load(std::memory_order_relaxed) && !blob.contains(this))
    throw NotFromOwnBlob();
}

void MixinRegisteredBlob::setOwnBlobCheck(bool on) noexcept {
  ownBlobCheckOn.store(on, std::memory_order_relaxed);
}

bool MixinRegisteredBlob::ownBlobCheck() noexcept {
  return ownBlobCheckOn.load(std::memory_order_relaxed);
}

PICType::BadIndex::BadIndex(size_t index, size_t count)
    : Exceptions("Bad Index " + std::to_string(index) + " Should be between 0 and " +
                 std::to_string(count)) {}

PICType::InvalidType::InvalidType(std::string_view className, std::string_view typeName)
    : Exceptions("InvalidType::Invalid dynamic_cast<" + std::string(className) + ">(" +
                 std::string(typeName) + ")") {}

std::string_view familyNameOf(std::string_view typeName) {
  const auto &table = familyTable();
  auto it = table.find(typeName);
  return it == table.end() ? typeName : it->second;
}

std::string_view PICType::familyName() const { return familyNameOf(typeName()); }

bool PICType::isNamed() const {
  const std::string_view family = familyName();
  return family != "noname" && family != "string";
}

void PICType::print(std::ostream &out, std::string_view indent) const {
  out << indent;
  const bool named = isNamed();
  if (named)
    out << familyName() << indent << "{";
  printBody(out, indent);
  if (named)
    out << indent << "}";
}

std::string PICType::toText(std::ios_base::fmtflags flags, int precision, bool oneLine) const {
  std::ostringstream out;
  applyFormatFlags(out, flags);
  if (precision >= 0)
    out.precision(precision);
  print(out, "\n\t");
  return oneLine ? foldToOneLine(out.str()) : out.str();
}

std::unique_ptr<std::string> PICType::toNewText(std::ios_base::fmtflags flags, int precision,
                                                bool oneLine) const {
  return std::make_unique<std::string>(toText(flags, precision, oneLine));
}

void PICType::checkSameBlob(const PICType *value) const {
  if (value && &value->blob() != &blob())
    throw FromWrongBlob();
}

void applyFormatFlags(std::ios_base &stream, std::ios_base::fmtflags flags) {
  for (const std::ios_base::fmtflags field :
       {std::ios_base::basefield, std::ios_base::floatfield, std::ios_base::adjustfield}) {
    if (flags & field)
      stream.setf(flags & field, field);
    flags &= ~field;
  }
  stream.setf(flags);
}

std::string foldToOneLine(std::string text) {
  for (char &c : text)
    if (c == '\n' || c == '\r' || c == '\t')
      c = ' ';
  std::string folded;
  folded.reserve(text.size());
  for (char c : text)
    if (c != ' ' || folded.empty() || folded.back() != ' ')
      folded.push_back(c);
  return folded;
}

bool sameValue(const PICType *a, const PICType *b) {
  if (!a || !b)
    return a == b;
  return a->equals(*b) != 0;
}

} // namespace arxmod
