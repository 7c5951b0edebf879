// Song titles read from an internet radio's stream, through the stream's plan as the web view
// hands it the side connection's bytes.
#include "player/icy_metadata.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "player/playback.h"

namespace vistrelle {
namespace {

using Action = PlaybackStep::Action;
using Titles = std::vector<std::string>;

struct TitleLog final : PlaybackListener {
    void watching(const Channel&) override {}
    void streamStarting() override {}
    void streamPlaying() override {}
    void streamPaused() override {}
    void streamFailed() override {}
    void titleChanged(const std::string& title) override { titles.push_back(title); }
    void volumeChanged(double) override {}
    Titles titles;
};

FetchResult icyAnswer(std::string metaInterval = {}) {
    FetchResult result;
    result.outcome = FetchOutcome::Answered;
    result.status = 200;
    result.icy = true;
    result.metaInterval = std::move(metaInterval);
    result.bytes = std::string("ID3\x03", 4) + std::string(2000, '\x55');
    return result;
}

// A stream of an internet radio: `interval` bytes of audio before each block.
std::string icyStream(size_t interval, const std::vector<std::string>& blocks) {
    std::string out;
    for (std::string block : blocks) {
        out.append(interval, '\x55');
        block.resize((block.size() + 15) / 16 * 16, '\0');
        out += static_cast<char>(block.size() / 16);
        out += block;
    }
    return out;
}

// A plan that plays an internet radio and has its side connection open.
struct Radio {
    explicit Radio(const std::string& metaInterval) {
        plan.begin();
        plan.fetched(icyAnswer());
        const PlaybackStep step = plan.mediaReported({MediaEvent::Playing, 0, true, true});
        EXPECT_EQ(step.action, Action::ReadTitles);
        EXPECT_EQ(step.url, "http://radio.example/live");
        reading = plan.titlesAnswered(icyAnswer(metaInterval)).keepReading;
    }
    std::shared_ptr<TitleLog> log = std::make_shared<TitleLog>();
    StreamResolution plan{"http://radio.example/live", log};
    bool reading = false;
};

TEST(IcyMetadataTest, TitlesAreReadFromBlocksInAnyChunkingAndShownAsPlainText) {
    const std::string long1252(300, '\xE9');
    std::string longShown;
    for (int i = 0; i < 256; ++i) {
        longShown += "\xC3\xA9";
    }
    // A length byte of 255 followed by 64 KiB of text: 4080 bytes are a block, the rest audio,
    // until a length byte taken from the text gives a block that is no metadata.
    const std::string flood =
        std::string(16, '\x55') + "\xFF" + "StreamTitle='" + std::string(65536, 'x');
    const struct {
        const char* name;
        std::string stream;  // with an interval of 16
        Titles shown;
        bool reading = true;
    } cases[] = {
        {"songs, an empty block and a repeat",
         icyStream(16, {"StreamTitle='Artist - One';StreamUrl='';", "",
                        "StreamTitle='Artist - One';", "StreamTitle='Artist - Two';"}),
         {"Artist - One", "Artist - Two"}},
        {"an empty title clears",
         icyStream(16, {"StreamTitle='One';", "StreamTitle='';"}),
         {"One", ""}},
        {"quotes inside",
         icyStream(16, {"StreamTitle='Guns N' Roses - Don't Cry';StreamUrl='x';"}),
         {"Guns N' Roses - Don't Cry"}},
        {"markup stays text",
         icyStream(16, {"StreamTitle='<b>Hi</b> &amp; <script>x()</script>';"}),
         {"<b>Hi</b> &amp; <script>x()</script>"}},
        {"control characters and blanks",
         icyStream(16, {"StreamTitle=' A\x01\tB\r\n\nC\x7F  D ';"}),
         {"A B C D"}},
        {"windows-1252",
         icyStream(16, {"StreamTitle='Caf\xE9 \x93Live\x94 \x80';"}),
         {"Caf\xC3\xA9 \xE2\x80\x9CLive\xE2\x80\x9D \xE2\x82\xAC"}},
        {"utf-8",
         icyStream(16, {"StreamTitle='\xC3\x9C \xE2\x80\x93 \xE2\x99\xAB';"}),
         {"\xC3\x9C \xE2\x80\x93 \xE2\x99\xAB"}},
        {"invalid utf-8 read as windows-1252",
         icyStream(16, {"StreamTitle='\xC3\x28 ok';"}),
         {"\xC3\x83( ok"}},
        {"direction controls dropped",
         icyStream(16, {"StreamTitle='abc\xE2\x80\xAE"
                        "def';"}),
         {"abcdef"}},
        {"cut at 256 characters", icyStream(16, {"StreamTitle='" + long1252 + "';"}), {longShown}},
        {"other fields only", icyStream(16, {"StreamUrl='http://radio.example/';"}), {}},
        {"a block cut short", icyStream(16, {"StreamTitle='Cut off"}), {"Cut off"}},
        {"letter case of the field", icyStream(16, {"streamtitle='lower';"}), {"lower"}},
        {"unquoted", icyStream(16, {"StreamTitle=Bare;StreamUrl='';"}), {"Bare"}},
        {"a block of binary stops the reading",
         icyStream(16, {"StreamTitle='One';", "\x89PNG\r\n\x1A\n", "StreamTitle='Two';"}),
         {"One"},
         false},
        {"64 KiB after a length byte", flood, {std::string(256, 'x')}, false},
    };
    for (const auto& c : cases) {
        // Chunks shorter than a block and its audio show every title; one chunk holding them
        // all shows the last.
        for (size_t chunk : {size_t{1}, size_t{7}, c.stream.size()}) {
            Radio radio("16");
            ASSERT_TRUE(radio.reading);
            bool reading = true;
            for (size_t at = 0; at < c.stream.size() && reading; at += chunk) {
                reading =
                    radio.plan.titlesRead(std::string_view(c.stream).substr(at, chunk)).keepReading;
            }
            Titles shown = c.shown;
            if (chunk == c.stream.size() && !shown.empty()) {
                const std::string last = shown.back();
                shown = last.empty() ? Titles{} : Titles{last};
            }
            EXPECT_EQ(radio.log->titles, shown) << c.name << ", chunks of " << chunk;
            EXPECT_EQ(reading, c.reading) << c.name << ", chunks of " << chunk;
        }
    }
}

TEST(IcyMetadataTest, WithoutAUsableIntervalTheSideConnectionCloses) {
    for (const char* interval : {" 8192 ", "1048576"}) {
        EXPECT_TRUE(Radio(interval).reading) << interval;
    }
    for (const char* interval : {"", "0", "1048577", "2147483648", "-1", "8k", "0x2000"}) {
        Radio radio(interval);
        EXPECT_FALSE(radio.reading) << interval;
        EXPECT_FALSE(radio.plan.titlesRead(icyStream(16, {"StreamTitle='x';"})).keepReading);
        // The server gives no titles: playing again does not ask for them again.
        EXPECT_EQ(radio.plan.mediaReported({MediaEvent::Playing, 0, true, true}).action,
                  Action::Nothing)
            << interval;
    }
}

TEST(IcyMetadataTest, AConnectionThatEndsOrFailsIsAskedForAgainWhenTheStreamPlaysAgain) {
    Radio radio("8192");
    EXPECT_TRUE(radio.plan.titlesRead(icyStream(8192, {"StreamTitle='One';"})).keepReading);
    EXPECT_FALSE(radio.plan.titlesRead({}).keepReading);  // the server closed it
    const MediaReport playing{MediaEvent::Playing, 0, true, true};
    EXPECT_EQ(radio.plan.mediaReported(playing).action, Action::ReadTitles);
    FetchResult refused;
    EXPECT_FALSE(radio.plan.titlesAnswered(refused).keepReading);
    EXPECT_EQ(radio.plan.mediaReported(playing).action, Action::ReadTitles);
    EXPECT_EQ(radio.plan.titlesAnswered(icyAnswer("8192")).title, "One");
    // Paused, the radio downloads nothing for its titles until it plays again.
    EXPECT_EQ(radio.plan.mediaReported({MediaEvent::Paused}).action, Action::EndTitles);
    EXPECT_FALSE(radio.plan.titlesRead(icyStream(8192, {"StreamTitle='Two';"})).keepReading);
    EXPECT_EQ(radio.plan.mediaReported(playing).action, Action::ReadTitles);
    // A stream that is no internet radio's has no side connection.
    StreamResolution plain("http://a.example/tone.mp3");
    plain.begin();
    FetchResult mp3 = icyAnswer();
    mp3.icy = false;
    plain.fetched(mp3);
    EXPECT_EQ(plain.mediaReported(playing).action, Action::Nothing);
}

}  // namespace
}  // namespace vistrelle
