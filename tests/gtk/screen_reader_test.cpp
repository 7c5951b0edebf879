// Debian's Orca reading the program (scripts/with-screen-reader --orca): keys pressed on the X
// display as a user would, what Orca said read from its log.
#include <gtest/gtest.h>

#include "accessibility_probe.h"
#include "gtk_fixture.h"

namespace vistrelle::gtk::testing {
namespace {

const std::vector<std::vector<std::string>> kRows{
    {"Alpen Radio", "Music", "128", "Folk"},
    {"Zeta FM", "News", "64", "Hits"},
    {"Mid Talk", "Talk", "96", "Late"},
};

class ScreenReaderTest : public GtkAppTest {
protected:
    void SetUp() override {
        GtkAppTest::SetUp();
        if (const char* missing = g_getenv("VISTRELLE_ORCA_MISSING")) {
            GTEST_SKIP() << "Orca cannot run here, missing: " << missing
                         << " (scripts/install-deps installs them)";
        }
        const char* log = g_getenv("VISTRELLE_ORCA_LOG");
        if (log == nullptr) {
            GTEST_SKIP() << "Orca is not running (scripts/with-screen-reader --orca runs it)";
        }
        log_ = log;
        std::string channels;
        for (const auto& row : kRows) {
            channels += "Austria|" + row[0] + "|" + row[2] + "|" + row[1] + "|" + row[3] +
                        "|http://a.example/" + row[2] + ".asx|\r\n";
        }
        sandbox.write("channels.dat", channels);
    }

    bool waitFor(const std::function<bool()>& done) { return runUntil(done, 30000); }
    // A key pressed on the display, as the keyboard does.
    void key(const std::string& name) {
        ASSERT_EQ(runWhileLooping({"xdotool", "key", name},
                                  [this](const std::function<bool()>& d) { return waitFor(d); }),
                  0);
    }
    // Whether Orca, since its `from`th utterance, said `expected` in this order (each one the
    // start of an utterance, other utterances between them allowed).
    bool said(size_t from, const std::vector<std::string>& expected) {
        size_t next = 0;
        for (const std::string& spoken : orcaSpeech(log_, from)) {
            if (next < expected.size() && spoken.find(expected[next]) == 0) {
                ++next;
            }
        }
        return next == expected.size();
    }

    std::string log_;
};

TEST_F(ScreenReaderTest, OrcaReadsTheTableAndItsRowsAndEnterWatches) {
    startProgram();
    const std::string window = std::to_string(mainWindow().nativeHandle());
    ASSERT_EQ(runWhileLooping({"xdotool", "windowactivate", "--sync", window},
                              [this](const std::function<bool()>& d) { return waitFor(d); }),
              0);
    ASSERT_TRUE(waitFor([&] { return mainWindow().is_active(); }));
    layer->selector().widget().grab_focus();
    ASSERT_TRUE(waitFor([&] { return said(0, {"Country combo box"}); }));

    // Tab from the country selector into the list: its name, its true size, the first row.
    size_t from = orcaSpeech(log_).size();
    key("Tab");
    std::vector<std::string> expected{"Channel list", "table with 3 rows 4 columns"};
    expected.insert(expected.end(), kRows[0].begin(), kRows[0].end());
    EXPECT_TRUE(waitFor([&] { return said(from, expected); }))
        << ::testing::PrintToString(orcaSpeech(log_, from));

    // Down: the next row's four cells.
    from = orcaSpeech(log_).size();
    key("Down");
    EXPECT_TRUE(waitFor([&] { return said(from, kRows[1]); }))
        << ::testing::PrintToString(orcaSpeech(log_, from));

    // Enter watches the row, as a double click does.
    key("Return");
    EXPECT_TRUE(runUntil(
        [&] { return mainWindow().statusText() == " Now watching: " + kRows[1][0]; }, 60000));
    EXPECT_EQ(layer->list().selectedRow(), 1);
}

}  // namespace
}  // namespace vistrelle::gtk::testing
