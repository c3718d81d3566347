#include "processing/HeadProcessors.h"

#include <algorithm>

namespace vexar {

void HeadProcessors::InitialiseProcessors(const PingSettings& settings) {
    for (CMOndrelMBP& processor : m_processors) {
        processor.InitialiseProcessor(settings);
    }
}

void HeadProcessors::ClearHistory() {
    for (CMOndrelMBP& processor : m_processors) {
        processor.ClearAveraging();
    }
}

void HeadProcessors::RunHead(void* context, int task) {
    PingJob& job = *static_cast<PingJob*>(context);
    const int head = job.order[static_cast<std::size_t>(task)];
    std::array<COndrel, kHeadCount>& heads = *job.heads;
    COndrel& current = heads[static_cast<std::size_t>(head)];
    // The ping's transducer type is the one head 0's reply header gives.
    job.self->m_processors[static_cast<std::size_t>(head)].ProcessHeadPing(
        *job.settings, heads[0].m_transducerType, current);
    job.done->HeadProcessed(head);
}

void HeadProcessors::ProcessHeads(std::array<COndrel, kHeadCount>& heads,
                                  const std::array<bool, kHeadCount>& flagged, const PingSettings& settings,
                                  IProcessedHeads& done) {
    PingJob job;
    job.done = &done;
    job.self = this;
    job.heads = &heads;
    job.settings = &settings;
    int count = 0;
    for (int k = 0; k < kHeadCount; ++k) {
        if (flagged[static_cast<std::size_t>(k)]) {
            job.order[static_cast<std::size_t>(count++)] = k;
        }
    }
    m_workers.Run(count, &HeadProcessors::RunHead, &job);
}

} // namespace vexar
