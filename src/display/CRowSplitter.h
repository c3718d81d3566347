#pragma once
// Splits a loop over picture rows between the calling thread and one helper thread. The call
// returns only when both halves are done, so callers keep single-threaded semantics; each row
// is written by exactly one thread, so the result is the same as a plain loop.

#include <condition_variable>
#include <mutex>
#include <thread>
#include <type_traits>

namespace vexar {

class CRowSplitter {
public:
    /// Starts the helper thread when the machine has more than one core (or `useHelper` forces
    /// it off); without it every loop runs on the caller's thread.
    explicit CRowSplitter(bool useHelper = true);
    ~CRowSplitter();
    CRowSplitter(const CRowSplitter&) = delete;
    CRowSplitter& operator=(const CRowSplitter&) = delete;

    /// Runs job(first, end) over [0, count): the helper takes [count/2, count), the caller the rest.
    /// Nothing is allocated per call.
    template <typename Job>
    void Run(int count, Job&& job) {
        using Stored = std::remove_reference_t<Job>;
        RunErased(count, &job, [](void* context, int first, int end) { (*static_cast<Stored*>(context))(first, end); });
    }

    bool HasHelper() const { return m_helper.joinable(); }

private:
    using Trampoline = void (*)(void*, int, int);
    void RunErased(int count, void* context, Trampoline call);
    void HelperLoop();

    std::mutex m_mutex;
    std::condition_variable m_wake;
    std::condition_variable m_done;
    void* m_context = nullptr;
    Trampoline m_call = nullptr;
    int m_first = 0;
    int m_end = 0;
    unsigned m_generation = 0;
    bool m_busy = false;
    bool m_stop = false;
    std::thread m_helper;
};

} // namespace vexar
