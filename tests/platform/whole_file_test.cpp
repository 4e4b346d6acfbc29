#include "platform/posix/whole_file_seam.h"
#include "platform/whole_file.h"
#include "platform/win32.h"
#include "support/named_pipe.h"
#include "support/temp_folder.h"

#include <cerrno>
#include <filesystem>
#include <gtest/gtest.h>
#include <unistd.h>

namespace fs = std::filesystem;
using namespace testing_support;
using brisvane::platform::ReadWholeFile;
using brisvane::platform::ReplaceResult;
using brisvane::platform::ReplaceWholeFile;

namespace {

class WholeFileTest : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(SetCurrentDirectoryA(m_folder.Path().c_str())); }
    void TearDown() override { brisvane::platform::posix::SetWholeFileWriter(nullptr); }

    std::string Path(const std::string& name) const { return m_folder / name; }
    std::size_t EntryCount() const {
        return static_cast<std::size_t>(
            std::distance(fs::directory_iterator(m_folder.Path()), fs::directory_iterator()));
    }

    RegistrySandbox m_sandbox;
    TempFolder m_folder;
};

// Writes a little, then reports a full disk.
ssize_t FailingWriter(int fd, const void* data, size_t size) {
    static bool wroteOnce = false;
    if (!wroteOnce) {
        wroteOnce = true;
        return ::write(fd, data, size < 4 ? size : 4);
    }
    wroteOnce = false;
    errno = ENOSPC;
    return -1;
}

const std::string kOld("user_pref(\"a\", 1);\r\n\0user_pref(\"url\", 2);\r\n", 43);

} // namespace

TEST_F(WholeFileTest, Read_GivesTheBytesOfAFileFoundWithoutRegardToCase) {
    const std::string bytes("line\r\n\0binary", 13);
    WriteFile(Path("prefs.js"), bytes);
    std::string content;
    ASSERT_TRUE(ReadWholeFile("PREFS.JS", content));
    EXPECT_EQ(content, bytes);
    EXPECT_FALSE(ReadWholeFile("missing.js", content));
    MakeFolder(Path("folder"));
    EXPECT_FALSE(ReadWholeFile("folder", content));
}

TEST_F(WholeFileTest, Read_NeverWaitsOnANamedPipe) {
    MakeNamedPipe(Path("prefs.js"));
    bool read = true;
    EXPECT_TRUE(FinishesWithoutAWriterOn(Path("prefs.js"), [&] {
        std::string content;
        read = ReadWholeFile("PREFS.JS", content);
    }));
    EXPECT_FALSE(read);
    EXPECT_EQ(ReplaceWholeFile("prefs.js", "new"), ReplaceResult::CannotCreate);
    EXPECT_TRUE(fs::is_fifo(Path("prefs.js")));
}

TEST_F(WholeFileTest, Replace_PutsNewContentInPlaceAndKeepsPermissions) {
    WriteFile(Path("prefs.js"), kOld);
    fs::permissions(Path("prefs.js"), static_cast<fs::perms>(0640));
    ASSERT_EQ(ReplaceWholeFile("PREFS.JS", "new\r\n"), ReplaceResult::Replaced);
    EXPECT_EQ(ReadFile(Path("prefs.js")), "new\r\n");
    EXPECT_EQ(fs::status(Path("prefs.js")).permissions(), static_cast<fs::perms>(0640));
    EXPECT_EQ(EntryCount(), 1u);
}

TEST_F(WholeFileTest, Replace_CreatesAFileThatIsNotThereYet) {
    ASSERT_EQ(ReplaceWholeFile("fresh.txt", "x"), ReplaceResult::Replaced);
    EXPECT_EQ(ReadFile(Path("fresh.txt")), "x");
}

TEST_F(WholeFileTest, Replace_RefusesAReadOnlyFileOrFolderByTheirModeBits) {
    WriteFile(Path("prefs.js"), kOld);
    fs::permissions(Path("prefs.js"), static_cast<fs::perms>(0444));
    EXPECT_EQ(ReplaceWholeFile("prefs.js", "new"), ReplaceResult::CannotCreate);
    EXPECT_EQ(ReadFile(Path("prefs.js")), kOld);

    MakeFolder(Path("locked"));
    WriteFile(Path("locked/prefs.js"), kOld);
    fs::permissions(Path("locked"), static_cast<fs::perms>(0555));
    EXPECT_EQ(ReplaceWholeFile("locked\\prefs.js", "new"), ReplaceResult::CannotCreate);
    EXPECT_EQ(ReadFile(Path("locked/prefs.js")), kOld);
    EXPECT_EQ(std::distance(fs::directory_iterator(Path("locked")), fs::directory_iterator()), 1);
}

TEST_F(WholeFileTest, Replace_KeepsTheOldFileWhenWritingFailsPartWay) {
    WriteFile(Path("prefs.js"), kOld);
    brisvane::platform::posix::SetWholeFileWriter(FailingWriter);
    EXPECT_EQ(ReplaceWholeFile("prefs.js", std::string(100000, 'n')), ReplaceResult::WriteFailed);
    EXPECT_EQ(ReadFile(Path("prefs.js")), kOld);
    EXPECT_EQ(EntryCount(), 1u);
}

TEST_F(WholeFileTest, Replace_WritesOnlyTheFileThatWasRead) {
    // A link that was there when the file was read leads to the file read, and that file is
    // replaced; a link put in the file's place after the read is never followed.
    MakeFolder(Path("elsewhere"));
    struct Case {
        bool linkWhenRead;
        ReplaceResult expected;
        const char* elsewhereAfter;
    };
    for (const Case& c : {Case{true, ReplaceResult::Replaced, "new"},
                          Case{false, ReplaceResult::CannotCreate, "outside"}}) {
        SCOPED_TRACE(c.linkWhenRead);
        fs::remove(Path("prefs.js"));
        WriteFile(Path("elsewhere/prefs.js"), "outside");
        if (c.linkWhenRead)
            fs::create_symlink(Path("elsewhere/prefs.js"), Path("prefs.js"));
        else
            WriteFile(Path("prefs.js"), kOld);
        std::string content;
        brisvane::platform::FileIdentity read;
        ASSERT_TRUE(ReadWholeFile("PREFS.JS", content, &read));
        if (!c.linkWhenRead) {
            fs::remove(Path("prefs.js"));
            fs::create_symlink(Path("elsewhere/prefs.js"), Path("prefs.js"));
        }

        EXPECT_EQ(ReplaceWholeFile("PREFS.JS", "new", &read), c.expected);
        EXPECT_EQ(ReadFile(Path("elsewhere/prefs.js")), c.elsewhereAfter);
        EXPECT_TRUE(fs::is_symlink(Path("prefs.js")));
    }
}
