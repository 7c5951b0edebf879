// The desktop's media controls: what each command does in each state, and what they show.
#include "app/media_session.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>

#include "app_fixture.h"

namespace vistrelle::testing {
namespace {

using enum MediaPhase;
using enum MediaAction;
using Kind = MediaOutcome::Kind;
using Actions = std::vector<std::pair<MediaAction, double>>;

MediaOutcome element(MediaAction action, std::optional<MediaPhase> phase = std::nullopt) {
    return MediaOutcome{Kind::Element, action, phase, 0};
}

TEST(MediaOutcomeTest, PlayPauseAndStopActOnTheElementAsTheStreamStands) {
    const MediaOutcome none;
    // The element tells when it has paused or resumed.
    const MediaOutcome pause = element(MediaAction::Pause);
    const MediaOutcome resume = element(MediaAction::Resume);
    const MediaOutcome restart = element(MediaAction::Restart, Starting);
    const MediaOutcome stop = element(MediaAction::Stop, Stopped);
    const struct {
        MediaPhase phase;
        MediaOutcome play, pause, playPause, stop;
    } cases[] = {
        {Idle, none, none, none, none},          {Starting, none, stop, stop, stop},
        {Playing, none, pause, pause, stop},     {Paused, resume, none, resume, stop},
        {Stopped, restart, none, restart, none}, {Failed, restart, none, restart, none},
    };
    for (const auto& c : cases) {
        const int phase = static_cast<int>(c.phase);
        EXPECT_EQ(mediaOutcome(c.phase, MediaCommand::Play), c.play) << phase;
        EXPECT_EQ(mediaOutcome(c.phase, MediaCommand::Pause), c.pause) << phase;
        EXPECT_EQ(mediaOutcome(c.phase, MediaCommand::PlayPause), c.playPause) << phase;
        EXPECT_EQ(mediaOutcome(c.phase, MediaCommand::Stop), c.stop) << phase;
        EXPECT_EQ(mediaOutcome(c.phase, MediaCommand::Next).rowStep, 1);
        EXPECT_EQ(mediaOutcome(c.phase, MediaCommand::Previous).rowStep, -1);
        EXPECT_EQ(mediaOutcome(c.phase, MediaCommand::Quit).kind, Kind::Quit);
        EXPECT_EQ(mediaOutcome(c.phase, MediaCommand::Raise).kind, Kind::Raise);
        EXPECT_EQ(mediaOutcome(c.phase, static_cast<MediaCommand>(99)), none);
    }
}

TEST(MediaOutcomeTest, NextAndPreviousWrapFromTheWatchedOrElseTheSelectedRow) {
    const struct {
        int32_t watched, selected, rows, step, row;
    } cases[] = {
        {1, 0, 3, 1, 2},    {2, 0, 3, 1, 0}, {0, 2, 3, -1, 2}, {-1, 1, 3, 1, 2}, {-1, -1, 3, 1, 0},
        {-1, -1, 3, -1, 2}, {5, 9, 3, 1, 0}, {0, 0, 1, 1, 0},  {0, 0, 0, 1, -1},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(neighbourRow(c.watched, c.selected, c.rows, c.step), c.row)
            << c.watched << " " << c.selected << " " << c.rows << " " << c.step;
    }
    EXPECT_EQ(mediaVolume(std::nan("")), std::nullopt);
    EXPECT_EQ(mediaVolume(-0.5), 0.0);
    EXPECT_EQ(mediaVolume(std::numeric_limits<double>::infinity()), 1.0);
    EXPECT_EQ(mediaVolume(0.25), 0.25);
}

class MediaSessionTest : public AppTest {
protected:
    const MediaState& shown() { return layer.media().states.back(); }
    void command(MediaCommand what, double value = 0) {
        pump.push([what, value](EventSink& sink) { sink.mediaCommand(what, value); });
        ASSERT_TRUE(app.step());
    }
    Actions& actions() { return ui.web.mediaActions; }
};

TEST_F(MediaSessionTest, TheControlsShowTheWatchedChannelAndItsSong) {
    sandbox.write("channels.dat",
                  "Sverige|R\xE4"
                  "dio \xD6st|96|Folk|x|http://r.example/a.mp3|\r\n");
    ASSERT_TRUE(app.startUp());
    MediaState expected;
    expected.canGoNext = expected.canGoPrevious = true;
    EXPECT_EQ(layer.media().states, std::vector<MediaState>{expected});

    command(MediaCommand::Next);
    EXPECT_EQ(ui.statusText,
              " Now watching: R\xE4"
              "dio \xD6st");
    expected.status = PlaybackStatus::Playing;
    expected.track = 1;
    expected.title = "R\u00e4dio \u00d6st";
    expected.genre = "Folk";
    expected.country = "Sverige";
    expected.address = "http://r.example/a.mp3";
    expected.canPlay = expected.canPause = true;
    EXPECT_EQ(shown(), expected);

    app.media->titleChanged("Song <1>");
    EXPECT_EQ(std::pair(shown().title, shown().album),
              std::pair(std::string("Song <1>"), expected.title));
    app.media->streamPaused();
    EXPECT_EQ(shown().status, PlaybackStatus::Paused);
    app.media->streamFailed();
    EXPECT_EQ(std::tuple(shown().status, shown().title, shown().album, shown().canPause),
              std::tuple(PlaybackStatus::Stopped, expected.title, std::string(), false));
    // The same channel again is a new track.
    command(MediaCommand::Next);
    EXPECT_EQ(std::pair(shown().track, shown().status), std::pair(2, PlaybackStatus::Playing));
    const size_t published = layer.media().states.size();
    app.media->setRowCount(1);
    EXPECT_EQ(layer.media().states.size(), published);  // nothing changed, nothing told
}

TEST_F(MediaSessionTest, CommandsReachTheElementTheListAndTheProgram) {
    startWithSamples();
    command(MediaCommand::Play);  // nothing watched yet
    command(MediaCommand::Stop);
    EXPECT_TRUE(actions().empty());
    command(MediaCommand::Previous);
    EXPECT_EQ(ui.list.selected, 2);
    EXPECT_EQ(ui.statusText, " Now watching: SR P1");
    command(MediaCommand::Next);
    EXPECT_EQ(ui.statusHistory.back(), " Now watching: NRK P1");
    EXPECT_EQ(ui.list.background(0), kWatchedRowColour);

    command(MediaCommand::PlayPause);  // still starting: stops
    app.media->streamStarting();
    app.media->streamPlaying();
    command(MediaCommand::Pause);
    EXPECT_EQ(shown().status, PlaybackStatus::Playing);  // until the element has paused
    app.media->streamPaused();
    command(MediaCommand::PlayPause);
    command(MediaCommand::Stop);
    command(MediaCommand::Pause);
    command(MediaCommand::Play);
    EXPECT_EQ(actions(), (Actions{{Stop, 0}, {Pause, 0}, {Resume, 0}, {Stop, 0}, {Restart, 0}}));
    EXPECT_EQ(shown().status, PlaybackStatus::Playing);

    actions().clear();
    command(MediaCommand::SetVolume, std::nan(""));
    command(MediaCommand::SetVolume, 2.5);
    EXPECT_EQ(actions(), (Actions{{SetVolume, 1}}));
    EXPECT_EQ(shown().volume, 1.0);
    command(MediaCommand::Raise);
    EXPECT_EQ(layer.media().raises, 1);

    // After a change of view nothing shown is watched: Next starts from the selection.
    selectCountry(3);
    ui.list.selected = -1;
    command(MediaCommand::Next);
    EXPECT_EQ(ui.statusText, " Now watching: SR P1");

    pump.push([](EventSink& sink) { sink.mediaCommand(MediaCommand::Quit, 0); });
    EXPECT_FALSE(app.step());  // as Exit: the loop ends
}

}  // namespace
}  // namespace vistrelle::testing
