// The channel updater's network: downloads through libcurl and the radio directory's servers
// from DNS.
#pragma once

#include <atomic>
#include <memory>
#include <string>
#include <vector>

#include "updater/download.h"
#include "updater/run.h"

namespace vistrelle::updater {

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
