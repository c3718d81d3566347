#pragma once
// A fixed set of worker threads that run the tasks of one call in parallel with the caller and
// return only when all of them are done. Threads are created once; a call allocates nothing.

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <mutex>
#include <thread>
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
