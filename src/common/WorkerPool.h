#pragma once
// A fixed set of worker threads that run the tasks of one call in parallel with the caller and
// return only when all of them are done. Threads are created once; a call allocates nothing.
// The document owns one pool: the heads of a ping and the rows of the picture both run on it,
// one call after the other, never at once.

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <mutex>
#include <thread>
#include <type_traits>
#include <vector>

namespace vexar {

class WorkerPool {
public:
    using TaskFn = void (*)(void* context, int task);

    /// `workers` threads besides the caller; 0 runs every task on the caller's thread.
    explicit WorkerPool(int workers);
    ~WorkerPool();
    WorkerPool(const WorkerPool&) = delete;
    WorkerPool& operator=(const WorkerPool&) = delete;

    /// Runs fn(context, 0 .. taskCount-1), each task once, and returns when all have finished.
    void Run(int taskCount, TaskFn fn, void* context);
    int Workers() const { return static_cast<int>(m_threads.size()); }

    /// Runs job(first, end) over [0, count), cut into one contiguous range per thread (the
    /// caller's included), and returns when all are done. Loops shorter than `minimumCount` run
    /// on the caller alone. Each index belongs to exactly one range, so a job that writes only its
    /// own indices gives the same result as a plain loop.
    template <typename Job> void RunSplit(int count, Job&& job, int minimumCount = 8) {
        using Stored = std::remove_reference_t<Job>;
        if (count <= 0) {
            return;
        }
        if (m_threads.empty() || count < minimumCount) {
            job(0, count);
            return;
        }
        struct Split {
            Stored* job;
            int count;
            int parts;
        } split{&job, count, Workers() + 1};
        Run(
            split.parts,
            [](void* context, int part) {
                const Split& s = *static_cast<const Split*>(context);
                const int first = static_cast<int>(static_cast<long long>(s.count) * part / s.parts);
                const int end = static_cast<int>(static_cast<long long>(s.count) * (part + 1) / s.parts);
                (*s.job)(first, end);
            },
            &split);
    }

    /// Worker threads for this machine: one fewer than its cores, at most `limit`.
    static int DefaultWorkers(int limit);

private:
    void WorkerLoop();
    void RunTasks(TaskFn fn, void* context, int taskCount);

    std::mutex m_mutex;
    std::condition_variable m_start;
    std::condition_variable m_finished;
    std::uint64_t m_generation = 0;
    bool m_stop = false;
    TaskFn m_fn = nullptr;
    void* m_context = nullptr;
    int m_taskCount = 0;
    int m_busyWorkers = 0;
    std::atomic<int> m_next{0};
    std::atomic<int> m_done{0};
    std::vector<std::thread> m_threads;
};

} // namespace vexar
