#include "gtk/launcher.h"

#include <gio/gio.h>
#include <glibmm/main.h>
#include <signal.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <filesystem>
#include <system_error>

#include "gtk/faults.h"
#include "gtk/session.h"
#include "gtk/session_bus.h"
#include "settings/launch.h"


namespace vistrelle::gtk {

namespace {

constexpr const char* kUrlHandler = "xdg-open";

bool isExecutableFile(const std::string& path) {
    struct stat info {};
    return !path.empty() && ::stat(path.c_str(), &info) == 0 && S_ISREG(info.st_mode) &&
           ::access(path.c_str(), X_OK) == 0;
}

bool isRegularFile(const std::string& path) {
    struct stat info {};
    return ::stat(path.c_str(), &info) == 0 && S_ISREG(info.st_mode);
}

std::string currentFolder() {
    std::error_code error;
    std::filesystem::path folder = std::filesystem::current_path(error);
    return error ? std::string() : folder.string();
}

// The absolute path of `path`, so that a handler started elsewhere still finds the file.
std::string absolutePath(const std::string& path) {
    std::error_code error;
    std::filesystem::path absolute = std::filesystem::absolute(path, error);
    return error ? path : absolute.string();
}

// Waits for `pid` to end. Nothing of the program runs meanwhile (its windows take no input),
// except the end of the session, which must not wait for the program started.
void waitForExit(pid_t pid) {
    GMainContext* context = sessionEndContext();
    context = context != nullptr ? g_main_context_ref(context) : g_main_context_new();
    bool ended = false;
    GSource* child = g_child_watch_source_new(pid);
    GChildWatchFunc noteEnd = [](GPid, gint, gpointer data) { *static_cast<bool*>(data) = true; };
    g_source_set_callback(child, G_SOURCE_FUNC(noteEnd), &ended, nullptr);
    g_source_attach(child, context);
    while (!ended) {
        g_main_context_iteration(context, TRUE);
    }
    g_source_destroy(child);
    g_source_unref(child);
    g_main_context_unref(context);
}

void reapChild(GPid pid, gint /*status*/, gpointer /*data*/) {
    g_spawn_close_pid(pid);
}

}  // namespace

std::string programFolder() {
    std::error_code error;
    std::filesystem::path exe = std::filesystem::read_symlink("/proc/self/exe", error);
    if (error) {
        return {};
    }
    return exe.parent_path().string();
}

LookupPlaces lookupPlaces() {
    LookupPlaces places;
    places.programFolder = programFolder();
    places.currentFolder = currentFolder();
    const char* searchPath = std::getenv("PATH");
    places.searchPath = searchPath ? searchPath : "/usr/local/bin:/usr/bin:/bin";
    return places;
}

std::string findProgram(std::string_view name, LookupKind kind) {
    for (const std::string& path : lookupPaths(name, kind, lookupPlaces())) {
        if (isExecutableFile(path)) {
            return path;
        }
    }
    return {};
}

pid_t spawnProgram(const std::string& path, const std::vector<std::string>& argv) {
    if (path.empty() || argv.empty()) {
        return -1;
    }
    std::vector<char*> args;
    args.reserve(argv.size() + 1);
    for (const std::string& arg : argv) {
        args.push_back(const_cast<char*>(arg.c_str()));
    }
    args.push_back(nullptr);

    // The child starts with every signal unblocked and at its default action, whatever this
    // program changed for itself.
    posix_spawnattr_t attributes;
    posix_spawnattr_init(&attributes);
    sigset_t all;
    sigset_t none;
    sigfillset(&all);
    sigemptyset(&none);
    posix_spawnattr_setsigdefault(&attributes, &all);
    posix_spawnattr_setsigmask(&attributes, &none);
    posix_spawnattr_setflags(&attributes, POSIX_SPAWN_SETSIGDEF | POSIX_SPAWN_SETSIGMASK);

    pid_t pid = -1;
    int error = posix_spawn(&pid, path.c_str(), nullptr, &attributes, args.data(), childEnvironment());
    posix_spawnattr_destroy(&attributes);
    return error == 0 ? pid : -1;
}

unsigned watchChild(pid_t pid) {
    return g_child_watch_add(pid, reapChild, nullptr);
}

GtkLauncher::~GtkLauncher() = default;

std::string GtkLauncher::updaterProgram() {
    return "channel-updater";
}

bool GtkLauncher::startProgram(const LaunchRequest& request) {
    std::string path = findProgram(request.program, LookupKind::Program);
    if (path.empty()) {
        return false;
    }
    std::vector<std::string> argv{request.program};
    if (!request.parameter.empty()) {
        argv.push_back(request.parameter);
    }
    pid_t pid = spawnProgram(path, argv);
    if (pid < 0) {
        return false;
    }
    if (request.wait) {
        waitForExit(pid);
    } else {
        watchChild(pid);
    }
    return true;
}

pid_t GtkLauncher::openWithDesktop(const std::string& target) {
    std::string handler = findProgram(kUrlHandler, LookupKind::SystemProgram);
    if (!handler.empty()) {
        return spawnProgram(handler, {kUrlHandler, target});
    }
    // No xdg-open: GIO's own idea of the default application.
    std::string uri = target;
    if (target.starts_with('/')) {
        gchar* fileUri = g_filename_to_uri(target.c_str(), nullptr, nullptr);
        if (fileUri == nullptr) {
            return -1;
        }
        uri = fileUri;
        g_free(fileUri);
    }
    GError* error = nullptr;
    gboolean started = g_app_info_launch_default_for_uri(uri.c_str(), nullptr, &error);
    if (error != nullptr) {
        g_error_free(error);
    }
    return started ? 0 : -1;
}

bool GtkLauncher::openWebAddress(std::string_view url) {
    // Only a web address ever reaches the desktop, whoever asks.
    std::string address = webAddressFor(url);
    if (address.empty()) {
        return false;
    }
    pid_t pid = openWithDesktop(address);
    if (pid > 0) {
        watchChild(pid);
    }
    return pid >= 0;
}

void GtkLauncher::loadHelpViewer() {
    // The help window is the program's own: nothing to load.
}

bool GtkLauncher::showHelpFile(std::string_view file) {
    if (file.empty() || file.find('/') != std::string_view::npos) {
        return false;
    }
    std::string path;
    for (const std::string& candidate : lookupPaths(file, LookupKind::Document, lookupPlaces())) {
        if (isRegularFile(candidate)) {
            path = absolutePath(candidate);
            break;
        }
    }
    if (path.empty()) {
        return false;
    }
    std::unique_ptr<HelpViewer> viewer =
        HelpViewer::open(path, [this](const std::string& url) { openWebAddress(url); });
    if (!viewer) {
        return false;
    }
    HelpViewer* shown = viewer.get();
    // Closing the window hides it; it is destroyed once the close has been handled.
    shown->signal_delete_event().connect(
        [this, shown](GdkEventAny*) {
            shown->hide();
            Glib::signal_idle().connect_once(
                sigc::bind(sigc::mem_fun(*this, &GtkLauncher::forgetHelpViewer), shown));
            return true;
        },
        false);
    helpViewers_.push_back(std::move(viewer));
    shown->show();
    shown->present();
    return true;
}

void GtkLauncher::closeHelpViewer() {
    // Inside the fault handler nothing is destroyed: the process ends right after this, and
    // its windows with it.
    if (!faultReportActive()) {
        helpViewers_.clear();
    }
}

std::vector<HelpViewer*> GtkLauncher::helpViewers() const {
    std::vector<HelpViewer*> viewers;
    for (const std::unique_ptr<HelpViewer>& viewer : helpViewers_) {
        viewers.push_back(viewer.get());
    }
    return viewers;
}

void GtkLauncher::forgetHelpViewer(HelpViewer* viewer) {
    std::erase_if(helpViewers_, [viewer](const std::unique_ptr<HelpViewer>& open) {
        return open.get() == viewer;
    });
}

}  // namespace vistrelle::gtk
