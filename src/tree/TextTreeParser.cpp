// TextTreeParser: builds objects from text trees.
//
// A recursive-descent parser over TextTreeLexer with one token of look-ahead.
// Statements of a block may come in any order; a statement keyword the
// object's kind does not have ends the block, and what follows must then
// open the next block. Nested blocks (registers inside a module's outputs
// and setups) and braces are followed to kMaxTextTreeDepth levels, so a
// hostile file cannot exhaust the stack. Any error discards the whole set.
#include "tree/TextTree.h"

#include "host/DiagnosticTrace.h"
#include "tree/RegisterObj.h"
#include "tree/TextTreeLexer.h"

#include <cstdio>
#include <limits>

namespace arxmod {
namespace {

class TextTreeParser {
public:
  TextTreeParser(std::string_view text, std::vector<std::string> *warnings)
      : text_(text), lexer_(text), warnings_(warnings) {
    advance();
  }

  IRefPtr<ObjList> parse() {
    auto objects = makeRef<ObjList>();
    objects_ = objects.get();
    header();
    while (token_.kind == TokenKind::Keyword) {
      auto kind = objKindBySavedAs(token_.text);
      if (!kind)
        fail();
      block(*kind, 0);
    }
    if (token_.kind != TokenKind::End)
      fail();
    return objects;
  }

private:
  [[noreturn]] static void fail() { throw BadDataFile(); }

  void advance() { token_ = lexer_.next(); }
  bool accept(TokenKind kind) {
    if (token_.kind != kind)
      return false;
    advance();
    return true;
  }
  void expect(TokenKind kind) {
    if (!accept(kind))
      fail();
  }
  bool atKeyword(std::string_view word) const { return token_.is(TokenKind::Keyword, word); }

  void warn(const std::string &text) {
    static Diagnostic::Trace trace("DATPARSER");
    trace.enable(true);
    trace("", text);
    if (warnings_)
      warnings_->push_back(text);
  }

  void header() {
    if (!atKeyword("REVISION")) {
      warn("\nDAT PARSER WARNING: No revision number in file\n");
    } else {
      advance();
      if (!accept(TokenKind::Equals))
        warn("\nDAT PARSER WARNING: '=' expected.\n");
      if (token_.kind != TokenKind::Integer) {
        warn("\nDAT PARSER WARNING: Revision Number expected.\n");
      } else {
        const auto revision = static_cast<unsigned long>(token_.integer);
        advance();
        if (revision != kTextTreeRevision) {
          char text[96];
          std::snprintf(text, sizeof text,
                        "\nDAT PARSER WARNING: Wrong revision, got %lu, expected %lu.\n", revision,
                        kTextTreeRevision);
          warn(text);
        }
      }
    }
    if (atKeyword("tree_revision")) {
      advance();
      expect(TokenKind::Equals);
      objects_->setRevision(string());
    }
  }

  // --- values -----------------------------------------------------------

  uint32_t unsignedValue() {
    if (token_.kind != TokenKind::Integer || token_.integer < 0 ||
        token_.integer > std::numeric_limits<uint32_t>::max())
      fail();
    const auto value = static_cast<uint32_t>(token_.integer);
    advance();
    return value;
  }

  double realValue() {
    double value = 0;
    if (token_.kind == TokenKind::Real)
      value = token_.real;
    else if (token_.kind == TokenKind::Integer)
      value = static_cast<double>(token_.integer);
    else
      fail();
    advance();
    return value;
  }

  bool atString() const {
    return token_.kind == TokenKind::Quoted || token_.kind == TokenKind::Counted;
  }
  std::string string() {
    if (!atString())
      fail();
    std::string value = token_.value();
    advance();
    return value;
  }
  // One or more strings, one per line of the text.
  std::string lines() {
    std::string text = string();
    while (atString())
      text += '\n' + string();
    return text;
  }

  // A class by name or number; an unknown class word leaves the class unset.
  uint32_t classValue() {
    if (token_.kind == TokenKind::Integer)
      return unsignedValue();
    if (token_.kind == TokenKind::ClassName) {
      const uint32_t number = token_.number;
      advance();
      return number;
    }
    if (token_.kind == TokenKind::Error && !token_.text.empty() &&
        (std::isalpha(static_cast<unsigned char>(token_.text[0])) || token_.text[0] == '_')) {
      advance();
      return 0;
    }
    fail();
  }

  void openList() { expect(TokenKind::LeftBrace); }

  template <typename Item> std::vector<Item> list(Item (TextTreeParser::*item)()) {
    openList();
    std::vector<Item> items;
    while (!accept(TokenKind::RightBrace))
      items.push_back((this->*item)());
    return items;
  }

  // --- blocks -----------------------------------------------------------

  // Parses a block whose opening keyword is the current token; returns its handle.
  uint32_t block(ObjKind kind, unsigned depth) {
    if (depth > kMaxTextTreeDepth)
      fail();
    advance();
    std::unique_ptr<ARXObj> object = makeObj(kind);
    object->setHandle(unsignedValue());
    std::optional<std::string> label;
    while (token_.kind == TokenKind::Keyword && statement(*object, label, depth))
      ;
    object->setLabel(std::move(label));
    const uint32_t handle = object->handle();
    if (!objects_->insert(std::move(object))) {
      char text[64];
      std::snprintf(text, sizeof text, "\nDuplicate definition for handle: %d\n",
                    static_cast<int32_t>(handle));
      throw BadDataFile(text);
    }
    return handle;
  }

  // Reads one statement of `object`; false when the keyword is not one of
  // its kind's statements (the block ends there).
  bool statement(ARXObj &object, std::optional<std::string> &label, unsigned depth) {
    const std::string_view keyword = token_.text;
    if (keyword == "classid" || keyword == "parent" || keyword == "name" || keyword == "label" ||
        keyword == "comment" || keyword == "descriptors" || keyword == "securitylevels") {
      advance();
      common(keyword, object, label);
      return true;
    }
    if (auto *module = dynamic_cast<ModuleObj *>(&object))
      return moduleStatement(keyword, *module, depth);
    if (auto *reg = dynamic_cast<RegisterObj *>(&object))
      return registerStatement(keyword, *reg);
    return false;
  }

  void common(std::string_view keyword, ARXObj &object, std::optional<std::string> &label) {
    if (keyword == "securitylevels") {
      accept(TokenKind::Equals);
      openList();
      SecurityLevels levels;
      while (!accept(TokenKind::RightBrace)) {
        uint32_t method = 0;
        if (token_.kind == TokenKind::MethodName) {
          method = token_.number;
          advance();
        } else {
          method = unsignedValue();
        }
        levels[method] = unsignedValue();
      }
      object.setSecurityLevels(std::move(levels));
      return;
    }
    expect(TokenKind::Equals);
    if (keyword == "classid")
      object.setClassNumber(classValue());
    else if (keyword == "parent")
      object.setParent(unsignedValue());
    else if (keyword == "name")
      object.setName(string());
    else if (keyword == "label")
      label = string();
    else if (keyword == "comment")
      object.setComment(string());
    else // descriptors
      object.setDescriptors(list(&TextTreeParser::string));
  }

  bool moduleStatement(std::string_view keyword, ModuleObj &module, unsigned depth) {
    auto *manager = dynamic_cast<ManagerObj *>(&module);
    if (keyword == "inputs") {
      equals();
      module.setInputs(list(&TextTreeParser::completeHandle));
    } else if (keyword == "outputs" || keyword == "setups") {
      equals();
      openList();
      std::vector<uint32_t> handles;
      while (!accept(TokenKind::RightBrace)) {
        if (token_.kind == TokenKind::Keyword) {
          auto kind = objKindBySavedAs(token_.text);
          if (!kind)
            fail();
          handles.push_back(block(*kind, depth + 1));
        } else {
          handles.push_back(unsignedValue());
        }
      }
      (keyword == "outputs" ? module.setOutputs(std::move(handles))
                            : module.setSetups(std::move(handles)));
    } else if (keyword == "setupcount") {
      equals();
      module.setSetupCounter(unsignedValue());
    } else if (keyword == "updatecount") {
      equals();
      module.setUpdateCounter(unsignedValue());
    } else if (keyword == "update_period") {
      equals();
      module.setUpdatePeriod(string());
    } else if (keyword == "state") {
      equals();
      module.setState(unsignedValue());
    } else if (keyword == "inputnames") {
      equals();
      module.setInputNames(list(&TextTreeParser::string));
    } else if (keyword == "inputclasses") {
      equals();
      module.setInputClasses(list(&TextTreeParser::inputClassBlock));
    } else if (manager && keyword == "managedclass") {
      equals();
      manager->setManagedClass(classValue());
    } else if (manager && keyword == "aggregate_setup_counter") {
      equals();
      manager->setAggregateSetupCounter(unsignedValue());
    } else if (manager && keyword == "collective_state") {
      equals();
      manager->setCollectiveState(unsignedValue());
    } else if (manager && keyword == "capacity") {
      equals();
      manager->setCapacity(unsignedValue());
    } else {
      return false;
    }
    return true;
  }

  void equals() {
    advance();
    expect(TokenKind::Equals);
  }

  CompleteObjectHandle completeHandle() {
    CompleteObjectHandle handle{unsignedValue(), {}};
    if (token_.kind == TokenKind::NodeSuffix) {
      handle.node = token_.value();
      advance();
    }
    return handle;
  }

  // "{ start_range = a end_range = b input_type = t classes... }"
  std::vector<uint32_t> inputClassBlock() {
    openList();
    std::vector<uint32_t> inner;
    for (std::string_view field : {"start_range", "end_range"}) {
      if (!atKeyword(field))
        fail();
      equals();
      inner.push_back(unsignedValue());
    }
    if (!atKeyword("input_type"))
      fail();
    equals();
    if (token_.kind == TokenKind::Keyword) {
      auto type = inputTypeNumber(token_.text);
      if (!type)
        fail();
      inner.push_back(*type);
      advance();
    } else {
      inner.push_back(unsignedValue());
    }
    while (!accept(TokenKind::RightBrace))
      inner.push_back(classValue());
    return inner;
  }

  bool registerStatement(std::string_view keyword, RegisterObj &reg) {
    auto *calendar = dynamic_cast<CalendarObj *>(&reg);
    auto *array = dynamic_cast<ArrayRegisterObj *>(&reg);
    auto *log = dynamic_cast<LogRegisterObj *>(&reg);
    auto *eventLog = dynamic_cast<EventLogRegisterObj *>(&reg);
    if (keyword == "value") {
      equals();
      if (token_.kind == TokenKind::LeftBrace)
        reg.setStructuredValue(verbatimBlock());
      else
        reg.setValueText(lines());
    } else if (keyword == "time") {
      equals();
      reg.setTime(unsignedValue());
    } else if (calendar && keyword == "calendar_value") {
      equals();
      calendar->setCalendarValue(lines());
    } else if (calendar && keyword == "profile_value") {
      equals();
      calendar->setProfileValue(lines());
    } else if (calendar && keyword == "profile_names") {
      equals();
      calendar->setProfileNames(lines());
    } else if (calendar && keyword == "profile_labels") {
      equals();
      calendar->setProfileLabels(lines());
    } else if (calendar && keyword == "activity_depth") {
      equals();
      calendar->setActivityDepth(unsignedValue());
    } else if (array && keyword == "depth") {
      equals();
      array->setDepth(unsignedValue());
    } else if (array && keyword == "rollover") {
      equals();
      array->setRollover(unsignedValue());
    } else if (log && keyword == "position") {
      equals();
      log->setPosition(unsignedValue());
    } else if (eventLog && keyword == "alarm_rollover") {
      equals();
      eventLog->setAlarmRollover(unsignedValue());
    } else {
      return kindStatement(keyword, reg);
    }
    return true;
  }

  bool kindStatement(std::string_view keyword, RegisterObj &reg) {
    if (auto *bounded = dynamic_cast<BoundedObj *>(&reg); bounded && keyword == "boundsoptions") {
      equals();
      openList();
      Bounds bounds{};
      bounds[0] = realValue();
      bounds[1] = realValue();
      expect(TokenKind::RightBrace);
      bounded->setBounds(bounds);
    } else if (auto *en = dynamic_cast<EnumObj *>(&reg); en && keyword == "enumoptions") {
      equals();
      openList();
      Enumerations options;
      while (!accept(TokenKind::RightBrace)) {
        options.push_back(string());
        expect(TokenKind::Equals);
        unsignedValue(); // the ordinal is the option's position
      }
      en->setOptions(std::move(options));
    } else if (auto *boolean = dynamic_cast<BoolObj *>(&reg);
               boolean && (keyword == "boolnames" || keyword == "booloptions")) {
      equals();
      openList();
      BoolTexts texts;
      texts.on = optionalString();
      texts.off = optionalString();
      expect(TokenKind::RightBrace);
      (keyword == "boolnames" ? boolean->setNames(std::move(texts))
                              : boolean->setLabels(std::move(texts)));
    } else if (auto *address = dynamic_cast<AddressRegisterObj *>(&reg);
               address && keyword == "allowedclasses") {
      equals();
      openList();
      std::vector<uint32_t> classes;
      while (!accept(TokenKind::RightBrace))
        classes.push_back(classes.size() < 3 ? unsignedValue() : classValue());
      address->setAllowedClasses(std::move(classes));
    } else {
      return false;
    }
    return true;
  }

  std::optional<std::string> optionalString() {
    if (atKeyword("void")) {
      advance();
      return std::nullopt;
    }
    return string();
  }

  // The bytes between a structured value's braces, kept as they are; the
  // tokens inside are only scanned to find the matching brace.
  std::string verbatimBlock() {
    const size_t begin = token_.offset + 1;
    unsigned level = 1;
    advance();
    while (true) {
      if (token_.kind == TokenKind::End)
        fail();
      if (token_.kind == TokenKind::LeftBrace && ++level > kMaxTextTreeDepth)
        fail();
      if (token_.kind == TokenKind::RightBrace && --level == 0)
        break;
      advance();
    }
    std::string block(text_.substr(begin, token_.offset - begin));
    advance();
    return block;
  }

  std::string_view text_;
  TextTreeLexer lexer_;
  Token token_;
  ObjList *objects_ = nullptr;
  std::vector<std::string> *warnings_;
};

} // namespace

IRefPtr<ObjList> parseTextTree(std::string_view text, std::vector<std::string> *warnings) {
  return TextTreeParser(text, warnings).parse();
}

} // namespace arxmod
