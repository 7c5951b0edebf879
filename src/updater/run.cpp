#include "updater/run.h"

#include <array>
#include <charconv>
#include <cmath>
#include <unordered_map>

#include "os/file.h"
#include "os/lock_file.h"
#include "updater/texts.h"

namespace vistrelle::updater {

namespace {

constexpr size_t kProgressEvery = 1000;  // objects between two progress reports

// A download that counts its bytes.
class Counted : public ByteSource {
public:
    explicit Counted(ByteSource& source) : source_(source) {}
    std::string_view next() override {
        std::string_view piece = source_.next();
        bytes += piece.size();
        return piece;
    }
    std::string error() const override { return source_.error(); }
    bool cancelled() const override { return source_.cancelled(); }
    uint64_t bytes = 0;

private:
    ByteSource& source_;
};

enum class Outcome { Done, Failed, Cancelled };

struct Run {
    const Options& options;
    Network& network;
    Reporter& reporter;
    CountryNames countries;
    std::vector<Entry> entries;
    std::string error;
    // The sources that were read but gave no channel, for the summary.
    std::vector<std::string> notes;

    // Reads one JSON list, reporting progress; the error names `what`. The values of
    // `wholeKeys` are addresses, never cut.
    Outcome readList(const std::string& url, std::string_view items,
                     std::span<const std::string_view> keys,
                     std::span<const std::string_view> wholeKeys,
                     const std::function<void(ObjectValues)>& take) {
        std::unique_ptr<Download> download = network.open(url, kMaxListBytes);
        Counted counted(*download);
        size_t count = 0;
        bool tooMany = false;
        ListResult result = readObjectList(
            counted, keys,
            [&](ObjectValues values) {
                if (count == options.maxListObjects) {
                    tooMany = true;
                    return false;
                }
                take(values);
                if (++count % kProgressEvery == 0) {
                    reporter.progress(progressText(items, count, counted.bytes));
                    if (reporter.cancelled()) {
                        return false;
                    }
                }
                return true;
            },
            kMaxValueBytes, wholeKeys);
        if (reporter.cancelled() || download->cancelled()) {
            return Outcome::Cancelled;
        }
        reporter.progress(progressText(items, count, counted.bytes));
        if (tooMany) {
            error = "the list holds more than " + groupedNumber(options.maxListObjects) + " " +
                    std::string(items) + ", which cannot be right.";
            return Outcome::Failed;
        }
        if (result.code != ListResult::Code::Done) {
            error = result.error;
            return Outcome::Failed;
        }
        return Outcome::Done;
    }

    Outcome radio() {
        std::vector<std::string> servers;
        if (!options.radioDirectory.empty()) {
            servers.push_back(options.radioDirectory);
        } else {
            reporter.stage("Finding a radio directory server...");
            servers = network.radioServers(&error);
            if (servers.empty()) {
                error = "No radio directory server can be found: " + error;
                return Outcome::Failed;
            }
        }
        static constexpr std::array<std::string_view, 11> keys = {
            "name",     "url",   "url_resolved", "homepage",   "tags",       "countrycode",
            "language", "codec", "bitrate",      "clickcount", "lastcheckok"};
        static constexpr std::array<std::string_view, 3> addresses = {"url", "url_resolved",
                                                                      "homepage"};
        std::string lastServer;
        for (const std::string& server : servers) {
            if (reporter.cancelled()) {
                return Outcome::Cancelled;
            }
            reporter.stage("Downloading radio stations from " + hostOf(server) + "...");
            const size_t before = entries.size();
            size_t stations = 0;
            size_t broken = 0;
            Outcome outcome = readList(
                stationListAddress(server), "stations", keys, addresses, [&](ObjectValues v) {
                    RadioStation station{v[0], v[1], v[2], v[3], v[4], v[5], v[6], v[7]};
                    station.bitrate = number(v[8]);
                    station.clickCount = number(v[9]);
                    station.broken = v[10] == "0";
                    ++stations;
                    broken += station.broken ? 1 : 0;
                    if (auto entry = mapRadioStation(station, countries)) {
                        entries.push_back(std::move(*entry));
                    }
                });
            if (outcome == Outcome::Done && entries.size() == before) {
                error = noStationsText(stations, broken);
                outcome = Outcome::Failed;
            }
            if (outcome != Outcome::Failed) {
                return outcome;
            }
            // The next server starts again from nothing.
            entries.resize(before);
            lastServer = hostOf(server);
        }
        error = "The radio directory could not be read" +
                (servers.size() > 1 ? " from any of its " + std::to_string(servers.size()) +
                                          " servers (the last, " + lastServer + ": " + error + ")"
                                    : ": " + error);
        return Outcome::Failed;
    }

    Outcome tvLists() {
        std::string base = options.tvDirectory;
        if (!base.empty() && base.back() != '/') {
            base += '/';
        }
        reporter.stage("Downloading TV channels...");
        std::unordered_map<std::string, TvChannel> channels;
        static constexpr std::array<std::string_view, 7> channelKeys = {
            "id", "name", "country", "categories", "is_nsfw", "closed", "website"};
        static constexpr std::array<std::string_view, 1> website = {"website"};
        Outcome outcome =
            readList(base + "channels.json", "channels", channelKeys, website, [&](ObjectValues v) {
                if (v[0].empty()) {
                    return;
                }
                TvChannel channel{v[0], v[1], v[2], v[3], v[6]};
                channel.nsfw = v[4] == "1";
                channel.closed = !v[5].empty() && v[5] != "0";
                channels.emplace(channel.id, std::move(channel));
            });
        if (outcome != Outcome::Done) {
            return outcome;
        }
        reporter.stage("Downloading TV streams...");
        static constexpr std::array<std::string_view, 5> streamKeys = {"channel", "title", "url",
                                                                       "quality", "label"};
        static constexpr std::array<std::string_view, 1> url = {"url"};
        const size_t before = entries.size();
        outcome = readList(base + "streams.json", "streams", streamKeys, url, [&](ObjectValues v) {
            TvStream stream{v[0], v[1], v[2], v[3], v[4]};
            auto found = channels.find(stream.channel);
            const TvChannel* channel = found == channels.end() ? nullptr : &found->second;
            if (auto entry = mapTvStream(stream, channel, countries)) {
                entries.push_back(std::move(*entry));
            }
        });
        if (outcome == Outcome::Failed) {
            entries.resize(before);
        }
        // Lists that were read but name no channel to play (all closed, say) are what the
        // directory has: its playlist would only bring back what the lists leave out.
        if (outcome == Outcome::Done && entries.size() == before) {
            notes.push_back(tvDirectoryEmptyText());
        }
        return outcome;
    }

    Outcome tv() {
        Outcome outcome = tvLists();
        if (outcome != Outcome::Failed) {
            return outcome;
        }
        std::string listError = error;
        std::string address = tvPlaylistAddress(options);
        outcome = playlist(address, Source::Tv, "Downloading the TV playlist...");
        if (outcome == Outcome::Failed) {
            std::string playlistError = error.substr(error.find(": ") + 2);
            error = "The TV directory could not be read: " + listError;
            if (playlistError != listError) {
                error += " Nor could its playlist: " + playlistError;
            }
        }
        return outcome;
    }

    // Reads a playlist file or address into the entries. One that is read but holds no channel
    // is a note for the summary, unless it stands in for the TV directory.
    Outcome playlist(const std::string& where, Source source, const std::string& stage) {
        reporter.stage(stage);
        std::string bytes;
        std::string finalUrl;
        if (where.find("://") != std::string::npos) {
            std::unique_ptr<Download> download = network.open(where, kMaxPlaylistBytes);
            for (std::string_view piece = download->next(); !piece.empty();
                 piece = download->next()) {
                bytes.append(piece);
                reporter.progress(byteSize(bytes.size()));
            }
            if (reporter.cancelled() || download->cancelled()) {
                return Outcome::Cancelled;
            }
            if (std::string failure = download->error(); !failure.empty()) {
                error = where + ": " + failure;
                return Outcome::Failed;
            }
            finalUrl = download->finalUrl().empty() ? where : download->finalUrl();
        } else if (!readFile(where, kMaxPlaylistBytes, bytes)) {
            error = where + ": the file cannot be read.";
            return Outcome::Failed;
        }
        std::string why;
        switch (readPlaylistEntries(bytes, finalUrl, source, countries, entries, &why)) {
            case PlaylistRead::Channels:
                return Outcome::Done;
            case PlaylistRead::Nothing:
                if (source == Source::Playlist) {
                    notes.push_back(playlistNoteText(where, why));
                    return Outcome::Done;
                }
                break;
            case PlaylistRead::Refused:
                break;
        }
        error = where + ": " + why;
        return Outcome::Failed;
    }

    static bool readFile(const std::string& path, uint64_t maxBytes, std::string& bytes) {
        os::File file;
        if (!file.open(path, os::File::Access::Read)) {
            return false;
        }
        char buffer[65536];
        for (int64_t n; (n = file.read(buffer, sizeof buffer)) > 0;) {
            bytes.append(buffer, static_cast<size_t>(n));
            if (bytes.size() > maxBytes) {
                return false;
            }
        }
        return true;
    }

    // A number the directory gave as a number or as text ("128", "1.28e2", "96 kbps"), to the
    // nearest whole number; 0 when there is none.
    static int64_t number(std::string_view text) {
        while (text.starts_with(' ')) {
            text.remove_prefix(1);
        }
        double value = 0;
        const auto read = std::from_chars(text.data(), text.data() + text.size(), value);
        if (read.ec == std::errc::result_out_of_range) {
            return text.starts_with('-') ? INT64_MIN : INT64_MAX;
        }
        if (read.ec != std::errc() || !std::isfinite(value)) {
            return 0;
        }
        value = std::round(value);
        if (value >= 9.2e18 || value <= -9.2e18) {
            return value > 0 ? INT64_MAX : INT64_MIN;
        }
        return static_cast<int64_t>(value);
    }

    static std::string hostOf(const std::string& url) {
        size_t start = url.find("://");
        start = start == std::string::npos ? 0 : start + 3;
        size_t end = url.find_first_of("/?#", start);
        return url.substr(start, end == std::string::npos ? std::string::npos : end - start);
    }
};

RunResult failed(std::string message) {
    RunResult result;
    result.message = std::move(message);
    return result;
}

}  // namespace

std::string stationListAddress(const std::string& server) {
    std::string base = server;
    while (!base.empty() && base.back() == '/') {
        base.pop_back();
    }
    return base + "/json/stations?hidebroken=true&order=clickcount&reverse=true";
}

RunResult runUpdate(const Options& options, Network& network, Reporter& reporter) {
    Run run{options, network, reporter, {}, {}, {}, {}};
    std::string isoBytes(options.carriedIsoCodes);
    std::string isoError;
    if (!options.isoCodes.empty()) {
        isoBytes.clear();
    }
    if ((!options.isoCodes.empty() &&
         !Run::readFile(options.isoCodes, kMaxPlaylistBytes, isoBytes)) ||
        !run.countries.load(isoBytes, &isoError)) {
        if (options.isoCodes.empty()) {
            return failed("The country names the program carries cannot be read.");
        }
        // Where the program carries no names of its own, a system package provides them.
        return failed(
            "The country names cannot be read from " + options.isoCodes +
            (options.carriedIsoCodes.empty() ? " (install the iso-codes package)." : "."));
    }
    if (!options.radio && !options.tv && options.playlists.empty()) {
        return failed("Nothing to do: radio and TV are both left out and no playlist is given.");
    }
    // Before anything is downloaded: the catalogue must be a file that can stand there.
    switch (os::pathKind(options.output)) {
        case os::PathKind::Directory:
            return failed(outputIsFolderText(options.output));
        case os::PathKind::Other:
            return failed(outputNotAFileText(options.output));
        case os::PathKind::Missing:
            if (const std::string folder = folderOf(options.output);
                !folder.empty() && os::pathKind(folder) != os::PathKind::Directory) {
                return failed(outputFolderMissingText(folder));
            }
            break;
        case os::PathKind::RegularFile:
            break;
    }
    os::LockFile lock;
    switch (lock.acquire(options.output + ".lock")) {
        case os::LockFile::Result::Locked:
            break;
        case os::LockFile::Result::Busy:
            return failed("Another channel updater is already updating " + options.output + ".");
        case os::LockFile::Result::Failed:
            return failed("No lock file can be made beside " + options.output +
                          " (is the folder writable?).");
    }

    Outcome outcome = Outcome::Done;
    if (options.tv) {
        outcome = run.tv();
    }
    if (outcome == Outcome::Done && options.radio) {
        outcome = run.radio();
    }
    for (size_t i = 0; outcome == Outcome::Done && i < options.playlists.size(); ++i) {
        const std::string& where = options.playlists[i];
        outcome = run.playlist(where, Source::Playlist, "Reading the playlist " + where + "...");
        if (outcome == Outcome::Failed) {
            run.error = "The playlist " + run.error;
        }
    }
    if (outcome == Outcome::Done && reporter.cancelled()) {
        outcome = Outcome::Cancelled;
    }
    if (outcome == Outcome::Cancelled) {
        return failed(cancelledText());
    }
    if (outcome == Outcome::Failed) {
        return failed(run.error + " The old channel list is kept.");
    }

    reporter.stage("Sorting " + groupedNumber(run.entries.size()) + " channels...");
    orderEntries(run.entries);
    if (run.entries.empty()) {
        return failed(nothingFoundText(run.notes));
    }
    RunResult result;
    result.counts = countEntries(run.entries);
    reporter.stage("Saving " + options.output + "...");
    std::string bytes = catalogBytes(run.entries);
    run.entries = std::vector<Entry>();
    if (reporter.cancelled()) {
        return failed(cancelledText());
    }
    if (std::string failure = replaceCatalog(options.output, bytes); !failure.empty()) {
        return failed(failure);
    }
    result.ok = true;
    result.message = summaryText(result.counts, run.notes);
    return result;
}

}  // namespace vistrelle::updater
