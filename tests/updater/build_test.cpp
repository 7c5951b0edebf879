// Ordering, the file's bytes and its safe replacement.
#include <gtest/gtest.h>
#include <sys/resource.h>

#include <csignal>

#include "fake/child_process.h"
#include "fake/sandbox.h"
#include "os/lock_file.h"
#include "updater/catalog_build.h"
#include "updater/texts.h"

namespace vistrelle::updater {
namespace {

Entry entry(std::string country, std::string name, Source source, int64_t popularity,
            std::string url) {
    return {std::move(country), std::move(name), 0, "", "", std::move(url), "", source, popularity};
}

std::vector<std::string> names(const std::vector<Entry>& entries) {
    std::vector<std::string> result;
    for (const Entry& e : entries) {
        result.push_back(e.country + ":" + e.name);
    }
    return result;
}

TEST(UpdaterOrder, CountriesTvRadioPopularityAndDuplicates) {
    std::vector<Entry> entries = {
        entry("Norway", "quiet radio", Source::Radio, 1, "http://n/1"),
        entry("International", "world", Source::Radio, 5, "http://i/1"),
        entry("Norway", "loud radio", Source::Radio, 90, "http://n/2"),
        entry("Åland Islands", "Å", Source::Radio, 3, "http://a/1"),
        entry("Norway", "b tv", Source::Tv, 0, "http://n/3"),
        entry("Norway", "A tv", Source::Tv, 0, "http://n/4"),
        entry("Albania", "copy", Source::Radio, 2, "http://n/2"),  // less popular copy
        entry("Norway", "mine", Source::Playlist, 0, "http://n/5"),
        entry("Norway", "also mine", Source::Playlist, 0, "http://n/6"),
        entry("albania", "lower", Source::Radio, 0, "http://l/1"),
        entry("Albania", "upper", Source::Radio, 0, "http://l/2"),
        entry("International", "world copy", Source::Tv, 0, "http://i/1"),
    };
    orderEntries(entries);
    EXPECT_EQ(names(entries),
              (std::vector<std::string>{"Åland Islands:Å", "Albania:upper", "albania:lower",
                                        "International:world", "Norway:mine", "Norway:also mine",
                                        "Norway:A tv", "Norway:b tv", "Norway:loud radio",
                                        "Norway:quiet radio"}));
    Counts counts = countEntries(entries);
    EXPECT_EQ(counts.radio, 6u);
    EXPECT_EQ(counts.tv, 2u);
    EXPECT_EQ(counts.playlist, 2u);
}

TEST(UpdaterOrder, CatalogueBytes) {
    Entry e{"Côte d'Ivoire", "Ø", 320, "Jazz", "MP3, french", "http://x/" + std::string(5000, 'y'),
            "https://x/"};
    EXPECT_EQ(catalogBytes({e, entry("", "", Source::Tv, 0, "")}),
              "Côte d'Ivoire|Ø|320|Jazz|MP3, french|" + e.url + "|https://x/\r\n||0||||\r\n");
}

TEST(UpdaterTexts, Numbers) {
    const struct {
        uint64_t n;
        std::string grouped, bytes;
    } cases[] = {{0, "0", "0 bytes"},
                 {999, "999", "999 bytes"},
                 {1000, "1,000", "1 KB"},
                 {61234, "61,234", "61 KB"},
                 {8123456, "8,123,456", "8.1 MB"},
                 {1234567890, "1,234,567,890", "1,234.5 MB"}};
    for (const auto& c : cases) {
        EXPECT_EQ(groupedNumber(c.n), c.grouped);
        EXPECT_EQ(byteSize(c.n), c.bytes);
    }
    EXPECT_EQ(summaryText({49870, 11364, 0}), "61,234 channels saved: 49,870 radio, 11,364 TV.");
    EXPECT_EQ(summaryText({1, 0, 0}), "1 channel saved: 1 radio, 0 TV.");
    EXPECT_EQ(progressText("stations", 12345, 8123456), "12,345 stations, 8.1 MB");
}

class UpdaterFileTest : public testing::SandboxTest {};

const std::string kOld = "Old|channel|1||||\r\nwith no final line end";

TEST_F(UpdaterFileTest, AFullDiskKeepsTheOldFileAndLeavesNoTemporary) {
    sandbox.write("channels.dat", kOld);
    EXPECT_EQ(testing::runInChild([] {
                  std::signal(SIGXFSZ, SIG_DFL);  // as the updater starts
                  rlimit limit{64, 64};
                  return setrlimit(RLIMIT_FSIZE, &limit) == 0 &&
                                 replaceCatalog("channels.dat", std::string(4096, 'n')) ==
                                     "Writing channels.dat failed (is the disk full?). The old "
                                     "list is kept."
                             ? 0
                             : 3;
              }),
              0);
    EXPECT_EQ(sandbox.read("channels.dat"), kOld);
    EXPECT_EQ(sandbox.entries(), std::vector<std::string>{"channels.dat"});
    // Without the limit, the file is replaced whole.
    EXPECT_EQ(replaceCatalog("channels.dat", "New|one|0||||\r\n"), "");
    EXPECT_EQ(sandbox.read("channels.dat"), "New|one|0||||\r\n");
    EXPECT_EQ(sandbox.entries(), std::vector<std::string>{"channels.dat"});
}

TEST_F(UpdaterFileTest, AReadOnlyFolderKeepsTheOldFile) {
    std::filesystem::create_directory(sandbox.path() / "ro");
    sandbox.write("ro/channels.dat", kOld);
    int code = testing::runInChild(
        [] {
            std::string failure = replaceCatalog("ro/channels.dat", "New||0||||\r\n");
            return failure.starts_with("No new file can be made beside ro/channels.dat") ? 0 : 3;
        },
        true);
    if (code == testing::kCannotDropRights) {
        GTEST_SKIP() << "cannot drop root's rights here";
    }
    std::filesystem::permissions(sandbox.path() / "ro", std::filesystem::perms::owner_all);
    EXPECT_EQ(code, 0);
    EXPECT_EQ(sandbox.read("ro/channels.dat"), kOld);
}

TEST_F(UpdaterFileTest, TheLockKeepsASecondUpdaterOut) {
    // Whether another process gets the lock now.
    auto other = [] {
        return testing::runInChild([] {
            os::LockFile second;
            return static_cast<int>(second.acquire("channels.dat.lock"));
        });
    };
    os::LockFile first;
    ASSERT_EQ(first.acquire("channels.dat.lock"), os::LockFile::Result::Locked);
    EXPECT_EQ(other(), static_cast<int>(os::LockFile::Result::Busy));
    first.release();
    EXPECT_FALSE(sandbox.exists("channels.dat.lock"));
    EXPECT_EQ(other(), static_cast<int>(os::LockFile::Result::Locked));
}

}  // namespace
}  // namespace vistrelle::updater
