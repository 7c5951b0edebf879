// The help window under a real display, on the Help.chm of this build: its first page and its
// contents read back from the view, links inside the archive followed, web addresses handed on,
// damaged archives refused. No network is used.
#include "gtk/help_viewer.h"

#include <gtest/gtest.h>
#include <gtkmm/main.h>

#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "fake/sandbox.h"
#include "gtk/gtk_layer.h"
#include "gtk/message_box.h"
#include "gtk_fixture.h"
#include "ui/ids.h"

namespace vistrelle::gtk {
namespace {

using testing::iterateMainLoopUntil;

std::string fileBytes(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::stringstream bytes;
    bytes << in.rdbuf();
    return bytes.str();
}

// The result of a script run in the shown page, as text.
std::string evaluate(WebKitWebView* view, const std::string& script) {
    struct Result {
        bool done = false;
        std::string text;
    } result;
    webkit_web_view_evaluate_javascript(
        view, script.c_str(), -1, nullptr, nullptr, nullptr,
        [](GObject* source, GAsyncResult* async, gpointer data) {
            auto* out = static_cast<Result*>(data);
            GError* error = nullptr;
            JSCValue* value =
                webkit_web_view_evaluate_javascript_finish(WEBKIT_WEB_VIEW(source), async, &error);
            if (value != nullptr) {
                gchar* text = jsc_value_to_string(value);
                out->text = text;
                g_free(text);
                g_object_unref(value);
            } else {
                out->text = std::string("error: ") + (error ? error->message : "");
                g_clear_error(&error);
            }
            out->done = true;
        },
        &result);
    EXPECT_TRUE(iterateMainLoopUntil([&result] { return result.done; })) << script;
    return result.text;
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
    std::string run(const std::string& script) { return evaluate(viewer->webKitView(), script); }
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

TEST_F(HelpViewerTest, ShowsTheFirstPageWithItsStyleAndTheContents) {
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
}

TEST_F(HelpViewerTest, FollowsLinksAndTheContentsInsideTheArchive) {
    ASSERT_TRUE(viewer);
    waitForPage("/index.html");
    run("document.querySelector('a[href=\"updating.html\"]').click(); 0");
    waitForPage("/updating.html");
    EXPECT_EQ(run("document.querySelector('h1').innerText"), "Updating the catalogue");
    EXPECT_NE(text().find("updater.ini"), std::string::npos);
    // The contents show where the link led.
    Gtk::TreeIter selected = viewer->contentsView().get_selection()->get_selected();
    ASSERT_TRUE(selected);
    EXPECT_EQ(viewer->contentsView().get_model()->get_path(selected).to_string(), "3");

    // A row of the contents shows its page.
    Gtk::TreePath fifth("4");
    viewer->contentsView().get_selection()->select(fifth);
    waitForPage("/menus.html");
    EXPECT_EQ(run("document.querySelector('h1').innerText"), "Menus and keys");
    EXPECT_TRUE(opened.empty());
}

TEST_F(HelpViewerTest, WebAddressesGoToTheBrowserAndOtherAddressesNowhere) {
    ASSERT_TRUE(viewer);
    waitForPage("/index.html");
    run("for (const href of ['file:///etc/passwd', 'smb://server/share', "
        "'ftp://files.example/', 'mailto:someone@example.org']) {"
        "  const a = document.createElement('a'); a.href = href; document.body.appendChild(a);"
        "  a.click(); }"
        "document.querySelector('a[href^=\"https:\"]').click(); 0");
    ASSERT_TRUE(iterateMainLoopUntil([this] { return !opened.empty(); }));
    EXPECT_EQ(opened, (std::vector<std::string>{"https://vistrelle.org/"}));
    EXPECT_EQ(viewer->shownPage(), "/index.html");
    EXPECT_EQ(run("document.title"), "Getting started");
}

TEST_F(HelpViewerTest, DamagedOrMissingArchivesAreRefused) {
    const std::string real = fileBytes(VISTRELLE_HELP_FILE);
    ASSERT_GT(real.size(), 4000u);
    struct Case {
        const char* what;
        std::string bytes;
    };
    std::string scrambled = real;
    for (size_t i = 0x60; i < scrambled.size(); i += 7) {
        scrambled[i] = static_cast<char>(scrambled[i] ^ 0x5A);
    }
    const Case cases[] = {
        {"empty", ""},
        {"a signature alone", "ITSF"},
        {"text", "<html><body>Help</body></html>"},
        {"the header only", real.substr(0, 120)},
        {"the first kilobyte", real.substr(0, 1024)},
        {"scrambled after the header", scrambled},
    };
    for (const Case& c : cases) {
        sandbox.write("Help.chm", c.bytes);
        EXPECT_FALSE(HelpViewer::open((sandbox.path() / "Help.chm").string(), nullptr)) << c.what;
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
    struct Seen {
        std::string text;
        size_t viewers = 0;
        bool shown = false;
        bool answered = false;
    } seen;
    struct Watch {
        Seen* seen;
        GtkLauncher* launcher;
    } watched{&seen, &layer->launches()};
    guint answer = g_timeout_add(
        20,
        [](gpointer data) -> gboolean {
            auto* watch = static_cast<Watch*>(data);
            Gtk::Dialog* box = currentMessageBox();
            if (box == nullptr) {
                return G_SOURCE_CONTINUE;
            }
            watch->seen->text = currentMessageText();
            std::vector<HelpViewer*> viewers = watch->launcher->helpViewers();
            watch->seen->viewers = viewers.size();
            watch->seen->shown = !viewers.empty() && viewers.front()->get_visible();
            box->response(GTK_RESPONSE_OK);
            watch->seen->answered = true;
            return G_SOURCE_REMOVE;
        },
        &watched);
    // Never left behind pointing at this test's locals.
    struct RemoveIfPending {
        guint source;
        const bool& answered;
        ~RemoveIfPending() {
            if (!answered) {
                g_source_remove(source);
            }
        }
    } removeIfPending{answer, seen.answered};
    pressKey(mainWindow(), GDK_KEY_F1);
    ASSERT_TRUE(runUntil([&] { return !seen.text.empty(); }));
    EXPECT_EQ(seen.text, "This is an old version of the help file, a new will be coming soon!");
    EXPECT_EQ(seen.viewers, 1u);
    EXPECT_TRUE(seen.shown);
    settle(50);
    EXPECT_EQ(currentMessageBox(), nullptr);

    ASSERT_TRUE(exitThroughMenu());
    EXPECT_TRUE(layer->launches().helpViewers().empty());
}

}  // namespace
}  // namespace vistrelle::gtk
