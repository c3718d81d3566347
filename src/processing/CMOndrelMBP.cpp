#include "processing/CMOndrelMBP.h"

#include "processing/BeamKernels.h"

#include <algorithm>
#include <cmath>
#include <cstring>

namespace vexar {

namespace {

constexpr float kDegToRadSector = 3.1415927f / 180.0f;
constexpr std::size_t kRowFloats = kSampleRowCapacity;
constexpr std::size_t kImageFloats = static_cast<std::size_t>(kMaxBeams) * kRowFloats;

} // namespace

CMOndrelMBP::CMOndrelMBP()
    : m_image(kImageFloats), m_averageSum(kImageFloats),
      m_history(static_cast<std::size_t>(kAveragingSlots) * kImageFloats),
      m_steerCos(static_cast<std::size_t>(kMaxBeams) * kElementCount),
      m_steerSin(static_cast<std::size_t>(kMaxBeams) * kElementCount) {
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

    m_elementStage.Clear();
    m_omega = static_cast<float>(2.0 * 3.14159265358979 * static_cast<double>(m_frequencyHz));
    ClearAveraging();
    if (current != nullptr) {
        m_elementStage.BuildGainTable(settings, *current, m_samples);
    }
    m_soundVelocity = settings.soundVelocity;
    BuildSteeringTables();
    m_profileFilter.Reset();
    m_reprojector.Invalidate();
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

BeamFormJob CMOndrelMBP::PrepareBeamForming(const PingSettings& settings, int averaged) {
    BeamFormJob job;
    job.demod = m_elementStage.Demodulated();
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
    m_reprojector.BeginPing();
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
            m_reprojector.ReprojectPair(current, i, row0, row1);
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
    // Rows no echo reached are emptied, and the finished image is handed to the readers.
    m_reprojector.ClearUntouchedRows(current);
    UseHeadImage(current);
    m_dirtyBeams = std::max(m_dirtyBeams, m_beams);
    m_dirtySlots = std::max(m_dirtySlots, m_ringPosition + 1);
    m_ringPosition = m_ringPosition + 1 >= m ? 0 : m_ringPosition + 1;
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
    m_elementStage.LoadElementSamples(settings, current, m_transducerType, m_samples);
    // The steering tables depend only on the velocity and the geometry of the last initialisation.
    if (soundVelocityMps != m_soundVelocity) {
        RebuildGeometry(soundVelocityMps);
    }
    m_elementStage.BuildGainTable(settings, current, m_samples);
    m_elementStage.Demodulate(m_samples);
    m_elementStage.MeasureElementLevels(current, m_samples);
    m_reprojector.Prepare(m_beams, m_samples, settings.rangeM);
    FormAndReproject(settings, current);
    if (settings.detectProfilePoints != 0) {
        RunSelectedFilter(settings);
    }
    CopyProfileToHead(current);
}

void CMOndrelMBP::CopyProfileToHead(COndrel& current) const {
    for (int i = 0; i < m_beams; ++i) {
        current.m_beamProfile[static_cast<std::size_t>(i)] = m_profileFilter.Position(m_beams - 1 - i);
    }
}

void CMOndrelMBP::RunProfileFilter(const PingSettings& settings) {
    UseOwnImage();
    RunSelectedFilter(settings);
}

void CMOndrelMBP::RunSelectedFilter(const PingSettings& settings) {
    m_profileFilter.Run(
        settings, ProfileImage{m_imageRows, m_imageStride, m_beams, m_samples, m_beamStep, m_halfWidthRad});
}

} // namespace vexar
