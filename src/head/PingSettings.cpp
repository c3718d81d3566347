#include "head/PingSettings.h"

#include "common/Numeric.h"

#include <algorithm>

namespace vexar {

int RangeToIndex(float rangeM) {
    if (rangeM == 2.5f) {
        return 1;
    }
    switch (TruncToInt(static_cast<double>(rangeM))) {
    case 5:
        return 2;
    case 10:
        return 3;
    case 20:
        return 4;
    case 30:
        return 5;
    case 40:
        return 6;
    case 60:
        return 8;
    case 80:
        return 9;
    case 100:
        return 10;
    case 150:
        return 11;
    case 200:
        return 12;
    case 250:
        return 13;
    case 300:
        return 14;
    case 400:
        return 15;
    case 500:
        return 16;
    default:
        return 7;
    }
}

int RangeIndexFromMetres(float rangeM) {
    return rangeM == 1.25f ? 0 : RangeToIndex(rangeM);
}

int PulseLengthFor(float rangeM, float multiplier) {
    const double m = static_cast<double>(multiplier);
    int pulse = std::min(TruncToInt(static_cast<double>(rangeM) * 6.0 * m + 0.5), 65535) / 10;
    if (rangeM < 5.0f) {
        pulse = TruncToInt((m * 20.0 + 0.5) / 10.0);
    }
    if (rangeM < 2.5f) {
        pulse = TruncToInt((m * 10.0 + 0.5) / 10.0);
    }
    return pulse;
}

void ApplyPacketRules(PingSettings& settings) {
    if (settings.samples == 500 && !(settings.pulseLengthMultiplier > 1.0f)) {
        settings.pulseLengthMultiplier = 1.0f;
    }
    settings.pulseLength = PulseLengthFor(settings.rangeM, settings.pulseLengthMultiplier);
}

void ResetPulseLength(PingSettings& settings) {
    settings.pulseLength = std::min(TruncToInt(static_cast<double>(settings.rangeM) * 6.0), 65535) / 10;
}

void UpdateHeadAzimuths(PingSettings& settings) {
    const int b = -TruncToInt(static_cast<double>(settings.azimuthOffsetDeg) * 10.0 + 0.5);
    const bool up = settings.transducerUp != 0;
    settings.heads[0].azimuth = b;
    settings.heads[1].azimuth = b + (up ? 900 : 2700);
    settings.heads[2].azimuth = b + 1800;
    settings.heads[3].azimuth = b + (up ? 2700 : 900);
}

void SetBeams(PingSettings& settings, int beams) {
    settings.beams = (beams == 480 || beams == 240) ? beams : 120;
    settings.beamsIndex = settings.beams == 480 ? 0 : (settings.beams == 240 ? 1 : 2);
}

} // namespace vexar
