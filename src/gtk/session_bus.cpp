#include "gtk/session_bus.h"

#include <gio/gio.h>

#include <cstdlib>
#include <string_view>
#include <vector>

extern char** environ;

namespace vistrelle::gtk {
namespace {

constexpr std::string_view kAddressVariable = "DBUS_SESSION_BUS_ADDRESS";

std::string findSessionBus() {
    const char* named = std::getenv(kAddressVariable.data());
    if (named != nullptr && *named != '\0') {
        return named;
    }
    const char* runtime = std::getenv("XDG_RUNTIME_DIR");
    if (runtime != nullptr && *runtime != '\0') {
        const std::string socket = std::string(runtime) + "/bus";
        if (g_file_test(socket.c_str(), G_FILE_TEST_EXISTS)) {
            gchar* escaped = g_dbus_address_escape_value(socket.c_str());
            std::string address = std::string("unix:path=") + escaped;
            g_free(escaped);
            return address;
        }
    }
    return {};
}

constexpr std::string_view kNoBus = "disabled:";

bool keptOff() {
    const char* current = std::getenv(kAddressVariable.data());
    return current != nullptr && current == kNoBus;
}

// The environment as it was, kept for the programs the program starts.
struct ChildEnvironment {
    std::string address;
    std::vector<std::string> entries;
    std::vector<char*> pointers;
};
ChildEnvironment* gChildEnvironment = nullptr;

}  // namespace

std::string sessionBusAddress() {
    if (gChildEnvironment != nullptr && keptOff()) {
        return gChildEnvironment->address;
    }
    return findSessionBus();
}

void keepWebProcessesOffSessionBus() {
    if (keptOff()) {
        return;
    }
    // Never freed: a fault report may be starting a process with it at any moment.
    auto* kept = new ChildEnvironment{.address = findSessionBus(), .entries = {}, .pointers = {}};
    const std::string assignment = std::string(kAddressVariable) + "=";
    for (char** entry = environ; *entry != nullptr; ++entry) {
        if (!std::string_view(*entry).starts_with(assignment)) {
            kept->entries.emplace_back(*entry);
        }
    }
    if (!kept->address.empty()) {
        kept->entries.push_back(assignment + kept->address);
    }
    for (std::string& entry : kept->entries) {
        kept->pointers.push_back(entry.data());
    }
    kept->pointers.push_back(nullptr);
    gChildEnvironment = kept;
    // An address nobody can connect to, so that no process falls back to a bus of its own.
    g_setenv(kAddressVariable.data(), kNoBus.data(), TRUE);
}

char** childEnvironment() {
    return gChildEnvironment != nullptr ? gChildEnvironment->pointers.data() : environ;
}

}  // namespace vistrelle::gtk
