// The walks while another thread keeps putting links where the walked folder and one of its
// subfolders were, and the real folders back again. Whatever moment a swap hits, nothing
// outside the walked folders may be deleted, moved or changed.
#include "cleaner/cleaning_run.h"
#include "cleaner/folder_purge.h"
#include "platform/win32.h"
#include "recording_host.h"
#include "settings/registry.h"
#include "settings/registry_layout.h"
#include "support/outside_snapshot.h"
#include "support/temp_folder.h"

#include <atomic>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <functional>
#include <gtest/gtest.h>
#include <thread>
#include <unistd.h>
#include <vector>

using namespace testing_support;

namespace {

constexpr int kSwapsWanted = 1000;
// On a loaded machine the swapper gets fewer turns during each walk; rounds go on until enough
// swaps have hit, within this time.
constexpr auto kTimeAllowed = std::chrono::seconds(240);
constexpr int kFilesPerFolder = 20;

// Replaces each folder by a link to its stand-in and puts it back, over and over, until
// stopped. A swap that finds the folder gone (the walk removed or moved it) is not counted.
class Swapper {
public:
    struct Swap {
        std::string folder;
        std::string linkTarget;
    };

    // With `mayStart`, swapping begins only once it says so.
    explicit Swapper(std::vector<Swap> swaps, std::function<bool()> mayStart = {})
        : m_swaps(std::move(swaps)), m_mayStart(std::move(mayStart)), m_thread([this] { Run(); }) {
        while (!m_started)
            std::this_thread::yield();
    }
    ~Swapper() { Stop(); }

    int Stop() {
        m_stop = true;
        if (m_thread.joinable())
            m_thread.join();
        return m_count;
    }

    static std::string CurrentFolder() {
        std::error_code error;
        return std::filesystem::read_symlink("/proc/self/cwd", error).string();
    }

private:
    void Run() {
        m_started = true;
        while (m_mayStart && !m_stop && !m_mayStart())
            std::this_thread::yield();
        while (!m_stop) {
            for (const Swap& swap : m_swaps) {
                const std::string aside = swap.folder + ".aside";
                if (rename(swap.folder.c_str(), aside.c_str()) != 0)
                    continue;
                if (symlink(swap.linkTarget.c_str(), swap.folder.c_str()) == 0) {
                    ++m_count;
                    std::this_thread::yield();
                    unlink(swap.folder.c_str());
                }
                rename(aside.c_str(), swap.folder.c_str());
            }
        }
    }

    std::vector<Swap> m_swaps;
    std::function<bool()> m_mayStart;
    std::atomic<bool> m_stop{false};
    std::atomic<bool> m_started{false};
    std::atomic<int> m_count{0};
    std::thread m_thread;
};

class WalkRaceTest : public ::testing::Test {
protected:
    std::string Path(const std::string& name) const { return m_root / name; }

    void Folder(const std::string& name, int files) {
        MakeFolder(Path(name));
        for (int i = 0; i < files; ++i)
            WriteFile(Path(name) + "/f" + std::to_string(i), "data");
    }

    // The outside tree that the links point into: files, and subfolders with the names the
    // walked folders hold, so that a walk led outside finds something to delete or move.
    void MakeOutside() {
        std::filesystem::remove_all(Path("outside"));
        Folder("outside", kFilesPerFolder);
        for (const char* sub : {"docs", "cache", "A", "B", "C", "D", "E", "F", "G", "H", "0", "1",
                                "2", "3", "4", "5", "6"})
            Folder(std::string("outside/") + sub, 3);
        WriteFile(Path("outside/COOKIES.TXT"), "data");
        WriteFile(Path("outside/PREFS.JS"), "user_pref(\"a.url\", 1);\r\n");
        m_outside = Snapshot(Path("outside"));
    }

    // Runs `round` (which sets up a tree, enters its folder and returns the walk to race)
    // until enough swaps have hit; returns the rounds after which the outside tree differed.
    int RoundsThatTouchedOutside(const std::function<std::function<void()>()>& round,
                                 const std::vector<Swapper::Swap>& swaps,
                                 const std::function<bool()>& mayStart = {}) {
        int damaged = 0;
        int swapped = 0;
        int rounds = 0;
        MakeOutside();
        const auto deadline = std::chrono::steady_clock::now() + kTimeAllowed;
        for (; swapped < kSwapsWanted && std::chrono::steady_clock::now() < deadline; ++rounds) {
            const std::function<void()> walk = round();
            Swapper swapper(swaps, mayStart);
            walk();
            swapped += swapper.Stop();
            if (Snapshot(Path("outside")) != m_outside) {
                ++damaged;
                MakeOutside();
            }
        }
        std::printf("%d rounds, %d swaps, %d rounds touched outside files\n", rounds, swapped,
                    damaged);
        EXPECT_GE(swapped, kSwapsWanted);
        return damaged;
    }

    void Enter(const std::string& name) { ASSERT_TRUE(SetCurrentDirectoryA(Path(name).c_str())); }

    TempFolder m_root;
    RegistrySandbox m_sandbox;
    std::map<std::string, std::string> m_outside;
};

} // namespace

TEST_F(WalkRaceTest, CacheWalkStaysInsideTheCacheFolder) {
    const auto round = [&] {
        std::filesystem::remove_all(Path("Cache"));
        std::filesystem::remove_all(Path("Cache.aside"));
        Folder("Cache", kFilesPerFolder);
        for (const char* sub : {"A", "B", "C", "D", "E", "F"})
            Folder(std::string("Cache/") + sub, kFilesPerFolder);
        Enter("Cache");
        return [] { EmptySubfolders(); };
    };
    EXPECT_EQ(RoundsThatTouchedOutside(round, {{Path("Cache"), Path("outside")},
                                               {Path("Cache/D"), Path("outside/docs")}}),
              0);
}

TEST_F(WalkRaceTest, HistoryWalkMovesNothingFromOutside) {
    const auto round = [&] {
        for (const char* folder : {"History", "History.aside", "Install"})
            std::filesystem::remove_all(Path(folder));
        Folder("Install", 0);
        Folder("History", kFilesPerFolder);
        for (const char* sub : {"A", "B", "C", "D", "E", "F", "G", "H"})
            Folder(std::string("History/") + sub, kFilesPerFolder);
        Enter("History");
        const std::string install = Path("Install");
        return [install] { ParkSubfolders(install); };
    };
    EXPECT_EQ(RoundsThatTouchedOutside(round, {{Path("History"), Path("outside")},
                                               {Path("History/E"), Path("outside/docs")}}),
              0);
}

TEST_F(WalkRaceTest, StartupWalkStaysInsideTheInstallFolder) {
    const auto round = [&] {
        std::filesystem::remove_all(Path("Install"));
        std::filesystem::remove_all(Path("Install.aside"));
        Folder("Install", 3);
        for (const char* sub : {"0", "1", "2", "3", "4", "5", "6"})
            Folder(std::string("Install/") + sub, kFilesPerFolder);
        const std::string install = Path("Install");
        return [install] { PurgeParkedFolders(install); };
    };
    // The walk enters the install folder by the path it is given, so swapping starts once it
    // is in; from then on it must never go by that path again.
    const std::string install = std::filesystem::canonical(m_root.Path()).string() + "/Install";
    EXPECT_EQ(RoundsThatTouchedOutside(
                  round,
                  {{Path("Install/4"), Path("outside/docs")}, {Path("Install"), Path("outside")}},
                  [install] { return Swapper::CurrentFolder() == install; }),
              0);
}

TEST_F(WalkRaceTest, WholeRunStaysInsideTheFoldersItWasNamed) {
    // Every folder the run was named, and the install folder, keeps giving way to a link to the
    // outside tree, between the steps and while other steps run.
    const std::vector<std::string> named = {"Cookies",   "Favorites", "History", "Cache",
                                            "Netscape4", "Netscape3", "Install"};
    TRegistry paths;
    ASSERT_TRUE(paths.OpenSubkey(layout::kPathsKey, true));
    const char* const values[] = {layout::kIeCookiePath,  layout::kIeFavoritesPath,
                                  layout::kIeHistoryPath, layout::kIeCachePath,
                                  layout::kNetscape4Path, layout::kNetscape3Path};
    for (std::size_t i = 0; i < std::size(values); ++i)
        paths.WriteText(values[i], Path(named[i]));
    TRegistry appPaths;
    appPaths.SetRoot(HKEY_LOCAL_MACHINE);
    ASSERT_TRUE(appPaths.OpenSubkey(layout::kAppPathsKey, true));
    appPaths.WriteText(layout::kInstallFolderValue, Path("Install"));

    RecordingHost host;
    host.TickAll();
    std::atomic<bool> running{false};
    host.onProcessMessages = [&running](int) { running = true; };
    const auto round = [&] {
        running = false;
        for (const std::string& name : named) {
            std::filesystem::remove_all(Path(name));
            std::filesystem::remove_all(Path(name + ".aside"));
            Folder(name, kFilesPerFolder);
        }
        for (const char* sub : {"A", "B", "C", "D", "E"}) {
            Folder(std::string("History/") + sub, 2);
            Folder(std::string("Cache/") + sub, 2);
        }
        Folder("Netscape4/cache", 2);
        WriteFile(Path("Netscape4/PREFS.JS"), "user_pref(\"a.url\", 1);\r\n");
        // A run that ends early on an error is what a user would see; only the outside counts.
        return [&host] {
            try {
                RunCleaning(host);
            } catch (const Exception&) {
            }
        };
    };
    std::vector<Swapper::Swap> swaps;
    for (const std::string& name : named)
        swaps.push_back({Path(name), Path("outside")});
    // The run resolves its folders as it starts; swapping begins once it is under way.
    EXPECT_EQ(RoundsThatTouchedOutside(round, swaps, [&running] { return running.load(); }), 0);
}
