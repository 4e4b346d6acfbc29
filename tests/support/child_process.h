// A child process for what a test cannot do to itself (Linux only): system calls that fail, as
// a seccomp filter makes them fail, or no /proc, as a private mount namespace gives. The child
// runs the body and ends with its result; the test looks at what it left behind.
#pragma once

#include <functional>
#include <string>
#include <vector>

namespace testing_support {

// The system call numbers of getxattrat and setxattrat (Linux 6.13), which older headers lack.
constexpr long kSysSetxattrat = 463;
constexpr long kSysGetxattrat = 464;

// Every way of reading, of writing an extended attribute, and of changing a mode: by path, by
// link, by descriptor, relative to a folder.
std::vector<long> AttributeReadCalls();
std::vector<long> AttributeWriteCalls();
std::vector<long> ModeChangeCalls();

struct ChildOutcome {
    bool ran = false; // false: the child could not be set up as asked, for the reason `whyNot`
    int result = -1;  // what the body returned (0 to 120), or -1 when the child did not end so
    std::string whyNot;
};

// Runs `body` in a child process in which every system call in `calls` fails with `error`.
ChildOutcome RunWithFailingCalls(const std::vector<long>& calls, int error,
                                 const std::function<int()>& body);

// Runs `body` in a child process that sees an empty /proc: a private mount namespace (inside a
// user namespace of its own when not root) with an empty file system mounted over it.
ChildOutcome RunWithoutProc(const std::function<int()>& body);

} // namespace testing_support
