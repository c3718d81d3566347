// vexar-cli record --sonar ADDR[:PORT] --pings N OUT.R96: headless live recording from a head
// through the console's ping cycle.

#include "CliCommand.h"
#include "HeadlessDocument.h"
#include "files/CRecorder.h"

#include <QCoreApplication>
#include <QTimer>

#include <cstdio>

namespace vexar::cli {
namespace {

struct RecordOptions {
    std::string sonar;
    int pings = 0;
    std::string output;
    double timeoutS = 60.0;
};

/// "ADDR" or "ADDR:PORT"; the port defaults to the head's 4040.
void SplitAddress(const std::string& text, std::string& host, std::uint16_t& port) {
    host = text;
    port = kSonarTcpPort;
    const auto colon = text.rfind(':');
    if (colon == std::string::npos) {
        return;
    }
    host = text.substr(0, colon);
    const std::string digits = text.substr(colon + 1);
    int value = 0;
    for (const char c : digits) {
        if (c < '0' || c > '9' || value > 65535) {
            throw CLI::ValidationError("--sonar", "bad port in " + text);
        }
        value = value * 10 + (c - '0');
    }
    if (digits.empty() || value < 1 || value > 65535) {
        throw CLI::ValidationError("--sonar", "bad port in " + text);
    }
    port = static_cast<std::uint16_t>(value);
}

int RunRecord(const RecordOptions& options, const CommonOptions& common) {
    std::string host;
    std::uint16_t port = 0;
    SplitAddress(options.sonar, host, port);
    if (host.empty()) {
        throw CLI::ValidationError("--sonar", "no address");
    }
    HeadlessDocument headless(common, true, true);
    CTamsorDoc& doc = *headless.doc;
    doc.m_sonarAddress = host;
    doc.m_sonarPort = port;
    if (!doc.Recorder().StartRecording(RecordKind::Raw, options.output)) {
        throw Failure("cannot record to " + options.output);
    }
    const std::uint64_t target = static_cast<std::uint64_t>(options.pings);
    const std::uint64_t first = doc.Recorder().RawRecordsWritten();
    bool timedOut = false;
    // Checked after every timer event, so that recording stops with the ping that completes
    // the count.
    bool finished = false;
    headless.afterTimer = [&] {
        if (finished) {
            return;
        }
        const std::uint64_t done = doc.Recorder().RawRecordsWritten() - first;
        if (StderrIsTerminal()) {
            DrawProgress("recording", static_cast<double>(done) / static_cast<double>(target));
        }
        if (done >= target || !doc.Recorder().IsRecording(RecordKind::Raw)) {
            finished = true;
            // Nothing more is recorded while the event loop winds down.
            doc.Recorder().OnStopRecording();
            QCoreApplication::quit();
        }
    };
    QTimer::singleShot(static_cast<int>(options.timeoutS * 1000.0), [&] {
        timedOut = true;
        QCoreApplication::quit();
    });
    headless.link->Open();
    doc.StartAcquisition();
    QCoreApplication::exec();
    const std::uint64_t done = doc.Recorder().RawRecordsWritten() - first;
    const bool stoppedByError = done < target && !doc.Recorder().IsRecording(RecordKind::Raw) && !timedOut;
    doc.Recorder().OnStopRecording();
    doc.CloseSockets();
    if (StderrIsTerminal()) {
        EndProgress();
    }
    std::printf("%llu pings recorded to %s\n", static_cast<unsigned long long>(done), options.output.c_str());
    if (stoppedByError) {
        throw Failure("the recording stopped on a write error");
    }
    if (done < target) {
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
            ->required()
            ->check(CLI::Range(1, 100000000));
        command.add_option("--timeout", options->timeoutS, "give up after this many seconds")
            ->check(CLI::Range(0.1, 1.0e6));
        command.add_option("OUT", options->output, "raw recording to write (.R96)")->required();
        return [options, &common] { return RunRecord(*options, common); };
    });

} // namespace
} // namespace vexar::cli
