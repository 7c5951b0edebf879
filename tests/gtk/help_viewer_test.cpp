// The help window under a real display, on the Help.chm of this build: its first page and its
// contents read back from the view, links inside the archive followed, web addresses handed on,
// damaged archives refused. No network is used.
#include "gtk/help_viewer.h"

#include <glibmm/main.h>
#include <gtest/gtest.h>
#include <gtkmm/main.h>

#include <fstream>
#include <sstream>
#include <string>
#include <utility>
#include <vector>

#include "fake/sandbox.h"
#include "gtk/gtk_layer.h"
#include "gtk/message_box.h"
#include "gtk_fixture.h"
#include "ui/ids.h"

namespace vistrelle::gtk {
namespace {

using testing::evaluateScript;
using testing::iterateMainLoopUntil;
using testing::pressKey;

std::string fileBytes(const std::string& path) {
    std::stringstream bytes;
    bytes << std::ifstream(path, std::ios::binary).rdbuf();
    return bytes.str();
}

class HelpViewerTest : public vistrelle::testing::SandboxTest {
protected:
    HelpViewerTest() {
        testing::initGtk();
        viewer = HelpViewer::open(VISTRELLE_HELP_FILE,
                                  [this](const std::string& url) { opened.push_back(url); });
        if (viewer) {
            viewer->show();
        }
    }

    // Waits until `page` of the archive is shown whole.
    void waitForPage(const std::string& page) {
        ASSERT_TRUE(iterateMainLoopUntil([&] {
            return viewer->shownPage() == page && !webkit_web_view_is_loading(viewer->webKitView());
        })) << "still on "
            << viewer->shownPage();
    }
    std::string run(const std::string& script) {
        return evaluateScript(viewer->webKitView(), script);
    }
    std::string text() { return run("document.body.innerText"); }

    std::vector<std::string> contentsNames() {
        std::vector<std::string> names;
        viewer->contentsView().get_model()->foreach_iter([&](const Gtk::TreeIter& row) {
            Glib::ustring name;
            row->get_value(0, name);
            names.push_back(name);
            return false;
        });
        return names;
    }

    std::unique_ptr<HelpViewer> viewer;
    std::vector<std::string> opened;
};

TEST_F(HelpViewerTest, ShowsTheFirstPageHandsWebAddressesOnAndFollowsLinksInside) {
    ASSERT_TRUE(viewer);
    waitForPage("/index.html");
    EXPECT_EQ(viewer->get_title(), "Vistrelle Help");
    EXPECT_EQ(run("document.querySelector('h1').innerText"), "Getting started");
    EXPECT_NE(text().find("Vistrelle v1.0 Beta 3"), std::string::npos) << text();
    // The style sheet came out of the archive too.
    EXPECT_EQ(run("getComputedStyle(document.querySelector('h1')).color"), "rgb(26, 61, 124)");
    EXPECT_EQ(contentsNames(),
              (std::vector<std::string>{"Getting started", "The channel list", "Watching",
                                        "Updating the catalogue", "Menus and keys",
                                        "The files it keeps", "Troubleshooting"}));

    // Web addresses go to the browser, other addresses nowhere.
    run("for (const href of ['file:///etc/passwd', 'smb://server/share', "
        "'ftp://files.example/', 'mailto:someone@example.org']) {"
        "  const a = document.createElement('a'); a.href = href; document.body.appendChild(a);"
        "  a.click(); }"
        "document.querySelector('a[href^=\"https:\"]').click(); 0");
    ASSERT_TRUE(iterateMainLoopUntil([this] { return !opened.empty(); }));
    EXPECT_EQ(opened, (std::vector<std::string>{"https://vistrelle.org/"}));
    EXPECT_EQ(viewer->shownPage(), "/index.html");
    opened.clear();

    run("document.querySelector('a[href=\"updating.html\"]').click(); 0");
    waitForPage("/updating.html");
    EXPECT_EQ(run("document.querySelector('h1').innerText"), "Updating the catalogue");
    EXPECT_NE(text().find("updater.ini"), std::string::npos);
    // The contents show where the link led.
    Gtk::TreeIter selected = viewer->contentsView().get_selection()->get_selected();
    ASSERT_TRUE(selected);
    EXPECT_EQ(viewer->contentsView().get_model()->get_path(selected).to_string(), "3");

    // A row of the contents shows its page.
    viewer->contentsView().get_selection()->select(Gtk::TreePath("4"));
    waitForPage("/menus.html");
    EXPECT_EQ(run("document.querySelector('h1').innerText"), "Menus and keys");
    EXPECT_TRUE(opened.empty());
}

TEST_F(HelpViewerTest, DamagedOrMissingArchivesAreRefused) {
    const std::string real = fileBytes(VISTRELLE_HELP_FILE);
    ASSERT_GT(real.size(), 4000u);
    std::string scrambled = real;
    for (size_t i = 0x60; i < scrambled.size(); i += 7) {
        scrambled[i] = static_cast<char>(scrambled[i] ^ 0x5A);
    }
    const std::pair<const char*, std::string> cases[] = {
        {"empty", ""},
        {"text", "<html><body>Help</body></html>"},
        {"the header only", real.substr(0, 120)},
        {"the first kilobyte", real.substr(0, 1024)},
        {"scrambled after the header", scrambled},
    };
    for (const auto& [what, bytes] : cases) {
        sandbox.write("Help.chm", bytes);
        EXPECT_FALSE(HelpViewer::open((sandbox.path() / "Help.chm").string(), nullptr)) << what;
    }
    EXPECT_FALSE(HelpViewer::open((sandbox.path() / "missing.chm").string(), nullptr));
}

// The whole program: F1 opens the help window, then the notice; the window closes at exit.
class HelpProgramTest : public testing::GtkAppTest {};

TEST_F(HelpProgramTest, F1OpensTheHelpWindowThenTheNoticeAndExitClosesIt) {
    sandbox.write("channels.dat", "Norway|NRK 1|300|News||http://tv.example/nrk.asx|\r\n");
    std::filesystem::copy_file(VISTRELLE_HELP_FILE, sandbox.path() / "Help.chm");
    startProgram();
    // What was open when the notice came up.
    std::string seenText;
    size_t seenViewers = 0;
    bool seenShown = false;
    struct Disconnect {
        sigc::connection answer;
        ~Disconnect() { answer.disconnect(); }  // never left pointing at this test's locals
    } answerer{Glib::signal_timeout().connect(
        [&] {
            Gtk::Dialog* box = currentMessageBox();
            if (box == nullptr) {
                return true;
            }
            seenText = currentMessageText();
            std::vector<HelpViewer*> viewers = layer->launches().helpViewers();
            seenViewers = viewers.size();
            seenShown = !viewers.empty() && viewers.front()->get_visible();
            box->response(GTK_RESPONSE_OK);
            return false;
        },
        20)};
    pressKey(mainWindow(), GDK_KEY_F1);
    ASSERT_TRUE(runUntil([&] { return !seenText.empty(); }));
    EXPECT_EQ(seenText, "This is an old version of the help file, a new will be coming soon!");
    EXPECT_EQ(seenViewers, 1u);
    EXPECT_TRUE(seenShown);
    settle();
    EXPECT_EQ(currentMessageBox(), nullptr);

    ASSERT_TRUE(exitThroughMenu());
    EXPECT_TRUE(layer->launches().helpViewers().empty());
}

}  // namespace
}  // namespace vistrelle::gtk
