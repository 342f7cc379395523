// The XML reader: nesting, repeated names, attributes, the one text buffer
// shared by the document, and refusal of documents that are not
// well-formed.

#include "web/XMLReader.h"

#include <gtest/gtest.h>

namespace klik::test {
namespace {

Dictionary parse(const std::string& xml) {
    std::string error;
    auto d = XMLReader::dictionaryForXMLString(xml, &error);
    EXPECT_TRUE(d.has_value()) << error;
    return d.value_or(Dictionary{});
}

TEST(XMLReader, ElementsNestWithTheirTextUntrimmedAndRepeatedNamesBecomeAnArray) {
    const Dictionary d = parse("<sitting>\n  <email>a@b.c</email>\n</sitting>");
    const Value doc(d);
    const Value& sitting = doc["sitting"];
    ASSERT_TRUE(sitting.isDictionary());
    EXPECT_EQ(sitting["email"]["text"], Value("\n  a@b.c"));
    // The last line feed belongs to the element that ends after it.
    EXPECT_EQ(sitting["text"], Value("\n"));
    EXPECT_EQ(d.size(), 1u);
    // Repeated names become an array in document order.
    const Value repeated(parse("<r><a>1</a><a>2</a><b/><a>3</a></r>"));
    const Value& r = repeated["r"];
    const Array* a = r["a"].array();
    ASSERT_NE(a, nullptr);
    ASSERT_EQ(a->size(), 3u);
    EXPECT_EQ((*a)[0]["text"], Value("1"));
    EXPECT_EQ((*a)[1]["text"], Value("2"));
    EXPECT_EQ((*a)[2]["text"], Value("3"));
    EXPECT_TRUE(r["b"].isDictionary());
}

TEST(XMLReader, AttributesTextBetweenSiblingsEntitiesAndCdata) {
    const Value doc(parse("<r><e x=\"1\" y=\"two\"/><f text=\"attr\">data</f></r>"));
    // Attributes only, no text.
    EXPECT_EQ(doc["r"]["e"], Value(Dictionary{{"x", "1"}, {"y", "two"}}));
    // Character data replaces an attribute named text.
    EXPECT_EQ(doc["r"]["f"]["text"], Value("data"));

    // Text between siblings goes to the next sibling.
    const Value siblings(parse("<r><a>1</a>between<b>2</b></r>"));
    EXPECT_EQ(siblings["r"]["b"]["text"], Value("between2"));
    EXPECT_EQ(siblings["r"]["a"]["text"], Value("1"));
    // Entities and CDATA arrive as their characters.
    EXPECT_EQ(Value(parse("<r>&lt;x&amp;<![CDATA[<y>]]></r>"))["r"]["text"], Value("<x&<y>"));
}

TEST(XMLReader, MalformedDocumentsGiveNoneWithTheParsersErrorAndTheReaderStartsAfresh) {
    for (const std::string bad :
         {"", "<a>", "<a></b>", "<a/><b/>", "not xml", "<a x='1' x='2'/>"}) {
        std::string error;
        EXPECT_FALSE(XMLReader::dictionaryForXMLString(bad, &error).has_value()) << bad;
        EXPECT_FALSE(error.empty()) << bad;
    }
    // No error slot is fine too.
    EXPECT_FALSE(XMLReader::dictionaryForXMLString("<a>", nullptr).has_value());

    std::string error;
    const std::string laughs =
        "<!DOCTYPE r [<!ENTITY a \"aaaaaaaaaa\"><!ENTITY b \"&a;&a;&a;&a;&a;\">]><r>&b;</r>";
    EXPECT_FALSE(XMLReader::dictionaryForXMLString(laughs, &error).has_value());
    EXPECT_NE(error.find("entities"), std::string::npos) << error;

    // One reader converts again from a fresh state.
    XMLReader reader(&error);
    ASSERT_TRUE(reader.objectWithData("<a>1</a>").has_value());
    EXPECT_FALSE(reader.objectWithData("<a>").has_value());
    auto again = reader.objectWithData("<b>2</b>");
    ASSERT_TRUE(again.has_value());
    EXPECT_EQ(*again, (Dictionary{{"b", Dictionary{{"text", "2"}}}}));
}

}  // namespace
}  // namespace klik::test
