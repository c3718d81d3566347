#include "display/DisplayCommands.h"

#include "acquisition/CTamsorDoc.h"
#include "files/CPlayer.h"

#include <algorithm>
#include <array>
#include <utility>

namespace vexar {

namespace {

constexpr std::array<int, 3> kBeamSettings = {480, 240, 120};

void SetModeEverywhere(CTamsorDoc& doc, int mode) {
    for (int k = 0; k < kHeadCount; ++k) {
        doc.Head(k).m_displayMode = mode;
    }
    doc.m_imageReset = 1;
    doc.m_clearImage = 1;
}

void SetZoom(CTamsorDoc& doc, int index) {
    if (index == doc.m_zoomIndex) {
        return;
    }
    doc.m_zoomIndex = index;
    if (index == 2) {
        doc.m_panX = 0;
        doc.m_panY = 0;
    }
    doc.m_imageReset = 1;
}

void SetSamples(CTamsorDoc& doc, int samples) {
    for (int k = 0; k < kHeadCount; ++k) {
        doc.Head(k).m_samples = samples;
    }
    if (samples != 1000) {
        return;
    }
    COndrel& first = doc.Head(0);
    if (first.m_rangeM < 2.5f) {
        first.m_rangeM = 2.5f;
    }
    first.m_rangeIndex = RangeIndexFromMetres(first.m_rangeM);
    doc.CopyHeadSettings();
    doc.Notify(&IDocumentListener::OnSettingsChanged);
}

void ToggleTransducerUp(CTamsorDoc& doc) {
    COndrel& first = doc.Head(0);
    first.m_transducerUp = first.m_transducerUp != 0 ? 0 : 1;
    doc.CopyHeadSettings();
    doc.UpdateHeadAzimuths();
    doc.m_imageReset = 1;
    doc.ClearProcessingHistory();
}

bool IsAveragingCommand(int id) {
    return id == kCmdAverageOff || id == kCmdAverage3 || id == kCmdAverage5 || id == kCmdAverage7 ||
           id == kCmdAverage9;
}

} // namespace

bool ExecuteDisplayCommand(CTamsorDoc& doc, int id) {
    COndrel& first = doc.Head(0);
    if (id >= kCmdZoom100 && id <= kCmdZoomFill) {
        SetZoom(doc, id - kCmdZoom100);
    } else if (id == kCmdClearImage) {
        doc.m_clearImage = 1;
    } else if (id == kCmdUnitsMetric || id == kCmdUnitsImperial) {
        doc.m_unit = id - kCmdUnitsMetric;
    } else if (id >= kCmdGridNone && id <= kCmdGridLine) {
        doc.m_grid = id - kCmdGridNone;
    } else if (id == kCmdRangeMark) {
        doc.m_rangeMark = doc.m_rangeMark != 0 ? 0 : 1;
    } else if (id == kCmdHold) {
        doc.OnHold();
    } else if (id >= kCmdColorFirst && id <= kCmdColorLast) {
        doc.m_colorTable = id - kCmdColorFirst;
    } else if (id == kCmdPoints1000 || id == kCmdPoints500) {
        if (doc.m_playback == 0) {
            SetSamples(doc, id == kCmdPoints1000 ? 1000 : 500);
        }
    } else if (id >= kCmdBeams1440 && id <= kCmdBeams360) {
        first.m_beamsIndex = id - kCmdBeams1440;
        first.m_beams = kBeamSettings[static_cast<std::size_t>(first.m_beamsIndex)];
        doc.CopyHeadSettings();
    } else if (id == kCmdModePolar || id == kCmdModeBeamTest) {
        SetModeEverywhere(doc, id == kCmdModePolar ? 0 : 2);
        if (doc.m_grid != 0) {
            doc.m_grid = id == kCmdModePolar ? 1 : 3;
        }
    } else if (id >= kCmdWidthWide && id <= kCmdWidthNarrow) {
        first.m_beamWidth = id - kCmdWidthWide;
        doc.CopyHeadSettings();
    } else if (IsAveragingCommand(id)) {
        first.m_average = id - (kCmdAverageOff - 1);
    } else if (id == kCmdProfileOff) {
        first.m_detectProfilePoints = first.m_detectProfilePoints != 0 ? 0 : 1;
        doc.CopyHeadSettings();
    } else if (id >= kCmdMixHigh && id <= kCmdPointsOnly) {
        doc.m_profileDisplay = id - kCmdMixHigh;
    } else if (id >= kCmdFilterFirst && id <= kCmdFilterBottom) {
        first.m_profileFilterType = id - kCmdFilterFirst;
        doc.CopyHeadSettings();
    } else if (id == kCmdMeasure) {
        // The command ends measuring as well as starting it.
        doc.m_measuring = doc.m_measuring != 0 ? 0 : 1;
    } else if (id == kCmdTransducerUp) {
        ToggleTransducerUp(doc);
    } else {
        return false;
    }
    return true;
}

std::optional<CommandState> QueryDisplayCommand(const CTamsorDoc& doc, int id) {
    const COndrel& first = doc.Head(0);
    const bool polar = first.m_displayMode == 0;
    const bool profiles = first.m_detectProfilePoints != 0;
    CommandState state;
    if (id >= kCmdZoom100 && id <= kCmdZoomFill) {
        state.checked = doc.m_zoomIndex == id - kCmdZoom100;
    } else if (id == kCmdClearImage) {
    } else if (id == kCmdUnitsMetric || id == kCmdUnitsImperial) {
        state.checked = doc.m_unit == id - kCmdUnitsMetric;
    } else if (id >= kCmdGridNone && id <= kCmdGridLine) {
        state.checked = doc.m_grid == id - kCmdGridNone;
        if (polar) {
            state.enabled = id != kCmdGridLine;
        } else if (first.m_displayMode == 2) {
            state.enabled = id != kCmdGridPolar && id != kCmdGridRectangular;
        }
    } else if (id == kCmdRangeMark) {
        state.checked = doc.m_rangeMark != 0;
    } else if (id == kCmdHold) {
        state.checked = doc.m_hold != 0;
    } else if (id >= kCmdColorFirst && id <= kCmdColorLast) {
        state.checked = doc.m_colorTable == id - kCmdColorFirst;
    } else if (id == kCmdPoints1000 || id == kCmdPoints500) {
        state.enabled = doc.m_playback == 0;
        state.checked = first.m_samples == (id == kCmdPoints1000 ? 1000 : 500);
    } else if (id >= kCmdBeams1440 && id <= kCmdBeams360) {
        state.checked = first.m_beamsIndex == id - kCmdBeams1440;
    } else if (id == kCmdModePolar) {
        state.checked = first.m_displayMode == 0;
    } else if (id == kCmdModeBeamTest) {
        state.checked = first.m_displayMode == 2;
    } else if (id >= kCmdWidthWide && id <= kCmdWidthNarrow) {
        state.checked = first.m_beamWidth == id - kCmdWidthWide;
    } else if (IsAveragingCommand(id)) {
        state.checked = first.m_average == id - (kCmdAverageOff - 1);
    } else if (id == kCmdProfileOff) {
        state.checked = !profiles;
    } else if (id >= kCmdMixHigh && id <= kCmdPointsOnly) {
        state.enabled = profiles;
        state.checked = doc.m_profileDisplay == id - kCmdMixHigh;
    } else if (id >= kCmdFilterFirst && id <= kCmdFilterBottom) {
        state.checked = first.m_profileFilterType == id - kCmdFilterFirst;
    } else if (id == kCmdMeasure) {
        state.checked = doc.m_measuring != 0;
    } else if (id == kCmdTransducerUp) {
        state.checked = first.m_transducerUp != 0;
    } else if (id == kCmdDiagnostics) {
        state.checked = doc.m_diagnosticsVisible != 0;
    } else if (id == kCmdComPort) {
        state.enabled = false;
    } else {
        return std::nullopt;
    }
    return state;
}

std::string CommandPrompt(int id) {
    static constexpr std::pair<int, const char*> kPrompts[] = {
        {kCmdRealTime, "Real Time Data Acquisition"},
        {kCmdPlayback, "Playback a Sonar Data File"},
        {kCmdRecordR96, "Record Sonar Data File .R96"},
        {kCmdStopRecording, "Stop Recording Process"},
        {kCmdAutoFileName, "Automaticly Select File name"},
        {kCmdModePolar, "Display Image"},
        {kCmdModeBeamTest, "Display Raw Beams Data"},
        {kCmdSettings, "Show/Hide Settings Dialog Box"},
        {kCmdPoints1000, "Select 1000 data points per channel"},
        {kCmdPoints500, "Select 500 data points per channel"},
        {kCmdClearImage, "Clear Image"},
        {kCmdSoundVelocity, "Show Sound Velocity Input Dialog Box"},
        {kCmdFilterFirst, "Profile Points filter type --first return"},
        {kCmdFilterMax, "Profile Points filter type --max return"},
        {kCmdFilterBottom, "Profile Points filter type --bottom following"},
        {kCmdProfileOff, "Do not display and detect PP Points"},
        {kCmdMixHigh, "Display PP Points with hign signal levels"},
        {kCmdMixMedium, "Display PP Points with medium signal levels"},
        {kCmdMixLow, "Display PP Points with low signal levels"},
        {kCmdPointsOnly, "Only display PP Points without signals."},
        {kCmdDataOutput, "Display Data Output Settings Dlg"},
    };
    for (const auto& [command, prompt] : kPrompts) {
        if (command == id) {
            return prompt;
        }
    }
    return {};
}

bool HandleViewKey(CTamsorDoc& doc, char key) {
    if (key == 'h' || key == 'H') {
        doc.OnHold();
        return true;
    }
    if (key == 'z' || key == 'Z') {
        const int next = (doc.m_zoomIndex + 1) % 3;
        doc.m_zoomIndex = next;
        if (next == 2) {
            doc.m_panX = 0;
            doc.m_panY = 0;
        }
        doc.m_imageReset = 1;
        return true;
    }
    return false;
}

bool StepRange(CTamsorDoc& doc, int step) {
    if (doc.m_playback != 0) {
        return false;
    }
    COndrel& first = doc.Head(0);
    const int index = std::clamp(first.m_rangeIndex + step, 1, 4);
    if (index == first.m_rangeIndex) {
        return false;
    }
    for (int k = 0; k < kHeadCount; ++k) {
        doc.Head(k).m_rangeIndex = index;
        doc.Head(k).m_rangeM = kRangeTable[static_cast<std::size_t>(index)];
    }
    return true;
}

bool StepStartGain(CTamsorDoc& doc, int step) {
    const int gain = std::clamp(doc.m_startGain + step, 0, 20);
    if (gain == doc.m_startGain) {
        return false;
    }
    doc.m_startGain = gain;
    return true;
}

bool StepDisplayGain(CTamsorDoc& doc, int step) {
    const int gain = std::clamp(doc.Head(0).m_displayGain + step, 1, 100);
    if (gain == doc.Head(0).m_displayGain) {
        return false;
    }
    for (int k = 0; k < kHeadCount; ++k) {
        doc.Head(k).m_displayGain = gain;
    }
    return true;
}

bool StepSpeed(CTamsorDoc& doc, int step) {
    const int old = doc.m_sleepTimeMs;
    doc.m_sleepTimeMs = std::clamp(old - step * 50, 0, 1000);
    // A click sets the speed by "Sleep Time" again.
    doc.Player().SetRecordedPace(false);
    if (doc.Ports().timers != nullptr && doc.m_playback != 0) {
        doc.Ports().timers->Arm(kPlaybackTimer, doc.m_sleepTimeMs);
    }
    return doc.m_sleepTimeMs != old;
}

int SpeedBarPosition(const CTamsorDoc& doc) {
    return (1000 - std::clamp(doc.m_sleepTimeMs, 0, 1000)) / 50;
}

} // namespace vexar
