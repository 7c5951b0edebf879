#include <arpa/nameser.h>
#include <netdb.h>
#include <netinet/in.h>
#include <resolv.h>
#include <sys/socket.h>

#include <algorithm>

#include "updater_net/curl_network.h"

namespace vistrelle::updater {

namespace {

constexpr const char* kServiceName = "_api._tcp.radio-browser.info";
constexpr const char* kAllServers = "all.api.radio-browser.info";

std::vector<std::string> serviceHosts() {
    std::vector<std::string> hosts;
    unsigned char answer[8192];
    int size = res_query(kServiceName, ns_c_in, ns_t_srv, answer, sizeof answer);
    if (size <= 0) {
        return hosts;
    }
    ns_msg message;
    if (ns_initparse(answer, size, &message) != 0) {
        return hosts;
    }
    for (int i = 0; i < ns_msg_count(message, ns_s_an); ++i) {
        ns_rr record;
        if (ns_parserr(&message, ns_s_an, i, &record) != 0 || ns_rr_type(record) != ns_t_srv ||
            ns_rr_rdlen(record) < 7) {
            continue;
        }
        char name[NS_MAXDNAME];
        // Priority, weight and port come first, then the target's name.
        if (dn_expand(ns_msg_base(message), ns_msg_end(message), ns_rr_rdata(record) + 6, name,
                      sizeof name) > 0 &&
            name[0] != '\0') {
            hosts.emplace_back(name);
        }
    }
    return hosts;
}

std::vector<std::string> reverseHosts() {
    std::vector<std::string> hosts;
    addrinfo hints{};
    hints.ai_family = AF_UNSPEC;
    hints.ai_socktype = SOCK_STREAM;
    addrinfo* found = nullptr;
    if (getaddrinfo(kAllServers, "443", &hints, &found) != 0) {
        return hosts;
    }
    for (addrinfo* at = found; at != nullptr; at = at->ai_next) {
        char name[NI_MAXHOST];
        if (getnameinfo(at->ai_addr, at->ai_addrlen, name, sizeof name, nullptr, 0, NI_NAMEREQD) ==
            0) {
            hosts.emplace_back(name);
        }
    }
    freeaddrinfo(found);
    return hosts;
}

}  // namespace

std::vector<std::string> radioDirectoryHosts(std::string* error) {
    std::vector<std::string> hosts = serviceHosts();
    if (hosts.empty()) {
        hosts = reverseHosts();
    }
    std::sort(hosts.begin(), hosts.end());
    hosts.erase(std::unique(hosts.begin(), hosts.end()), hosts.end());
    if (hosts.empty() && error != nullptr) {
        *error = "the name radio-browser.info cannot be looked up (is the computer online?).";
    }
    return hosts;
}

}  // namespace vistrelle::updater
