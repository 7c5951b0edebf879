// Other software on Linux: the updater and the desktop's URL handler; and the program's own help
// window.
#pragma once

#include <sigc++/trackable.h>
#include <sys/types.h>

#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "gtk/help_viewer.h"
#include "settings/launch.h"
#include "ui/window_layer.h"

namespace vistrelle::gtk {

// The folder of the running executable (from /proc/self/exe), or empty when unknown.
std::string programFolder();

// The folders the program looks in (lookupPaths): the running executable's, the current one,
// and PATH.
LookupPlaces lookupPlaces();

// The first executable file of this name where lookupPaths looks for `kind`; empty when none.
std::string findProgram(std::string_view name, LookupKind kind);

// Starts `path` with exactly these arguments (argv[0] included), without a shell. Returns the
// process id, or -1 when it could not be started.
pid_t spawnProgram(const std::string& path, const std::vector<std::string>& argv);

// Reaps `pid` in the background once it has ended (through the GLib main loop), so that a
// program the user keeps running leaves no zombie behind. Returns the watch's source id.
unsigned watchChild(pid_t pid);

class GtkLauncher final : public vistrelle::Launcher, public sigc::trackable {
public:
    GtkLauncher() = default;
    GtkLauncher(const GtkLauncher&) = delete;
    GtkLauncher& operator=(const GtkLauncher&) = delete;
    ~GtkLauncher() override;

    std::string updaterProgram() override;
    bool startProgram(const LaunchRequest& request) override;
    bool openWebAddress(std::string_view url) override;
    void loadHelpViewer() override;
    bool showHelpFile(std::string_view file) override;
    void closeHelpViewer() override;

    // The help windows this launcher opened that are still open, oldest first.
    std::vector<HelpViewer*> helpViewers() const;

private:
    // Hands `target` (an address or a file) to the desktop's handler; the process id of the
    // handler when one was spawned, 0 when it was handed over without one, -1 on failure.
    pid_t openWithDesktop(const std::string& target);

    void forgetHelpViewer(HelpViewer* viewer);
    std::vector<std::unique_ptr<HelpViewer>> helpViewers_;
};

}  // namespace vistrelle::gtk
