#include "help/help_contents.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <sstream>
#include <utility>

namespace vistrelle {
namespace {

std::string entry(std::string_view name, std::string_view local) {
    return "<LI><OBJECT type=\"text/sitemap\"><param name=\"Name\" value=\"" + std::string(name) +
           "\"><param name=\"Local\" value=\"" + std::string(local) + "\"></OBJECT>\n";
}

TEST(HelpContents, ReadsEntriesWithTheirNestingAndWhatHandWrittenSitemapsHold) {
    struct Case {
        const char* what;
        std::string sitemap;
        std::vector<HelpTopic> expected;
    };
    const Case cases[] = {
        {"nested lists after the site's properties",
         "<!DOCTYPE HTML PUBLIC \"-//IETF//DTD HTML//EN\"><HTML><BODY>\n"
         "<OBJECT type=\"text/site properties\"><param name=\"Window Styles\" value=\"0x800025\">"
         "</OBJECT>\n<UL>\n" +
             entry("Start", "index.html") + "<UL>\n" + entry("Inner", "sub/inner.html") + "<UL>\n" +
             entry("Deepest", "sub/deep.html#part") + "</UL>\n</UL>\n" + entry("Last", "last.htm") +
             "</UL></BODY></HTML>",
         {{"Start", "index.html", 0},
          {"Inner", "sub/inner.html", 1},
          {"Deepest", "sub/deep.html#part", 2},
          {"Last", "last.htm", 0}}},
        {"any case, single quotes, unquoted values, spaces",
         "<ul><li> <object TYPE='Text/Sitemap' ><PARAM NAME=name VALUE='A b'>\n"
         "<Param Name = \"LOCAL\" Value = a.html ></Object></UL>",
         {{"A b", "a.html", 0}}},
        {"entities and Windows-1252 bytes",
         "<UL>" + entry("Caf\xE9 &amp; more &lt;&#233;&#xE9;&gt; &quot;x&quot; &bogus;", "a.html") +
             "</UL>",
         {{"Caf\xC3\xA9 & more <\xC3\xA9\xC3\xA9> \"x\" &bogus;", "a.html", 0}}},
        {"unclosed objects are closed by the next entry and the list's end",
         "<UL><LI><OBJECT type=\"text/sitemap\"><param name=\"Name\" value=\"One\">"
         "<LI><OBJECT type=\"text/sitemap\"><param name=\"Name\" value=\"Two\">"
         "<param name=\"Local\" value=\"two.html\"></UL>",
         {{"One", "", 0}, {"Two", "two.html", 0}}},
        {"a heading without a page; an entry without a name is left out",
         "<UL>" + entry("Heading", "") + entry("", "nameless.html") + "</UL>",
         {{"Heading", "", 0}}},
        {"the first Name and Local count",
         "<UL><LI><OBJECT type=\"text/sitemap\"><param name=\"Name\" value=\"First\">"
         "<param name=\"Name\" value=\"Second\"><param name=\"Local\" value=\"1.html\">"
         "<param name=\"Local\" value=\"2.html\"></OBJECT></UL>",
         {{"First", "1.html", 0}}},
        {"comments and other objects are skipped",
         "<!-- <UL>" + entry("Hidden", "h.html") + " --><UL>" +
             "<OBJECT type=\"text/x-other\"><param name=\"Name\" value=\"No\"></OBJECT>" +
             entry("Yes", "y.html") + "</UL>",
         {{"Yes", "y.html", 0}}},
        {"more closing lists than opened ones",
         "</UL></UL><UL>" + entry("A", "a.html") + "</UL>",
         {{"A", "a.html", 0}}},
        {"cut off inside a tag",
         "<UL>" + entry("A", "a.html") + "<LI><OBJECT type=\"text/sit",
         {{"A", "a.html", 0}}},
        {"cut off inside a value",
         "<UL><LI><OBJECT type=\"text/sitemap\"><param name=\"Name\" value=\"Cut",
         {{"Cut", "", 0}}},
        {"no sitemap at all", "plain text < > & \x01\xFF", {}},
        {"empty", "", {}}};
    for (const Case& c : cases) {
        EXPECT_EQ(readHelpContents(c.sitemap), c.expected) << c.what;
    }
}

TEST(HelpContents, ArchivePathsOfLocalValuesAndLinks) {
    const std::pair<std::string_view, std::string_view> cases[] = {
        {"index.html", "/index.html"},
        {"/index.html", "/index.html"},
        {"./sub/./page.htm#part", "/sub/page.htm"},
        {"sub\\page.html?x=1", "/sub/page.html"},
        {"  a.html  ", "/a.html"},
        {"//a//b.html", "/a/b.html"},
        {"ms-its:Help.chm::/topics/a.html", "/topics/a.html"},
        {"MS-ITS:c:\\x\\Help.chm::topics/a.html", "/topics/a.html"},
        {"mk:@MSITStore:Help.chm::/a.html", "/a.html"},
        {"ms-its:Help.chm", ""},
        {"../outside.html", ""},
        {"a/../../b.html", ""},
        {"http://vistrelle.org/", ""},
        {"javascript:alert(1)", ""},
        {"file:///etc/passwd", ""},
        {"#top", ""},
        {"/", ""}};
    for (const auto& [local, expected] : cases) {
        EXPECT_EQ(helpArchivePath(local), expected) << local;
    }
}

TEST(HelpContents, AddressesOfTheHelpWindowGoBothWays) {
    const std::pair<std::string_view, std::string_view> cases[] = {
        {"/index.html", "vistrelle-help:///index.html"},
        {"/sub/a b.html", "vistrelle-help:///sub/a%20b.html"},
        {"/100%#?.html", "vistrelle-help:///100%25%23%3F.html"},
        {"/caf\xC3\xA9.html", "vistrelle-help:///caf%C3%A9.html"}};
    for (const auto& [path, address] : cases) {
        EXPECT_EQ(helpPageAddress(path), address) << path;
        EXPECT_EQ(helpPathOfAddress(address), path) << address;
    }
    const std::pair<std::string_view, std::string_view> reads[] = {
        {"VISTRELLE-HELP:///a.html#part", "/a.html"},
        {"vistrelle-help:/a.html?q", "/a.html"},
        {"vistrelle-help:a.html", "/a.html"},
        {"vistrelle-help://host/a.html", ""},
        {"vistrelle-help:///%2e%2e/x.html", ""},
        {"vistrelle-help:///a%00.html", ""},
        {"vistrelle-help:///bad%zz.html", "/bad%zz.html"},
        {"vistrelle-helper:///a.html", ""},
        {"http://x.example/a.html", ""},
        {"", ""}};
    for (const auto& [address, path] : reads) {
        EXPECT_EQ(helpPathOfAddress(address), path) << address;
    }
}

TEST(HelpContents, ContentTypesAndStartPage) {
    EXPECT_EQ(helpContentType("/a.HTML"), "text/html");
    EXPECT_EQ(helpContentType("/a.htm"), "text/html");
    EXPECT_EQ(helpContentType("/style.css"), "text/css");
    EXPECT_EQ(helpContentType("/img/logo.png"), "image/png");
    EXPECT_EQ(helpContentType("/dir.html/noext"), "application/octet-stream");

    EXPECT_EQ(helpStartPage({}), "/index.html");
    EXPECT_EQ(helpStartPage({{"Heading", "", 0},
                             {"Web", "https://x.example/", 0},
                             {"First", "first.html#a", 1},
                             {"Second", "second.html", 0}}),
              "/first.html");
}

// The program's own help: every entry of its contents names a page of the project file.
TEST(HelpContents, TheProgramsContentsNameItsPages) {
    const std::filesystem::path folder = VISTRELLE_HELP_SOURCE;
    auto read = [&](const char* name) {
        std::stringstream text;
        text << std::ifstream(folder / name, std::ios::binary).rdbuf();
        return text.str();
    };
    std::vector<HelpTopic> topics = readHelpContents(read("Contents.hhc"));
    ASSERT_GE(topics.size(), 7u);
    EXPECT_EQ(topics.front(), (HelpTopic{"Getting started", "index.html", 0}));
    std::string project = read("Help.hhp");
    for (const char* sitemap : {"Contents.hhc", "Index.hhk"}) {
        for (const HelpTopic& topic : readHelpContents(read(sitemap))) {
            std::string path = helpArchivePath(topic.local);
            ASSERT_FALSE(path.empty()) << sitemap << ": " << topic.name;
            EXPECT_TRUE(std::filesystem::is_regular_file(folder / path.substr(1))) << path;
            EXPECT_NE(project.find("\n" + path.substr(1) + "\n"), std::string::npos) << path;
        }
    }
}

}  // namespace
}  // namespace vistrelle
