// The command line and updater.ini.
#include "updater/options.h"

#include <gtest/gtest.h>

#include "fake/sandbox.h"
#include "updater/console.h"

namespace vistrelle::updater {
namespace {

using Args = std::vector<std::string>;
using Settings = std::vector<Setting>;

TEST(UpdaterOptions, Arguments) {
    const struct {
        Args args;
        Settings settings;
        bool hasWindow;
        uint64_t window;
        bool quiet;
        std::string error;
    } cases[] = {
        {{}, {}, false, 0, false, ""},
        {{"123456"}, {}, true, 123456, false, ""},
        {{"-17"}, {}, true, 4294967279u, false, ""},
        {{"4294967295"}, {}, true, 4294967295u, false, ""},
        {{"18446744073709551615"},
         {},
         false,
         0,
         false,
         "Unknown argument \"18446744073709551615\" (see --help)."},
        {{"--quiet", "--no-tv", "--playlist", "a.m3u", "--playlist=http://x/b.pls"},
         {{"no-tv", ""}, {"playlist", "a.m3u"}, {"playlist", "http://x/b.pls"}},
         false,
         0,
         true,
         ""},
        {{"77", "--output", "x.dat", "--radio-directory=http://r"},
         {{"output", "x.dat"}, {"radio-directory", "http://r"}},
         true,
         77,
         false,
         ""},
        {{"--quiet", "77"}, {}, false, 0, true, "Unknown argument \"77\" (see --help)."},
        {{"--tv-directory"}, {}, false, 0, false, "The option --tv-directory needs a value."},
        {{"--colour=red"}, {}, false, 0, false, "Unknown option --colour (see --help)."},
        {{"-x"}, {}, false, 0, false, "Unknown argument \"-x\" (see --help)."},
    };
    for (const auto& c : cases) {
        Arguments parsed = parseArguments(c.args);
        EXPECT_EQ(parsed.error, c.error);
        if (c.error.empty()) {
            EXPECT_EQ(parsed.settings, c.settings);
            EXPECT_EQ(parsed.hasWindow, c.hasWindow);
            EXPECT_EQ(parsed.window, c.window);
            EXPECT_EQ(parsed.quiet, c.quiet);
        }
    }
}

TEST(UpdaterOptions, IniFile) {
    const struct {
        std::string text;
        Settings settings;
        std::string error;
    } cases[] = {
        {"\xEF\xBB\xBF# comment\r\n\r\n[updater]\r\nno-radio\r\n  Playlist = my list.m3u  \r\n"
         "; other comment\nradio-directory=http://r.example\n",
         {{"no-radio", ""}, {"playlist", "my list.m3u"}, {"radio-directory", "http://r.example"}},
         ""},
        {"no-tv = yes\ncolour = red\n",
         {{"no-tv", "yes"}},
         "updater.ini line 2: unknown key \"colour\"."},
        {"just words\n", {}, "updater.ini line 1: expected key = value."},
        {"", {}, ""},
    };
    for (const auto& c : cases) {
        std::string error;
        EXPECT_EQ(parseIni(c.text, &error), c.settings) << c.text;
        EXPECT_EQ(error, c.error);
    }
}

TEST(UpdaterOptions, Settings) {
    Options options;
    EXPECT_EQ(applySetting(options, {"no-radio", ""}), "");
    EXPECT_FALSE(options.radio);
    EXPECT_EQ(applySetting(options, {"no-radio", "No"}), "");
    EXPECT_TRUE(options.radio);
    EXPECT_EQ(applySetting(options, {"no-tv", "maybe"}),
              "The value of no-tv must be yes or no, not \"maybe\".");
    EXPECT_EQ(applySetting(options, {"output", ""}), "The value of output is empty.");
    EXPECT_EQ(tvPlaylistAddress(options), "https://iptv-org.github.io/iptv/index.m3u");
    EXPECT_EQ(applySetting(options, {"tv-directory", "http://127.0.0.1:9/api"}), "");
    EXPECT_EQ(tvPlaylistAddress(options), "http://127.0.0.1:9/api/index.m3u");
    EXPECT_EQ(folderOf("a/b/channels.dat"), "a/b/");
    EXPECT_EQ(folderOf("channels.dat"), "");
}

class UpdaterPrepareTest : public testing::SandboxTest {};

TEST_F(UpdaterPrepareTest, TheCommandLineWinsOverTheIniBesideTheOutput) {
    sandbox.write("updater.ini",
                  "no-tv = yes\nplaylist = a.m3u\nradio-directory = http://ini.example\n");
    Options options;
    EXPECT_EQ(
        prepareOptions({"42", "--playlist", "b.m3u", "--radio-directory", "http://arg"}, options),
        "");
    EXPECT_FALSE(options.tv);
    EXPECT_TRUE(options.radio);
    EXPECT_EQ(options.playlists, (Args{"a.m3u", "b.m3u"}));
    EXPECT_EQ(options.radioDirectory, "http://arg");
    EXPECT_TRUE(options.hasWindow);
    EXPECT_EQ(options.window, 42u);

    // An output elsewhere reads the ini of that folder.
    std::filesystem::create_directory(sandbox.path() / "other");
    sandbox.write("other/updater.ini", "no-radio\n");
    Options elsewhere;
    EXPECT_EQ(prepareOptions({"--output", "other/channels.dat"}, elsewhere), "");
    EXPECT_FALSE(elsewhere.radio);
    EXPECT_TRUE(elsewhere.tv);

    sandbox.write("updater.ini", "no-tv = perhaps\n");
    Options wrong;
    EXPECT_EQ(prepareOptions({}, wrong),
              "updater.ini: The value of no-tv must be yes or no, not \"perhaps\".");
}

}  // namespace
}  // namespace vistrelle::updater
