// vexar-cli serve (--udp PORT | --play FILE... [--loop]) [--http ADDR:PORT] [--token T]: the live
// picture for observers in a browser. Records come from the console's UDP output or from
// recordings played here; every observer's page gets each ping as one binary frame, the newest
// only. Read-only: nothing from a browser goes anywhere but this program.

#include "CliCommand.h"
#include "serve/CFrameComposer.h"
#include "serve/CHttpGate.h"
#include "serve/CObserverHub.h"
#include "serve/CPageServer.h"
#include "serve/CUdpRecordReceiver.h"
#include "serve/ServePlayback.h"

#include "common/TextParse.h"
#include "config/CProfileFile.h"
#include "config/SettingsFile.h"
#include "display/ColorTables.h"

#include <QCoreApplication>
#include <QDateTime>
#include <QElapsedTimer>
#include <QRandomGenerator>
#include <QTimer>

#include <atomic>
#include <csignal>
#include <cstdio>

namespace vexar::cli {
namespace {

struct ServeOptions {
    int udpPort = -1;
    std::string udpBind = "127.0.0.1";
    std::vector<std::string> play;
    bool loop = false;
    double rate = 0.0;
    std::string http = "127.0.0.1:8080";
    std::string token;
    int maxObservers = 16;
    int colorTable = -1;
    double idleS = 20.0;
    double durationS = 0.0;
    bool stats = false;
};

std::atomic<bool> g_stopRequested{false};

void RequestStop(int) {
    g_stopRequested = true;
}

GateOptions GateFrom(const ServeOptions& options) {
    GateOptions gate;
    const auto colon = options.http.rfind(':');
    const std::string host = colon == std::string::npos ? std::string() : options.http.substr(0, colon);
    int port = -1;
    if (colon != std::string::npos &&
        options.http.find_first_not_of("0123456789", colon + 1) == std::string::npos &&
        colon + 1 < options.http.size() && options.http.size() - colon <= 6) {
        port = std::stoi(options.http.substr(colon + 1));
    }
    QString address = QString::fromStdString(host);
    if (address.startsWith('[') && address.endsWith(']')) {
        address = address.mid(1, address.size() - 2);
    }
    gate.address = QHostAddress(address);
    if (gate.address.isNull() || port < 0 || port > 65535) {
        throw CLI::ValidationError("--http", "expected ADDR:PORT, e.g. 127.0.0.1:8080, not " + options.http);
    }
    gate.port = static_cast<quint16>(port);
    gate.token = options.token;
    if (gate.token.empty() && !gate.address.isLoopback()) {
        // Anyone on the vessel's network could watch otherwise: a token of 128 random bits.
        for (int i = 0; i < 4; ++i) {
            gate.token += QString::number(QRandomGenerator::system()->generate(), 16)
                              .rightJustified(8, '0')
                              .toStdString();
        }
    }
    gate.maxConnections = std::max(32, 4 * options.maxObservers);
    gate.idleMs = static_cast<int>(options.idleS * 1000.0);
    gate.headTimeoutMs = std::min(gate.headTimeoutMs, gate.idleMs);
    return gate;
}

int ColorTableOf(const ServeOptions& options, const CommonOptions& common) {
    if (options.colorTable >= 0) {
        return options.colorTable;
    }
    CProfileFile settings;
    settings.Load(SettingsPlaceOf(ProgramFolder(), common.settingsPath).path);
    return ClampColorTableIndex(ParseInt(settings.GetString("View", "ColorTable", "0")));
}

void PrintAddress(const GateOptions& gate, quint16 port) {
    const QString host = gate.address.protocol() == QAbstractSocket::IPv6Protocol
                             ? "[" + gate.address.toString() + "]"
                             : gate.address.toString();
    std::fprintf(stderr, "page listening on %s:%u\n", host.toStdString().c_str(),
                 static_cast<unsigned>(port));
    const std::string query = gate.token.empty() ? std::string() : "?token=" + gate.token;
    if (gate.address == QHostAddress::AnyIPv4 || gate.address == QHostAddress::AnyIPv6 ||
        gate.address == QHostAddress::Any) {
        std::printf(
            "observers: open http://THIS-COMPUTER:%u/%s (THIS-COMPUTER: its address on the network)\n",
            static_cast<unsigned>(port), query.c_str());
    } else {
        std::printf("observers: open http://%s:%u/%s\n", host.toStdString().c_str(),
                    static_cast<unsigned>(port), query.c_str());
    }
    std::fflush(stdout);
}

void PrintCounts(const char* prefix, const CFrameComposer& composer, CObserverHub& hub,
                 const CHttpGate& gate) {
    const ComposerCounts& f = composer.Counts();
    const HubCounts& h = hub.Counts();
    const GateCounts& g = gate.Counts();
    std::printf(
        "%s%d observers; %llu frames, %llu bytes a frame on average, largest %zu, %llu reduced; "
        "%llu sent, %llu skipped for slow observers; closed: %llu silent, %llu talking; refused: "
        "%llu malformed, %llu too large, %llu without token, %llu over the limit, %llu timed out\n",
        prefix, hub.Count(), static_cast<unsigned long long>(f.frames),
        static_cast<unsigned long long>(f.frames > 0 ? f.bytes / f.frames : 0), f.largest,
        static_cast<unsigned long long>(f.reduced), static_cast<unsigned long long>(h.framesSent),
        static_cast<unsigned long long>(h.framesSkipped), static_cast<unsigned long long>(h.closedSilent),
        static_cast<unsigned long long>(h.closedSpoke), static_cast<unsigned long long>(g.malformed),
        static_cast<unsigned long long>(g.tooLarge), static_cast<unsigned long long>(g.refused),
        static_cast<unsigned long long>(g.full + g.busy), static_cast<unsigned long long>(g.timedOut));
    std::fflush(stdout);
}

/// Steps the playback at the pace asked for, or at the recorded one, each step due at a fixed
/// time after the one before however long playing it took.
class CPlaybackPacer {
public:
    CPlaybackPacer(CServePlayback& playback, double rate) : m_playback(playback), m_rate(rate) {
        m_clock.start();
    }

    void Step() {
        if (!m_playback.Step()) {
            std::fprintf(stderr, "the recordings have been played; the page stays up until the end\n");
            return;
        }
        int intervalMs =
            m_rate > 0.0 ? static_cast<int>(1000.0 / m_rate + 0.5) : m_playback.RecordedIntervalMs();
        if (intervalMs <= 0) {
            intervalMs = 100; // pace unknown: ten pings a second
        }
        m_dueMs += std::min(intervalMs, 10000);
        // A step that took longer than the pace allows starts the count again.
        m_dueMs = std::max(m_dueMs, m_clock.elapsed());
        QTimer::singleShot(static_cast<int>(m_dueMs - m_clock.elapsed()), Qt::PreciseTimer, &m_context,
                           [this] { Step(); });
    }

private:
    CServePlayback& m_playback;
    double m_rate;
    QElapsedTimer m_clock;
    qint64 m_dueMs = 0;
    QObject m_context; ///< of the scheduled steps: none runs after the pacer is gone
};

void WatchForEnd(const ServeOptions& options, QObject& context) {
    std::signal(SIGINT, RequestStop);
    std::signal(SIGTERM, RequestStop);
    auto* poll = new QTimer(&context);
    QObject::connect(poll, &QTimer::timeout, [] {
        if (g_stopRequested) {
            QCoreApplication::quit();
        }
    });
    poll->start(100);
    if (options.durationS > 0.0) {
        QTimer::singleShot(static_cast<int>(options.durationS * 1000.0), &context,
                           [] { QCoreApplication::quit(); });
    }
}

std::unique_ptr<CUdpRecordReceiver> StartReceiver(const ServeOptions& options,
                                                  const CRecordAssembler::RecordHandler& onRecord) {
    const QHostAddress address(QString::fromStdString(options.udpBind));
    if (address.isNull()) {
        // An empty address would receive on every interface.
        throw CLI::ValidationError("--udp-bind", "not an address: " + options.udpBind);
    }
    auto receiver = std::make_unique<CUdpRecordReceiver>(onRecord, nullptr);
    receiver->Bind(address, static_cast<quint16>(options.udpPort));
    std::fprintf(stderr, "records: listening on %s:%u (receive buffer %d bytes)\n", options.udpBind.c_str(),
                 static_cast<unsigned>(receiver->Port()), receiver->ReceiveBuffer());
    return receiver;
}

int RunServe(const ServeOptions& options, const CommonOptions& common) {
    if ((options.udpPort >= 0) == !options.play.empty()) {
        throw CLI::ValidationError("serve", "give either --udp PORT or --play FILE...");
    }
    const GateOptions gateOptions = GateFrom(options);
    CFrameComposer composer(ColorTableOf(options, common));
    CPageServer pages;
    HubLimits limits;
    limits.maxObservers = options.maxObservers;
    limits.silenceMs = gateOptions.idleMs;
    limits.pingIntervalMs = std::max(1000, limits.silenceMs / 4);
    CObserverHub hub(limits);
    hub.SetGreeting(ObserverGreeting());
    CHttpGate gate(gateOptions, hub, pages);
    gate.Listen();
    const auto onRecord = [&](const ScannedRecord& record, std::span<const std::uint8_t> bytes) {
        const QByteArray frame =
            composer.Take(record, bytes, static_cast<double>(QDateTime::currentMSecsSinceEpoch()));
        if (!frame.isEmpty()) {
            hub.Broadcast(frame);
        }
    };
    std::unique_ptr<CUdpRecordReceiver> receiver;
    std::unique_ptr<CServePlayback> playback;
    std::unique_ptr<CPlaybackPacer> pacer;
    QObject context;
    if (options.udpPort >= 0) {
        receiver = StartReceiver(options, onRecord);
    } else {
        playback = std::make_unique<CServePlayback>(common, options.play, options.loop, onRecord);
        pacer = std::make_unique<CPlaybackPacer>(*playback, options.rate);
        QTimer::singleShot(0, &context, [&] { pacer->Step(); });
    }
    PrintAddress(gateOptions, gate.Port());
    WatchForEnd(options, context);
    QTimer statsTimer;
    QObject::connect(&statsTimer, &QTimer::timeout, [&] { PrintCounts("# so far: ", composer, hub, gate); });
    if (options.stats) {
        statsTimer.start(5000);
    }
    QCoreApplication::exec();
    PrintCounts("# ", composer, hub, gate);
    return kExitOk;
}

const bool kRegistered = RegisterCommand(
    "serve", "Serve the live picture to observers' browsers from the UDP output or from recordings",
    [](CLI::App& command, const CommonOptions& common) -> std::function<int()> {
        auto o = std::make_shared<ServeOptions>();
        command
            .add_option("--udp", o->udpPort, "UDP port the console's data output (B96 and P96) is sent to")
            ->check(CLI::Range(0, 65535));
        command.add_option("--udp-bind", o->udpBind, "local address for --udp")->capture_default_str();
        command.add_option("--play", o->play, "recordings to play: .R96, .B96 or .P96 files")
            ->check(CLI::ExistingFile);
        command.add_flag("--loop", o->loop, "play the recordings over and over");
        command.add_option("--rate", o->rate, "pings per second in playback (default: as recorded)")
            ->check(CLI::Range(0.1, 100.0));
        command.add_option("--http", o->http, "address and port of the page")->capture_default_str();
        command
            .add_option("--token", o->token,
                        "secret the page's address must carry (?token=...); made up and printed when the "
                        "page is served on an address other than loopback")
            ->check([](const std::string& t) {
                return t.size() >= 8 &&
                               t.find_first_not_of("0123456789abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOP"
                                                   "QRSTUVWXYZ-_.~") == std::string::npos
                           ? std::string()
                           : std::string("at least 8 letters, digits or -_.~");
            });
        command.add_option("--max-observers", o->maxObservers, "observers at once")
            ->check(CLI::Range(1, 256))
            ->capture_default_str();
        command.add_option("--color-table", o->colorTable, "colour table 0-8 (default: the settings file's)")
            ->check(CLI::Range(0, 8));
        command
            .add_option("--idle-timeout", o->idleS,
                        "seconds after which an observer that neither reads nor answers, or a page "
                        "connection with nothing going on, is closed")
            ->check(CLI::Range(1.0, 3600.0))
            ->capture_default_str();
        command.add_option("--duration", o->durationS, "stop after this many seconds")
            ->check(CLI::Range(0.0, 1.0e7));
        command.add_flag("--stats", o->stats, "print what was served every 5 seconds (always at the end)");
        return [o, &common] { return RunServe(*o, common); };
    });

} // namespace
} // namespace vexar::cli
