// Named pipes for tests of code that must never wait on one.
#pragma once

#include <functional>
#include <string>

namespace testing_support {

// Makes a named pipe (FIFO) at `path`.
void MakeNamedPipe(const std::string& path);

// Runs `body` on a thread of its own and tells whether it finished within a few seconds while
// no one wrote to the pipe at `path`. A body still waiting then is let go by opening the pipe
// for writing, so that the test ends either way.
bool FinishesWithoutAWriterOn(const std::string& path, const std::function<void()>& body);

} // namespace testing_support
