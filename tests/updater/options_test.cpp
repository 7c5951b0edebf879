// The command line and updater.ini.
#include "updater/options.h"

#include <gtest/gtest.h>

#include "fake/sandbox.h"
#include "updater/console.h"

namespace vistrelle::updater {
namespace {

using Args = std::vector<std::string>;
using Settings = std::vector<Setting>;

// The parsed arguments in one line: the error, or the window, quiet and the settings in order.
std::string described(const Arguments& parsed) {
    if (!parsed.error.empty()) {
        return parsed.error;
    }
    std::string text = parsed.hasWindow ? "window " + std::to_string(parsed.window) : "-";
    text += parsed.quiet ? " quiet" : "";
    for (const auto& [key, value] : parsed.settings) {
        text += " " + key + "=" + value;
    }
    return text;
}

TEST(UpdaterOptions, Arguments) {
    const struct {
        Args args;
        std::string parsed;
    } cases[] = {
        {{}, "-"},
        {{"123456"}, "window 123456"},
        {{"-17"}, "window 4294967279"},
        {{"4294967295"}, "window 4294967295"},
        {{"18446744073709551615"}, "Unknown argument \"18446744073709551615\" (see --help)."},
        {{"--quiet", "--no-tv", "--playlist", "a.m3u", "--playlist=http://x/b.pls"},
         "- quiet no-tv= playlist=a.m3u playlist=http://x/b.pls"},
        {{"77", "--output", "x.dat", "--radio-directory=http://r"},
         "window 77 output=x.dat radio-directory=http://r"},
        {{"--quiet", "77"}, "Unknown argument \"77\" (see --help)."},
        {{"--tv-directory"}, "The option --tv-directory needs a value."},
        {{"--colour=red"}, "Unknown option --colour (see --help)."},
        {{"-x"}, "Unknown argument \"-x\" (see --help)."},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(described(parseArguments(c.args)), c.parsed);
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
    EXPECT_EQ(applySetting(options, {"output", ""}), "The value of output is empty.");
    EXPECT_EQ(applySetting(options, {"tv-directory", "http://127.0.0.1:9/api"}), "");
    EXPECT_EQ(tvPlaylistAddress(options), "http://127.0.0.1:9/api/index.m3u");
    // A program name with a blank is quoted, as a command line needs it.
    EXPECT_TRUE(usageText().starts_with("Usage: channel-updater [WINDOW] [options]\n"));
    EXPECT_TRUE(usageText("Channel updater.exe")
                    .starts_with("Usage: \"Channel updater.exe\" [WINDOW] [options]\n"));
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
    for (const char* output : {"other/channels.dat",
#ifdef _WIN32
                               "other\\channels.dat", ".\\other/channels.dat"
#endif
         }) {
        Options elsewhere;
        EXPECT_EQ(prepareOptions({"--output", output}, elsewhere), "");
        EXPECT_FALSE(elsewhere.radio) << output;
        EXPECT_TRUE(elsewhere.tv);
    }

    sandbox.write("updater.ini", "no-tv = perhaps\n");
    Options wrong;
    EXPECT_EQ(prepareOptions({}, wrong),
              "updater.ini: The value of no-tv must be yes or no, not \"perhaps\".");
}

}  // namespace
}  // namespace vistrelle::updater
