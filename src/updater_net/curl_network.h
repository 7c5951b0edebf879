// The channel updater's network: downloads through libcurl and the radio directory's servers
// from DNS.
#pragma once

#include <atomic>
#include <memory>
#include <string>
#include <vector>

#include "updater/run.h"

namespace vistrelle::updater {

struct NetworkLimits {
    long connectSeconds = 20;
    long totalSeconds = 600;   // for one download
    long stalledSeconds = 60;  // with less than 16 bytes a second
    uint64_t maxBytes = 0;     // when not 0, a lower cap than the one each download asks for
};

class CurlNetwork : public Network {
public:
    // `cancel` is watched by every download: setting it ends them soon.
    explicit CurlNetwork(const std::atomic<bool>& cancel, NetworkLimits limits = {});
    ~CurlNetwork() override;

    std::unique_ptr<Download> open(const std::string& url, uint64_t maxBytes) override;
    std::vector<std::string> radioServers(std::string* error) override;

private:
    const std::atomic<bool>& cancel_;
    NetworkLimits limits_;
};

// The radio directory's server names: the SRV records of _api._tcp.radio-browser.info, else the
// reverse names of the addresses of all.api.radio-browser.info. Unordered.
std::vector<std::string> radioDirectoryHosts(std::string* error);

}  // namespace vistrelle::updater
