#include "support/child_process.h"

#include <cerrno>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <linux/audit.h>
#include <linux/filter.h>
#include <linux/seccomp.h>
#include <sched.h>
#include <sys/mount.h>
#include <sys/prctl.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <unistd.h>

namespace testing_support {

namespace {

constexpr int kNotSetUp = 125;
constexpr int kBodyThrew = 124;

std::string Because(const std::string& what) {
    return what + ": " + std::strerror(errno);
}

// Installs the filter; the reason when it can't be.
std::string FailCalls(const std::vector<long>& calls, int error) {
#if defined(__x86_64__) || defined(__aarch64__)
#if defined(__x86_64__)
    constexpr std::uint32_t kArch = AUDIT_ARCH_X86_64;
#else
    constexpr std::uint32_t kArch = AUDIT_ARCH_AARCH64;
#endif
    std::vector<sock_filter> program{
        BPF_STMT(BPF_LD | BPF_W | BPF_ABS, offsetof(seccomp_data, arch)),
        BPF_JUMP(BPF_JMP | BPF_JEQ | BPF_K, kArch, 1, 0),
        BPF_STMT(BPF_RET | BPF_K, SECCOMP_RET_KILL_PROCESS),
        BPF_STMT(BPF_LD | BPF_W | BPF_ABS, offsetof(seccomp_data, nr)),
    };
    for (const long call : calls) {
        program.push_back(
            BPF_JUMP(BPF_JMP | BPF_JEQ | BPF_K, static_cast<std::uint32_t>(call), 0, 1));
        program.push_back(
            BPF_STMT(BPF_RET | BPF_K,
                     SECCOMP_RET_ERRNO | (static_cast<std::uint32_t>(error) & SECCOMP_RET_DATA)));
    }
    program.push_back(BPF_STMT(BPF_RET | BPF_K, SECCOMP_RET_ALLOW));
    const sock_fprog filter{static_cast<unsigned short>(program.size()), program.data()};
    if (prctl(PR_SET_NO_NEW_PRIVS, 1, 0, 0, 0) != 0)
        return Because("no_new_privs cannot be set");
    if (syscall(SYS_seccomp, SECCOMP_SET_MODE_FILTER, 0, &filter) != 0)
        return Because("the kernel refuses a seccomp filter");
    return {};
#else
    (void)calls;
    (void)error;
    return "no seccomp filter is written for this processor";
#endif
}

bool WriteText(const char* path, const std::string& text) {
    const int file = open(path, O_WRONLY | O_CLOEXEC);
    if (file < 0)
        return false;
    const bool written = write(file, text.data(), text.size()) == static_cast<ssize_t>(text.size());
    close(file);
    return written;
}

std::string HideProc() {
    if (geteuid() == 0) {
        if (unshare(CLONE_NEWNS) != 0)
            return Because("no mount namespace of its own");
    } else {
        const std::string uid = std::to_string(geteuid());
        const std::string gid = std::to_string(getegid());
        if (unshare(CLONE_NEWUSER | CLONE_NEWNS) != 0)
            return Because("an ordinary user gets no user namespace here");
        // The same user and group inside, so that files are made and judged as before.
        if (!WriteText("/proc/self/setgroups", "deny") ||
            !WriteText("/proc/self/uid_map", uid + " " + uid + " 1") ||
            !WriteText("/proc/self/gid_map", gid + " " + gid + " 1"))
            return Because("the user namespace cannot map this user");
    }
    if (mount(nullptr, "/", nullptr, MS_REC | MS_PRIVATE, nullptr) != 0)
        return Because("the mounts cannot be made private");
    if (mount("brisvane-no-proc", "/proc", "tmpfs", MS_RDONLY, "size=4k") != 0)
        return Because("nothing can be mounted over /proc");
    if (access("/proc/self", F_OK) == 0)
        return "/proc is still there";
    return {};
}

ChildOutcome RunInChild(const std::function<std::string()>& setUp,
                        const std::function<int()>& body) {
    int channel[2];
    if (pipe2(channel, O_CLOEXEC) != 0)
        return {false, -1, Because("no pipe")};
    std::fflush(nullptr);
    const pid_t child = fork();
    if (child < 0) {
        close(channel[0]);
        close(channel[1]);
        return {false, -1, Because("no child process")};
    }
    if (child == 0) {
        close(channel[0]);
        const std::string whyNot = setUp();
        if (!whyNot.empty()) {
            [[maybe_unused]] const ssize_t written =
                write(channel[1], whyNot.data(), whyNot.size());
            _exit(kNotSetUp);
        }
        int result = kBodyThrew;
        try {
            result = body();
        } catch (...) {
        }
        _exit(result);
    }
    close(channel[1]);
    std::string whyNot;
    char buffer[256];
    ssize_t size = 0;
    while ((size = read(channel[0], buffer, sizeof buffer)) > 0 || (size < 0 && errno == EINTR))
        whyNot.append(buffer, static_cast<std::size_t>(size > 0 ? size : 0));
    close(channel[0]);
    int status = 0;
    while (waitpid(child, &status, 0) < 0 && errno == EINTR) {
    }
    if (!whyNot.empty())
        return {false, -1, whyNot};
    return {true, WIFEXITED(status) ? WEXITSTATUS(status) : -1, {}};
}

} // namespace

std::vector<long> AttributeReadCalls() {
    return {SYS_getxattr, SYS_lgetxattr, SYS_fgetxattr, kSysGetxattrat};
}

std::vector<long> AttributeWriteCalls() {
    return {SYS_setxattr, SYS_lsetxattr, SYS_fsetxattr, kSysSetxattrat};
}

std::vector<long> ModeChangeCalls() {
    std::vector<long> calls{SYS_fchmod, SYS_fchmodat};
#ifdef SYS_chmod
    calls.push_back(SYS_chmod);
#endif
#ifdef SYS_fchmodat2
    calls.push_back(SYS_fchmodat2);
#else
    calls.push_back(452);
#endif
    return calls;
}

ChildOutcome RunWithFailingCalls(const std::vector<long>& calls, int error,
                                 const std::function<int()>& body) {
    return RunInChild([&] { return FailCalls(calls, error); }, body);
}

ChildOutcome RunWithoutProc(const std::function<int()>& body) {
    return RunInChild(HideProc, body);
}

} // namespace testing_support
