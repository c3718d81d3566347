// Loading and saving of the document's settings file.

#include "acquisition/CTamsorDoc.h"
#include "common/TextFormat.h"
#include "common/TextParse.h"
#include "config/CProfileFile.h"
#include "config/SettingsTable.h"

#include <cstdint>

namespace vexar {

namespace {
int LoadedInt(const SettingKey& setting, const std::string& text) {
    const int value = ParseInt(text);
    return setting.limits.clampedOnLoad ? setting.limits.Clamp(value) : value;
}

void LoadSetting(CTamsorDoc& doc, const SettingKey& setting, const std::string& text) {
    COndrel& first = doc.Head(0);
    if (setting.load != nullptr) {
        setting.load(doc, text);
    } else if (setting.docInt != nullptr) {
        doc.*setting.docInt = LoadedInt(setting, text);
    } else if (setting.headInt != nullptr) {
        first.*setting.headInt = LoadedInt(setting, text);
    } else if (setting.docFloat != nullptr) {
        doc.*setting.docFloat = static_cast<float>(ParseDouble(text));
    } else if (setting.headFloat != nullptr) {
        first.*setting.headFloat = static_cast<float>(ParseDouble(text));
    } else if (setting.docText != nullptr) {
        doc.*setting.docText = text;
    }
}

std::string SavedText(const CTamsorDoc& doc, const SettingKey& setting) {
    const COndrel& first = doc.Head(0);
    if (setting.save != nullptr) {
        return setting.save(doc);
    }
    if (setting.docInt != nullptr) {
        return std::to_string(doc.*setting.docInt);
    }
    if (setting.headInt != nullptr) {
        return std::to_string(first.*setting.headInt);
    }
    if (setting.docFloat != nullptr) {
        return FormatText(setting.format, static_cast<double>(doc.*setting.docFloat));
    }
    if (setting.headFloat != nullptr) {
        return FormatText(setting.format, static_cast<double>(first.*setting.headFloat));
    }
    return doc.*setting.docText;
}

// Rewrites the keys of one save group in table order; keys the file lacks are appended in that
// order. A failed write leaves the old file as it was.
void SaveGroupKeys(const CTamsorDoc& doc, SaveGroup group) {
    CProfileFile ini;
    ini.Load(doc.m_settingsPath);
    for (const SettingKey& setting : kSettingsTable) {
        if (setting.group != group) {
            continue;
        }
        // A line break would end the key's line early and make the rest of the value lines of
        // their own: a folder named that way could add keys and sections to the file. Such a
        // value is not written; the key keeps what the file has.
        const std::string text = SavedText(doc, setting);
        if (text.find_first_of("\r\n") == std::string::npos) {
            ini.SetString(setting.section, setting.key, text);
        }
    }
    ini.Save(doc.m_settingsPath);
}
} // namespace

void LoadOperatingRange(CTamsorDoc& doc, const std::string& text) {
    COndrel& first = doc.Head(0);
    first.m_rangeIndex = SettingOf("Operating Range").limits.Clamp(ParseInt(text));
    first.m_rangeM = kRangeTable[static_cast<std::size_t>(first.m_rangeIndex)];
}

// The file holds Hz; the head holds a step of 50 Hz from 675 kHz (integer division, so
// 675049 is step 0 and 674900 is step -2).
void LoadOperatingFrequency(CTamsorDoc& doc, const std::string& text) {
    const std::int64_t frequencyHz = ParseInt(text);
    // The base, too: a played record sets its own, which must not outlive playback.
    doc.Head(0).m_baseFrequencyKHz = kBaseFrequencyKHz;
    doc.Head(0).m_frequencyStep = static_cast<int>((frequencyHz - kBaseFrequencyKHz * 1000) / 50);
}

std::string SaveOperatingFrequency(const CTamsorDoc& doc) {
    const COndrel& first = doc.Head(0);
    return std::to_string(static_cast<std::int64_t>(first.m_baseFrequencyKHz) * 1000 +
                          static_cast<std::int64_t>(first.m_frequencyStep) * 50);
}

// The head knows 500 and 1000 samples only; any other count would run the ping and processing
// buffers past their ends, so it is taken as 500 (and the blocks per ping follow it).
void LoadSonarPort(CTamsorDoc& doc, const std::string& text) {
    const int port = ParseInt(text);
    const SettingLimits limits = SettingOf("RemotePort_Sonar1").limits;
    doc.m_sonarPort = port >= limits.lowest && port <= limits.highest ? port : kSonarTcpPort;
}

void LoadNumberOfSamples(CTamsorDoc& doc, const std::string& text) {
    doc.Head(0).m_samples = ParseInt(text) == 1000 ? 1000 : 500;
}

// 480, 240 and 120 beams are the head's three settings; anything else is taken as 120.
void LoadBeams(CTamsorDoc& doc, const std::string& text) {
    COndrel& first = doc.Head(0);
    const int beams = ParseInt(text);
    first.m_beams = (beams == 480 || beams == 240) ? beams : 120;
    first.m_beamsIndex = first.m_beams == 480 ? 0 : (first.m_beams == 240 ? 1 : 2);
}

void LoadDetectProfilePoints(CTamsorDoc& doc, const std::string& text) {
    doc.Head(0).m_detectProfilePoints = ParseInt(text) != 0 ? 1 : 0;
}

std::string SaveDetectProfilePoints(const CTamsorDoc& doc) {
    return doc.Head(0).m_detectProfilePoints != 0 ? "1" : "0";
}

// "B..." selects the beam-test display and "P..." the polar one, for all four heads; any other
// text leaves the display as it is.
void LoadDisplay(CTamsorDoc& doc, const std::string& text) {
    if (!text.empty() && (text[0] == 'B' || text[0] == 'P')) {
        const int mode = text[0] == 'B' ? 2 : 0;
        for (COndrel& head : doc.m_heads) {
            head.m_displayMode = mode;
        }
        doc.m_imageReset = 1;
    }
}

std::string SaveDisplay(const CTamsorDoc& doc) {
    return doc.Head(0).m_displayMode == 2 ? "BeamTest" : "Polar";
}

void CTamsorDoc::LoadSettings() {
    CProfileFile ini;
    ini.Load(m_settingsPath);
    for (const SettingKey& setting : kSettingsTable) {
        const char* fallback = setting.fallback;
        if (fallback == kProgramFolder) {
            fallback = m_programFolder.c_str();
        }
        LoadSetting(*this, setting, ini.GetString(setting.section, setting.key, fallback));
    }

    CopyHeadSettings();
    UpdateHeadAzimuths();
    for (COndrel& head : m_heads) {
        head.BuildCommandPacket();
    }
    // The zoom and the picture geometry may have changed with the file.
    m_imageReset = 1;
    Notify(&IDocumentListener::OnSettingsLoaded);
}

void CTamsorDoc::SaveHeadSettings() {
    if (m_playback != 0) {
        return;
    }
    SaveGroupKeys(*this, SaveGroup::Head);
}

void CTamsorDoc::SaveOtherSettings() {
    SaveGroupKeys(*this, SaveGroup::Other);
}

} // namespace vexar
