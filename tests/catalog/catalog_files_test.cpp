#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "catalog/catalog.h"
#include "catalog/catalog_format.h"
#include "fake/child_process.h"
#include "fake/memory_layer.h"
#include "fake/sandbox.h"
#include "os/file.h"

#ifndef _WIN32
#include <signal.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>
#endif

namespace vistrelle {
namespace {

using testing::MemoryLauncher;
using testing::MemoryWindows;
using testing::MessageBoxCall;
using Texts = std::vector<std::string>;

const MessageBoxCall kNoChannels{
    "Info!", "No channels found, do you want to download an updated channel list?",
    MessageIcon::Information, MessageButtons::YesNo};
const MessageBoxCall kNoUpdater{"Warning!", "Channel updater not found!", MessageIcon::Warning};
const MessageBoxCall kSaveFailed{"Warning!", "Couldn't save favorite list!", MessageIcon::Warning};

class CatalogFilesTest : public testing::SandboxTest {
protected:
    void SetUp() override {
        windows.selector.items = {"Favorites", "All countries"};
        windows.selector.selected = 1;
        windows.statusText = "before";
    }
    void load() { loadCatalog(catalog, windows, launcher); }
    Texts names(const std::vector<Channel>& channels) const {
        Texts texts;
        for (const Channel& channel : channels) {
            texts.emplace_back(channel.name());
        }
        return texts;
    }
    void addFavorites(const Texts& lines) {
        for (const std::string& line : lines) {
            catalog.favoriteChannels.push_back(parseChannelLine(line));
        }
    }

    Catalog catalog;
    MemoryWindows windows;
    MemoryLauncher launcher;
};

TEST_F(CatalogFilesTest, LoadFillsListsRowsSelectorAndStatus) {
    sandbox.write("channels.dat", "A|a1|1\r\nA|a2|2\r\nB|b1\r\nA|a3\r\n|e\r\n|f\r\nA|x");
    sandbox.write("favorites.dat", "F|f1|+64\nF|f2");
    load();
    EXPECT_EQ(names(catalog.allChannels), (Texts{"a1", "a2", "b1", "a3", "e", "f", "x"}));
    EXPECT_EQ(names(catalog.shownChannels), names(catalog.allChannels));
    EXPECT_EQ(windows.list.rowTexts(), (Texts{"a1\n\n1\n", "a2\n\n2\n", "b1\n\n0\n", "a3\n\n0\n",
                                              "e\n\n0\n", "f\n\n0\n", "x\n\n0\n"}));
    EXPECT_EQ(windows.list.resets, 1);
    EXPECT_EQ(windows.selector.items,
              (Texts{"Favorites", "All countries", "A", "B", "A", "", "A"}));
    EXPECT_EQ(windows.selector.selected, 1);
    EXPECT_EQ(windows.statusText, " 7 channels loaded");
    EXPECT_EQ(names(catalog.favoriteChannels), (Texts{"f1", "f2"}));
    EXPECT_EQ(catalog.favoriteCursor, 1);
    EXPECT_NE(catalog.favoriteChannels[0].favoriteId, 0u);
    EXPECT_NE(catalog.favoriteChannels[0].favoriteId, catalog.favoriteChannels[1].favoriteId);
    EXPECT_TRUE(windows.messages.empty());
    EXPECT_EQ(catalog.filterIndex, 1);
}

TEST_F(CatalogFilesTest, SelectorItemsFollowRunsOfCountries) {
    struct Case {
        std::string bytes;
        Texts items;
    };
    const Case cases[] = {
        {"A|1\nA|2\nB|3\nA|4\n", {"A", "B", "A"}},
        {"A|1\n|2\nA|3\n", {"A", "", "A"}},
        {"norway|1\nNorway|2\n", {"norway", "Norway"}},
        {"|1\n|2\nA|3\n", {"A"}},  // a first empty country adds nothing
        {"", {}},
        {"\n\n\n", {}},
    };
    for (const Case& c : cases) {
        catalog = Catalog();
        windows.selector.items.clear();
        sandbox.write("channels.dat", c.bytes);
        load();
        EXPECT_EQ(windows.selector.items, c.items) << c.bytes;
    }
}

TEST_F(CatalogFilesTest, EmptyFileLoadsZeroChannels) {
    sandbox.write("channels.dat", "");
    load();
    EXPECT_EQ(windows.statusText, " 0 channels loaded");
    EXPECT_EQ(windows.list.rowCount(), 0);
    EXPECT_TRUE(windows.messages.empty());
}

TEST_F(CatalogFilesTest, LineEndsOfTheFileGiveTheRulesLines) {
    const std::pair<std::string, size_t> cases[] = {
        {"X\r\nY", 2},  {"X\r\n", 1},  {"X\r\n\r\n", 2},
        {"X\rY\nZ", 3}, {"X\n\rY", 3}, {std::string("X\0Y", 3), 2},
        {"X\r", 1},
    };
    for (const auto& [bytes, count] : cases) {
        catalog = Catalog();
        sandbox.write("channels.dat", bytes);
        load();
        EXPECT_EQ(catalog.allChannels.size(), count);
        EXPECT_EQ(windows.statusText, " " + std::to_string(count) + " channels loaded");
    }
}

TEST_F(CatalogFilesTest, ReaderGivesTheSameLinesFromAFileInAnyBlockSize) {
    std::string bytes;
    for (int i = 0; i < 3000; ++i) {
        bytes += std::string(static_cast<size_t>(i % 37), 'x') + (i % 3 == 0 ? "\r\n" : "\r");
    }
    bytes += std::string("\0tail\r", 6);
    sandbox.write("channels.dat", bytes);
    const Texts expected = splitCatalogLines(bytes);
    ASSERT_EQ(expected.size(), 3002u);
    for (size_t blockSize : {size_t{1}, size_t{2}, size_t{4096}, CatalogReader::kBlockSize}) {
        os::File file;
        ASSERT_TRUE(file.open("channels.dat", os::File::Access::Read));
        CatalogReader reader(file, blockSize);
        Texts lines;
        while (!reader.atEnd()) {
            lines.emplace_back(reader.readCatalogLine());
        }
        EXPECT_EQ(lines, expected) << "block size " << blockSize;
    }
}

TEST_F(CatalogFilesTest, MixedFileOfLineEndsNulBomAndBadText) {
    sandbox.write("channels.dat", testing::assetBytes("catalog/mixed.dat"));
    load();
    Texts lines;
    for (const Channel& channel : catalog.allChannels) {
        lines.push_back(formatChannelLine(channel));
    }
    EXPECT_EQ(lines,
              (Texts{"\xEF\xBB\xBFNorway|NRK P1|128|News|||", "Norway|NRK mP3|192|Music|Hits||",
                     "Sweden|SR P3|64|Pop||http://s/p3.asx|", "Sweden||0||||",
                     "Denmark|DR|1215752191|x|||", "||0||||", "\xC3\x28|bad utf-8|-7||||"}));
    // The first country carries the byte-order mark, so "Norway" appears as two items.
    EXPECT_EQ(windows.selector.items, (Texts{"Favorites", "All countries", "\xEF\xBB\xBFNorway",
                                             "Norway", "Sweden", "Denmark", "", "\xC3\x28"}));
    EXPECT_EQ(windows.statusText, " 7 channels loaded");
}

TEST_F(CatalogFilesTest, MissingChannelsAndTheAnswerNo) {
    windows.answers = {MessageAnswer::No};
    load();
    EXPECT_EQ(windows.messages, std::vector<MessageBoxCall>{kNoChannels});
    EXPECT_TRUE(launcher.started.empty());
    EXPECT_EQ(windows.list.rowCount(), 0);
    EXPECT_EQ(windows.statusText, "before");
}

TEST_F(CatalogFilesTest, UpdaterThatWritesTheFileLoadsItWithoutDoublingFavourites) {
    sandbox.write("favorites.dat", "F|f1\r\nF|f2\r\n");
    windows.answers = {MessageAnswer::Yes};
    launcher.onStart = [&](const LaunchRequest& request) {
        EXPECT_TRUE(request.wait);
        EXPECT_EQ(request.parameter, "");
        sandbox.write("channels.dat", "A|a\r\n");
    };
    load();
    EXPECT_EQ(launcher.started.size(), 1u);
    EXPECT_EQ(windows.messages, std::vector<MessageBoxCall>{kNoChannels});
    EXPECT_EQ(names(catalog.favoriteChannels), (Texts{"f1", "f2"}));
    EXPECT_EQ(catalog.favoriteCursor, 1);
    EXPECT_EQ(names(catalog.allChannels), Texts{"a"});
    EXPECT_EQ(windows.statusText, " 1 channels loaded");
}

TEST_F(CatalogFilesTest, AsksAgainWhileTheUpdaterLeavesNoFile) {
    windows.answers = {MessageAnswer::Yes, MessageAnswer::Yes, MessageAnswer::No};
    load();
    EXPECT_EQ(launcher.started.size(), 2u);
    EXPECT_EQ(windows.messages,
              (std::vector<MessageBoxCall>{kNoChannels, kNoChannels, kNoChannels}));
    EXPECT_EQ(windows.statusText, "before");
}

TEST_F(CatalogFilesTest, UpdaterThatCannotStartIsReported) {
    windows.answers = {MessageAnswer::Yes};
    launcher.startResults = {false};
    load();
    EXPECT_EQ(windows.messages, (std::vector<MessageBoxCall>{kNoChannels, kNoUpdater}));
    EXPECT_TRUE(catalog.allChannels.empty());
}

TEST_F(CatalogFilesTest, ChannelsFileThatIsADirectoryCountsAsMissing) {
    std::filesystem::create_directory("channels.dat");
    load();
    EXPECT_EQ(windows.messages, std::vector<MessageBoxCall>{kNoChannels});
}

TEST_F(CatalogFilesTest, SaveWritesNormalisedLinesWithCrLf) {
    sandbox.write("favorites.dat", "old|content|1|2|3|4|5\r\nmore\r\n");
    addFavorites({"A|B|+64", "N|M|-12|C|D|E|F|G", "X|Y|  128 kbit"});
    saveFavorites(catalog, windows);
    EXPECT_EQ(sandbox.read("favorites.dat"), "A|B|64||||\r\nN|M|-12|C|D|E|F\r\nX|Y|128||||\r\n");
    EXPECT_TRUE(windows.messages.empty());
    EXPECT_EQ(sandbox.entries(), Texts{"favorites.dat"});
}

TEST_F(CatalogFilesTest, SaveAndLoadRoundTrip) {
    addFavorites({"A|B|7|C|D|E|F", "\xE6|\xF8|0||||"});
    saveFavorites(catalog, windows);
    Catalog reloaded;
    sandbox.write("channels.dat", "");
    loadCatalog(reloaded, windows, launcher);
    ASSERT_EQ(reloaded.favoriteChannels.size(), 2u);
    for (size_t i = 0; i < 2; ++i) {
        EXPECT_EQ(formatChannelLine(reloaded.favoriteChannels[i]),
                  formatChannelLine(catalog.favoriteChannels[i]));
    }
}

TEST_F(CatalogFilesTest, NoFavouritesDeletesARegularFileOnly) {
    struct Case {
        const char* what;
        bool file;
        bool directory;
    };
    const Case cases[] = {
        {"a file", true, false}, {"a directory", false, true}, {"nothing", false, false}};
    for (const Case& c : cases) {
        std::filesystem::remove_all("favorites.dat");
        if (c.file) {
            sandbox.write("favorites.dat", "");
        }
        if (c.directory) {
            std::filesystem::create_directory("favorites.dat");
        }
        saveFavorites(catalog, windows);
        EXPECT_EQ(os::pathKind("favorites.dat"),
                  c.directory ? os::PathKind::Directory : os::PathKind::Missing)
            << c.what;
        EXPECT_TRUE(windows.messages.empty()) << c.what;
    }
}

TEST_F(CatalogFilesTest, DirectoryAtTheNameWarnsAndStays) {
    std::filesystem::create_directory("favorites.dat");
    addFavorites({"A|B"});
    saveFavorites(catalog, windows);
    EXPECT_EQ(windows.messages, std::vector<MessageBoxCall>{kSaveFailed});
    EXPECT_EQ(os::pathKind("favorites.dat"), os::PathKind::Directory);
    EXPECT_EQ(sandbox.entries(), Texts{"favorites.dat"});
}

#ifndef _WIN32

using testing::kCannotDropRights;
using testing::runInChild;

TEST_F(CatalogFilesTest, DiskFullKeepsTheOldFileAndLeavesNoTemporary) {
    const std::string old = "Old|favourite|1||||\r\n";
    sandbox.write("favorites.dat", old);
    addFavorites({std::string(4096, 'x') + "|big"});
    int code = runInChild([&] {
        signal(SIGXFSZ, SIG_DFL);  // as a process starts: the limit's signal would end it
        rlimit limit{1024, 1024};
        setrlimit(RLIMIT_FSIZE, &limit);
        saveFavorites(catalog, windows);
        return windows.messages == std::vector<MessageBoxCall>{kSaveFailed} ? 0 : 3;
    });
    EXPECT_EQ(code, 0) << "the warning was not shown";
    EXPECT_EQ(sandbox.read("favorites.dat"), old);
    EXPECT_EQ(sandbox.entries(), Texts{"favorites.dat"});
}

TEST_F(CatalogFilesTest, CrashBeforeTheRenameKeepsTheOldFile) {
    const std::string old = "Old|favourite|1||||\r\n";
    sandbox.write("favorites.dat", old);
    addFavorites({"New|one"});
    int code = runInChild([&] {
        os::testing::beforeReplaceRename = [] { _exit(42); };
        saveFavorites(catalog, windows);
        return 0;
    });
    EXPECT_EQ(code, 42);
    EXPECT_EQ(sandbox.read("favorites.dat"), old);
    // The next save goes through and the old file is replaced whole.
    saveFavorites(catalog, windows);
    EXPECT_EQ(sandbox.read("favorites.dat"), "New|one|0||||\r\n");
}

TEST_F(CatalogFilesTest, FolderWithoutRoomForATemporaryRewritesInPlace) {
    // A folder that takes no new file but whose favorites.dat may be written (not for root,
    // who may create files anywhere: then the normal replace happens).
    sandbox.write("favorites.dat", "old\r\n");
    std::filesystem::permissions(
        sandbox.path(), std::filesystem::perms::owner_read | std::filesystem::perms::owner_exec);
    addFavorites({"A|B"});
    saveFavorites(catalog, windows);
    std::filesystem::permissions(sandbox.path(), std::filesystem::perms::owner_all);
    EXPECT_TRUE(windows.messages.empty());
    EXPECT_EQ(sandbox.read("favorites.dat"), "A|B|0||||\r\n");
}

TEST_F(CatalogFilesTest, ReadOnlyFolderAndFileWarnsAndKeepsTheFile) {
    sandbox.write("favorites.dat", "old\r\n");
    std::filesystem::permissions(
        "favorites.dat", std::filesystem::perms::owner_read | std::filesystem::perms::others_read);
    std::filesystem::permissions(sandbox.path(), std::filesystem::perms::owner_read |
                                                     std::filesystem::perms::owner_exec |
                                                     std::filesystem::perms::others_read |
                                                     std::filesystem::perms::others_exec);
    addFavorites({"A|B"});
    // Without root's rights, so that the permissions bind.
    int code = runInChild(
        [&] {
            saveFavorites(catalog, windows);
            return windows.messages == std::vector<MessageBoxCall>{kSaveFailed} ? 0 : 3;
        },
        true);
    std::filesystem::permissions(sandbox.path(), std::filesystem::perms::owner_all);
    if (code == kCannotDropRights) {
        GTEST_SKIP() << "cannot take another user's rights here";
    }
    EXPECT_EQ(code, 0) << "the warning was not shown";
    EXPECT_EQ(sandbox.read("favorites.dat"), "old\r\n");
    EXPECT_EQ(sandbox.entries(), Texts{"favorites.dat"});
}

#endif

}  // namespace
}  // namespace vistrelle
