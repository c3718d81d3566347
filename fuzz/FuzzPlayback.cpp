// Playback of record bytes through the document: the player's header checks, resynchronisation,
// packet pairs, sentence and the per-ping routine on what they let through. The document runs a
// small configuration (120 beams, 500 samples, no averaging) so that a played ping costs little;
// a record's header may still ask for more, and is played as it asks. The heads' processing
// itself runs on a few samples of each head (SmallHeadProcessing.h), on the document's thread.

#include "MemoryFile.h"
#include "SmallHeadProcessing.h"
#include "acquisition/CTamsorDoc.h"
#include "files/CPlayer.h"

#include <cstdint>
#include <cstdlib>
#include <memory>

namespace {

// Pings played per input at the most: each costs the processing of four heads, and a second ping
// of the same input adds little the first did not reach.
constexpr int kMaxPings = 1;
constexpr int kMaxSteps = 16;

constexpr char kSettings[] = "[System]\nIPAddress_Sonar1=127.0.0.1\nIPAddress_Output1=127.0.0.1\n"
                             "[Sonar]\nNumber of Samples=500\nBeams=120\nAverage=1\n";

// The document without ports: no link, no timers, no operator, nothing is ever saved.
vexar::CTamsorDoc& Document() {
    static vexar::fuzz::MemoryFile settings("vexar-fuzz-settings");
    static vexar::fuzz::SmallHeadProcessing processing;
    static std::unique_ptr<vexar::CTamsorDoc> doc = [] {
        settings.Write(reinterpret_cast<const std::uint8_t*>(kSettings), sizeof kSettings - 1);
        auto d = std::make_unique<vexar::CTamsorDoc>(vexar::DocumentPorts{}, 0);
        d->PingRoutine().SetHeadProcessing(processing);
        d->OnNewDocument("/nonexistent-vexar-fuzz/", settings.Path());
        return d;
    }();
    return *doc;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    static vexar::fuzz::MemoryFile input("vexar-fuzz-playback");
    vexar::CTamsorDoc& doc = Document();
    if (!input.Write(data, size)) {
        return 0;
    }
    const vexar::CPlayer& player = doc.Playback().Player();
    if (doc.OpenPlayback(input.Path(), true)) {
        int pings = 0;
        for (int step = 0; step < kMaxSteps && pings < kMaxPings; ++step) {
            const std::uint64_t before = player.Position();
            const vexar::StepResult result = doc.Playback().Step();
            if (result == vexar::StepResult::AtEnd) {
                break;
            }
            // A played record lies inside the file, and playing moves forward.
            if (result == vexar::StepResult::Ping) {
                ++pings;
                if (player.Position() > player.FileLength() || player.Position() <= before) {
                    std::abort();
                }
            }
        }
    }
    doc.CloseAllFiles();
    return 0;
}
