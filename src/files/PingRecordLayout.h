#pragma once
// The bytes of a ping's records: the header fields a record of each kind takes from the ping, the
// sentence it carries, and the data of the point (P96) and beam (B96) records built from the
// products of a processed ping. Only the layout: where the records go is the recorder's.

#include "files/RawRecording.h"
#include "files/RecordHeader.h"
#include "head/COndrel.h"

#include <cstdint>
#include <span>
#include <string>
#include <string_view>

namespace vexar {

/// What a record's header takes from the ping it belongs to.
struct RecordContext {
    const PingSettings* settings = nullptr;
    std::string_view timeStamp; ///< DDMMYYYYHHMMSSmmm
    float displayedPingPeriodMs = 250.0f;
    std::string_view sentence; ///< the ping's navigation sentence, empty when it has none
};

/// Where the UDP output sends the products.
struct OutputTarget {
    bool point = false; ///< "UdpOutputP96"
    bool beam = false;  ///< "UdpOutputB96"
    std::string host;
    int port = 0;
};

/// The products of a processed ping, as the per-ping routine left them.
struct PingProducts {
    RecordContext context;
    const float* combinedImage = nullptr;   ///< kCombinedBeams rows of kMaxSamples values
    const float* combinedProfile = nullptr; ///< kCombinedBeams values
    /// Per combined row: its beam-record bytes as the processing converted them (for
    /// `convertedSamples` samples), or null.
    std::span<const std::uint8_t* const> convertedRows;
    int convertedSamples = 0;
    OutputTarget output;
};

class PingRecordLayout {
public:
    /// The header fields of a record of the kind for the ping; counter and previous length are
    /// left to the record chain.
    static RecordHeaderFields HeaderFields(RecordKind kind, std::uint32_t dataLength,
                                           const RecordContext& ping);
    /// The ping's sentence as a record of the kind carries it: raw records only a sentence of
    /// more than 6 characters; every kind at most 1024 bytes.
    static std::span<const std::uint8_t> SentenceFor(RecordKind kind, std::string_view sentence);
    /// What the link's raw records of the next pings carry besides the ping.
    static RawRecordTemplate RawTemplate(const RecordContext& ping);

    /// Beams B and samples S of the products for the settings.
    static int ProductBeams(const PingSettings& settings);
    static int ProductSamples(const PingSettings& settings);
    /// Length of the data of a point or beam record for the settings.
    static std::uint32_t ProductDataLength(RecordKind kind, const PingSettings& settings);
    /// Writes the data and the sentence of a point or beam record of the ping into `record`,
    /// after its header and zero block; returns the record's length.
    static std::size_t WriteProductData(RecordKind kind, const PingProducts& ping,
                                        std::span<std::uint8_t> record);

private:
    static std::size_t WritePointData(const PingProducts& ping, std::span<std::uint8_t> record);
    static std::size_t WriteBeamData(const PingProducts& ping, std::span<std::uint8_t> record);
    static std::size_t WriteSentence(RecordKind kind, const PingProducts& ping,
                                     std::span<std::uint8_t> record, std::size_t at);
};

} // namespace vexar
