#pragma once
// The $AULOG sentence of a live fix: composed from the values a source gives (gpsd), or read from
// a line the vehicle sent (the serial line), in the layout the playback parse reads:
//
//   $AULOG,2;29.9805646N,N,99;13.3141814W,W,,-35.400,,64.80,-0.10,-1.10,0.60,,,,,,,
//   12:30:45.120,10/14/2026,*73
//
// fields 1 to 4 latitude and longitude (degrees;minutes with the hemisphere letter, and the letter
// again; without a position the letters alone, which the parse needs to find the fields after
// them), 6 depth, 7 altitude, 8 heading, 9 pitch, 10 roll, 11 speed, 18 the UTC time, 19 the UTC
// date (month/day/year), 20 a checksum ("*" and the exclusive or of the characters between "$"
// and "*" in hexadecimal, as NMEA has it; the parse ignores it). Fields 5 and 12 to 17 are not
// read and stay empty, and so does every field the fix does not have.

#include "navigation/NavigationFix.h"

#include <array>
#include <cstddef>
#include <optional>
#include <span>
#include <string_view>

namespace vexar {

/// The longest sentence a live source hands over (well inside what a record holds); longer lines
/// are not sentences.
inline constexpr std::size_t kMaxLiveSentenceLength = 300;

/// A sentence in a buffer of fixed size: handed from a source to the document without allocating.
struct SentenceText {
    std::array<char, kMaxLiveSentenceLength> bytes{};
    std::size_t length = 0;
    std::string_view View() const { return {bytes.data(), length}; }
    /// Copies `text`; false (and empty) when it is longer than kMaxLiveSentenceLength.
    bool Assign(std::string_view text);
};

/// Composes the sentence of `fix` into `out`; returns its length, 0 when `out` is too small (a
/// buffer of kMaxLiveSentenceLength always holds it). Fields the fix lacks, and fields BadFields
/// rejects, are left empty.
std::size_t ComposeSentence(const NavigationFix& fix, std::span<char> out);

/// The fix a received line gives, with the values the playback parse reads from it; nothing when
/// the line is not a sound $AULOG sentence: not printable text, a coordinate or hemisphere letter
/// that is not one (the letters must be there even without a position), a number field that is
/// not a number, a field short of its comma (the sentence was cut), or a value BadFields rejects.
/// Fields left empty are absent from the fix; the time is known only when fields 18 and 19 are a
/// time (HH:MM:SS with or without fractions) and a date (MM/DD/YYYY).
std::optional<NavigationFix> ReadSentence(std::string_view line);

/// The time of fields 18 (HH:MM:SS with or without fractions, UTC) and 19 (MM/DD/YYYY) in
/// milliseconds since 1970, when both are one.
std::optional<std::int64_t> ReadSentenceTime(std::string_view time, std::string_view date);

} // namespace vexar
