// vexar-cli record --sonar ADDR[:PORT] (--pings N | --duration S) [--nav SOURCE] OUT.R96: headless
// live recording from a head through the console's ping cycle, until N pings are recorded or S
// seconds have passed, whichever comes first. Every record carries the live fix of its ping from
// the navigation source --nav names, or else the settings file's.

#include "CliCommand.h"
#include "HeadlessDocument.h"
#include "files/CRecorder.h"

#include "common/TextParse.h"
#include "config/NavigationSettings.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QThread>
#include <QTimer>

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <string>

namespace vexar::cli {
namespace {

struct RecordOptions {
    std::string sonar;
    int pings = 0;
    double durationS = 0.0;
    std::string output;
    double timeoutS = 60.0;
    std::string navigation; ///< --nav; empty: the settings file's source
};

/// How long a recording waits for its navigation's first fix before it starts without one.
constexpr int kFirstFixWaitMs = 5000;

/// What the recording saw while it ran: when its first record was written, and whether it gave up.
struct RecordWatch {
    QElapsedTimer clock;
    qint64 firstRecordMs = -1;
    std::uint64_t firstRecords = 0;
    bool timedOut = false;
};

// Runs the event loop until the link has written the pings asked for, the time is up, or the
// head keeps the recording waiting too long.
void RunUntilDone(CTamsorDoc& doc, const RecordOptions& options, RecordWatch& watch) {
    const auto target = static_cast<std::uint64_t>(options.pings);
    CSonarLink& link = *doc.Live().SonarLink();
    watch.clock.start();
    QTimer poll;
    QObject::connect(&poll, &QTimer::timeout, [&] {
        const RawRecordingState state = link.Recording();
        if (state.records > 0 && watch.firstRecordMs < 0) {
            watch.firstRecordMs = watch.clock.elapsed();
            watch.firstRecords = state.records;
        }
        if (StderrIsTerminal()) {
            const double share =
                target > 0 ? static_cast<double>(state.records) / static_cast<double>(target)
                           : static_cast<double>(watch.clock.elapsed()) / (options.durationS * 1000.0);
            DrawProgress("recording", share);
        }
        if (!doc.Recording().Recorder().IsRecording(RecordKind::Raw)) {
            QCoreApplication::quit();
        }
    });
    poll.start(20);
    // A recording of a given length ends when its time is up, however many pings it holds; one
    // of a given count gives up when the head keeps it waiting too long.
    if (options.durationS > 0.0) {
        QTimer::singleShot(static_cast<int>(options.durationS * 1000.0), [] { QCoreApplication::quit(); });
    }
    if (target > 0) {
        QTimer::singleShot(static_cast<int>(options.timeoutS * 1000.0), [&] {
            watch.timedOut = true;
            QCoreApplication::quit();
        });
    }
    QCoreApplication::exec();
}

// Starts the navigation source of the recording and waits (a few seconds at most) for its first
// fix, so that the first records already carry positions.
void StartNavigation(HeadlessDocument& headless, const RecordOptions& options) {
    CTamsorDoc& doc = *headless.doc;
    NavSourceChoice choice = NavSourceFromSettings(doc.GetSettings().system);
    if (!options.navigation.empty()) {
        std::string error;
        const std::optional<NavSourceChoice> named = ParseNavSource(options.navigation, &error);
        if (!named) {
            throw CLI::ValidationError("--nav", error);
        }
        choice = *named;
    }
    headless.navigation.Start(choice, doc.GetSettings().system.baudRate);
    doc.Live().SetFixes(&headless.navigation.Store());
    if (choice.kind == NavSourceKind::None) {
        return;
    }
    QElapsedTimer waited;
    waited.start();
    const auto hasFix = [&headless] {
        return headless.navigation.Store().Status(headless.clock.TickMs()).ageMs.has_value();
    };
    while (!hasFix() && waited.elapsed() < kFirstFixWaitMs) {
        QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
        QThread::msleep(10);
    }
    if (!hasFix()) {
        const NavigationStatus status = headless.navigation.Store().Status(headless.clock.TickMs());
        std::fprintf(stderr,
                     "vexar-cli: no navigation fix after %d s (%s): pings are recorded without a position "
                     "until one comes\n",
                     kFirstFixWaitMs / 1000, status.detail.c_str());
    }
}

/// What the link asked again of the head, for the summary.
std::string Retries(const LinkStats& stats) {
    return std::to_string(stats.blockRetries) + " blocks asked again, " + std::to_string(stats.retries) +
           " pings given up, " + std::to_string(stats.reconnects) + " reconnects";
}

/// Why a recording got no ping: no head to talk to, or a head whose every ping failed.
std::string WhyNoPing(const LinkStats& stats, const std::string& host, std::uint16_t port) {
    if (stats.connections == 0) {
        const std::uint64_t attempts = stats.reconnects + 1;
        return "no head answered at " + host + ":" + std::to_string(port) + " (" + std::to_string(attempts) +
               (attempts == 1 ? " connection attempt)" : " connection attempts)");
    }
    return "every ping failed (" + Retries(stats) + ")";
}

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
    doc.SetOptions(DocumentOptions{.restShare = 0.0}); // nobody waits for input here
    StartNavigation(headless, options);
    // The link writes every whole ping from the next one on and stops by itself at the count.
    const auto target = static_cast<std::uint64_t>(options.pings);
    if (!doc.Recording().Start(RecordKind::Raw, options.output, target)) {
        throw Failure("cannot record to " + options.output);
    }
    RecordWatch watch;
    RunUntilDone(doc, options, watch);
    const qint64 endMs = watch.clock.elapsed();
    const RawRecordingState state = doc.Live().SonarLink()->Recording();
    doc.Recording().Stop();
    // The UDP output's last records leave whole before the socket closes.
    doc.Recording().Recorder().FinishProducts();
    headless.FlushDatagrams();
    doc.CloseSockets();
    const LinkStats stats = doc.Live().SonarLink()->Stats();
    if (StderrIsTerminal()) {
        EndProgress();
    }
    const std::uint64_t done = state.records;
    if (done == 0 && stats.rawRecords == 0) {
        // Nothing to keep: the file the recording opened goes, and the reason is the result.
        std::error_code ignored;
        std::filesystem::remove(options.output, ignored);
        throw Failure("no ping recorded: " + WhyNoPing(stats, host, port));
    }
    // The rate from the first record seen to the end, so that the connect does not count.
    double rate = 0.0;
    if (watch.firstRecordMs >= 0 && endMs > watch.firstRecordMs && done > watch.firstRecords) {
        rate = static_cast<double>(done - watch.firstRecords) * 1000.0 /
               static_cast<double>(endMs - watch.firstRecordMs);
    }
    std::printf("%llu pings recorded to %s at %.1f pings/s (%s)\n", static_cast<unsigned long long>(done),
                options.output.c_str(), rate, Retries(stats).c_str());
    const NavStatusText navigation = headless.navigation.Describe(
        static_cast<std::uint64_t>(std::max(doc.GetSettings().system.maxFixAgeMs, 0)));
    if (navigation.level != NavStatusLevel::Hidden) {
        std::printf("navigation at the end: %s\n", navigation.text.c_str());
    }
    // The pings recorded stay whatever went wrong afterwards.
    if (!state.error.empty()) {
        throw Failure("the recording stopped: " + state.error);
    }
    if (options.durationS <= 0.0 && done < target) {
        throw Failure(watch.timedOut ? "timed out waiting for the head" : "the head stopped answering");
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
        command.add_option("--nav", options->navigation,
                           "live navigation for this run instead of the settings file's (never saved): "
                           "serial:PATH[,BAUD], gpsd, gpsd:HOST[:PORT] or none");
        command.add_option("OUT", options->output, "raw recording to write (.R96)")->required();
        return [options, &common] { return RunRecord(*options, common); };
    });

} // namespace
} // namespace vexar::cli
