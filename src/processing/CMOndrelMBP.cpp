#include "processing/CMOndrelMBP.h"

#include "common/Numeric.h"
#include "processing/BeamKernels.h"

#include <algorithm>
#include <cmath>
#include <cstring>

namespace vexar {

namespace {

constexpr float kDegToRadSector = 3.1415927f / 180.0f;
constexpr float kDegToRadReprojection = 0.017453292f;
constexpr std::size_t kRowFloats = kSampleRowCapacity;
constexpr std::size_t kElementFloats = static_cast<std::size_t>(kElementCount) * kRowFloats;
constexpr std::size_t kImageFloats = static_cast<std::size_t>(kMaxBeams) * kRowFloats;
constexpr std::size_t kReprojEntries = static_cast<std::size_t>(kMaxBeams / 2) * kRowFloats;

// Sample index of a float that may be anything, limited to [lo, hi].
int ClampIndex(float value, int lo, int hi) {
    return std::clamp(TruncToInt(static_cast<double>(std::floor(value))), lo, hi);
}

} // namespace

CMOndrelMBP::CMOndrelMBP()
    : m_elements(kElementFloats),
      m_demod(static_cast<std::size_t>(kSampleRowCapacity / kDemodBlockSamples) * kDemodBlockFloats),
      m_image(kImageFloats), m_averageSum(kImageFloats),
      m_history(static_cast<std::size_t>(kAveragingSlots) * kImageFloats),
      m_steerCos(static_cast<std::size_t>(kMaxBeams) * kElementCount),
      m_steerSin(static_cast<std::size_t>(kMaxBeams) * kElementCount), m_reprojRuns(kReprojEntries) {
    UseOwnImage();
}

void CMOndrelMBP::UseOwnImage() {
    m_imageRows = m_image.data();
    m_imageStride = static_cast<std::ptrdiff_t>(kRowFloats);
}

void CMOndrelMBP::UseHeadImage(const COndrel& current) {
    m_imageRows = current.m_headImage.data() + static_cast<std::ptrdiff_t>(m_beams - 1) * kMaxSamples;
    m_imageStride = -static_cast<std::ptrdiff_t>(kMaxSamples);
}

void CMOndrelMBP::InitialiseProcessor(const PingSettings& settings, const COndrel* current) {
    // Damaged settings (a played file) are kept inside the buffers.
    m_samples = std::clamp(settings.samples, 1, kMaxSamples);
    m_beams = std::clamp(settings.beams, 1, kMaxBeams);
    m_frequencyKHz = settings.baseFrequencyKHz;
    m_frequencyHz = static_cast<float>(m_frequencyKHz) * 1000.0f;
    m_pitch = kElementPitchM;
    m_sectorWidthDeg = settings.sectorWidthDeg;
    m_halfWidthRad = m_sectorWidthDeg * 0.5f * kDegToRadSector;
    m_beamStep = 2.0f * m_halfWidthRad / static_cast<float>(m_beams);

    std::fill_n(m_elements.data(), m_elements.size(), 0.0f);
    std::fill_n(m_demod.data(), m_demod.size(), 0.0f);
    m_omega = static_cast<float>(2.0 * 3.14159265358979 * static_cast<double>(m_frequencyHz));
    ClearAveraging();
    if (current != nullptr) {
        BuildGainTable(settings, *current);
    }
    m_soundVelocity = settings.soundVelocity;
    BuildSteeringTables();
    std::fill_n(m_bottomRange.begin(), kMaxBeams, 500.0f);
    m_reprojBeams = -1;
}

void CMOndrelMBP::ClearAveraging() {
    // Only the rows and slots written since the last clear can hold anything but zeros.
    const std::size_t used = static_cast<std::size_t>(m_dirtyBeams) * kRowFloats;
    // memset, not a fill loop: 0.0f is all zero bits, and a loop is checked element by element in
    // instrumented builds.
    for (int slot = 0; slot < m_dirtySlots; ++slot) {
        std::memset(m_history.data() + static_cast<std::size_t>(slot) * kImageFloats, 0,
                    used * sizeof(float));
    }
    std::memset(m_averageSum.data(), 0, used * sizeof(float));
    m_dirtyBeams = 0;
    m_dirtySlots = 0;
    m_ringPosition = 0;
}

void CMOndrelMBP::RebuildGeometry(float soundVelocityMps) {
    m_soundVelocity = soundVelocityMps;
    BuildSteeringTables();
}

float CMOndrelMBP::BeamAngleRad(int beam) const {
    return static_cast<float>(beam) * m_beamStep + (m_beamStep * 0.5f - m_halfWidthRad);
}

float CMOndrelMBP::SteeringPhase(int beam, int element) const {
    const float delay = std::sin(BeamAngleRad(beam)) * m_pitch / m_soundVelocity;
    return (static_cast<float>(element) - 7.5f) * delay * m_omega;
}

void CMOndrelMBP::BuildSteeringTables() {
    m_beamStep = 2.0f * m_halfWidthRad / static_cast<float>(m_beams);
    std::array<float, kElementCount> window{};
    for (int k = 0; k < kElementCount; ++k) {
        window[static_cast<std::size_t>(k)] =
            0.54f - 0.46f * std::cos(static_cast<float>(k) * 6.2831855f * 0.0625f);
    }
    for (int b = 0; b < m_beams; ++b) {
        for (int k = 0; k < kElementCount; ++k) {
            const float phase = SteeringPhase(b, k);
            m_steerCos[Index(b, k)] = std::cos(phase) * window[static_cast<std::size_t>(k)];
            m_steerSin[Index(b, k)] = std::sin(phase) * window[static_cast<std::size_t>(k)];
        }
    }
}

void CMOndrelMBP::LoadElementSamples(const PingSettings& settings, const COndrel& current) {
    std::memset(m_elements.data(), 0, m_elements.size() * sizeof(float));
    if (m_transducerType != 4) {
        return;
    }
    // An inverted head is mirrored left to right by reversing its elements.
    const bool mirrored = settings.transducerUp != 0;
    for (int ch = 0; ch < kElementCount; ++ch) {
        const int element = mirrored ? kElementCount - 1 - ch : ch;
        const std::uint16_t* raw = current.m_rawSamples.data() + static_cast<std::size_t>(ch) * kMaxSamples;
        float* row = m_elements.data() + Row(element);
        for (int i = 0; i < m_samples; ++i) {
            // 32768 is no signal; the full 16-bit range maps to -1..+1 (exactly, by 2^-15).
            row[i] = (static_cast<float>(raw[i]) - 32768.0f) * (1.0f / 32768.0f);
        }
    }
}

void CMOndrelMBP::BuildGainTable(const PingSettings& settings, const COndrel& current) {
    const int startGainDb = settings.startGainDb;
    const float range = settings.rangeM;
    const int n = m_samples;
    // The table depends on these four values only; most pings find it built already.
    const GainKey key{range, n, settings.Head(current.m_headIndex).quadrantGainDb, startGainDb};
    if (m_gainKey && *m_gainKey == key) {
        return;
    }
    m_gainKey = key;
    if (n == 500) {
        m_quadStepBase = range * 0.8f;
    } else if (n == 1000) {
        m_quadStepBase = range * 0.4f;
    }
    const float slope = 0.2f * range / static_cast<float>(n);
    const float near = 0.02f * static_cast<float>(n);
    const float k = 20.0f * std::log10(0.02f * range) + 20.0f;
    // Gains are added as integers; a wide type keeps absurd values from overflowing.
    const float g = static_cast<float>(
        static_cast<long long>(settings.Head(current.m_headIndex).quadrantGainDb) + startGainDb);
    const auto level = [&](int i) {
        const float t =
            20.0f * std::log10(static_cast<float>(i) / near) + (g + k) + slope * static_cast<float>(i);
        return std::pow(10.0f, t / 20.0f);
    };
    m_gain.fill(0.0f);
    const int nearEnd = std::min(static_cast<int>(near), kSampleRowCapacity - 1);
    std::fill_n(m_gain.begin(), nearEnd + 1, 1.0f);
    for (int i = nearEnd; i < n; ++i) {
        m_gain[static_cast<std::size_t>(i)] = level(i);
    }
    // Near field: the level of the sample at 0.7 m holds from the first sample.
    const int plateau = ClampIndex(static_cast<float>(n) * 0.7f / range + 0.5f, 0, kSampleRowCapacity);
    const float plateauGain = level(plateau);
    std::fill_n(m_gain.begin(), plateau, plateauGain);
}

void CMOndrelMBP::BuildQuadWeights() {
    const float step = 2.34f / (0.5f * m_quadStepBase);
    for (int q = 0; q < 9; ++q) {
        const float angle = (static_cast<float>(q) * step + 45.0f) * kDegToRadSector;
        const float re = -std::cos(angle);
        const float im = -std::sin(angle);
        for (int e = 0; e < 4; ++e) {
            m_quadRe[static_cast<std::size_t>(4 * q + e)] = re;
            m_quadIm[static_cast<std::size_t>(4 * q + e)] = im;
        }
    }
}

void CMOndrelMBP::Demodulate() {
    BuildQuadWeights();
    DemodulateJob job;
    job.elements = m_elements.data();
    job.rowStride = kRowFloats;
    job.demod = m_demod.data();
    job.gain = m_gain.data();
    job.quadRe = m_quadRe.data();
    job.quadIm = m_quadIm.data();
    job.samples = m_samples;
    constexpr float r = kDemodulatorDamping;
    const float r2 = r * r;
    const float r4 = r2 * r2;
    job.damping8 = r4 * r4;
    for (int m = 1; m <= 3; ++m) {
        job.twiddleRe[static_cast<std::size_t>(m)] = r * std::cos(static_cast<float>(m) * 0.7853982f);
        job.twiddleIm[static_cast<std::size_t>(m)] = r * std::sin(static_cast<float>(m) * 0.7853982f);
    }
    DemodulateElements(job);
}

void CMOndrelMBP::MeasureElementLevels(COndrel& current) {
    const int n = m_samples;
    for (int k = 0; k < kElementCount; ++k) {
        const float* row = m_elements.data() + Row(k);
        float total = 0.0f;
        for (int i = 0; i < n; ++i) {
            total += std::fabs(row[i]);
        }
        m_elementLevel[static_cast<std::size_t>(k)] = total / static_cast<float>(n);
    }
    float mean = 0.0f;
    for (int k = 0; k < kElementCount; ++k) {
        mean += m_elementLevel[static_cast<std::size_t>(k)];
    }
    mean = mean * 0.0625f;
    for (int k = 0; k < kElementCount; ++k) {
        std::uint8_t status = 0;
        if (mean > 0.5f) {
            status = m_elementLevel[static_cast<std::size_t>(k)] < 0.067f * mean ? 2 : 1;
        }
        m_elementStatus[static_cast<std::size_t>(k)] = status;
        current.m_elementStatus[static_cast<std::size_t>(k)] = status;
    }
}

BeamFormJob CMOndrelMBP::PrepareBeamForming(const PingSettings& settings, int averaged) {
    BeamFormJob job;
    job.demod = m_demod.data();
    job.steerCos = m_steerCos.data();
    job.steerSin = m_steerSin.data();
    job.averageSum = m_averageSum.data();
    job.history = m_history.data() + static_cast<std::size_t>(m_ringPosition) * kImageFloats;
    job.rowStride = kRowFloats;
    job.beams = m_beams;
    job.samples = m_samples;
    job.formedSamples = 4 * ((m_samples - 5) / 4) + 4;
    job.width = settings.beamWidth;
    const float displayGain = static_cast<float>(settings.displayGain);
    switch (settings.beamWidth) {
    case 0:
        job.gainFactor = 0.5f * 0.15f * displayGain;
        job.lastStored = m_samples - 2;
        break;
    case 1:
        job.gainFactor = 0.5f * 0.005f * displayGain;
        job.lastStored = m_samples - 2;
        break;
    case 2:
        job.gainFactor = 0.5f * 0.01f * 4.0f * displayGain;
        job.lastStored = m_samples - 1;
        break;
    default:
        break;
    }
    job.averageScale = 1.0f / static_cast<float>(averaged) * 1.3f;
    return job;
}

void CMOndrelMBP::FormAndReproject(const PingSettings& settings, COndrel& current) {
    const int m = std::clamp(settings.average, 1, kAveragingSlots);
    if (m != m_averageCount) {
        m_averageCount = m;
        ClearAveraging();
    }
    if (m_ringPosition >= m) {
        m_ringPosition = 0;
    }
    const BeamFormJob job = PrepareBeamForming(settings, m);
    const bool form = settings.beamWidth >= 0 && settings.beamWidth <= 2;
    m_rowCleared.fill(false);
    // Beams are formed in mirror pairs from the centre of the fan outwards, and each pair is
    // re-projected while it is still in cache.
    const int half = m_beams / 2;
    float* row0 = m_pairRows.data();
    float* row1 = m_pairRows.data() + kRowFloats;
    for (int i = 1; i <= half; ++i) {
        const int b0 = half - i;
        const int b1 = half + i - 1;
        if (form) {
            FormAndAverageBeamPair(job, b0, b1, row0, row1);
        } else {
            AverageBeamPair(job, b0, b1, row0, row1);
        }
        if (i < half) {
            ReprojectPair(current, i, row0, row1);
        }
    }
    if (m_beams % 2 != 0) {
        // The last beam of an odd count has no mirror; it is averaged but never drawn.
        if (form) {
            FormAndAverageBeamPair(job, m_beams - 1, m_beams - 1, row0, row0);
        } else {
            AverageBeamPair(job, m_beams - 1, m_beams - 1, row0, row0);
        }
    }
    ClearUntouchedRows(current);
    m_dirtySlots = std::max(m_dirtySlots, m_ringPosition + 1);
    m_ringPosition = m_ringPosition + 1 >= m ? 0 : m_ringPosition + 1;
}

void CMOndrelMBP::ClearUntouchedRows(COndrel& current) {
    // Rows no echo was moved to are empty. Rows from the beam count up were emptied by an
    // earlier ping, unless it had more beams.
    float* head = current.m_headImage.data();
    const int dirtyRows = std::max(m_headRowsUsed, m_beams);
    for (int r = 0; r < dirtyRows; ++r) {
        if (!m_rowCleared[static_cast<std::size_t>(r)]) {
            std::memset(head + static_cast<std::size_t>(r) * kMaxSamples, 0, kMaxSamples * sizeof(float));
        }
    }
    m_headRowsUsed = m_beams;
    UseHeadImage(current);
    m_dirtyBeams = std::max(m_dirtyBeams, m_beams);
}

void CMOndrelMBP::BuildReprojectionTable(float rangeM) {
    m_reprojBeams = m_beams;
    m_reprojSamples = m_samples;
    m_reprojRange = rangeM;
    const float c = 120.0f / static_cast<float>(m_beams);
    const int half = m_beams / 2;
    const float d = static_cast<float>(m_samples) * kHeadOffsetM / rangeM;
    std::size_t count = 0;
    m_reprojRowStart[0] = 0;
    m_reprojRowStart[1] = 0;
    for (int i = 1; i < half; ++i) {
        const float cosA = std::cos((180.0f - static_cast<float>(i) * c) * kDegToRadReprojection);
        ReprojRun* run = nullptr;
        for (int j = 0; j < m_samples; ++j) {
            const float jf = static_cast<float>(j);
            const float o = jf * jf + d * d - jf * (2.0f * d) * cosA;
            const float t = std::sqrt(o);
            const float ratio = (o + d * d - jf * jf) / (t * (2.0f * d));
            if (std::isnan(ratio)) {
                run = nullptr;
                continue;
            }
            // Rounding can leave the cosine just outside [-1, 1].
            const float u = std::acos(std::clamp(ratio, -1.0f, 1.0f));
            const int a =
                TruncToInt(static_cast<double>(std::floor(u / kDegToRadReprojection / c + c * 0.5f)));
            const int column = TruncToInt(static_cast<double>(std::floor(t)));
            // Points past the row or whose angle falls outside the fan are dropped.
            if (column < 0 || column >= kMaxSamples || a < 0 || a > m_beams) {
                run = nullptr;
                continue;
            }
            if (run != nullptr && run->offset == a && run->column + run->length == column) {
                ++run->length;
                continue;
            }
            run = &m_reprojRuns[count++];
            run->firstSample = static_cast<std::int16_t>(j);
            run->length = 1;
            run->offset = static_cast<std::int16_t>(a);
            run->column = static_cast<std::int16_t>(column);
        }
        m_reprojRowStart[static_cast<std::size_t>(i + 1)] = static_cast<int>(count);
    }
}

float* CMOndrelMBP::HeadRow(COndrel& current, int row) {
    float* target = current.m_headImage.data() + static_cast<std::size_t>(row) * kMaxSamples;
    bool& cleared = m_rowCleared[static_cast<std::size_t>(row)];
    if (!cleared) {
        std::memset(target, 0, kMaxSamples * sizeof(float)); // 0.0f is all zero bits
        cleared = true;
    }
    return target;
}

void CMOndrelMBP::ReprojectPair(COndrel& current, int i, const float* source1, const float* source2) {
    // Source 1 is beam half - i, source 2 beam half + i - 1; both move by the same offset a
    // towards opposite sides. Targets outside the fan are dropped. Every head row is cleared
    // when it is first written, while it is in cache, instead of all of them up front.
    const int half = m_beams / 2;
    const int end = m_reprojRowStart[static_cast<std::size_t>(i + 1)];
    // Near the head the runs are a sample or two long: those are done in place.
    const auto maxInto = [](float* target, const float* source, int length) {
        if (length >= 16) {
            MaxClampedInto(target, source, length);
            return;
        }
        for (int x = 0; x < length; ++x) {
            const float v = std::min(source[x], 255.0f);
            target[x] = std::max(target[x], v);
        }
    };
    for (int r = m_reprojRowStart[static_cast<std::size_t>(i)]; r < end; ++r) {
        const ReprojRun& run = m_reprojRuns[static_cast<std::size_t>(r)];
        const int a = run.offset;
        if (half + a - 1 < m_beams) {
            maxInto(HeadRow(current, half + a - 1) + run.column, source1 + run.firstSample, run.length);
        }
        if (half - a >= 0) {
            maxInto(HeadRow(current, half - a) + run.column, source2 + run.firstSample, run.length);
        }
    }
}

void CMOndrelMBP::ProcessHeadPing(const PingSettings& settings, int transducerType, COndrel& current) {
    m_transducerType = transducerType;
    const float soundVelocityMps = settings.soundVelocity;
    if (m_transducerType != m_transducerTypeSeen) {
        m_transducerTypeSeen = m_transducerType;
        InitialiseProcessor(settings, &current);
    }
    if (settings.average != m_averageSeen || settings.detectProfilePoints != m_detectSeen) {
        ClearAveraging();
        m_averageSeen = settings.average;
        m_detectSeen = settings.detectProfilePoints;
    }
    if (settings.profileFilterType != m_filterTypeSeen) {
        ClearAveraging();
        m_filterTypeSeen = settings.profileFilterType;
    }
    LoadElementSamples(settings, current);
    // The steering tables depend only on the velocity and the geometry of the last initialisation.
    if (soundVelocityMps != m_soundVelocity) {
        RebuildGeometry(soundVelocityMps);
    }
    BuildGainTable(settings, current);
    Demodulate();
    MeasureElementLevels(current);
    if (m_reprojBeams != m_beams || m_reprojSamples != m_samples || m_reprojRange != settings.rangeM) {
        BuildReprojectionTable(settings.rangeM);
    }
    FormAndReproject(settings, current);
    if (settings.detectProfilePoints != 0) {
        RunSelectedFilter(settings);
    }
    CopyProfileToHead(current);
}

void CMOndrelMBP::CopyProfileToHead(COndrel& current) const {
    for (int i = 0; i < m_beams; ++i) {
        current.m_beamProfile[static_cast<std::size_t>(i)] =
            m_profilePosition[static_cast<std::size_t>(m_beams - 1 - i)];
    }
}

} // namespace vexar
