#include "settings/config_document.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <limits>
#include <string>
#include <vector>

#include "fake/sandbox.h"

namespace vistrelle {
namespace {

using namespace std::string_literals;
using testing::SandboxTest;
using Kind = ConfigEntry::Kind;
using Encoding = ConfigDocument::Encoding;

ConfigEntry key(std::string name, std::string value) {
    return {Kind::Key, std::move(name), std::move(value)};
}
ConfigEntry comment(std::string text) {
    return {Kind::Comment, std::move(text), {}};
}
ConfigEntry group(std::string name) {
    return {Kind::Group, std::move(name), {}};
}

TEST(ConfigParse, LinesGiveEntriesByTheirFirstCharacter) {
    struct Case {
        std::string text;
        std::vector<ConfigEntry> expected;
    };
    const Case cases[] = {
        {"", {}},
        {"\r\n\n\r\r", {}},
        {"  \t \r\n\t", {}},
        {"; note", {comment("note")}},
        {";note", {comment("note")}},
        {";  two", {comment(" two")}},
        {";", {comment("")}},
        {" \t;x = 1", {comment("x = 1")}},
        {"[Group]", {group("Group")}},
        {"  [Group] trailing ] text", {group("Group")}},
        {"[open", {group("open")}},
        {"[]", {group("")}},
        {"[ a b ]", {group(" a b ")}},
        {"key=value", {key("key", "value")}},
        {"  key \t=  \tvalue \t", {key("key", "value \t")}},
        {"key", {key("key", "")}},
        {"key  \t", {key("key", "")}},
        {"key=", {key("key", "")}},
        {"=value", {key("", "value")}},
        {"  = value", {key("", "value")}},
        {"a=b=c", {key("a", "b=c")}},
        {"in ner = x ; not a comment", {key("in ner", "x ; not a comment")}},
        {"k[1]=[v]", {key("k[1]", "[v]")}},
        {"a\rb\nc\r\n\r\n\n\rd", {key("a", ""), key("b", ""), key("c", ""), key("d", "")}},
        {"k=v\0w"s, {key("k", "v\0w"s)}},
        {"\0=1"s, {key("\0"s, "1")}},
        {"\xEF\xBB\xBFk=1", {key("\xEF\xBB\xBFk", "1")}},  // a mark inside the text is text
        {"wmp version=2\nWMP Version = 3\n[G]\nWMP VERSION=4",
         {key("wmp version", "2"), key("WMP Version", "3"), group("G"), key("WMP VERSION", "4")}},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(ConfigDocument::parse(c.text), c.expected) << ::testing::PrintToString(c.text);
    }
}

TEST(ConfigParse, TheMarkSelectsUtf8AndIsDropped) {
    struct Case {
        std::string bytes;
        Encoding encoding;
        std::vector<ConfigEntry> entries;
    };
    const Case cases[] = {
        {"", Encoding::Plain, {}},
        {"\xEF\xBB", Encoding::Plain, {key("\xEF\xBB", "")}},
        {"\xEF\xBB\xBF", Encoding::Utf8, {}},
        {"\xEF\xBB\xBF\r\nk=1", Encoding::Utf8, {key("k", "1")}},
        {"\xEF\xBB\xBF[G]", Encoding::Utf8, {group("G")}},
        {" \xEF\xBB\xBFk=1", Encoding::Plain, {key("\xEF\xBB\xBFk", "1")}},
        {"\xEF\xBB\xBF\xEF\xBB\xBFk", Encoding::Utf8, {key("\xEF\xBB\xBFk", "")}},
    };
    for (const Case& c : cases) {
        ConfigDocument::Content content = ConfigDocument::parseFile(c.bytes);
        EXPECT_EQ(content.encoding, c.encoding) << ::testing::PrintToString(c.bytes);
        EXPECT_EQ(content.entries, c.entries) << ::testing::PrintToString(c.bytes);
    }
}

TEST(ConfigFormat, EveryLineEndsWithCrLf) {
    struct Case {
        std::vector<ConfigEntry> entries;
        Encoding encoding;
        std::string expected;
    };
    const Case cases[] = {
        {{}, Encoding::Plain, ""},
        {{}, Encoding::Utf8, "\xEF\xBB\xBF\r\n"},
        {{key("WMP Version", "1")}, Encoding::Plain, "WMP Version = 1\r\n"},
        {{key("WMP Version", "1")}, Encoding::Utf8, "\xEF\xBB\xBF\r\nWMP Version = 1\r\n"},
        {{comment("c"), comment(""), comment(" x"), group("G"), group(""), key("", ""),
          key("k", "v \t")},
         Encoding::Plain,
         "; c\r\n; \r\n;  x\r\n[G]\r\n[]\r\n = \r\nk = v \t\r\n"},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(ConfigDocument::format(c.entries, c.encoding), c.expected);
    }
}

TEST(ConfigFormat, ReadingTheWrittenTextGivesTheSameEntries) {
    for (const char* asset : {"config/messy.ini", "config/bom.ini", "config/binary.ini"}) {
        ConfigDocument::Content first = ConfigDocument::parseFile(testing::assetBytes(asset));
        ASSERT_FALSE(first.entries.empty()) << asset;
        std::string written = ConfigDocument::format(first.entries, first.encoding);
        EXPECT_EQ(ConfigDocument::parseFile(written), first) << asset;
        EXPECT_EQ(ConfigDocument::format(first.entries, first.encoding), written) << asset;
    }
}

TEST(ConfigFormat, APlainFirstKeyStartingWithTheMarkIsWrittenAsUtf8) {
    // Written plainly, the first line would start with EF BB BF and read back as a UTF-8
    // document whose first key had lost those bytes.
    ConfigDocument::Content plain = ConfigDocument::parseFile("\r\n\xEF\xBB\xBFWMP Version=2");
    ASSERT_EQ(plain.encoding, Encoding::Plain);
    std::string written = ConfigDocument::format(plain.entries, plain.encoding);
    EXPECT_EQ(written, "\xEF\xBB\xBF\r\n\xEF\xBB\xBFWMP Version = 2\r\n");
    EXPECT_EQ(ConfigDocument::parseFile(written).entries, plain.entries);
}

TEST(ConfigInteger, ReadsAsAtoiWithOverflowHeldAtTheLimits) {
    constexpr int32_t kMax = std::numeric_limits<int32_t>::max();
    constexpr int32_t kMin = std::numeric_limits<int32_t>::min();
    struct Case {
        std::string text;
        int32_t expected;
    };
    const Case cases[] = {
        {"1", 1},
        {"2 abc", 2},
        {"2   ", 2},
        {"  \t\v\f 7", 7},
        {"+7", 7},
        {"-12x", -12},
        {"007", 7},
        {"", 0},
        {"abc", 0},
        {"-", 0},
        {"+-3", 0},
        {"+ 3", 0},
        {"0x10", 0},
        {"\0"
         "5"s,
         0},
        {"258", 258},
        {"-1", -1},
        {"2147483647", kMax},
        {"2147483648", kMax},
        {"-2147483648", kMin},
        {"-2147483649", kMin},
        {"99999999999999999999999999999", kMax},
        {"-99999999999999999999999999999", kMin},
        {"4294967298", kMax},  // not wrapped to 2
    };
    for (const Case& c : cases) {
        EXPECT_EQ(ConfigDocument::parseInteger(c.text), c.expected)
            << ::testing::PrintToString(c.text);
    }
}

// The document with its file, in a sandbox folder.
class ConfigDocumentFile : public SandboxTest {
protected:
    // Opens Config.ini holding `bytes`.
    void openWith(std::string_view bytes) {
        sandbox.write("Config.ini", bytes);
        ASSERT_TRUE(document.open("Config.ini"));
    }
    std::string closeAndRead() {
        document.close();
        return sandbox.read("Config.ini");
    }

    ConfigDocument document;
};

TEST_F(ConfigDocumentFile, LookupIgnoresAsciiCaseAndStopsAtTheFirstGroup) {
    openWith("; WMP Version = 5\r\nwmp version=2\r\nWMP VERSION=3\r\n[G]\r\nOther=4\r\n");
    ASSERT_NE(document.lookup("WMP Version"), nullptr);
    EXPECT_EQ(document.lookup("WMP Version")->value, "2");
    EXPECT_EQ(document.readInteger("Wmp VeRsIoN", 9), 2);
    EXPECT_EQ(document.lookup("Other"), nullptr);  // below a group header
    EXPECT_EQ(document.readInteger("Other", -7), -7);
    EXPECT_EQ(document.lookup("WMP Version "), nullptr);
    EXPECT_EQ(document.lookup("G"), nullptr);
}

TEST_F(ConfigDocumentFile, CaseFoldingIsForAsciiLettersOnly) {
    // 0xC4 and 0xE4 are one letter in Latin-1; @ and ` differ by 32 as the cases of a letter do.
    openWith("\xC4=1\r\n@=2\r\n");
    EXPECT_EQ(document.lookup("\xE4"), nullptr);
    EXPECT_NE(document.lookup("\xC4"), nullptr);
    EXPECT_EQ(document.lookup("`"), nullptr);
    EXPECT_NE(document.lookup("@"), nullptr);
}

TEST_F(ConfigDocumentFile, SetRewritesTheFirstKeyInTheCallersSpelling) {
    openWith("wmp version=2\r\nWMP Version=3\r\n");
    document.writeInteger("WMP Version", -1);
    EXPECT_TRUE(document.changed());
    EXPECT_EQ(closeAndRead(), "WMP Version = -1\r\nWMP Version = 3\r\n");
}

TEST_F(ConfigDocumentFile, NewKeysGoToTheEndOfTheLeadingSection) {
    struct Case {
        std::string before;
        std::string after;
    };
    const Case cases[] = {
        {"a=1\r\n; c\r\n[G]\r\nk=2\r\n[H]\r\n",
         "a = 1\r\n; c\r\nWMP Version = 1\r\n[G]\r\nk = 2\r\n[H]\r\n"},
        {"[G]\r\nWMP Version=2\r\n", "WMP Version = 1\r\n[G]\r\nWMP Version = 2\r\n"},
        {"a=1\r\n; c", "a = 1\r\n; c\r\nWMP Version = 1\r\n"},
        {"", "WMP Version = 1\r\n"},
        {"\r\n\r\n  \r\n", "WMP Version = 1\r\n"},
    };
    for (const Case& c : cases) {
        openWith(c.before);
        document.writeInteger("WMP Version", 1);
        EXPECT_EQ(closeAndRead(), c.after) << ::testing::PrintToString(c.before);
    }
}

TEST_F(ConfigDocumentFile, KeysAreStoredAsUtf8InAUtf8Document) {
    // "Größe" in Latin-1 bytes, as the program passes it.
    const std::string latin1 =
        "Gr\xF6\xDF"
        "e";
    const std::string utf8 =
        "Gr\xC3\xB6\xC3\x9F"
        "e";

    openWith("\xEF\xBB\xBF" + utf8 + "=5\r\n");
    EXPECT_EQ(document.encoding(), Encoding::Utf8);
    EXPECT_EQ(document.readInteger(latin1, 0), 5);
    document.writeInteger(latin1, 6);
    document.writeInteger("Caf\xE9", 7);
    EXPECT_EQ(closeAndRead(), "\xEF\xBB\xBF\r\n" + utf8 + " = 6\r\nCaf\xC3\xA9 = 7\r\n");

    openWith(utf8 + "=5\r\n");  // a plain document compares and stores bytes unchanged
    EXPECT_EQ(document.encoding(), Encoding::Plain);
    EXPECT_EQ(document.readInteger(latin1, 0), 0);
    EXPECT_EQ(document.readInteger(utf8, 0), 5);
    document.writeInteger(latin1, 6);
    EXPECT_EQ(closeAndRead(), utf8 + " = 5\r\n" + latin1 + " = 6\r\n");
}

TEST_F(ConfigDocumentFile, AnUnchangedDocumentLeavesTheFileAsItWas) {
    const std::string bytes = testing::assetBytes("config/messy.ini");
    openWith(bytes);
    EXPECT_EQ(document.readInteger("WMP Version", 0), 2);
    EXPECT_FALSE(document.changed());
    EXPECT_EQ(closeAndRead(), bytes);
}

TEST_F(ConfigDocumentFile, OpenClosesTheDocumentThatWasOpen) {
    sandbox.write("Other.ini", "x=1\r\n");
    openWith("a=1");
    document.writeInteger("b", 2);
    ASSERT_TRUE(document.open("Other.ini"));  // writes Config.ini back first
    EXPECT_FALSE(document.changed());
    EXPECT_EQ(document.readInteger("x", 0), 1);
    document.close();
    EXPECT_EQ(sandbox.read("Config.ini"), "a = 1\r\nb = 2\r\n");
    EXPECT_EQ(sandbox.read("Other.ini"), "x=1\r\n");
}

TEST_F(ConfigDocumentFile, AMissingFileIsCreatedOnlyByAWrite) {
    EXPECT_FALSE(document.open("Config.ini"));
    EXPECT_EQ(document.readInteger("WMP Version", 0), 0);
    document.close();
    EXPECT_FALSE(sandbox.exists("Config.ini"));

    EXPECT_FALSE(document.open("Config.ini"));
    document.writeInteger("WMP Version", 1);
    document.close();
    EXPECT_EQ(sandbox.read("Config.ini"), "WMP Version = 1\r\n");
    EXPECT_EQ(sandbox.entries(), std::vector<std::string>{"Config.ini"});  // no temporary left
}

TEST_F(ConfigDocumentFile, TheDestructorWritesAChangedDocument) {
    {
        ConfigDocument scoped;
        scoped.open("Config.ini");
        scoped.writeInteger("WMP Version", 2);
    }
    EXPECT_EQ(sandbox.read("Config.ini"), "WMP Version = 2\r\n");
}

TEST_F(ConfigDocumentFile, ADirectoryAtTheNameIsLeftAlone) {
    std::filesystem::create_directory(sandbox.path() / "Config.ini");
    EXPECT_FALSE(document.open("Config.ini"));
    document.writeInteger("WMP Version", 1);
    document.close();
    EXPECT_TRUE(std::filesystem::is_directory(sandbox.path() / "Config.ini"));
    EXPECT_TRUE(std::filesystem::is_empty(sandbox.path() / "Config.ini"));
    EXPECT_EQ(sandbox.entries(), std::vector<std::string>{"Config.ini"});
}

TEST_F(ConfigDocumentFile, BinaryContentSurvivesARewrite) {
    openWith(testing::assetBytes("config/binary.ini"));
    EXPECT_EQ(document.readInteger("WMP Version", 9), 0);  // "\0" "2" has no leading digit
    document.writeInteger("WMP Version", 1);
    EXPECT_EQ(closeAndRead(), "WMP Version = 1\r\n\0\x01\xFF\xFE[\0] = \r\n = \r\n; \0\r\n"s);
}

}  // namespace
}  // namespace vistrelle
