// Settings files of any bytes: the profile reader and writer, then the load of every key into
// the document and what reads the loaded values first (the settings dialog's texts, the
// diagnostics, the menu states, the overlay texts, the processing tables and, for 120 beams of
// 500 samples, one ping of a head). A key set and written back reads back as set, whatever the
// file held around it.

#include "MemoryFile.h"
#include "acquisition/CTamsorDoc.h"
#include "acquisition/Diagnostics.h"
#include "common/Commands.h"
#include "config/CProfileFile.h"
#include "config/SettingsPanel.h"
#include "config/SettingsTable.h"
#include "display/CPictureModel.h"
#include "display/DisplayCommands.h"
#include "display/OverlayLayout.h"
#include "processing/CMOndrelMBP.h"

#include <cstdint>
#include <cstdlib>
#include <memory>
#include <string_view>

namespace {

void CheckRoundTrip(std::string_view text) {
    vexar::CProfileFile ini;
    ini.SetText(text);
    for (const vexar::SettingKey& setting : vexar::kSettingsTable) {
        if (ini.GetString(setting.section, setting.key, "").size() > vexar::kProfileValueMax) {
            std::abort();
        }
        ini.SetString(setting.section, setting.key, setting.key);
    }
    vexar::CProfileFile again;
    again.SetText(ini.Text());
    for (const vexar::SettingKey& setting : vexar::kSettingsTable) {
        if (again.GetString(setting.section, setting.key, "") != setting.key) {
            std::abort();
        }
    }
}

void ReadLoadedValues(vexar::CTamsorDoc& doc) {
    vexar::CSettingsPanel panel;
    (void)panel.Refresh(doc);
    (void)vexar::UpdateDiagnosticsTexts(doc);
    for (int id = vexar::kCmdRealTime; id <= vexar::kCmdAutoSize4G; ++id) {
        (void)vexar::QueryDisplayCommand(doc, id);
    }
    const vexar::COndrel& first = doc.Head(0);
    const float scale = vexar::SoundVelocityScale(doc.m_soundVelocity, first.m_rangeCoefficient);
    (void)vexar::GridSpacingPx(400.0f, doc.m_unit, scale);
    for (int i = 1; i <= 5; ++i) {
        (void)vexar::RangeMarkLabel(i, first.m_rangeM, doc.m_unit);
    }
    (void)vexar::ScaleText(first.m_rangeM, doc.m_unit);
    (void)vexar::SysGainText(doc.m_startGain, false, 0);
    (void)vexar::DisplayGainText(first.m_displayGain, false, 0);
    (void)vexar::CPictureModel::PersistenceDecay(static_cast<float>(doc.m_pingDelayMs), first.m_persistence);
    (void)vexar::CPictureModel::PictureSide(first.m_samples, doc.m_zoomFactor);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    CheckRoundTrip(std::string_view(reinterpret_cast<const char*>(data), size));

    static vexar::fuzz::MemoryFile file("vexar-fuzz-settings");
    // The document without ports loads and reads its settings and nothing else; it is saved
    // never. The processor is one head's, built once: it allocates its buffers for the largest
    // configuration.
    static std::unique_ptr<vexar::CTamsorDoc> doc = [] {
        auto d = vexar::CTamsorDoc::Create(vexar::DocumentPorts{});
        d->OnNewDocument("/nonexistent-vexar-fuzz/", file.Path());
        return d;
    }();
    static auto processor = std::make_unique<vexar::CMOndrelMBP>();
    if (!file.Write(data, size)) {
        return 0;
    }
    doc->LoadSettings();
    ReadLoadedValues(*doc);

    vexar::COndrel& first = doc->Head(0);
    processor->InitialiseProcessor(first, doc->m_soundVelocity, &first, doc->m_startGain);
    // A ping of the smallest beam setting goes through the settings' processing as the largest
    // would, at a sixteenth of the cost.
    if (first.m_beams == 120 && first.m_samples == 500) {
        first.m_newData = 1;
        processor->ProcessHeadPing(first, first, doc->m_startGain, doc->m_soundVelocity);
    }
    return 0;
}
