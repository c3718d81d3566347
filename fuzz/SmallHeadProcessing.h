#pragma once
// The heads' ping processing of the fuzz targets that play pings: the first flagged head goes
// through its processor with the ping's own settings, but on its first few samples only; the
// other heads differ from it only in their gain and are left as they were. What the settings and
// a record's header give (range, frequency, sound velocity, gains, widths, averaging, the profile
// filter) takes the same paths as at the ping's full size, at a small part of the cost; the
// loops over whole rows are the unit tests'. The document around it (its tables, its assembly of
// the picture, its products) works at the ping's full size.

#include "processing/HeadProcessors.h"

#include <algorithm>
#include <array>
#include <memory>

namespace vexar::fuzz {

/// Samples a fuzzed ping is processed on.
inline constexpr int kFewSamples = 40;

inline PingSettings WithFewSamples(const PingSettings& settings) {
    PingSettings few = settings;
    few.samples = std::min(few.samples, kFewSamples);
    return few;
}

class SmallHeadProcessing final : public IHeadProcessing {
public:
    void ProcessHeads(std::array<COndrel, kHeadCount>& heads, const std::array<bool, kHeadCount>& flagged,
                      const PingSettings& settings, IProcessedHeads& done) override {
        const PingSettings few = WithFewSamples(settings);
        bool processed = false;
        for (int k = 0; k < kHeadCount; ++k) {
            if (flagged[static_cast<std::size_t>(k)]) {
                if (!processed) {
                    Processor(k).ProcessHeadPing(few, heads[0].m_transducerType,
                                                 heads[static_cast<std::size_t>(k)]);
                    processed = true;
                }
                done.HeadProcessed(k);
            }
        }
    }
    void ClearHistory() override {
        for (auto& processor : *m_processors) {
            processor.ClearAveraging();
        }
    }

protected:
    void InitialiseProcessors(const PingSettings& settings) override {
        const PingSettings few = WithFewSamples(settings);
        for (auto& processor : *m_processors) {
            processor.InitialiseProcessor(few);
        }
    }

private:
    CMOndrelMBP& Processor(int head) { return (*m_processors)[static_cast<std::size_t>(head)]; }

    // Each processor holds its buffers at the largest size: on the heap.
    std::unique_ptr<std::array<CMOndrelMBP, kHeadCount>> m_processors =
        std::make_unique<std::array<CMOndrelMBP, kHeadCount>>();
};

} // namespace vexar::fuzz
