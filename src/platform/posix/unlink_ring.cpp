#include "platform/posix/unlink_ring.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <liburing.h>
#include <mutex>
#include <pthread.h>
#include <unistd.h>

namespace brisvane::platform::posix {

namespace {

constexpr unsigned kEntries = 256;

// An error that tells the ring could not do the unlink, not that the unlink failed.
bool RingCouldNot(int result) {
    return result == -EINVAL || result == -EOPNOTSUPP || result == -ENOSYS ||
           result == -ECANCELED || result == -EAGAIN || result == -EINTR;
}

class Ring {
public:
    static Ring& Instance() {
        // Never destroyed: a purge may still run while the program exits.
        static Ring* const ring = new Ring;
        return *ring;
    }

    std::string Refusal() {
        const std::lock_guard lock(m_mutex);
        SetUpOnce();
        return m_refusal;
    }

    void UnlinkAll(int folder, const std::vector<std::string>& names) {
        const std::lock_guard lock(m_mutex);
        SetUpOnce();
        std::size_t done = 0;
        while (done < names.size() && m_state == State::Ready) {
            const std::size_t count = std::min<std::size_t>(names.size() - done, kEntries);
            done += Batch(folder, names, done, count);
        }
        for (; done < names.size(); ++done)
            unlinkat(folder, names[done].c_str(), 0);
    }

private:
    enum class State { NotSetUp, Ready, Refused };

    Ring() {
        // A child of fork() shares the ring's memory with its parent: it sets up its own.
        pthread_atfork([] { Instance().m_mutex.lock(); }, [] { Instance().m_mutex.unlock(); },
                       [] { Instance().AfterFork(); });
    }

    void AfterFork() {
        m_mutex.unlock();
        if (m_state == State::Ready) {
            io_uring_queue_exit(&m_ring);
            m_state = State::NotSetUp;
        }
    }

    void SetUpOnce() {
        if (m_state != State::NotSetUp)
            return;
        const int error = io_uring_queue_init(kEntries, &m_ring, 0);
        if (error < 0) {
            Refuse(std::string("io_uring_queue_init: ") + std::strerror(-error));
            return;
        }
        io_uring_probe* probe = io_uring_get_probe_ring(&m_ring);
        const bool unlinks = probe && io_uring_opcode_supported(probe, IORING_OP_UNLINKAT);
        io_uring_free_probe(probe);
        m_state = State::Ready;
        if (!unlinks)
            Refuse("io_uring has no unlinkat here");
    }

    void Refuse(std::string why) {
        if (m_state == State::Ready)
            io_uring_queue_exit(&m_ring);
        m_state = State::Refused;
        m_refusal = std::move(why);
    }

    // Submits names[from, from + count) and waits for what the kernel took; the number taken.
    // A ring that fails to take them all is given up, with what it did not take still queued.
    std::size_t Batch(int folder, const std::vector<std::string>& names, std::size_t from,
                      std::size_t count) {
        for (std::size_t i = from; i < from + count; ++i) {
            io_uring_sqe* entry = io_uring_get_sqe(&m_ring);
            if (!entry) {
                Refuse("io_uring has no room left");
                return 0;
            }
            io_uring_prep_unlinkat(entry, folder, names[i].c_str(), 0);
            io_uring_sqe_set_data64(entry, i);
        }
        std::size_t taken = 0;
        while (taken < count) {
            const int submitted = io_uring_submit(&m_ring);
            if (submitted == -EINTR)
                continue;
            if (submitted <= 0)
                break;
            taken += static_cast<std::size_t>(submitted);
        }
        if (!Reap(folder, names, taken))
            Refuse("io_uring_wait_cqe failed");
        else if (taken < count)
            Refuse("io_uring_submit failed");
        return taken;
    }

    // Waits for `count` completions; an unlink the ring could not do is done directly. False
    // when the ring can't be waited on.
    bool Reap(int folder, const std::vector<std::string>& names, std::size_t count) {
        for (std::size_t reaped = 0; reaped < count;) {
            io_uring_cqe* completion = nullptr;
            const int error = io_uring_wait_cqe(&m_ring, &completion);
            if (error == -EINTR || error == -EAGAIN)
                continue;
            if (error < 0)
                return false;
            const int result = completion->res;
            const auto index = static_cast<std::size_t>(io_uring_cqe_get_data64(completion));
            io_uring_cqe_seen(&m_ring, completion);
            ++reaped;
            if (RingCouldNot(result) && index < names.size())
                unlinkat(folder, names[index].c_str(), 0);
        }
        return true;
    }

    std::mutex m_mutex;
    State m_state = State::NotSetUp;
    std::string m_refusal;
    io_uring m_ring{};
};

} // namespace

std::string UnlinkRingRefusal() {
    return Ring::Instance().Refusal();
}

void UnlinkAllAt(int folder, const std::vector<std::string>& names) {
    Ring::Instance().UnlinkAll(folder, names);
}

} // namespace brisvane::platform::posix
