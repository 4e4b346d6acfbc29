#include "platform/win32.h"
#include "support/temp_folder.h"

#include <csignal>
#include <functional>
#include <gtest/gtest.h>
#include <random>
#include <string>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

using namespace testing_support;

namespace {

constexpr const char* kKey = "Software\\Tessmark\\Brisvane\\Stress";

HKEY CreateKey() {
    HKEY key = nullptr;
    RegCreateKeyExA(HKEY_CURRENT_USER, kKey, 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key, nullptr);
    return key;
}

LONG SetDword(HKEY key, const std::string& name, DWORD number) {
    return RegSetValueExA(key, name.c_str(), 0, REG_DWORD, reinterpret_cast<const BYTE*>(&number),
                          sizeof number);
}

LONG GetDword(HKEY key, const std::string& name, DWORD& number) {
    DWORD size = sizeof number;
    return RegQueryValueExA(key, name.c_str(), nullptr, nullptr, reinterpret_cast<BYTE*>(&number),
                            &size);
}

std::string Filler(int i) {
    return "value number " + std::to_string(i) + std::string(80, 'x');
}

// Runs body in a child process that exits with its result.
pid_t Spawn(const std::function<int()>& body) {
    pid_t pid = fork();
    if (pid == 0)
        _exit(body());
    return pid;
}

int ExitCodeOf(pid_t pid) {
    int status = 0;
    waitpid(pid, &status, 0);
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

TEST(RegistryAcrossProcesses, AValueWrittenByAnotherProcessIsSeenAtOnce) {
    RegistrySandbox sandbox;
    HKEY key = CreateKey();
    ASSERT_NE(key, nullptr);
    pid_t writer = Spawn([] {
        HKEY own = CreateKey();
        return own && SetDword(own, "from child", 7) == ERROR_SUCCESS ? 0 : 1;
    });
    ASSERT_EQ(ExitCodeOf(writer), 0);
    DWORD number = 0;
    EXPECT_EQ(GetDword(key, "FROM CHILD", number), ERROR_SUCCESS);
    EXPECT_EQ(number, 7u);
    RegCloseKey(key);
}

TEST(RegistryAcrossProcesses, TwoWritersAtOnceLoseNothing) {
    RegistrySandbox sandbox;
    RegCloseKey(CreateKey());
    constexpr int kEach = 40;
    std::vector<pid_t> writers;
    for (int w = 0; w < 2; ++w) {
        writers.push_back(Spawn([w] {
            HKEY own = CreateKey();
            for (int i = 0; i < kEach; ++i)
                if (SetDword(own, "w" + std::to_string(w) + "-" + std::to_string(i),
                             static_cast<DWORD>(i)) != ERROR_SUCCESS)
                    return 1;
            return 0;
        }));
    }
    for (pid_t writer : writers)
        ASSERT_EQ(ExitCodeOf(writer), 0);

    HKEY key = CreateKey();
    DWORD values = 0;
    ASSERT_EQ(RegQueryInfoKeyA(key, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, &values,
                               nullptr, nullptr, nullptr, nullptr),
              ERROR_SUCCESS);
    EXPECT_EQ(values, 2u * kEach);
    DWORD number = 0;
    EXPECT_EQ(GetDword(key, "w1-39", number), ERROR_SUCCESS);
    EXPECT_EQ(number, 39u);
    RegCloseKey(key);
}

TEST(RegistryAcrossProcesses, AWriterKilledMidWriteNeverDamagesTheHive) {
    RegistrySandbox sandbox;
    HKEY key = CreateKey();
    ASSERT_NE(key, nullptr);
    // A hive of some size, so that each write takes long enough to be interrupted.
    constexpr int kKept = 200;
    for (int i = 0; i < kKept; ++i) {
        std::string text = Filler(i);
        ASSERT_EQ(RegSetValueExA(key, ("kept" + std::to_string(i)).c_str(), 0, REG_SZ,
                                 reinterpret_cast<const BYTE*>(text.c_str()),
                                 static_cast<DWORD>(text.size() + 1)),
                  ERROR_SUCCESS);
    }
    ASSERT_EQ(SetDword(key, "counter", 0), ERROR_SUCCESS);
    RegCloseKey(key);

    std::mt19937 random(12345);
    // Each write syncs to disk and takes milliseconds; the kills fall anywhere among them.
    std::uniform_int_distribution<int> delay(0, 40000);
    DWORD lastCounter = 0;
    int roundsThatWrote = 0;
    for (int round = 0; round < 200; ++round) {
        pid_t writer = Spawn([] {
            HKEY own = CreateKey();
            DWORD counter = 0;
            GetDword(own, "counter", counter);
            for (;;) {
                SetDword(own, "counter", ++counter);
                SetDword(own, "scratch" + std::to_string(counter % 7), counter);
            }
            return 0;
        });
        usleep(static_cast<useconds_t>(delay(random)));
        kill(writer, SIGKILL);
        ASSERT_EQ(ExitCodeOf(writer), -1);

        HKEY check = nullptr;
        ASSERT_EQ(RegOpenKeyExA(HKEY_CURRENT_USER, kKey, 0, KEY_READ, &check), ERROR_SUCCESS)
            << "round " << round;
        DWORD counter = 0;
        ASSERT_EQ(GetDword(check, "counter", counter), ERROR_SUCCESS);
        ASSERT_GE(counter, lastCounter) << "round " << round;
        if (counter > lastCounter)
            ++roundsThatWrote;
        lastCounter = counter;
        for (int i = 0; i < kKept; i += 37) {
            std::string expected = Filler(i);
            std::vector<char> data(expected.size() + 1);
            DWORD size = static_cast<DWORD>(data.size());
            ASSERT_EQ(RegQueryValueExA(check, ("kept" + std::to_string(i)).c_str(), nullptr,
                                       nullptr, reinterpret_cast<BYTE*>(data.data()), &size),
                      ERROR_SUCCESS);
            ASSERT_EQ(std::string(data.data()), expected);
        }
        RegCloseKey(check);
    }
    EXPECT_GT(roundsThatWrote, 50) << "the writers must have been busy writing when killed";
}

} // namespace
