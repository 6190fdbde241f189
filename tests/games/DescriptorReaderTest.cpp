#include "DescriptorReader.h"
#include "ManifestReader.h"

#include <gtest/gtest.h>

#include <string>
#include <utility>
#include <vector>

namespace {

using Pairs = std::vector<std::pair<std::string, std::string>>;

Pairs pairsOf(const AttributeList& attributes)
{
    Pairs pairs;
    for (const auto& [name, value] : attributes.entries())
        pairs.emplace_back(name, value);
    return pairs;
}

// "line: what" for each problem, to compare in one go.
std::vector<std::string> problemsOf(const AttributeReading& reading)
{
    std::vector<std::string> problems;
    for (const ReadProblem& problem : reading.problems)
        problems.push_back(std::to_string(problem.line) + ": " + problem.what);
    return problems;
}

struct ReadingCase {
    const char* title;
    std::string text;
    Pairs attributes;
    std::vector<std::string> problems;
};

std::ostream& operator<<(std::ostream& out, const ReadingCase& c)
{
    return out << c.title;
}

class DescriptorReading : public testing::TestWithParam<ReadingCase> {};

TEST_P(DescriptorReading, TakesTheAttributesAndReportsWhatAPhoneRefuses)
{
    const AttributeReading reading = readDescriptor(GetParam().text);
    EXPECT_EQ(pairsOf(reading.attributes), GetParam().attributes);
    EXPECT_EQ(problemsOf(reading), GetParam().problems);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, DescriptorReading,
    testing::Values(
        ReadingCase{"plain", "MIDlet-Name: Hello\r\nMIDlet-Version: 1.0\r\n",
                    {{"MIDlet-Name", "Hello"}, {"MIDlet-Version", "1.0"}}, {}},
        ReadingCase{"lf, cr and no end", "A: 1\nB: 2\rC: 3", {{"A", "1"}, {"B", "2"}, {"C", "3"}}, {}},
        ReadingCase{"blanks around the value, colons inside it", "MIDlet-Jar-URL:\t http://h:8080/a.jar  \r\n",
                    {{"MIDlet-Jar-URL", "http://h:8080/a.jar"}}, {}},
        ReadingCase{"empty value", "MIDlet-Description:\n", {{"MIDlet-Description", ""}}, {}},
        ReadingCase{"non-ASCII UTF-8", "MIDlet-Name: Spiel \xC3\xBC\xE2\x82\xAC\xF0\x9F\x8E\xAE\n",
                    {{"MIDlet-Name", "Spiel \xC3\xBC\xE2\x82\xAC\xF0\x9F\x8E\xAE"}}, {}},
        ReadingCase{"empty file", "", {}, {}},
        ReadingCase{"byte-order mark", "\xEF\xBB\xBFMIDlet-Name: Hello\n", {{"MIDlet-Name", "Hello"}},
                    {"1: the file begins with a byte-order mark"}},
        ReadingCase{"Latin-1 on line 2", "A: 1\nMIDlet-Name: Spiel \xFC\n", {{"A", "1"}, {"MIDlet-Name", "Spiel \xFC"}},
                    {"2: the text is not UTF-8"}},
        ReadingCase{"overlong slash", "A: \xC0\xAF\n", {{"A", "\xC0\xAF"}}, {"1: the text is not UTF-8"}},
        ReadingCase{"surrogate", "A: \xED\xA0\x80\n", {{"A", "\xED\xA0\x80"}}, {"1: the text is not UTF-8"}},
        ReadingCase{"cut sequence at the end", "A: \xE2\x82", {{"A", "\xE2\x82"}}, {"1: the text is not UTF-8"}},
        ReadingCase{"blank lines inside and at the end", "A: 1\n\nB: 2\n \n", {{"A", "1"}, {"B", "2"}},
                    {"2: a blank line", "4: a blank line"}},
        ReadingCase{"no colon", "A: 1\nMIDlet-Name Hello\n", {{"A", "1"}},
                    {"2: a line without \":\" (\"MIDlet-Name Hello\")"}},
        ReadingCase{"no name", ": value\n", {}, {"1: a line without a name before \":\""}},
        ReadingCase{"blank before the colon", "MIDlet-Name : Hello\n", {{"MIDlet-Name ", "Hello"}},
                    {"1: the name \"MIDlet-Name \" holds a blank or control character"}},
        ReadingCase{"name of 32 bytes", "MIDlet-Install-Notify-Extra-1234: x\n",
                    {{"MIDlet-Install-Notify-Extra-1234", "x"}}, {}},
        ReadingCase{"name of 33 bytes", "MIDlet-Install-Notify-Extra-12345: x\n",
                    {{"MIDlet-Install-Notify-Extra-12345", "x"}},
                    {"1: the name \"MIDlet-Install-Notify-Extra-12345\" is longer than 32 bytes"}},
        ReadingCase{"given twice, first counts", "MIDlet-Version: 1.0\nMIDlet-Version: 1.1\n",
                    {{"MIDlet-Version", "1.0"}}, {"2: \"MIDlet-Version\" is given twice"}},
        ReadingCase{"names are case-sensitive", "midlet-name: a\nMIDlet-Name: b\n",
                    {{"midlet-name", "a"}, {"MIDlet-Name", "b"}}, {}},
        // A descriptor has no continuation lines: a phone reads this as a
        // line without a colon.
        ReadingCase{"no folding in a descriptor", "MIDlet-Description: a\n long\n", {{"MIDlet-Description", "a"}},
                    {"2: a line without \":\" (\" long\")"}}));

TEST(AttributeList, FindsTheFirstOfANameExactly)
{
    AttributeList list;
    list.add("MIDlet-Name", "one");
    list.add("MIDlet-Name", "two");
    EXPECT_EQ(list.value("MIDlet-Name"), "one");
    EXPECT_FALSE(list.value("midlet-name"));
    EXPECT_FALSE(list.has("MIDlet-Nam"));
}

class ManifestReading : public testing::TestWithParam<ReadingCase> {};

TEST_P(ManifestReading, UnfoldsTheMainSection)
{
    const AttributeReading reading = readManifest(GetParam().text);
    EXPECT_EQ(pairsOf(reading.attributes), GetParam().attributes);
    EXPECT_EQ(problemsOf(reading), GetParam().problems);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, ManifestReading,
    testing::Values(
        ReadingCase{"plain", "Manifest-Version: 1.0\r\nMIDlet-Name: Hello\r\n\r\n",
                    {{"Manifest-Version", "1.0"}, {"MIDlet-Name", "Hello"}}, {}},
        ReadingCase{"folded at 72 bytes, crlf",
                    "MIDlet-Description: A game about a very long river that winds on and o\r\n n for ever\r\n",
                    {{"MIDlet-Description", "A game about a very long river that winds on and on for ever"}}, {}},
        ReadingCase{"a blank before the fold belongs to the value", "MIDlet-Name: Hello \n World\n",
                    {{"MIDlet-Name", "Hello World"}}, {}},
        ReadingCase{"folded twice, lf and cr", "MIDlet-1: Hel\n lo, , a.b.\r Hello\n",
                    {{"MIDlet-1", "Hello, , a.b.Hello"}}, {}},
        ReadingCase{"only one space is the fold", "A: x\n  y\n", {{"A", "x y"}}, {}},
        ReadingCase{"per-entry sections are left out",
                    "MIDlet-Name: Hello\n\nName: Hello.class\nSHA1-Digest: abc=\n\n",
                    {{"MIDlet-Name", "Hello"}}, {}},
        ReadingCase{"no section end", "A: 1", {{"A", "1"}}, {}},
        ReadingCase{"empty", "", {}, {}},
        ReadingCase{"fold with nothing before it", " lost\nA: 1\n", {{"A", "1"}},
                    {"1: a continued line with no attribute before it"}},
        ReadingCase{"no colon", "A: 1\nwhat\nB: 2\n", {{"A", "1"}, {"B", "2"}},
                    {"2: a line without \":\" (\"what\")"}},
        ReadingCase{"no name", ": x\n", {}, {"1: a line without a name before \":\""}}));

} // namespace
