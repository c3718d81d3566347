#pragma once
// The document's ping processing: the interface through which the document runs it, and the
// console's implementation, four ping processors (one per head) that process the heads of a
// ping side by side on a worker pool.

#include "common/WorkerPool.h"
#include "head/COndrel.h"
#include "processing/CMOndrelMBP.h"

#include <array>

namespace vexar {

/// What the document asks of its ping processing. `HeadProcessors` is the console's; tests
/// substitute their own to follow the assembly of the combined image.
class IHeadProcessing {
public:
    /// Called on the thread that processed a head, right after its ping.
    using HeadDoneFn = void (*)(void* context, int head);

    virtual ~IHeadProcessing() = default;
    /// Recomputes the processing tables from head 0's settings.
    virtual void InitialiseProcessors(const std::array<COndrel, kHeadCount>& heads,
                                      float soundVelocityMps) = 0;
    /// Processes the ping of every flagged head into its head image and profile, and returns when
    /// all are done. `done` runs for each flagged head as soon as it is finished.
    virtual void ProcessHeads(std::array<COndrel, kHeadCount>& heads,
                              const std::array<bool, kHeadCount>& flagged, int startGainDb,
                              float soundVelocityMps, HeadDoneFn done, void* doneContext) = 0;
    /// Forgets the averaging history of every head.
    virtual void ClearHistory() = 0;
};

class HeadProcessors final : public IHeadProcessing {
public:
    /// The heads of a ping run as tasks of `workers`.
    explicit HeadProcessors(WorkerPool& workers) : m_workers(workers) {}

    void InitialiseProcessors(const std::array<COndrel, kHeadCount>& heads, float soundVelocityMps) override;
    /// The result does not depend on how the heads are spread over the threads.
    void ProcessHeads(std::array<COndrel, kHeadCount>& heads, const std::array<bool, kHeadCount>& flagged,
                      int startGainDb, float soundVelocityMps, HeadDoneFn done, void* doneContext) override;
    void ClearHistory() override;

    CMOndrelMBP& Processor(int head) { return m_processors[static_cast<std::size_t>(head)]; }
    const CMOndrelMBP& Processor(int head) const { return m_processors[static_cast<std::size_t>(head)]; }

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
    WorkerPool& m_workers;
};

} // namespace vexar
