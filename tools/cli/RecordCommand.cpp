// vexar-cli record --sonar ADDR[:PORT] (--pings N | --duration S) OUT.R96: headless live
// recording from a head through the console's ping cycle, until N pings are recorded or S
// seconds have passed, whichever comes first.

#include "CliCommand.h"
#include "HeadlessDocument.h"
#include "files/CRecorder.h"

#include "common/TextParse.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QTimer>

#include <cstdio>

namespace vexar::cli {
namespace {

struct RecordOptions {
    std::string sonar;
    int pings = 0;
    double durationS = 0.0;
    std::string output;
    double timeoutS = 60.0;
};

int RunRecord(const RecordOptions& options, const CommonOptions& common) {
    if (options.pings <= 0 && options.durationS <= 0.0) {
        throw CLI::ValidationError("--pings", "record needs --pings N or --duration S");
    }
    std::string host;
    std::uint16_t port = kSonarTcpPort;
    if (!ParseHostAndPort(options.sonar, host, port)) {
        throw CLI::ValidationError("--sonar",
                                   "wants ADDR or ADDR:PORT (port 1..65535), not " + options.sonar);
    }
    HeadlessDocument headless(common, true, true, host, port);
    CTamsorDoc& doc = *headless.doc;
    doc.m_restShare = 0.0; // nobody waits for input here
    // The link writes every whole ping from the next one on and stops by itself at the count.
    const auto target = static_cast<std::uint64_t>(options.pings);
    if (!doc.Recorder().StartRecording(RecordKind::Raw, options.output, target)) {
        throw Failure("cannot record to " + options.output);
    }
    CSonarLink& link = *doc.Link();
    bool timedOut = false;
    QElapsedTimer clock;
    clock.start();
    qint64 firstRecordMs = -1;
    std::uint64_t firstRecords = 0;
    QTimer watch;
    QObject::connect(&watch, &QTimer::timeout, [&] {
        const RawRecordingState state = link.Recording();
        if (state.records > 0 && firstRecordMs < 0) {
            firstRecordMs = clock.elapsed();
            firstRecords = state.records;
        }
        if (StderrIsTerminal()) {
            const double share = target > 0
                                     ? static_cast<double>(state.records) / static_cast<double>(target)
                                     : static_cast<double>(clock.elapsed()) / (options.durationS * 1000.0);
            DrawProgress("recording", share);
        }
        if (!doc.Recorder().IsRecording(RecordKind::Raw)) {
            QCoreApplication::quit();
        }
    });
    watch.start(20);
    // A recording of a given length ends when its time is up, however many pings it holds; one
    // of a given count gives up when the head keeps it waiting too long.
    if (options.durationS > 0.0) {
        QTimer::singleShot(static_cast<int>(options.durationS * 1000.0), [] { QCoreApplication::quit(); });
    }
    if (target > 0) {
        QTimer::singleShot(static_cast<int>(options.timeoutS * 1000.0), [&] {
            timedOut = true;
            QCoreApplication::quit();
        });
    }
    QCoreApplication::exec();
    const qint64 endMs = clock.elapsed();
    const RawRecordingState state = link.Recording();
    const bool failed = !state.error.empty();
    doc.Recorder().OnStopRecording();
    // The UDP output's last records leave whole before the socket closes.
    doc.Recorder().FinishProducts();
    headless.FlushDatagrams();
    doc.CloseSockets();
    const LinkStats stats = link.Stats();
    if (StderrIsTerminal()) {
        EndProgress();
    }
    const std::uint64_t done = state.records;
    // The rate from the first record seen to the end, so that the connect does not count.
    double rate = 0.0;
    if (firstRecordMs >= 0 && endMs > firstRecordMs && done > firstRecords) {
        rate = static_cast<double>(done - firstRecords) * 1000.0 / static_cast<double>(endMs - firstRecordMs);
    }
    std::printf("%llu pings recorded to %s at %.1f pings/s (%llu retried, %llu reconnects)\n",
                static_cast<unsigned long long>(done), options.output.c_str(), rate,
                static_cast<unsigned long long>(stats.retries),
                static_cast<unsigned long long>(stats.reconnects));
    if (failed) {
        throw Failure("the recording stopped: " + state.error);
    }
    if (options.durationS <= 0.0 && done < target) {
        throw Failure(timedOut ? "timed out waiting for the head" : "the head stopped answering");
    }
    return kExitOk;
}

const bool kRegistered = RegisterCommand(
    "record", "Record pings from a sonar head to a raw (R96) file",
    [](CLI::App& command, const CommonOptions& common) -> std::function<int()> {
        auto options = std::make_shared<RecordOptions>();
        command.add_option("--sonar", options->sonar, "head address ADDR or ADDR:PORT")->required();
        command.add_option("--pings", options->pings, "number of pings to record")
            ->check(CLI::Range(1, 100000000));
        command
            .add_option("--duration", options->durationS,
                        "record for this many seconds (whichever comes first)")
            ->check(CLI::Range(0.1, 1.0e6));
        command.add_option("--timeout", options->timeoutS, "give up after this many seconds")
            ->check(CLI::Range(0.1, 1.0e6));
        command.add_option("OUT", options->output, "raw recording to write (.R96)")->required();
        return [options, &common] { return RunRecord(*options, common); };
    });

} // namespace
} // namespace vexar::cli
