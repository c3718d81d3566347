#include "common/WorkerPool.h"

#include <algorithm>

namespace vexar {

WorkerPool::WorkerPool(int workers) {
    m_threads.reserve(static_cast<std::size_t>(std::max(workers, 0)));
    for (int i = 0; i < workers; ++i) {
        m_threads.emplace_back([this] { WorkerLoop(); });
    }
}

WorkerPool::~WorkerPool() {
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_stop = true;
    }
    m_start.notify_all();
    for (std::thread& thread : m_threads) {
        thread.join();
    }
}

int WorkerPool::DefaultWorkers(int limit) {
    const int cores = static_cast<int>(std::thread::hardware_concurrency());
    return std::clamp(cores - 1, 0, limit);
}

void WorkerPool::RunTasks(TaskFn fn, void* context, int taskCount) {
    for (int task = m_next.fetch_add(1); task < taskCount; task = m_next.fetch_add(1)) {
        fn(context, task);
        m_done.fetch_add(1);
    }
}

void WorkerPool::Run(int taskCount, TaskFn fn, void* context) {
    if (taskCount <= 0) {
        return;
    }
    if (m_threads.empty() || taskCount == 1) {
        for (int task = 0; task < taskCount; ++task) {
            fn(context, task);
        }
        return;
    }
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_fn = fn;
        m_context = context;
        m_taskCount = taskCount;
        m_next.store(0);
        m_done.store(0);
        ++m_generation;
    }
    m_start.notify_all();
    RunTasks(fn, context, taskCount);
    // Every task is finished and no worker still holds this call's job.
    std::unique_lock<std::mutex> lock(m_mutex);
    m_finished.wait(lock, [&] { return m_done.load() == taskCount && m_busyWorkers == 0; });
    m_fn = nullptr;
    m_context = nullptr;
}

void WorkerPool::WorkerLoop() {
    std::uint64_t seen = 0;
    std::unique_lock<std::mutex> lock(m_mutex);
    for (;;) {
        m_start.wait(lock, [&] { return m_stop || m_generation != seen; });
        if (m_stop) {
            return;
        }
        seen = m_generation;
        if (m_fn == nullptr) {
            continue; // the call finished before this worker woke
        }
        const TaskFn fn = m_fn;
        void* context = m_context;
        const int count = m_taskCount;
        ++m_busyWorkers;
        lock.unlock();
        RunTasks(fn, context, count);
        lock.lock();
        --m_busyWorkers;
        m_finished.notify_all();
    }
}

} // namespace vexar
