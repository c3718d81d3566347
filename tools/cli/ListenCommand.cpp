// vexar-cli listen --port P [--count N] [--out DIR] [--stats]: receives the UDP data output,
// joins beam records from their datagrams, checks every record and writes or summarises it, and
// counts the records received, damaged and missing.

#include "CliCommand.h"

#include "files/CDataFile.h"
#include "files/CRecorder.h"
#include "output/CRecordAssembler.h"
#include "output/CStreamTally.h"

#include <QCoreApplication>
#include <QHostAddress>
#include <QNetworkDatagram>
#include <QTimer>
#include <QUdpSocket>
#include <QVariant>

#include <array>
#include <cstdio>
#include <filesystem>
#include <sys/socket.h>

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

// Beam records arrive as bursts of 64 000-byte datagrams: the receive buffer is made as large as
// the system allows. Privileged runs may pass the system's limit; others get up to it.
constexpr int kWantedReceiveBuffer = 64 * 1024 * 1024;

int EnlargeReceiveBuffer(QUdpSocket& socket) {
    const int fd = static_cast<int>(socket.socketDescriptor());
    int size = kWantedReceiveBuffer;
    if (::setsockopt(fd, SOL_SOCKET, SO_RCVBUFFORCE, &size, sizeof size) != 0) {
        (void)::setsockopt(fd, SOL_SOCKET, SO_RCVBUF, &size, sizeof size);
    }
    int granted = 0;
    socklen_t length = sizeof granted;
    ::getsockopt(fd, SOL_SOCKET, SO_RCVBUF, &granted, &length);
    return granted;
}

void PrintTally(const char* prefix, const CStreamTally& tally) {
    std::printf(
        "%s%llu records, %llu damaged, %llu missing (%llu record numbers taken by records not sent)\n",
        prefix, static_cast<unsigned long long>(tally.Records()),
        static_cast<unsigned long long>(tally.Damaged()), static_cast<unsigned long long>(tally.Missing()),
        static_cast<unsigned long long>(tally.Foreign()));
    std::fflush(stdout);
}

int RunListen(const ListenOptions& options) {
    const QHostAddress address(QString::fromStdString(options.bind));
    if (address.isNull()) {
        throw CLI::ValidationError("--bind", "not an address: " + options.bind);
    }
    std::array<CDataFile, 3> files; // by record kind
    if (!options.outFolder.empty()) {
        std::error_code error;
        std::filesystem::create_directories(options.outFolder, error);
        if (!std::filesystem::is_directory(options.outFolder)) {
            throw Failure("cannot use folder " + options.outFolder);
        }
    }
    std::uint64_t records = 0;
    CStreamTally tally;
    std::string writeError;
    CRecordAssembler assembler(
        [&](const ScannedRecord& r, std::span<const std::uint8_t> bytes) {
            const RecordHeaderFields& f = r.fields;
            std::printf("%llu\t%s\t%u bytes\t%.17s\t%.2f m\t%d samples\t%u beams\tsentence %u\n",
                        static_cast<unsigned long long>(records), f.signature.c_str(), f.totalLength,
                        f.timeStamp.c_str(), static_cast<double>(f.rangeM), f.samples, f.beamCount,
                        f.sentenceLength);
            std::fflush(stdout);
            ++records;
            tally.TakeRecord(f);
            if (!options.outFolder.empty()) {
                CDataFile& file = files[static_cast<std::size_t>(r.kind)];
                if (!file.IsOpen()) {
                    // A capture never replaces an earlier one: received-2.P96 and so on.
                    const std::string path =
                        UnusedName((std::filesystem::path(options.outFolder) / "").string(), "received",
                                   "." + f.signature);
                    if (!file.Open(path, CDataFile::Mode::CreateWrite)) {
                        writeError = path + ": " + file.LastError();
                    } else {
                        std::fprintf(stderr, "writing %s records to %s\n", f.signature.c_str(), path.c_str());
                    }
                }
                if (file.IsOpen() && (!file.Write(bytes) || !file.Flush())) {
                    writeError = file.Path() + ": " + file.LastError();
                }
            }
            if (!writeError.empty() || (options.count > 0 && records >= options.count)) {
                QCoreApplication::quit();
            }
        },
        [&](const std::string& reason, std::size_t bytes) {
            tally.TakeDamaged(reason == kStrayDatagram);
            std::printf("damaged\t%zu bytes\t%s\n", bytes, reason.c_str());
            std::fflush(stdout);
        });

    QUdpSocket socket;
    if (!socket.bind(address, static_cast<quint16>(options.port))) {
        throw Failure("cannot listen on " + options.bind + ":" + std::to_string(options.port) + ": " +
                      socket.errorString().toStdString());
    }
    const int buffer = EnlargeReceiveBuffer(socket);
    QObject::connect(&socket, &QUdpSocket::readyRead, [&] {
        while (socket.hasPendingDatagrams()) {
            const QNetworkDatagram datagram = socket.receiveDatagram();
            const QByteArray data = datagram.data();
            assembler.Take(
                std::span<const std::uint8_t>(reinterpret_cast<const std::uint8_t*>(data.constData()),
                                              static_cast<std::size_t>(data.size())));
        }
    });
    bool timedOut = false;
    if (options.timeoutS > 0.0) {
        QTimer::singleShot(static_cast<int>(options.timeoutS * 1000.0), [&] {
            timedOut = true;
            QCoreApplication::quit();
        });
    }
    QTimer statsTimer;
    if (options.stats) {
        QObject::connect(&statsTimer, &QTimer::timeout, [&] { PrintTally("# so far: ", tally); });
        statsTimer.start(1000);
    }
    std::fprintf(stderr, "listening on %s:%u (receive buffer %d bytes)\n", options.bind.c_str(),
                 static_cast<unsigned>(socket.localPort()), buffer);
    QCoreApplication::exec();
    assembler.Finish();
    PrintTally("# ", tally);
    if (!writeError.empty()) {
        throw Failure("write error: " + writeError);
    }
    if (timedOut && options.count > 0 && records < options.count) {
        throw Failure("timed out after " + std::to_string(records) + " of " + std::to_string(options.count) +
                      " records");
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
