// MosaicProbe: the mosaic's own figures on a synthetic survey, without files or processing in
// the way: pings of 1440 beams x 1000 samples over 20 m swept across the track along lines 40 m
// apart ("mowing the lawn") over a square of SIDE metres, placed at CELL metres and written as a
// GeoTIFF. Prints pings placed per second (of wall-clock and of CPU time, for a busy machine), the
// GeoTIFF's writing time, the tiles held in memory at most and the peak resident memory, which
// must not grow with the area.
//
// Usage: MosaicProbe [SIDE_M [CELL_M [PING_SPACING_M [FOLDER]]]]   (default 1000 0.05 4 .)

#include "gis/GeoTiffWriter.h"
#include "gis/MosaicRaster.h"

#include <sys/resource.h>

#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <numbers>
#include <string>
#include <vector>

namespace {

using namespace vexar;

constexpr int kBeams = 1440;
constexpr int kSamples = 1000;
constexpr double kRangeM = 20.0;
constexpr double kLineSpacingM = 40.0;
constexpr std::size_t kTileMemoryBytes = std::size_t{128} * 1024 * 1024;

double CpuSeconds() {
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    const auto seconds = [](const timeval& t) { return static_cast<double>(t.tv_sec) + t.tv_usec / 1e6; };
    return seconds(usage.ru_utime) + seconds(usage.ru_stime);
}

double PeakResidentMb() {
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return static_cast<double>(usage.ru_maxrss) / 1024.0;
}

/// A ping at (east, north) heading along `headingDeg`: the beams sweep the plane across the track.
PlacedPing PingAt(double east, double north, double headingDeg) {
    PlacedPing ping;
    ping.projection = MapProjection{14, false};
    ping.east = east;
    ping.north = north;
    ping.beams = kBeams;
    ping.samples = kSamples;
    ping.metresPerSample = kRangeM / kSamples;
    const double h = headingDeg * std::numbers::pi / 180.0;
    for (int b = 0; b < kBeams; ++b) {
        const double across = std::cos(-std::numbers::pi / 2.0 + b * 2.0 * std::numbers::pi / kBeams);
        ping.dEast.push_back(across * std::cos(h));
        ping.dNorth.push_back(-across * std::sin(h));
        ping.dDepth.push_back(0.0);
    }
    return ping;
}

} // namespace

int main(int argc, char** argv) {
    const double side = argc > 1 ? std::atof(argv[1]) : 1000.0;
    const double cell = argc > 2 ? std::atof(argv[2]) : 0.05;
    const double spacing = argc > 3 ? std::atof(argv[3]) : 4.0;
    const std::string folder = argc > 4 ? argv[4] : ".";
    gis::MosaicRaster raster(cell, gis::MosaicStat::Max, kTileMemoryBytes, folder);
    std::vector<std::uint8_t> samples(static_cast<std::size_t>(kBeams) * kSamples);
    for (std::size_t i = 0; i < samples.size(); ++i) {
        samples[i] = static_cast<std::uint8_t>((i * 2654435761u) >> 24);
    }
    const auto start = std::chrono::steady_clock::now();
    const double cpuStart = CpuSeconds();
    std::uint64_t pings = 0;
    const double origin = 500000.0;
    for (double line = kRangeM; line <= side - kRangeM + 1e-9; line += kLineSpacingM) {
        const bool east = static_cast<int>(line / kLineSpacingM) % 2 == 0;
        for (double along = 0.0; along <= side; along += spacing, ++pings) {
            const double x = origin + (east ? along : side - along);
            raster.AddPing(PingAt(x, 3000000.0 + line, east ? 90.0 : 270.0), samples);
        }
    }
    const double placing = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    const double placingCpu = CpuSeconds() - cpuStart;
    const auto written = std::chrono::steady_clock::now();
    const std::string path = folder + "/mosaic-probe.tif";
    gis::WriteGeoTiff(raster, path, MapProjection{14, false}, {}, 1);
    const double writing = std::chrono::duration<double>(std::chrono::steady_clock::now() - written).count();
    std::remove(path.c_str());
    const gis::CellBounds& bounds = raster.Bounds();
    std::printf(
        "%.0f m x %.0f m at %.3f m (%lld x %lld cells): %llu pings of %d x %d placed in %.1f s "
        "(%.1f pings/s; %.1f pings a CPU second), written with overviews in %.1f s; %zu tiles in memory at "
        "most; peak resident memory %.0f MB\n",
        side, side, cell, static_cast<long long>(bounds.Width()), static_cast<long long>(bounds.Height()),
        static_cast<unsigned long long>(pings), kBeams, kSamples, placing,
        static_cast<double>(pings) / placing, static_cast<double>(pings) / placingCpu, writing,
        raster.PeakTilesInMemory(), PeakResidentMb());
    return 0;
}
