// Seeded fuzz loops: mutated XML, text and framework trees either load or
// fail with a message, never crash, hang or leave half a tree; a tree that
// loads can be written in both forms.
#include "SampleTree.h"
#include "tree/TextTree.h"
#include "tree/TreeFile.h"
#include "tree/XmlTree.h"

#include <gtest/gtest.h>

#include <random>
#include <sstream>

namespace arxmod {
namespace {

std::string mutate(std::string input, std::mt19937 &random) {
  std::uniform_int_distribution<int> byte(0, 255);
  const int edits = 1 + static_cast<int>(random() % 8);
  for (int i = 0; i < edits && !input.empty(); ++i) {
    const size_t at = random() % input.size();
    switch (random() % 6) {
    case 0: // overwrite a byte
      input[at] = static_cast<char>(byte(random));
      break;
    case 1: // truncate
      input.resize(at);
      break;
    case 2: // insert a byte that matters to one of the forms
      input.insert(at, 1, "<>\"{}=@$0x9-.e/&\\"[random() % 17]);
      break;
    case 3: { // repeat a slice (duplicate handles, elements, nesting)
      const size_t length = std::min<size_t>(random() % 200, input.size() - at);
      input.insert(at, input.substr(at, length));
      break;
    }
    case 4: // drop a slice
      input.erase(at, random() % 40);
      break;
    default: // a large or odd count
      input.insert(at, std::to_string(random()));
      break;
    }
  }
  return input;
}

void loadOne(const std::string &bytes, std::string_view name) {
  IRefPtr<ObjList> objects;
  try {
    objects = loadTreeBytes(bytes, name);
  } catch (const KSXmsg &failure) {
    EXPECT_FALSE(failure.text().empty());
    return;
  }
  ASSERT_TRUE(objects);
  objects->forEach([&](const ARXObj &object) { ASSERT_EQ(object.owner(), objects.get()); });
  std::ostringstream xml;
  writeXmlTree(*objects)->save(xml);
  parseTextTree(textTreeString(*objects));
}

void fuzz(const std::string &seed, std::string_view name, unsigned count, unsigned salt) {
  std::mt19937 random(20261209u + salt);
  for (unsigned i = 0; i < count; ++i) {
    const std::string input = mutate(seed, random);
    SCOPED_TRACE(i);
    loadOne(input, name);
    if (::testing::Test::HasFatalFailure())
      return;
  }
}

std::string sampleXml() {
  std::ostringstream out;
  writeXmlTree(*test::makeSampleTree())->save(out);
  return out.str();
}

TEST(TreeFuzzTest, MutatedXmlTrees) { fuzz(sampleXml(), "tree.xml", 10000, 1); }

TEST(TreeFuzzTest, MutatedTextTrees) {
  fuzz(textTreeString(*test::makeSampleTree()), "tree.dat", 10000, 2);
}

TEST(TreeFuzzTest, MutatedFrameworkFiles) {
  const std::string text = textTreeString(*test::makeSampleTree());
  std::string file(kFrameworkMagic);
  file += std::string("x\0", 2);
  const uint32_t end = static_cast<uint32_t>(file.size() + 4 + text.size());
  for (int i = 0; i < 4; ++i)
    file += static_cast<char>(end >> (8 * i));
  fuzz(file + text, "tree.fwn", 2000, 3);
}

} // namespace
} // namespace arxmod
