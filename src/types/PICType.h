// PICType: the base of every typed value of the object protocol, the arena
// mix-in, the exceptions of the value family and the checked casts.
//
// Values live in a MemoryBlob and are never destroyed one by one: a value
// class holds only numbers and pointers into its own arena, so dropping the
// arena drops everything at once. A value refers to other values only inside
// its own arena (FromWrongBlob guards that); copying across arenas is
// duplicate().
//
// Typical use:
//   RegisteredMemoryBlob blob(kProgramBlobSize);
//   auto *v = blob.make<UnsignedType>(7u);
//   UnsignedType *u = picCast<UnsignedType>(someValue);   // or InvalidType
#pragma once

#include "base/KSXmsg.h"
#include "types/MemoryBlob.h"

#include <algorithm>
#include <atomic>
#include <cstddef>
#include <ios>
#include <memory>
#include <ostream>
#include <string>
#include <string_view>

namespace arxmod {

class NibbleWriter;

// A string literal usable as a template argument, for classes whose
// registered type name is part of their identity (the array classes).
template <size_t N> struct FixedName {
  char text[N];
  constexpr FixedName(const char (&s)[N]) { std::copy_n(s, N, text); }
  constexpr operator std::string_view() const { return {text, N - 1}; }
};

// Remembers the arena a value lives in. While the check is on, a value whose
// own storage is not inside the arena it names is refused; the library
// switches the check off when it starts, because it costs a walk over the
// arena's chunks for every value built.
class MixinRegisteredBlob {
public:
  class NotFromOwnBlob : public KSXmsg {
  public:
    NotFromOwnBlob() : KSXmsg("MixinRegisteredBlob must be created fromthe blob it contains") {}
  };

  explicit MixinRegisteredBlob(MemoryBlob &blob);
  MemoryBlob &blob() const noexcept { return *blob_; }

  static void setOwnBlobCheck(bool on) noexcept;
  static bool ownBlobCheck() noexcept;

private:
  MemoryBlob *blob_;
};

class PICType : public MixinRegisteredBlob {
public:
  static constexpr std::string_view kClassName = "PICType";

  class Exceptions : public KSXmsg {
  public:
    using KSXmsg::KSXmsg;
  };
  class BadIndex : public Exceptions {
  public:
    BadIndex() : Exceptions("Bad Index") {}
    BadIndex(size_t index, size_t count);
  };
  class InvalidType : public Exceptions {
  public:
    InvalidType() : Exceptions("Invalid Type") {}
    InvalidType(std::string_view className, std::string_view typeName);
  };
  class FromWrongBlob : public Exceptions {
  public:
    FromWrongBlob()
        : Exceptions("PICType::FromWrongBlob(): inserted into one from a different blob") {}
  };
  class ParseError : public Exceptions {
  public:
    explicit ParseError(std::string_view cause) : Exceptions("Parse Error " + std::string(cause)) {}
  };

  explicit PICType(MemoryBlob &blob) : MixinRegisteredBlob(blob) {}
  PICType(const PICType &) = delete;
  PICType &operator=(const PICType &) = delete;
  // Never run: values disappear with their arena.
  virtual ~PICType() = default;

  virtual std::string_view typeName() const = 0;
  virtual std::string_view familyName() const;
  // Appends the binary form (top level: programs encode here, not as values).
  virtual void encode(NibbleWriter &writer) const = 0;
  // Writes the text form at indentation `indent` (the top level uses "\n\t").
  virtual void print(std::ostream &out, std::string_view indent) const;
  // The text form as a string; `flags` are added to the stream, a negative
  // precision means "none", `oneLine` folds the text onto one line.
  virtual std::string toText(std::ios_base::fmtflags flags = {}, int precision = -1,
                             bool oneLine = false) const;
  virtual std::unique_ptr<std::string> toNewText(std::ios_base::fmtflags flags = {},
                                                 int precision = -1, bool oneLine = false) const;
  // A deep copy in `target`.
  virtual PICType *duplicate(MemoryBlob &target) const = 0;
  // Encodes where a value is expected; the program classes refuse.
  virtual void encodeAsValue(NibbleWriter &writer) const { encode(writer); }
  virtual int equals(const PICType &other) const = 0;
  virtual int differs(const PICType &other) const { return !equals(other); }

  // Named values print their family name and braces around their text.
  bool isNamed() const;

protected:
  virtual void printBody(std::ostream &out, std::string_view indent) const = 0;
  // Raises FromWrongBlob unless `value` lives in this value's arena.
  void checkSameBlob(const PICType *value) const;
};

// The family name registered for a type name ("ARXType" for "PICType",
// "noname", "string", ...); a name not in the table is its own family.
std::string_view familyNameOf(std::string_view typeName);

// Adds `flags` to a stream; a base or float format in `flags` replaces the
// stream's own.
void applyFormatFlags(std::ios_base &stream, std::ios_base::fmtflags flags);

// Text folded onto one line: line feeds, carriage returns and tabs become
// blanks and runs of blanks become one.
std::string foldToOneLine(std::string text);

template <typename T> constexpr std::string_view picClassName() {
  if constexpr (requires { T::kClassName; })
    return T::kClassName;
  else
    return "Not a NewType";
}

// Checked casts: the value as a T, or PICType::InvalidType naming both sides.
template <typename T> T *picCast(PICType *value) {
  if (!value)
    throw PICType::InvalidType();
  if (auto *result = dynamic_cast<T *>(value))
    return result;
  throw PICType::InvalidType(picClassName<T>(), value->typeName());
}
template <typename T> const T *picCast(const PICType *value) {
  return picCast<T>(const_cast<PICType *>(value));
}
template <typename T> T &picCast(PICType &value) { return *picCast<T>(&value); }
template <typename T> const T &picCast(const PICType &value) { return *picCast<T>(&value); }

// Value equality that treats two absent optional fields as equal.
bool sameValue(const PICType *a, const PICType *b);

} // namespace arxmod
