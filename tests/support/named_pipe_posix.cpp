#include "support/named_pipe.h"

#include <chrono>
#include <fcntl.h>
#include <future>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <thread>
#include <unistd.h>

namespace testing_support {

void MakeNamedPipe(const std::string& path) {
    ASSERT_EQ(mkfifo(path.c_str(), 0600), 0) << path;
}

bool FinishesWithoutAWriterOn(const std::string& path, const std::function<void()>& body) {
    std::promise<void> done;
    std::future<void> finished = done.get_future();
    std::thread runner([&] {
        body();
        done.set_value();
    });
    const bool inTime = finished.wait_for(std::chrono::seconds(5)) == std::future_status::ready;
    while (finished.wait_for(std::chrono::milliseconds(20)) != std::future_status::ready) {
        // Succeeds only while a reader waits in open(); it then sees the end of the pipe.
        const int writer = open(path.c_str(), O_WRONLY | O_NONBLOCK | O_CLOEXEC);
        if (writer >= 0)
            close(writer);
    }
    runner.join();
    return inTime;
}

} // namespace testing_support
