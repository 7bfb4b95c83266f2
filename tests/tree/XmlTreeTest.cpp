// XML tree documents: round trips, nesting, plain values, the reader's
// messages and the text-form namespace.
#include "tree/XmlTree.h"
#include "SampleTree.h"
#include "tree/RegisterObj.h"
#include "tree/TextTree.h"
#include "tree/TreeFile.h"
#include "tree/XmlShortName.h"

#include <gtest/gtest.h>

#include <cstring>
#include <memory>

#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <sstream>

namespace arxmod {
namespace {

std::string xmlString(const pugi::xml_document &document) {
  std::ostringstream out;
  document.save(out);
  return out.str();
}

IRefPtr<ObjList> readXmlString(const std::string &xml) {
  pugi::xml_document document;
  EXPECT_TRUE(document.load_string(xml.c_str(), kTreeParseOptions));
  pugi::xml_node tree = findTreeElement(document);
  EXPECT_TRUE(tree);
  return readXmlTree(tree);
}

std::string readFailure(const std::string &xml) {
  try {
    readXmlString(xml);
  } catch (const KSXmsg &failure) {
    return failure.text();
  }
  return "no failure";
}

std::string wrap(const std::string &objects) {
  return "<XMLARXTree xmlns=\"x-schemas:x-kslsystem:/schemas/arxobjs.0.4.xml\" "
         "xmlns:t=\"x-schemas:x-kslsystem:/schemas/tree-arxobjs.0.4.xml\">" +
         objects + "</XMLARXTree>";
}

TEST(XmlTreeTest, WrittenTreeReadsBackEqual) {
  auto sample = test::makeSampleTree();
  const std::string xml = xmlString(*writeXmlTree(*sample));
  auto back = readXmlString(xml);
  ASSERT_TRUE(back);
  EXPECT_EQ(back->count(), sample->count());
  // The protected register's value is never written; everything else is.
  auto expected = test::describe(*sample);
  EXPECT_EQ(test::describe(*back), expected.replace(0, expected.find('\n'), "revision "));
  EXPECT_EQ(xmlString(*writeXmlTree(*back)), xml);
}

TEST(XmlTreeTest, OwnedRegistersAreNestedOnceAndModulesReferenced) {
  auto sample = test::makeSampleTree();
  auto document = writeXmlTree(*sample);
  pugi::xml_node root = findTreeElement(*document);
  // Top level: root module, manager, the two modules, then the plain object.
  std::vector<std::string> top;
  for (pugi::xml_node child : root.children())
    top.push_back(child.attribute("t:H").value());
  EXPECT_EQ(top, (std::vector<std::string>{"2", "3", "256", "512", "768"}));
  pugi::xml_node module = root.find_child_by_attribute("t:ARX", "t:H", "256");
  pugi::xml_node outputs = module.child("t:OH");
  EXPECT_STREQ(outputs.first_child().name(), "t:ARX");
  EXPECT_STREQ(outputs.first_child().attribute("t:VS").value(), "7.5");
  // 0x999 is in no tree: a plain handle. 0x101 was nested under 0x100 and
  // the module 0x100 is never nested, so 0x200 refers to both.
  EXPECT_STREQ(module.child("t:SH").last_child().child_value(), "2457");
  pugi::xml_node second = root.find_child_by_attribute("t:ARX", "t:H", "512");
  std::vector<std::string> refs;
  for (pugi::xml_node child : second.child("t:OH").children())
    refs.push_back(std::string(child.name()) + "=" + child.child_value());
  EXPECT_EQ(refs, (std::vector<std::string>{"t:H=257", "t:H=256"}));
  // The manager's setups refer to modules, never nest them.
  EXPECT_STREQ(root.find_child_by_attribute("t:ARX", "t:H", "3").child("t:SH").first_child().name(),
               "t:H");
  // The protected register has neither value nor plain value.
  pugi::xml_node secret =
      module.child("t:SH").find_child_by_attribute("t:ARX", "t:N", "SECPassword");
  ASSERT_TRUE(secret);
  EXPECT_FALSE(secret.child("t:V"));
  EXPECT_FALSE(secret.attribute("t:VS"));
}

TEST(XmlTreeTest, PlainValuesFollowTheRegisterFamily) {
  const struct {
    uint32_t cls;
    const char *text;
    std::optional<std::string> plain;
  } cases[] = {{25, "7.5", "7.5"},
               {23, "value -1.5e3x", "-1.5e3"},
               {26, "12u", "12"},
               {24, "no digits", ""},
               {47, "\"a\tb\x01\"", "a\tb"},
               {22, "x \"one\" \"two\" y", "one\" \"two"},
               {47, "\"only one", ""},
               {21, "true", "true"},
               {21, "false", "false"},
               {21, "1", "false"},
               {29, "1u", std::nullopt}};
  for (const auto &c : cases) {
    SCOPED_TRACE(c.text);
    EXPECT_EQ(plainValue(c.text, c.cls), c.plain);
  }
}

TEST(XmlTreeTest, ReaderMessagesNameTheElementAndHandle) {
  const struct {
    const char *objects;
    const char *message;
  } cases[] = {
      {"<t:ARX t:SA=\"RegisterObj\" t:H=\"5\"><t:Cm>a</t:Cm><t:Cm>b</t:Cm></t:ARX>",
       "Duplicate definition for element Comment. Handle: 5 (0x5)."},
      {"<t:ARX t:SA=\"RegisterObj\" t:H=\"0x1F\"><t:IH/></t:ARX>",
       "Input Handles is invalid element of Register."},
      {"<t:ARX t:SA=\"ModuleObj\" t:H=\"1\"><t:V>1</t:V><t:BN/></t:ARX>",
       "Value is invalid element of Module."},
      {"<t:ARX t:SA=\"EnumObj\" t:H=\"1\"><t:PN>x</t:PN></t:ARX>",
       "Profule Names is invalid element of Enum Register."},
      {"<t:ARX t:SA=\"ARXObj\" t:H=\"1\"><t:T>1</t:T></t:ARX>", "Time is invalid element of ARX."},
      {"<t:ARX t:SA=\"BoolObj\" t:H=\"7\"/><t:ARX t:SA=\"EnumObj\" t:H=\"7\"/>",
       "Duplicate definition for handle. Handle: 7 (0x7)."},
      {"<t:ARX t:H=\"7\"/>", "Found a node that is not recognized as an ARX definition."},
      {"<t:ARX t:SA=\"\" t:H=\"7\"/>", "Found a node that is not recognized as an ARX definition."},
  };
  for (const auto &c : cases) {
    SCOPED_TRACE(c.objects);
    EXPECT_EQ(readFailure(wrap(c.objects)), c.message);
  }
}

TEST(XmlTreeTest, ReaderAcceptsNumbersNamesAndUnknowns) {
  auto objects = readXmlString(wrap(
      "<deep><t:ARX t:SA=\"ManagerObj\" t:H=\"010\" t:CI=\"Manager_Module\" t:MC=\"PIC_Module\" "
      "t:N=\"M\" t:L=\"M\" t:Unknown=\"1\"><t:SL><t:Se t:M=\"REGISTER_READ_VALUE\" t:Lv=\"0x2\"/>"
      "<t:Se t:M=\"no_such_method\" t:Lv=\"1\"/></t:SL>"
      "<t:OH><t:H>0x20</t:H><t:ARX t:SA=\"BoolObj\" t:H=\"33\" t:CI=\"NotAClass\"/></t:OH>"
      "<t:IC><t:B t:SR=\"1\" t:ER=\"2\" t:LT=\"bogus\"><t:C>Numeric_Register</t:C>"
      "<t:C>77</t:C><t:C>Nonsense</t:C></t:B></t:IC></t:ARX></deep>"
      "<t:ARX t:SA=\"FancyObj\" t:H=\"1\"/>"));
  ASSERT_TRUE(objects);
  EXPECT_EQ(objects->count(), 2u); // the unknown kind creates nothing
  auto *manager = dynamic_cast<ManagerObj *>(objects->find(8));
  ASSERT_NE(manager, nullptr);
  EXPECT_EQ(manager->classNumber(), 2000u);
  EXPECT_EQ(manager->managedClass(), 500u);
  EXPECT_FALSE(manager->label());
  EXPECT_EQ(*manager->securityLevels(), (SecurityLevels{{21, 2}}));
  EXPECT_EQ(*manager->outputs(), (std::vector<uint32_t>{0x20, 33}));
  EXPECT_EQ(manager->inputClasses()->front(), (std::vector<uint32_t>{1, 2, 0, 23, 77}));
  EXPECT_EQ(objects->find(33)->classNumber(), 0u);
  EXPECT_EQ(objects->find(33)->owner(), objects.get());
}

// Each name sits in a heap block of exactly its size, so AddressSanitizer
// reports any read past its terminator.
TEST(XmlTreeTest, ShortNamesAreNeverReadPastTheirEnd) {
  const std::pair<const char *, size_t> cases[] = {
      {"", kNoShortName},      {"t", kNoShortName},   {"x", kNoShortName},
      {"t:", kNoShortName},    {"t:H", 'H' * 128},    {"t:SA", 'S' * 128 + 'A'},
      {"t:SAX", kNoShortName}, {"u:H", kNoShortName}, {"t:\xc3", kNoShortName}};
  for (const auto &[text, key] : cases) {
    SCOPED_TRACE(text);
    const size_t size = std::strlen(text) + 1;
    auto name = std::make_unique<char[]>(size);
    std::memcpy(name.get(), text, size);
    EXPECT_EQ(shortNameKey(name.get()), key);
  }
}

TEST(XmlTreeTest, ObjectsAreFoundAtAnyDepthInDocumentOrder) {
  auto objects = readXmlString(
      wrap("<t:ARX t:SA=\"ModuleObj\" t:H=\"1\"><t:OH><t:ARX t:SA=\"RegisterObj\" t:H=\"2\">"
           "<t:V>x<t:ARX t:SA=\"RegisterObj\" t:H=\"3\"/></t:V></t:ARX></t:OH>"
           "<t:ARX t:SA=\"RegisterObj\" t:H=\"4\"/></t:ARX>"
           "<w><t:ARX t:SA=\"FancyObj\" t:H=\"9\"><t:ARX t:SA=\"ARXObj\" t:H=\"5\"/></t:ARX></w>"
           "<t:ARX t:SA=\"ARXObj\" t:H=\"6\"/>"));
  ASSERT_TRUE(objects);
  std::vector<uint32_t> order;
  objects->forEach([&](const ARXObj &object) { order.push_back(object.handle()); });
  EXPECT_EQ(order, (std::vector<uint32_t>{1, 2, 3, 4, 5, 6}));
  EXPECT_EQ(*dynamic_cast<ModuleObj *>(objects->find(1))->outputs(), std::vector<uint32_t>{2});
  EXPECT_EQ(dynamic_cast<RegisterObj *>(objects->find(2))->valueText(), "x");
}

TEST(XmlTreeTest, DeeplyNestedDocumentsAreWalkedWithoutRecursion) {
  constexpr int kDepth = 200000;
  std::string nested;
  for (int i = 0; i < kDepth; ++i)
    nested += "<a>";
  nested += "<t:ARX t:SA=\"ARXObj\" t:H=\"7\"/>";
  for (int i = 0; i < kDepth; ++i)
    nested += "</a>";
  auto objects = readXmlString(wrap(nested));
  ASSERT_TRUE(objects);
  EXPECT_TRUE(objects->contains(7));
}

TEST(XmlTreeTest, FilesLoadInTheXmlAndTextForms) {
  // The XML form is parsed in the bytes read; a text tree, which is no XML,
  // must still reach its own parser intact.
  const IRefPtr<ObjList> sample = test::makeSampleTree();
  const auto directory = std::filesystem::temp_directory_path();
  const auto xml = directory / ("arxmod_xmltreetest_" + std::to_string(getpid()) + ".xml");
  const auto text = directory / ("arxmod_xmltreetest_" + std::to_string(getpid()) + ".dat");
  std::ofstream(xml) << xmlString(*writeXmlTree(*sample));
  std::ofstream(text) << textTreeString(*sample);
  std::string expected = test::describe(*sample);
  EXPECT_EQ(test::describe(*loadTreeFile(text)), expected);
  // The element form has no revision.
  EXPECT_EQ(test::describe(*loadTreeFile(xml)),
            expected.replace(0, expected.find('\n'), "revision "));
  std::filesystem::remove(xml);
  std::filesystem::remove(text);
}

TEST(XmlTreeTest, FilesThatCannotBeReadAreNotWellFormed) {
  const std::string expected = "File does not exist or was not well-formed.";
  for (const char *path : {"/nonexistent/tree.xml", "/tmp"}) {
    SCOPED_TRACE(path);
    try {
      loadTreeFile(path);
      ADD_FAILURE() << "loaded";
    } catch (const KSXmsg &failure) {
      EXPECT_EQ(failure.text(), expected);
    }
  }
}

TEST(XmlTreeTest, NamespacesSelectTheForm) {
  auto text = readXmlString(
      "<XMLARXTree xmlns=\"x-schemas:x-kslsystem:/schemas/arxobjs.0.0.xml\">REVISION = 1005\n"
      "saved_as_Register 0x5 classid = Numeric_Register name = &lt;3&gt;abc</XMLARXTree>");
  ASSERT_TRUE(text);
  EXPECT_EQ(text->find(5)->name(), "abc");
  EXPECT_FALSE(readXmlString("<XMLARXTree xmlns=\"urn:other\"/>"));
}

TEST(XmlTreeTest, TheExampleTreeLoadsAndWritesBack) {
  auto objects = loadTreeFile(std::string(ARXMOD_EXAMPLES_DIR) + "/mx4110_sample_tree.xml");
  EXPECT_EQ(objects->count(), 16u);
  auto *mode = dynamic_cast<EnumObj *>(objects->find(257));
  ASSERT_NE(mode, nullptr);
  EXPECT_EQ(mode->options()->at(1), "DELTA");
  EXPECT_EQ(objects->find(273)->label(), "Total Power");
  auto *minimum = dynamic_cast<ModuleObj *>(objects->find(512));
  EXPECT_EQ(*minimum->outputs(), (std::vector<uint32_t>{513, 514}));
  auto back = readXmlString(xmlString(*writeXmlTree(*objects)));
  EXPECT_EQ(test::describe(*back), test::describe(*objects));
}

} // namespace
} // namespace arxmod
