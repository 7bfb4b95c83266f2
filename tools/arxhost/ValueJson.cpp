// Typed values as JSON.
#include "ValueJson.h"

#include "Json.h"
#include "ProgramText.h"
#include "types/ArrayTypes.h"
#include "types/PICTokens.h"
#include "types/StructureArrays.h"

#include <vector>

namespace arxhost {
namespace {

std::string containerJson(const arxmod::PICTypeContainer &items) {
  std::vector<std::string> elements;
  for (const arxmod::PICType *item : items)
    elements.push_back(valueJson(*item));
  return jsonArray(elements);
}

std::string arrayJson(const arxmod::SimpleArray &array) {
  std::vector<std::string> elements;
  for (size_t i = 0; i < array.count(); ++i)
    switch (array.arrayKey()) {
    case arxmod::pic_token::kBooleanArrayKey:
      elements.push_back(jsonBool(array.elementAsInteger(i) != 0));
      break;
    case arxmod::pic_token::kFloatArrayKey:
      elements.push_back(jsonNumber(static_cast<double>(array.elementAsLongDouble(i))));
      break;
    default:
      elements.push_back(jsonInteger(array.elementAsInteger(i)));
    }
  return jsonArray(elements);
}

std::string numberJson(const arxmod::NumericType &number) {
  if (dynamic_cast<const arxmod::SignedType *>(&number))
    return jsonInteger(number.asSigned());
  if (dynamic_cast<const arxmod::UnsignedType *>(&number) ||
      dynamic_cast<const arxmod::CharType *>(&number))
    return jsonInteger(number.asUnsigned());
  return jsonNumber(number.asDouble());
}

} // namespace

std::string valueJson(const arxmod::PICType &value) {
  if (dynamic_cast<const arxmod::VoidType *>(&value))
    return "null";
  if (const auto *flag = dynamic_cast<const arxmod::BooleanType *>(&value))
    return jsonBool(flag->get() != 0);
  if (const auto *number = dynamic_cast<const arxmod::NumericType *>(&value))
    return numberJson(*number);
  if (const auto *text = dynamic_cast<const arxmod::CharArrayBase *>(&value))
    return jsonString(text->text());
  if (const auto *array = dynamic_cast<const arxmod::SimpleArray *>(&value))
    return arrayJson(*array);
  if (const auto *container = dynamic_cast<const arxmod::PICTypeContainer *>(&value))
    return containerJson(*container);
  if (const auto *structures = dynamic_cast<const arxmod::PICStrucArrayBase *>(&value))
    return containerJson(structures->items());
  if (const auto *structure = dynamic_cast<const arxmod::PICTypeStructure *>(&value);
      structure && structure->fieldCount() == 1 &&
      dynamic_cast<const arxmod::PICTypeContainer *>(structure->field(0)))
    return containerJson(structure->list());
  return jsonString(oneLine(value));
}

} // namespace arxhost
