// The real program on a real display: a GtkLayer and an App started in a sandbox folder, driven
// by GTK events and by stepping the program's loop.
#pragma once

#include <gtk/gtk.h>
#include <webkit2/webkit2.h>

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "app/app.h"
#include "fake/sandbox.h"
#include "gtk/gtk_layer.h"

namespace vistrelle::gtk::testing {

// Starts GTK once for the whole test program.
void initGtk();

// Iterates the GLib main loop (which also reaps started programs) until `done` holds; false when
// it did not within a generous 30 seconds.
bool iterateMainLoopUntil(const std::function<bool()>& done);

// Runs a script in the page of `view` (the page's own world) and gives its result as text, once
// the main loop has brought it ("error: ..." when the script failed).
std::string evaluateScript(WebKitWebView* view, const std::string& script);
// The song title the player's page shows under the player, empty when it shows none.
std::string shownSongTitle(WebKitWebView* view);

// A key press sent to a window, at `time` on the display's clock.
void pressKey(Gtk::Window& window, guint keyval, GdkModifierType state = GdkModifierType(0),
              guint32 time = GDK_CURRENT_TIME);

class GtkAppTest : public vistrelle::testing::SandboxTest {
protected:
    void SetUp() override;
    void TearDown() override;

    // Makes the layer and the program and runs the start-up steps (channels.dat as written).
    void startProgram();

    // Steps the program's loop until `done` holds or `timeoutMs` passed; the result of `done`.
    // When the loop ends (Exit, a close request), the shutdown runs at once.
    bool runUntil(const std::function<bool()>& done, int timeoutMs = 10000);
    // Steps the loop until everything pending has been handled: a marker posted at the lowest
    // priority runs once the loop has nothing more urgent (events, layout, drawing), and the
    // program's own queue is empty then. Fails the test, saying so, if that never happens.
    void settle();
    // Exit through the File menu; true when the program ended.
    bool exitThroughMenu();

    MainWindow& mainWindow() { return *layer->ui().mainWindow(); }
    // The texts of one column, row by row, as shown.
    std::vector<std::string> columnTexts(int32_t column);
    std::vector<std::string> selectorItems();
    // Activates a menu bar item (as a click on it does).
    void chooseMenuItem(int32_t command);
    // The item of a pop-up menu with this label.
    Gtk::MenuItem* popupItem(int32_t menu, const std::string& label);
    // Mouse clicks on a row of channelList (in the first column).
    void rightClickRow(int32_t row);
    void doubleClickRow(int32_t row);
    // Answers the next message box with `response` and records its text.
    void answerMessageBox(int response);

    std::unique_ptr<GtkLayer> layer;
    std::unique_ptr<App> app;
    bool ended = false;
    std::vector<std::string> messageTexts;
    std::vector<std::string> messageTitles;

private:
    void step();
    void sendButton(GdkEventType type, guint button, int32_t row);
    guint keepAwake_ = 0;
    std::vector<guint> answers_;
};

}  // namespace vistrelle::gtk::testing
