#include "support/RecordingFixture.h"

#include "files/RecordHeader.h"

#include <atomic>
#include <csignal>
#include <cstring>
#include <fstream>
#include <iterator>
#include <sys/resource.h>
#include <unistd.h>

namespace vexar::test {

Bytes MakeReply(const Bytes& packet, int ping, std::uint32_t seed) {
    Bytes reply(kReplyBlockSize, 0);
    reply[0] = 'S';
    reply[1] = 'O';
    reply[2] = 'N';
    reply[3] = 0x10;
    reply[kReplyEchoByte] = packet.size() > kPacketBlockByte ? packet[kPacketBlockByte] : 0;
    reply[8] = 1;
    reply[9] = 4;
    std::uint32_t state =
        seed * 2654435761u + static_cast<std::uint32_t>(ping) * 40503u + reply[kReplyEchoByte];
    for (int i = kReplyPayloadOffset; i < kReplyPayloadOffset + kReplyPayloadSize; ++i) {
        state = state * 1103515245u + 12345u;
        reply[static_cast<std::size_t>(i)] = static_cast<std::uint8_t>(state >> 16);
    }
    return reply;
}

RecordingFolder::RecordingFolder() {
    static std::atomic<int> counter{0};
    m_path = std::filesystem::temp_directory_path() /
             ("vexar-rec-" + std::to_string(::getpid()) + "-" + std::to_string(counter++));
    std::filesystem::remove_all(m_path);
    std::filesystem::create_directories(m_path);
}

RecordingFolder::~RecordingFolder() {
    std::error_code error;
    std::filesystem::remove_all(m_path, error);
}

DocFixture::DocFixture(const std::string& systemSettings) {
    std::ofstream ini(folder / "Vexar.INI");
    ini << "[System]\nIPAddress_Sonar1=127.0.0.1\nIPAddress_Output1=127.0.0.1\nRemotePort_Output1=4041\n"
        << "Enable AutoFileSize=0\n"
        << systemSettings << "[Sonar]\nOperating Range=3\nNumber of Samples=1000\nBeams=480\n";
    ini.close();
    world.link.m_clock = &world.clock;
    world.link.m_responder = [this](const std::vector<std::uint8_t>& packet) -> std::vector<std::uint8_t> {
        const int index = packet.size() > kPacketBlockByte ? packet[kPacketBlockByte] : 0;
        if (index == 0) {
            ++pingNumber;
            if (abandonedPing >= 0) {
                abandonedPing = -1;
                abandonAt = -1;
            }
        }
        if (abandonAt >= 0 && index == abandonAt) {
            abandonedPing = pingNumber;
            return {};
        }
        return MakeReply(packet, pingNumber, seed);
    };
    doc = std::make_unique<CTamsorDoc>(world.Ports());
    doc->Subscribe(world.op);
    doc->OnNewDocument(folder.Folder(), folder / "Vexar.INI");
}

void DocFixture::RunLivePings(int pings) {
    const int target = doc->PingRoutine().Head(0).m_pingCounter + pings;
    for (int fired = 0; fired < 10000 && doc->PingRoutine().Head(0).m_pingCounter < target; ++fired) {
        if (!world.timers.FireNext([this](int id) { doc->OnTimer(id); })) {
            break;
        }
    }
}

int DocFixture::PlaySteps(int steps) {
    int played = 0;
    for (int i = 0; i < steps; ++i) {
        if (doc->Playback().Step() == StepResult::Ping) {
            ++played;
        }
    }
    return played;
}

ProductFixture::ProductFixture()
    : image(static_cast<std::size_t>(kCombinedBeams) * kMaxSamples, 0.0f), profile(kCombinedBeams, 0.0f) {
    SetBeams(settings, 480);
    settings.samples = 1000;
    settings.rangeIndex = 3;
    settings.rangeM = 10.0f;
    world.datagrams.Open(2);
}

RecordContext ProductFixture::Context() const {
    return RecordContext{&settings, timeStamp, displayedPingPeriodMs, sentence};
}

const std::vector<FakeDatagrams::Datagram>& ProductFixture::Send(bool point, bool beam) {
    PingProducts products;
    products.context = Context();
    products.combinedImage = image.data();
    products.combinedProfile = profile.data();
    products.output = OutputTarget{point, beam, "127.0.0.1", 4041};
    recorder.BuildProducts(products);
    recorder.FinishProducts();
    return world.datagrams.m_sent;
}

FileSizeLimit::FileSizeLimit(std::uint64_t bytes) {
    rlimit limit{};
    if (getrlimit(RLIMIT_FSIZE, &limit) != 0) {
        return;
    }
    m_savedCurrent = limit.rlim_cur;
    m_savedSignal = std::signal(SIGXFSZ, SIG_IGN);
    limit.rlim_cur = static_cast<rlim_t>(bytes);
    m_set = setrlimit(RLIMIT_FSIZE, &limit) == 0;
}

FileSizeLimit::~FileSizeLimit() {
    rlimit limit{};
    if (m_set && getrlimit(RLIMIT_FSIZE, &limit) == 0) {
        limit.rlim_cur = static_cast<rlim_t>(m_savedCurrent);
        setrlimit(RLIMIT_FSIZE, &limit);
    }
    std::signal(SIGXFSZ, m_savedSignal);
}

Bytes MakeRawRecord(int packets, int ping, const std::string& sentence, const Bytes& extension,
                    float rangeM) {
    RecordHeaderFields f;
    f.signature = "R96";
    f.dataLength = static_cast<std::uint32_t>(packets * kPacketPairSize);
    f.extensionLength = static_cast<std::uint32_t>(extension.size());
    f.sentenceLength = static_cast<std::uint32_t>(sentence.size());
    f.timeStamp = "07122026114139042";
    f.soundVelocity = 1480.0f;
    f.frequencyHz = 675000.0f;
    f.beamCount = 1440;
    f.samples = packets > 65 ? 1000 : 500;
    f.rangeM = rangeM;
    f.pulseLengthUs = 60;
    RecordHeaderBytes header{};
    WriteRecordHeader(f, header);
    Bytes record(kRecordDataOffset, 0);
    std::memcpy(record.data(), header.data(), header.size());
    COndrel head;
    for (int k = 0; k < packets; ++k) {
        head.m_commandPacket[kPacketBlockByte] = static_cast<std::uint8_t>(k);
        const Bytes packet(head.m_commandPacket.begin(), head.m_commandPacket.end());
        Append(record, packet);
        Append(record, MakeReply(packet, ping, 7));
    }
    Append(record, extension);
    record.insert(record.end(), sentence.begin(), sentence.end());
    return record;
}

Bytes ReadFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return Bytes(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

void WriteFile(const std::string& path, const Bytes& bytes) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
}

void Append(Bytes& to, const Bytes& bytes) {
    to.insert(to.end(), bytes.begin(), bytes.end());
}

} // namespace vexar::test
