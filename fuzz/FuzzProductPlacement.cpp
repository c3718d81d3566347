// The map products' reading of beam and profile-point records, as `vexar-cli mosaic` and `grid`
// take them from a file: the input is records one after the other, each placed on the map from
// its header and navigation sentence and, when placed, added to a mosaic and a depth grid. A
// record must never take either outside its tiles, whatever its header, sentence or data claim,
// nor whatever mounting (within the settings' limits) the head is given: the first header's
// label byte, two of its spare floats and the frequency choose it. The rasters, the placed ping
// and the ranges are kept from input to input.

#include "files/RecordScanner.h"
#include "gis/DepthGrid.h"
#include "gis/MosaicRaster.h"
#include "navigation/PingPlacer.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <memory>
#include <stdexcept>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using namespace vexar;
    // Cells of 1 m keep the tiles a ping touches few. The rasters live from input to input, so
    // that a ping adds to the tiles earlier ones made instead of allocating its own (megabytes
    // each, whose checking costs far more than the placing), and start afresh once they hold
    // some dozens of tiles, before any would go to the spill file.
    static std::unique_ptr<gis::MosaicRaster> mosaicKept;
    static std::unique_ptr<gis::DepthGrid> gridKept;
    constexpr std::size_t kBudgetBytes = std::size_t{512} << 20;
    constexpr std::size_t kManyTiles = 48;
    if (!mosaicKept || mosaicKept->PeakTilesInMemory() > kManyTiles ||
        gridKept->PeakTilesInMemory() > kManyTiles) {
        mosaicKept = std::make_unique<gis::MosaicRaster>(1.0, gis::MosaicStat::Mean, kBudgetBytes, "/tmp");
        gridKept = std::make_unique<gis::DepthGrid>(1.0, gis::GridStat::Mean, kBudgetBytes, "/tmp");
    }
    gis::MosaicRaster& mosaic = *mosaicKept;
    gis::DepthGrid& grid = *gridKept;
    HeadMounting mounting;
    if (size >= static_cast<std::size_t>(kRecordHeaderSize)) {
        const RecordHeaderFields first = ReadRecordHeader(std::span(data, size).first<kRecordHeaderSize>());
        const auto within = [](float value, double limit) {
            return std::isfinite(value) ? std::clamp(static_cast<double>(value), -limit, limit) : 0.0;
        };
        mounting.plane = (first.labelByte & 1) != 0 ? HeadPlane::Level : HeadPlane::Vertical;
        mounting.tiltDeg = std::fabs(within(first.field329, 90.0));
        mounting.yawDeg = within(first.field325, 360.0);
        mounting.forwardM = within(first.field361, 100.0);
        mounting.starboardM = within(first.frequencyHz, 100.0);
        mounting.downM = within(first.pingPeriodS, 100.0);
    }
    PingPlacer placer({}, mounting, 2000);
    // A placed ping's beams and a record's ranges keep their storage from input to input: every
    // ping placed fills them anew.
    static PlacedPing ping;
    static std::vector<float> ranges;
    const std::span<const std::uint8_t> bytes(data, size);
    std::size_t at = 0;
    while (size - at >= static_cast<std::size_t>(kRecordHeaderSize)) {
        const RecordHeaderFields fields = ReadRecordHeader(bytes.subspan(at).first<kRecordHeaderSize>());
        const std::size_t length = std::min<std::size_t>(fields.totalLength, size - at);
        const auto record = bytes.subspan(at, std::max<std::size_t>(length, 1));
        at += std::max<std::size_t>(length, kRecordHeaderSize);
        ScannedRecord scanned;
        std::string reason;
        if (!CheckRecordBytes(record, scanned, reason) || scanned.kind == RecordKind::Raw ||
            placer.Place(scanned.fields, RecordSentence(record, scanned.fields), ping) != Placement::Placed) {
            continue;
        }
        const auto block = RecordData(record, scanned.fields);
        try {
            if (scanned.kind == RecordKind::Beam) {
                mosaic.AddPing(ping, block);
            } else {
                ranges.resize(static_cast<std::size_t>(ping.beams));
                gis::PointRanges(block, ranges);
                grid.AddPing(ping, ranges);
            }
        } catch (const std::invalid_argument&) {
            // Refused whole: a ping beyond any map.
        }
    }
    return 0;
}
