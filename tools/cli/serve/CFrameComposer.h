#pragma once
// CFrameComposer: turns the console's product records into observers' frames. A ping's point
// record comes just before its beam record: the profile points wait for the beam record of the
// same time stamp and travel in its frame. A stream of point records alone (no beam records for
// a while) gives frames of their own.

#include "ObserverFrame.h"

#include "files/RecordScanner.h"

#include <QByteArray>

#include <array>
#include <cstdint>
#include <span>
#include <string>
#include <vector>

namespace vexar::cli {

/// What has gone through the composer so far.
struct ComposerCounts {
    std::uint64_t frames = 0;
    std::uint64_t bytes = 0;   ///< of all frames
    std::size_t largest = 0;   ///< bytes of the largest frame
    std::uint64_t reduced = 0; ///< frames whose samples had to be reduced to fit
    std::uint64_t ignored = 0; ///< records of other kinds (raw records)
};

class CFrameComposer {
public:
    /// Frames name `colorTable` as the table to draw with.
    explicit CFrameComposer(int colorTable) : m_colorTable(colorTable) {}

    /// Takes a whole, checked record that arrived at `arrivalMs` (ms since 1970). Returns the
    /// frame it completes, or an empty array when it completes none.
    QByteArray Take(const ScannedRecord& record, std::span<const std::uint8_t> bytes, double arrivalMs);

    const ComposerCounts& Counts() const { return m_counts; }

private:
    struct HeldPoints {
        std::string timeStamp;
        std::vector<float> rangesM;
        bool held = false;
    };

    void HoldPoints(const RecordHeaderFields& fields, std::span<const std::uint8_t> bytes);
    QByteArray Compose(const RecordHeaderFields& fields, std::span<const std::uint8_t> bytes,
                       double arrivalMs, bool beams);
    float PingsPerSecond(double arrivalMs);

    int m_colorTable;
    CObserverFrameEncoder m_encoder;
    HeldPoints m_points;
    double m_lastBeamMs = -1.0e12;
    std::array<double, 16> m_arrivals{}; ///< of the last pings, a ring
    std::size_t m_arrivalCount = 0;
    ComposerCounts m_counts;
};

} // namespace vexar::cli
