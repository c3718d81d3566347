#pragma once
// The document's ping processing: the interface through which the document runs it, and the
// console's implementation, four ping processors (one per head) that process the heads of a
// ping side by side on a worker pool.

#include "common/WorkerPool.h"
#include "head/COndrel.h"
#include "head/PingSettings.h"
#include "processing/CMOndrelMBP.h"

#include <array>
#include <optional>

namespace vexar {

/// Told of each head of a ping as soon as it is processed, on the thread that processed it (the
/// combined image copies the head's rows in while they are still in that core's cache).
class IProcessedHeads {
public:
    virtual ~IProcessedHeads() = default;
    virtual void HeadProcessed(int head) = 0;
};

/// What the document asks of its ping processing. `HeadProcessors` is the console's; tests
/// substitute their own to follow the assembly of the combined image.
class IHeadProcessing {
public:
    virtual ~IHeadProcessing() = default;
    /// Rebuilds the processing tables when the settings' tables key differs from the one they
    /// were last built for (or they were never built); true when it rebuilt them.
    bool PrepareTables(const PingSettings& settings) {
        const ProcessingTablesKey key = settings.TablesKey();
        if (m_builtFor && *m_builtFor == key) {
            return false;
        }
        InitialiseProcessors(settings);
        m_builtFor = key;
        return true;
    }
    /// Processes the ping of every flagged head into its head image and profile, and returns when
    /// all are done. `done` hears of each flagged head as soon as it is finished.
    virtual void ProcessHeads(std::array<COndrel, kHeadCount>& heads,
                              const std::array<bool, kHeadCount>& flagged, const PingSettings& settings,
                              IProcessedHeads& done) = 0;
    /// Forgets the averaging history of every head.
    virtual void ClearHistory() = 0;

protected:
    /// Recomputes the processing tables for the settings.
    virtual void InitialiseProcessors(const PingSettings& settings) = 0;

private:
    std::optional<ProcessingTablesKey> m_builtFor;
};

class HeadProcessors final : public IHeadProcessing {
public:
    /// The heads of a ping run as tasks of `workers`.
    explicit HeadProcessors(WorkerPool& workers) : m_workers(workers) {}

    /// The result does not depend on how the heads are spread over the threads.
    void ProcessHeads(std::array<COndrel, kHeadCount>& heads, const std::array<bool, kHeadCount>& flagged,
                      const PingSettings& settings, IProcessedHeads& done) override;
    void ClearHistory() override;

    CMOndrelMBP& Processor(int head) { return m_processors[static_cast<std::size_t>(head)]; }
    const CMOndrelMBP& Processor(int head) const { return m_processors[static_cast<std::size_t>(head)]; }

protected:
    void InitialiseProcessors(const PingSettings& settings) override;

private:
    struct PingJob {
        HeadProcessors* self = nullptr;
        std::array<COndrel, kHeadCount>* heads = nullptr;
        std::array<int, kHeadCount> order{};
        const PingSettings* settings = nullptr;
        IProcessedHeads* done = nullptr;
    };
    static void RunHead(void* context, int task);

    std::array<CMOndrelMBP, kHeadCount> m_processors;
    WorkerPool& m_workers;
};

} // namespace vexar
