// Settings files of any bytes: the profile reader and writer, then the load of every key into
// the document and what reads the loaded values first (the settings dialog's texts, the
// diagnostics, the menu states, the overlay texts, the processing tables and, for 120 beams of
// 500 samples, one ping of a head). A key set and written back reads back as set, whatever the
// file held around it (a few keys an input, see CheckRoundTrip).

#include "MemoryFile.h"
#include "SmallHeadProcessing.h"
#include "acquisition/CTamsorDoc.h"
#include "acquisition/Diagnostics.h"
#include "acquisition/DocumentCommands.h"
#include "common/Commands.h"
#include "config/CProfileFile.h"
#include "config/SettingsPanel.h"
#include "config/SettingsTable.h"
#include "display/CPictureModel.h"
#include "display/OverlayLayout.h"
#include "processing/CMOndrelMBP.h"

#include <cstdint>
#include <cstdlib>
#include <iterator>
#include <memory>
#include <optional>
#include <string_view>

namespace {

// Keys of the round trip per input. The document's load below reads every key of every input;
// the round trip takes a few, chosen by the input's bytes, so that over the inputs every key is
// set and read back around every kind of file, at a few keys' cost each.
constexpr std::size_t kRoundTripKeys = 8;

std::size_t Fnv1a(std::string_view text) {
    std::uint64_t hash = 14695981039346656037ull;
    for (const char c : text) {
        hash = (hash ^ static_cast<unsigned char>(c)) * 1099511628211ull;
    }
    return static_cast<std::size_t>(hash ^ (hash >> 32));
}

// The two profiles are kept from input to input: each text replaces all they held, in buffers
// they already have.
void CheckRoundTrip(std::string_view text) {
    static vexar::CProfileFile ini;
    static vexar::CProfileFile again;
    constexpr std::size_t count = std::size(vexar::kSettingsTable);
    const std::size_t first = Fnv1a(text) % count;
    const auto key = [&](std::size_t k) -> const vexar::SettingKey& {
        return vexar::kSettingsTable[(first + k * (count / kRoundTripKeys + 1)) % count];
    };
    ini.SetText(text);
    for (std::size_t k = 0; k < kRoundTripKeys; ++k) {
        if (ini.GetString(key(k).section, key(k).key, "").size() > vexar::kProfileValueMax) {
            std::abort();
        }
        ini.SetString(key(k).section, key(k).key, key(k).key);
    }
    again.SetText(ini.Text());
    for (std::size_t k = 0; k < kRoundTripKeys; ++k) {
        if (again.GetString(key(k).section, key(k).key, "") != key(k).key) {
            std::abort();
        }
    }
}

void ReadLoadedValues(const vexar::CTamsorDoc& doc) {
    (void)vexar::CSettingsPanel::Refresh(doc.GetSettings(), true, doc.Shown().FileValues());
    (void)vexar::UpdateDiagnosticsTexts(doc);
    for (const vexar::DocumentCommand& command : vexar::DocumentCommands()) {
        if (command.state != nullptr) {
            (void)command.state(doc, command.value);
        }
    }
    const vexar::PingSettings& sonar = doc.Shown().Settings();
    const vexar::DistanceUnit unit = doc.GetSettings().view.unit;
    const float scale = vexar::SoundVelocityScale(sonar.soundVelocity, sonar.rangeCoefficient);
    (void)vexar::GridSpacingPx(400.0f, unit, scale);
    for (int i = 1; i <= 5; ++i) {
        (void)vexar::RangeMarkLabel(i, sonar.rangeM, unit);
    }
    (void)vexar::ScaleText(sonar.rangeM, unit);
    (void)vexar::SysGainText(sonar.startGainDb, false, 0);
    (void)vexar::DisplayGainText(sonar.displayGain, false, 0);
    (void)vexar::CPictureModel::PersistenceDecay(static_cast<float>(doc.GetSettings().system.pingDelayMs),
                                                 sonar.persistence);
    (void)vexar::CPictureModel::PictureSide(sonar.samples, 0.5f);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    CheckRoundTrip(std::string_view(reinterpret_cast<const char*>(data), size));

    static vexar::fuzz::MemoryFile file("vexar-fuzz-settings");
    // The document without ports loads and reads its settings and nothing else; it is saved
    // never. The processor is one head's, built once: it allocates its buffers for the largest
    // configuration.
    static std::unique_ptr<vexar::CTamsorDoc> doc = [] {
        auto d = std::make_unique<vexar::CTamsorDoc>(vexar::DocumentPorts{});
        d->OnNewDocument("/nonexistent-vexar-fuzz/", file.Path());
        return d;
    }();
    static auto processor = std::make_unique<vexar::CMOndrelMBP>();
    if (!file.Write(data, size)) {
        return 0;
    }
    doc->LoadSettings();
    ReadLoadedValues(*doc);

    static auto head = std::make_unique<vexar::COndrel>();
    // The settings' processing, on a ping of the smallest beam setting and a few samples: the
    // values the file gives take the paths they take at any size, at a small part of the cost.
    // Its tables are built again when the values they come from change, as the document's are.
    const vexar::PingSettings settings = vexar::fuzz::WithFewSamples(doc->Shown().Settings());
    static std::optional<vexar::ProcessingTablesKey> built;
    if (built != settings.TablesKey()) {
        processor->InitialiseProcessor(settings, head.get());
        built = settings.TablesKey();
    }
    if (settings.beams == 120) {
        head->m_newData = 1;
        processor->ProcessHeadPing(settings, head->m_transducerType, *head);
    }
    return 0;
}
