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
constexpr std::string_view kAccessibilityVariable = "AT_SPI_BUS_ADDRESS";

// The accessibility bus as the desktop's bus launcher names it; empty when no launcher answers
// (no screen reader support on this desktop, or no bus at all).
std::string askAccessibilityBus(const std::string& sessionBus) {
    GDBusConnection* bus = g_dbus_connection_new_for_address_sync(
        sessionBus.c_str(),
        static_cast<GDBusConnectionFlags>(G_DBUS_CONNECTION_FLAGS_AUTHENTICATION_CLIENT |
                                          G_DBUS_CONNECTION_FLAGS_MESSAGE_BUS_CONNECTION),
        nullptr, nullptr, nullptr);
    if (bus == nullptr) {
        return {};
    }
    std::string address;
    GVariant* answer = g_dbus_connection_call_sync(
        bus, "org.a11y.Bus", "/org/a11y/bus", "org.a11y.Bus", "GetAddress", nullptr,
        G_VARIANT_TYPE("(s)"), G_DBUS_CALL_FLAGS_NONE, 2000, nullptr, nullptr);
    if (answer != nullptr) {
        const gchar* named = nullptr;
        g_variant_get(answer, "(&s)", &named);
        address = named;
        g_variant_unref(answer);
    }
    g_dbus_connection_close_sync(bus, nullptr, nullptr);
    g_object_unref(bus);
    return address;
}

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
    // The web processes look for the accessibility bus through the session bus: name it for them,
    // or a screen reader finds the player's page empty.
    const char* accessibility = std::getenv(kAccessibilityVariable.data());
    const char* noBridge = std::getenv("NO_AT_BRIDGE");
    const bool bridgeOff = noBridge != nullptr && std::string_view(noBridge) == "1";
    if ((accessibility == nullptr || *accessibility == '\0') && !bridgeOff &&
        !kept->address.empty()) {
        const std::string found = askAccessibilityBus(kept->address);
        if (!found.empty()) {
            g_setenv(kAccessibilityVariable.data(), found.c_str(), TRUE);
        }
    }
    // An address nobody can connect to, so that no process falls back to a bus of its own.
    g_setenv(kAddressVariable.data(), kNoBus.data(), TRUE);
}

char** childEnvironment() {
    return gChildEnvironment != nullptr ? gChildEnvironment->pointers.data() : environ;
}

}  // namespace vistrelle::gtk
