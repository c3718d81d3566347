#pragma once
// ProductPlayback: one pass over a raw recording through the console's playback and per-ping
// processing, handing on the beam or profile-point records built for each ping, as a conversion
// writes them. This is where the raster commands meet the document; nothing else of them does.

#include "CliCommand.h"
#include "files/RecordHeader.h"

#include <cstdint>
#include <functional>
#include <span>
#include <string>

namespace vexar::cli {

/// Takes one whole record (header included).
using RecordTaker = std::function<void(std::span<const std::uint8_t> record)>;

/// Plays the raw recording at `path` once and hands every record of `kind` (Beam or Point) to
/// `take`, in ping order, on a thread beside the processing unless `cores` is 1. `cores` is the
/// number of cores to keep busy; `progress` gets the fraction of the file played. The UDP output
/// stays off whatever the settings say. Returns the pings played; throws Failure when the file
/// cannot be played, and rethrows what `take` threw once playback has stopped.
std::uint64_t PlayIntoProducts(const CommonOptions& common, const std::string& path, RecordKind kind,
                               int cores, const RecordTaker& take,
                               const std::function<void(double)>& progress);

} // namespace vexar::cli
