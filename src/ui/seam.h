// A replaceable stand-in for a call a test cannot click through (a message box, the help
// viewer, the browser, the folder picker). The real call is the default; a SeamRecorder takes
// its place for as long as it lives, keeps every call and answers at once.
#pragma once

#include <cstddef>
#include <deque>
#include <functional>
#include <stdexcept>
#include <utility>
#include <vector>

namespace ui {

template <class Call, class Result> class Seam {
public:
    using Handler = std::function<Result(const Call&)>;

    explicit Seam(Handler real) : m_real(std::move(real)) {}

    Result operator()(const Call& call) const { return m_standIn ? m_standIn(call) : m_real(call); }

    // Returns the stand-in that was in place before (empty for the real call).
    Handler Replace(Handler standIn) { return std::exchange(m_standIn, std::move(standIn)); }

private:
    Handler m_real;
    Handler m_standIn;
};

template <class Call, class Result> class SeamRecorder {
public:
    SeamRecorder(Seam<Call, Result>& seam, Result answer)
        : m_seam(seam), m_answer(std::move(answer)) {
        m_previous = m_seam.Replace([this](const Call& call) { return Answer(call); });
    }
    ~SeamRecorder() { m_seam.Replace(std::move(m_previous)); }
    SeamRecorder(const SeamRecorder&) = delete;
    SeamRecorder& operator=(const SeamRecorder&) = delete;

    const std::vector<Call>& Calls() const { return m_calls; }
    std::size_t Count() const { return m_calls.size(); }
    const Call& Last() const {
        if (m_calls.empty())
            throw std::logic_error("no call was recorded");
        return m_calls.back();
    }
    void Clear() { m_calls.clear(); }

    // The answer of the next call; later calls get the standing answer.
    void QueueAnswer(Result answer) { m_queued.push_back(std::move(answer)); }
    void SetAnswer(Result answer) { m_answer = std::move(answer); }

    // Runs while the call is "open", before it answers: a test can look at the program here.
    void WhileOpen(std::function<void(const Call&)> look) { m_whileOpen = std::move(look); }

private:
    Result Answer(const Call& call) {
        m_calls.push_back(call);
        if (m_whileOpen)
            m_whileOpen(call);
        if (!m_queued.empty()) {
            Result answer = std::move(m_queued.front());
            m_queued.pop_front();
            return answer;
        }
        return m_answer;
    }

    Seam<Call, Result>& m_seam;
    typename Seam<Call, Result>::Handler m_previous;
    Result m_answer;
    std::deque<Result> m_queued;
    std::vector<Call> m_calls;
    std::function<void(const Call&)> m_whileOpen;
};

} // namespace ui
