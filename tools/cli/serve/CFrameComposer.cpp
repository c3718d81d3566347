#include "CFrameComposer.h"

#include "common/RangeText.h"
#include "display/CPictureModel.h"
#include "display/OverlayLayout.h"
#include "head/COndrel.h"
#include "navigation/CNavigation.h"

#include <algorithm>
#include <cstring>

namespace vexar::cli {

namespace {

// Beam records seen this recently mean the stream carries them: point records wait for theirs.
constexpr double kBeamStreamMs = 2000.0;
// The ping rate counts the pings of the last few seconds.
constexpr double kRateWindowMs = 5000.0;

std::span<const std::uint8_t> DataBlock(const RecordHeaderFields& f, std::span<const std::uint8_t> bytes) {
    if (f.dataOffset > bytes.size() || f.dataLength > bytes.size() - f.dataOffset) {
        return {};
    }
    return bytes.subspan(f.dataOffset, f.dataLength);
}

std::string Sentence(const RecordHeaderFields& f, std::span<const std::uint8_t> bytes) {
    if (f.sentenceLength == 0 || f.sentenceOffset > bytes.size() ||
        f.sentenceLength > bytes.size() - f.sentenceOffset) {
        return {};
    }
    return std::string(reinterpret_cast<const char*>(bytes.data()) + f.sentenceOffset, f.sentenceLength);
}

// The navigation texts as the console's info panel shows them, and the picture's range texts.
void SetTexts(FrameContent& c, std::string sentence) {
    const auto text = [&c](FrameText which) -> std::string& {
        return c.texts[static_cast<std::size_t>(which)];
    };
    if (!sentence.empty()) {
        CNavigation navigation;
        navigation.ParseNavigationSentence(sentence, false);
        text(FrameText::Latitude) = navigation.m_latitudeText;
        text(FrameText::Longitude) = navigation.m_longitudeText;
        text(FrameText::Heading) = navigation.m_headingText;
    }
    text(FrameText::Sentence) = std::move(sentence);
    text(FrameText::Range) = RangeText(c.rangeM, DistanceUnit::Metric);
    text(FrameText::Scale) = ScaleText(c.rangeM, DistanceUnit::Metric);
    for (int i = 1; i <= 5; ++i) {
        c.texts[static_cast<std::size_t>(FrameText::Mark1) + static_cast<std::size_t>(i - 1)] =
            RangeMarkLabel(i, c.rangeM, DistanceUnit::Metric);
    }
}

} // namespace

QByteArray CFrameComposer::Take(const ScannedRecord& record, std::span<const std::uint8_t> bytes,
                                double arrivalMs) {
    // Only what a console builds: up to 1440 beams of up to 1000 samples.
    const RecordHeaderFields& f = record.fields;
    if (f.beamCount < 4 || f.beamCount > kMaxBeams * 3 || f.samples < 1 || f.samples > kMaxSamples) {
        ++m_counts.ignored;
        return {};
    }
    if (record.kind == RecordKind::Point) {
        if (arrivalMs - m_lastBeamMs < kBeamStreamMs) {
            HoldPoints(record.fields, bytes);
            return {};
        }
        m_points.held = false;
        HoldPoints(record.fields, bytes);
        return Compose(record.fields, bytes, arrivalMs, false);
    }
    if (record.kind == RecordKind::Beam) {
        m_lastBeamMs = arrivalMs;
        return Compose(record.fields, bytes, arrivalMs, true);
    }
    ++m_counts.ignored;
    return {};
}

void CFrameComposer::HoldPoints(const RecordHeaderFields& f, std::span<const std::uint8_t> bytes) {
    const std::span<const std::uint8_t> data = DataBlock(f, bytes);
    m_points.timeStamp = f.timeStamp;
    m_points.rangesM.resize(data.size() / 8);
    for (std::size_t i = 0; i < m_points.rangesM.size(); ++i) {
        m_points.rangesM[i] = GetF32(data, i * 8);
    }
    m_points.held = true;
}

QByteArray CFrameComposer::Compose(const RecordHeaderFields& f, std::span<const std::uint8_t> bytes,
                                   double arrivalMs, bool beams) {
    FrameContent c;
    c.arrivalMs = arrivalMs;
    c.frameNumber = static_cast<std::uint32_t>(m_counts.frames);
    c.recordCounter = f.recordCounter;
    c.colorTable = m_colorTable;
    c.beams = f.beamCount;
    c.samples = f.samples;
    // The record holds 3 x the head's beam setting; the picture sweeps by the setting.
    const SweepPlan sweep = CPictureModel::PlanSweep(f.beamCount / 3);
    c.sweepBeams = sweep.totalBeams;
    c.subSteps = sweep.subSteps;
    c.rangeM = f.rangeM;
    c.soundScale = SoundVelocityScale(f.soundVelocity, 1.0f);
    c.pingsPerSecond = PingsPerSecond(arrivalMs);
    c.timeStamp = f.timeStamp;
    SetTexts(c, Sentence(f, bytes));
    if (beams) {
        c.image = DataBlock(f, bytes);
    }
    if (m_points.held && m_points.timeStamp == f.timeStamp && m_points.rangesM.size() == f.beamCount) {
        c.profileM = std::move(m_points.rangesM);
    }
    m_points.held = false;
    QByteArray frame = m_encoder.Encode(c);
    ++m_counts.frames;
    m_counts.bytes += static_cast<std::uint64_t>(frame.size());
    m_counts.largest = std::max(m_counts.largest, static_cast<std::size_t>(frame.size()));
    if (m_encoder.LastReduction() > 1) {
        ++m_counts.reduced;
    }
    return frame;
}

float CFrameComposer::PingsPerSecond(double arrivalMs) {
    m_arrivals[m_arrivalCount % m_arrivals.size()] = arrivalMs;
    ++m_arrivalCount;
    const std::size_t held = std::min(m_arrivalCount, m_arrivals.size());
    double oldest = arrivalMs;
    std::size_t pings = 0;
    for (std::size_t i = 0; i < held; ++i) {
        const double t = m_arrivals[i];
        if (arrivalMs - t <= kRateWindowMs) {
            oldest = std::min(oldest, t);
            ++pings;
        }
    }
    if (pings < 2 || arrivalMs <= oldest) {
        return 0.0f;
    }
    return static_cast<float>(static_cast<double>(pings - 1) * 1000.0 / (arrivalMs - oldest));
}

} // namespace vexar::cli
