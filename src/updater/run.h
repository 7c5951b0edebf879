// One run of the channel updater: the directories and playlists in, channels.dat out. The
// network and the screen are handed in, so the run itself is the same in tests.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "updater/catalog_build.h"
#include "updater/json_list.h"
#include "updater/options.h"

namespace vistrelle::updater {

// A download in progress.
class Download : public ByteSource {
public:
    // The address after redirects (known once the first bytes came).
    virtual std::string finalUrl() const = 0;
};

class Network {
public:
    virtual ~Network() = default;
    // Starts downloading `url`; more than `maxBytes` bytes is a failure.
    virtual std::unique_ptr<Download> open(const std::string& url, uint64_t maxBytes) = 0;
    // The base addresses of the radio directory's servers ("https://name"), in the order to try
    // them; empty with `error` set when none can be found.
    virtual std::vector<std::string> radioServers(std::string* error) = 0;
};

class Reporter {
public:
    virtual ~Reporter() = default;
    virtual void stage(const std::string& text) = 0;
    // The detail under the stage, at most a few times a second.
    virtual void progress(const std::string& text) = 0;
    virtual bool cancelled() = 0;
};

struct RunResult {
    bool ok = false;
    std::string message;  // the summary, or what went wrong
    Counts counts;
};

inline constexpr uint64_t kMaxListBytes = uint64_t{512} << 20;
inline constexpr uint64_t kMaxPlaylistBytes = uint64_t{64} << 20;

RunResult runUpdate(const Options& options, Network& network, Reporter& reporter);

// The address of the station list on a radio directory server.
std::string stationListAddress(const std::string& server);

enum class PlaylistRead {
    Channels,  // entries were added
    Nothing,   // a playlist, but without a channel to play
    Refused,   // no playlist at all (a web page, media)
};

// Adds the entries of a playlist's bytes (what the playlist reader finds) fetched from
// `finalUrl` (empty for a file). An ASX whose items are all references keeps their addresses.
// `why` says what is wrong unless entries were added.
PlaylistRead readPlaylistEntries(std::string_view bytes, std::string_view finalUrl, Source source,
                                 const CountryNames& countries, std::vector<Entry>& entries,
                                 std::string* why);

}  // namespace vistrelle::updater
