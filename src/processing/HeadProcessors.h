#pragma once
// The document's four ping processors, one per head in head order, and the worker threads that
// process the heads of a ping side by side.

#include "head/COndrel.h"
#include "processing/CMOndrelMBP.h"
#include "common/WorkerPool.h"

#include <array>

namespace vexar {

class HeadProcessors {
public:
    /// `workers` threads besides the caller; by default one fewer than the machine's cores.
    explicit HeadProcessors(int workers = WorkerPool::DefaultWorkers(kHeadCount - 1));

    /// Initialises all four processors from head 0's settings.
    void InitialiseProcessors(const std::array<COndrel, kHeadCount>& heads, float soundVelocityMps);
    /// Rebuilds the steering tables of all four processors for a new sound velocity.
    void RebuildGeometry(float soundVelocityMps);
    /// Called on the thread that processed a head, right after its ping.
    using HeadDoneFn = void (*)(void* context, int head);

    /// Processes the ping of every flagged head; returns when all are done. `done` (if given)
    /// runs for each head as it finishes, on its thread. The result does not depend on how the
    /// heads are spread over the threads.
    void ProcessHeads(std::array<COndrel, kHeadCount>& heads, const std::array<bool, kHeadCount>& flagged,
                      int startGainDb, float soundVelocityMps, HeadDoneFn done = nullptr,
                      void* doneContext = nullptr);

    CMOndrelMBP& Processor(int head) { return m_processors[static_cast<std::size_t>(head)]; }
    const CMOndrelMBP& Processor(int head) const { return m_processors[static_cast<std::size_t>(head)]; }
    int Workers() const { return m_pool.Workers(); }

private:
    struct PingJob {
        HeadProcessors* self = nullptr;
        std::array<COndrel, kHeadCount>* heads = nullptr;
        std::array<int, kHeadCount> order{};
        int startGainDb = 0;
        float soundVelocityMps = 0.0f;
        HeadDoneFn done = nullptr;
        void* doneContext = nullptr;
    };
    static void RunHead(void* context, int task);

    std::array<CMOndrelMBP, kHeadCount> m_processors;
    WorkerPool m_pool;
};

} // namespace vexar
