// The radio directory's servers on Windows: the service records through DnsQuery_A, else the
// reverse names of the addresses of all its servers through Winsock.
#include <winsock2.h>
#include <ws2tcpip.h>
// clang-format off
#include <windows.h>
#include <windns.h>
// clang-format on

#include <algorithm>

#include "updater_win32/winhttp_network.h"

namespace vistrelle::updater {

namespace {

constexpr const char* kServiceName = "_api._tcp.radio-browser.info";
constexpr const char* kAllServers = "all.api.radio-browser.info";

std::vector<std::string> serviceHosts() {
    std::vector<std::string> hosts;
    PDNS_RECORD found = nullptr;
    if (DnsQuery_A(kServiceName, DNS_TYPE_SRV, DNS_QUERY_STANDARD, nullptr, &found, nullptr) != 0) {
        return hosts;
    }
    // The records of the ANSI query hold ANSI names.
    for (auto* record = reinterpret_cast<PDNS_RECORDA>(found); record != nullptr;
         record = record->pNext) {
        if (record->wType == DNS_TYPE_SRV && record->Flags.S.Section == DnsSectionAnswer &&
            record->Data.SRV.pNameTarget != nullptr && record->Data.SRV.pNameTarget[0] != '\0') {
            hosts.emplace_back(record->Data.SRV.pNameTarget);
        }
    }
    DnsRecordListFree(found, DnsFreeRecordList);
    return hosts;
}

std::vector<std::string> reverseHosts() {
    std::vector<std::string> hosts;
    WSADATA data;
    if (WSAStartup(MAKEWORD(2, 2), &data) != 0) {
        return hosts;
    }
    addrinfo hints{};
    hints.ai_family = AF_UNSPEC;
    hints.ai_socktype = SOCK_STREAM;
    addrinfo* found = nullptr;
    if (getaddrinfo(kAllServers, "443", &hints, &found) == 0) {
        for (addrinfo* at = found; at != nullptr; at = at->ai_next) {
            char name[NI_MAXHOST];
            if (getnameinfo(at->ai_addr, static_cast<socklen_t>(at->ai_addrlen), name, sizeof name,
                            nullptr, 0, NI_NAMEREQD) == 0) {
                hosts.emplace_back(name);
            }
        }
        freeaddrinfo(found);
    }
    WSACleanup();
    return hosts;
}

}  // namespace

std::vector<std::string> radioDirectoryHosts(std::string* error) {
    std::vector<std::string> hosts = serviceHosts();
    if (hosts.empty()) {
        hosts = reverseHosts();
    }
    // Names as the system gives them may end with the root's ".".
    for (std::string& host : hosts) {
        if (!host.empty() && host.back() == '.') {
            host.pop_back();
        }
    }
    std::sort(hosts.begin(), hosts.end());
    hosts.erase(std::unique(hosts.begin(), hosts.end()), hosts.end());
    if (hosts.empty() && error != nullptr) {
        *error = "the name radio-browser.info cannot be looked up (is the computer online?).";
    }
    return hosts;
}

}  // namespace vistrelle::updater
