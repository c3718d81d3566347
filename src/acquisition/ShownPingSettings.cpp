#include "acquisition/ShownPingSettings.h"

#include <cstddef>

namespace vexar {

void CShownPingSettings::Enter(const PingSettings& ping, PingOrigin origin, bool fileVelocity,
                               const PingSettings& chosen) {
    m_shown = ping;
    m_origin = origin;
    m_fileVelocity = origin == PingOrigin::Played && fileVelocity;
    if (origin != PingOrigin::Whole) {
        Follow(chosen);
    }
}

void CShownPingSettings::Follow(const PingSettings& chosen) {
    if (m_origin == PingOrigin::None) {
        m_shown = chosen;
        return;
    }
    PingSettings shown = chosen;
    // What the head was asked for: the samples mean nothing without them.
    shown.rangeIndex = m_shown.rangeIndex;
    shown.rangeM = m_shown.rangeM;
    shown.samples = m_shown.samples;
    shown.baseFrequencyKHz = m_shown.baseFrequencyKHz;
    shown.frequencyStep = m_shown.frequencyStep;
    shown.pulseLength = m_shown.pulseLength;
    shown.pulseLengthMultiplier = m_shown.pulseLengthMultiplier;
    shown.externalTriggerEnable = m_shown.externalTriggerEnable;
    shown.externalTriggerLevel = m_shown.externalTriggerLevel;
    shown.externalTransmitDelay = m_shown.externalTransmitDelay;
    // The beams its picture was formed in.
    shown.beams = m_shown.beams;
    shown.beamsIndex = m_shown.beamsIndex;
    if (m_origin == PingOrigin::Played) {
        // What its record says of the head.
        shown.transducerUp = m_shown.transducerUp;
        for (std::size_t k = 0; k < shown.heads.size(); ++k) {
            shown.heads[k].azimuth = m_shown.heads[k].azimuth;
        }
        if (m_fileVelocity) {
            shown.soundVelocity = m_shown.soundVelocity;
        }
    }
    m_shown = shown;
}

void CShownPingSettings::Forget(const PingSettings& chosen) {
    m_origin = PingOrigin::None;
    m_fileVelocity = false;
    m_shown = chosen;
}

} // namespace vexar
