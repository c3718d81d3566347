// vexar-cli listen --port P [--count N] [--out DIR] [--stats]: receives the UDP data output,
// joins beam records from their datagrams, checks every record and writes or summarises it, and
// counts the records received, damaged and missing.

#include "CliCommand.h"

#include "files/CDataFile.h"
#include "files/CRecorder.h"
#include "output/CStreamTally.h"
#include "serve/CUdpRecordReceiver.h"

#include <QCoreApplication>
#include <QTimer>

#include <array>
#include <cstdio>
#include <filesystem>

namespace vexar::cli {
namespace {

struct ListenOptions {
    int port = 0;
    std::string bind = "127.0.0.1";
    std::uint64_t count = 0;
    std::string outFolder;
    double timeoutS = 0.0;
    bool stats = false;
};

void PrintTally(const char* prefix, const CStreamTally& tally) {
    std::printf(
        "%s%llu records, %llu damaged, %llu missing (%llu record numbers taken by records not sent)\n",
        prefix, static_cast<unsigned long long>(tally.Records()),
        static_cast<unsigned long long>(tally.Damaged()), static_cast<unsigned long long>(tally.Missing()),
        static_cast<unsigned long long>(tally.Foreign()));
    std::fflush(stdout);
}

/// What one run of listen keeps: the count, the tally and the capture files.
class Listener {
public:
    explicit Listener(const ListenOptions& options) : m_options(options) {
        if (!options.outFolder.empty()) {
            std::error_code error;
            std::filesystem::create_directories(options.outFolder, error);
            if (!std::filesystem::is_directory(options.outFolder)) {
                throw Failure("cannot use folder " + options.outFolder);
            }
        }
    }

    void TakeRecord(const ScannedRecord& r, std::span<const std::uint8_t> bytes) {
        const RecordHeaderFields& f = r.fields;
        std::printf("%llu\t%s\t%u bytes\t%.17s\t%.2f m\t%d samples\t%u beams\tsentence %u\n",
                    static_cast<unsigned long long>(m_records), f.signature.c_str(), f.totalLength,
                    f.timeStamp.c_str(), static_cast<double>(f.rangeM), f.samples, f.beamCount,
                    f.sentenceLength);
        std::fflush(stdout);
        ++m_records;
        m_tally.TakeRecord(f);
        if (!m_options.outFolder.empty()) {
            Capture(r.kind, f.signature, bytes);
        }
        if (!m_writeError.empty() || (m_options.count > 0 && m_records >= m_options.count)) {
            QCoreApplication::quit();
        }
    }

    void TakeDamage(const std::string& reason, std::size_t bytes) {
        m_tally.TakeDamaged(reason == kStrayDatagram);
        std::printf("damaged\t%zu bytes\t%s\n", bytes, reason.c_str());
        std::fflush(stdout);
    }

    std::uint64_t Records() const { return m_records; }
    const CStreamTally& Tally() const { return m_tally; }
    const std::string& WriteError() const { return m_writeError; }

private:
    void Capture(RecordKind kind, const std::string& signature, std::span<const std::uint8_t> bytes) {
        CDataFile& file = m_files[static_cast<std::size_t>(kind)];
        if (!file.IsOpen()) {
            // A capture never replaces an earlier one: received-2.P96 and so on.
            const std::string path = UnusedName((std::filesystem::path(m_options.outFolder) / "").string(),
                                                "received", "." + signature);
            if (!file.Open(path, CDataFile::Mode::CreateWrite)) {
                m_writeError = path + ": " + file.LastError();
            } else {
                std::fprintf(stderr, "writing %s records to %s\n", signature.c_str(), path.c_str());
            }
        }
        if (file.IsOpen() && (!file.Write(bytes) || !file.Flush())) {
            m_writeError = file.Path() + ": " + file.LastError();
        }
    }

    const ListenOptions& m_options;
    std::array<CDataFile, 3> m_files; // by record kind
    std::uint64_t m_records = 0;
    CStreamTally m_tally;
    std::string m_writeError;
};

int RunListen(const ListenOptions& options) {
    const QHostAddress address(QString::fromStdString(options.bind));
    if (address.isNull()) {
        throw CLI::ValidationError("--bind", "not an address: " + options.bind);
    }
    Listener listener(options);
    CUdpRecordReceiver receiver(
        [&](const ScannedRecord& r, std::span<const std::uint8_t> bytes) { listener.TakeRecord(r, bytes); },
        [&](const std::string& reason, std::size_t bytes) { listener.TakeDamage(reason, bytes); });
    receiver.Bind(address, static_cast<quint16>(options.port));
    bool timedOut = false;
    if (options.timeoutS > 0.0) {
        QTimer::singleShot(static_cast<int>(options.timeoutS * 1000.0), [&] {
            timedOut = true;
            QCoreApplication::quit();
        });
    }
    QTimer statsTimer;
    if (options.stats) {
        QObject::connect(&statsTimer, &QTimer::timeout, [&] { PrintTally("# so far: ", listener.Tally()); });
        statsTimer.start(1000);
    }
    std::fprintf(stderr, "listening on %s:%u (receive buffer %d bytes)\n", options.bind.c_str(),
                 static_cast<unsigned>(receiver.Port()), receiver.ReceiveBuffer());
    QCoreApplication::exec();
    receiver.Finish();
    PrintTally("# ", listener.Tally());
    if (!listener.WriteError().empty()) {
        throw Failure("write error: " + listener.WriteError());
    }
    if (timedOut && options.count > 0 && listener.Records() < options.count) {
        throw Failure("timed out after " + std::to_string(listener.Records()) + " of " +
                      std::to_string(options.count) + " records");
    }
    return kExitOk;
}

const bool kRegistered = RegisterCommand(
    "listen", "Receive the UDP data output, check each record and write or summarise it",
    [](CLI::App& command, const CommonOptions&) -> std::function<int()> {
        auto options = std::make_shared<ListenOptions>();
        command
            .add_option("--port", options->port,
                        "UDP port to listen on (0: any free port, printed on stderr)")
            ->required()
            ->check(CLI::Range(0, 65535));
        command.add_option("--bind", options->bind, "local address to listen on (default 127.0.0.1)");
        command.add_option("--count", options->count, "stop after this many whole records");
        command.add_option("--out", options->outFolder,
                           "folder for received.P96 / received.B96 (received-2.P96 ... beside earlier ones)");
        command.add_option("--timeout", options->timeoutS, "stop after this many seconds")
            ->check(CLI::Range(0.0, 1.0e6));
        command.add_flag("--stats", options->stats,
                         "print the records received, damaged and missing every second (always at the end)");
        return [options] { return RunListen(*options); };
    });

} // namespace
} // namespace vexar::cli
