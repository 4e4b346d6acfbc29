#include "cleaner/netscape_profile.h"
#include "cleaner_test_helpers.h"
#include "recording_host.h"
#include "support/file_setup.h"
#include "support/temp_folder.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

using brisvane::platform::HeldFolder;
using namespace testing_support;

namespace {

class NetscapeProfileTest : public ::testing::Test {
protected:
    TempFolder m_profile{"brisvane-netscape"};
    // After the folder, so that the current folder is given back before the folder is removed.
    RegistrySandbox m_sandbox;
    RecordingHost m_host;

    void AddFiles(const char* cacheName) {
        for (const char* file : {"COOKIES.TXT", "BOOKMARK.HTM", "NETSCAPE.HST", "other.dat"})
            WriteFile(m_profile / file, "data");
        WriteFile(m_profile / "PREFS.JS", "keep\r\n");
        MakeFolder(m_profile / cacheName);
        WriteFile(m_profile / (std::string(cacheName) + "/x.tmp"), "data");
    }
};

TEST_F(NetscapeProfileTest, ReadOnlyFileStaysAndTheOtherDeletionsGoOn) {
    AddFiles("cache");
    chmod((m_profile / "COOKIES.TXT").c_str(), 0444);
    m_host.TickAll();

    CleanNetscape4Folder(m_host, HeldFolder::Open(m_profile.Path()));

    EXPECT_EQ(Tree(m_profile.Path()),
              (std::set<std::string>{"COOKIES.TXT", "PREFS.JS", "cache/", "other.dat"}));
}

TEST_F(NetscapeProfileTest, CacheThatCannotBeEnteredLeavesTheProfileFilesAlone) {
    // No "cache" folder, then a file of that name: the profile folder itself is never purged.
    AddFiles("elsewhere");
    m_host.ticked = {CleaningOption::Cache};
    auto before = Tree(m_profile.Path());
    CleanNetscape3Folder(m_host, HeldFolder::Open(m_profile.Path()));
    EXPECT_EQ(Tree(m_profile.Path()), before);

    WriteFile(m_profile / "cache", "not a folder");
    before = Tree(m_profile.Path());
    CleanNetscape4Folder(m_host, HeldFolder::Open(m_profile.Path()));
    EXPECT_EQ(Tree(m_profile.Path()), before);
}

TEST_F(NetscapeProfileTest, AFileThatIsALinkStaysAndSoDoesWhatItLeadsTo) {
    TempFolder outside{"brisvane-outside"};
    WriteFile(outside / "COOKIES.TXT", "the user's own");
    if (!MakeSymbolicLink(outside / "COOKIES.TXT", m_profile / "COOKIES.TXT"))
        GTEST_SKIP() << "no symbolic link can be made here";
    m_host.ticked = {CleaningOption::Cookies};

    CleanNetscape3Folder(m_host, HeldFolder::Open(m_profile.Path()));

    EXPECT_EQ(ReadFile(outside / "COOKIES.TXT"), "the user's own");
    EXPECT_EQ(Tree(m_profile.Path()), std::set<std::string>{"COOKIES.TXT"});
}

} // namespace
