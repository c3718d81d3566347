#pragma once
// A document on fake ports with a scripted head that answers every command packet with a
// reply block echoing the packet index, a recorder that builds the products of a ping without a
// document, and builders of raw records for damaged-file tests.

#include "acquisition/CTamsorDoc.h"
#include "files/CRecorder.h"
#include "support/FakePorts.h"

#include <cstdint>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

namespace vexar::test {

using Bytes = std::vector<std::uint8_t>;

/// The reply a head gives to a command packet: header "SON", echo of byte 13 at byte 5,
/// payload bytes derived from the ping number, the packet index and `seed`.
Bytes MakeReply(const Bytes& packet, int ping, std::uint32_t seed);

/// A fresh folder under the test temp dir, removed by the destructor.
class RecordingFolder {
public:
    RecordingFolder();
    ~RecordingFolder();
    RecordingFolder(const RecordingFolder&) = delete;
    RecordingFolder& operator=(const RecordingFolder&) = delete;
    /// Path of a file in the folder.
    std::string operator/(const std::string& name) const { return (m_path / name).string(); }
    /// The folder with a trailing separator.
    std::string Folder() const { return m_path.string() + "/"; }

private:
    std::filesystem::path m_path;
};

/// A document with loopback settings in its own folder, started in real time.
struct DocFixture {
    /// `systemSettings`: more lines of the "System" section.
    explicit DocFixture(const std::string& systemSettings = {});
    /// Runs the link on the fake timers until `pings` more live pings were processed.
    void RunLivePings(int pings);
    /// Plays up to `steps` steps; returns the number that played a ping.
    int PlaySteps(int steps);

    RecordingFolder folder;
    FakeWorld world;
    std::unique_ptr<CTamsorDoc> doc;
    int pingNumber = -1; ///< counts the pings the fake head has begun, from 0
    std::uint32_t seed = 7;
    /// When >= 0, the head stops answering at this packet index of the next ping: every request
    /// of it in that ping goes unanswered, so the ping is given up.
    int abandonAt = -1;
    int abandonedPing = -1; ///< the ping abandoned, until the next begins
};

/// A recorder on fake ports and the products of one ping as the document hands them over: the
/// settings of DocFixture's settings file (480 beams x 1000 samples at 10 m), a combined image and
/// profile of zeros, no sentence.
struct ProductFixture {
    ProductFixture();
    /// Sends the products of the ping to the UDP output: the point record, then the beam record,
    /// each when asked for; returns every datagram sent so far.
    const std::vector<FakeDatagrams::Datagram>& Send(bool point, bool beam);
    const std::vector<FakeDatagrams::Datagram>& SendPointAndBeamRecords() { return Send(true, true); }
    /// What a record's header takes from the ping.
    RecordContext Context() const;
    float& ImageAt(int beam, int sample) {
        return image[static_cast<std::size_t>(beam) * kMaxSamples + static_cast<std::size_t>(sample)];
    }

    PingSettings settings;
    std::string timeStamp = "07122026114139042";
    std::string sentence;
    float displayedPingPeriodMs = 250.0f;
    std::vector<float> image;   ///< kCombinedBeams rows of kMaxSamples values
    std::vector<float> profile; ///< kCombinedBeams values
    FakeWorld world;
    IRecorderEvents events;
    CRecorder recorder{&world.op, &world.datagrams, events};
};

/// A raw record as the recorder writes it: `packets` pairs, each a command packet with the
/// index in byte 13 and the reply of MakeReply; the given sentence and extension block.
Bytes MakeRawRecord(int packets, int ping, const std::string& sentence = {}, const Bytes& extension = {},
                    float rangeM = 10.0f);

/// While it lives, files this process writes cannot grow past `bytes` (writes past it fail).
class FileSizeLimit {
public:
    explicit FileSizeLimit(std::uint64_t bytes);
    ~FileSizeLimit();
    FileSizeLimit(const FileSizeLimit&) = delete;
    FileSizeLimit& operator=(const FileSizeLimit&) = delete;
    bool Set() const { return m_set; }

private:
    bool m_set = false;
    std::uint64_t m_savedCurrent = 0;
    void (*m_savedSignal)(int) = nullptr;
};

Bytes ReadFile(const std::string& path);
void WriteFile(const std::string& path, const Bytes& bytes);
void Append(Bytes& to, const Bytes& bytes);

} // namespace vexar::test
