#pragma once
// PingSettings: the one value of head parameters a ping is requested and processed with. The
// settings file, the menus and the dialogs change it; a played record's header overlays it; the
// command packet, the processors, the records and the picture read it. What differs between the
// four heads is kept per head; everything else exists once.

#include <array>
#include <cstdint>

namespace vexar {

inline constexpr int kHeadCount = 4;
/// The head's base frequency; the settings file keeps the frequency as this plus steps of 50 Hz.
inline constexpr int kBaseFrequencyKHz = 675;

/// Range table in metres, indexed 0..16.
inline constexpr std::array<float, 17> kRangeTable = {1.25f,  2.5f,   5.0f,   10.0f,  20.0f,  30.0f,
                                                      40.0f,  50.0f,  60.0f,  80.0f,  100.0f, 150.0f,
                                                      200.0f, 250.0f, 300.0f, 400.0f, 500.0f};

/// Display modes of the heads.
inline constexpr int kDisplayModePolar = 0;
inline constexpr int kDisplayModeBeamTest = 2;

/// What differs between the heads.
struct HeadParameters {
    int quadrantGainDb = 0; ///< 0..20 ("Gain Q1".."Gain Q4")
    int azimuth = 0;        ///< tenths of a degree, from the azimuth offset and "Transducer Up"
    bool operator==(const HeadParameters&) const = default;
};

/// The values the processors build their tables from: a change of any of them rebuilds the
/// tables (and the picture's geometry with them).
struct ProcessingTablesKey {
    int beams = 0;
    int samples = 0;
    int baseFrequencyKHz = 0;
    int frequencyStep = 0;
    float rangeM = 0.0f;
    bool operator==(const ProcessingTablesKey&) const = default;
};

struct PingSettings {
    int transducerUp = 0;
    int pulseLength = 6; ///< 10 us units
    int baseFrequencyKHz = kBaseFrequencyKHz;
    int frequencyStep = 0; ///< -100..+100, 50 Hz each
    int displayGain = 50;
    int profileFilterType = 1;
    std::uint8_t detectProfilePoints = 0;
    float pulseLengthMultiplier = 1.0f;
    int rangeIndex = 3;
    float rangeM = 10.0f;
    int beamsIndex = 0; ///< 0: 480 beams, 1: 240, 2: 120
    int persistence = 0;
    int average = 3;
    int beams = 120;
    int samples = 1000;
    int beamWidth = 2;
    int displayMode = kDisplayModeBeamTest;
    int externalTriggerEnable = 0;
    int externalTriggerLevel = 1;
    int externalTransmitDelay = 0;
    int startGainDb = 6;           ///< "S Gain"
    float soundVelocity = 1480.0f; ///< m/s
    float azimuthOffsetDeg = 0.0f;
    int gyroEarthRateCorr = 1;
    // Processing settings that have no key or dialog; they keep these defaults.
    int detectionThresholdPct = 25;
    int nearLimitCm = 0;
    int windowStartMm = 0;
    int windowEndMm = 40000;
    float sectorWidthDeg = 120.0f;
    float rangeCoefficient = 1.0f;
    std::array<HeadParameters, kHeadCount> heads{};

    bool operator==(const PingSettings&) const = default;

    ProcessingTablesKey TablesKey() const {
        return {beams, samples, baseFrequencyKHz, frequencyStep, rangeM};
    }
    const HeadParameters& Head(int head) const { return heads[static_cast<std::size_t>(head)]; }
};

/// Range in metres -> index into the range table. 2.5 gives 1; the truncated ranges 5..500 give
/// their index; everything else (50 among them) gives 7. Callers holding 1.25 m use index 0.
int RangeToIndex(float rangeM);

/// Range index as the playback step and the data-points command take it: exactly 1.25 m is 0.
int RangeIndexFromMetres(float rangeM);

/// Pulse length in 10 us units for a range and multiplier, as the packet encodes it.
int PulseLengthFor(float rangeM, float multiplier);

/// The rules a packet build applies to the settings: with 500 samples the multiplier stays at
/// most 1.0, and the pulse length follows range and multiplier.
void ApplyPacketRules(PingSettings& settings);

/// The pulse length a reset packet carries: the range's, without the multiplier.
void ResetPulseLength(PingSettings& settings);

/// The four head azimuths from the azimuth offset and "Transducer Up".
void UpdateHeadAzimuths(PingSettings& settings);

/// The beams setting with the index that goes with it (480, 240, else 120).
void SetBeams(PingSettings& settings, int beams);

} // namespace vexar
