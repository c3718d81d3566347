#include "BatchConversion.h"

#include "CliCommand.h"

#include <QCoreApplication>
#include <QEventLoop>
#include <QProcess>

#include <algorithm>
#include <cstdio>
#include <memory>
#include <sstream>

namespace vexar::cli {

namespace {

void ReadReport(BatchJob& job, QProcess& process) {
    while (process.canReadLine()) {
        const std::string line = process.readLine().trimmed().toStdString();
        std::istringstream words(line);
        std::string key;
        words >> key;
        if (key == kProgressLine) {
            words >> job.fraction;
        } else if (key == kResultLine) {
            words >> job.pings >> job.damaged >> job.seconds;
        }
    }
}

// The last line a conversion wrote on stderr, without the program's prefix.
std::string LastLine(const QByteArray& text) {
    const QList<QByteArray> lines = text.trimmed().split('\n');
    std::string line = lines.isEmpty() ? std::string() : lines.back().trimmed().toStdString();
    for (const std::string prefix : {"vexar-cli convert: ", "vexar-cli: "}) {
        if (line.rfind(prefix, 0) == 0) {
            line.erase(0, prefix.size());
        }
    }
    return line;
}

void DrawBatchProgress(const std::vector<BatchJob>& jobs) {
    double total = 0.0;
    double done = 0.0;
    std::size_t finished = 0;
    for (const BatchJob& job : jobs) {
        const double weight = static_cast<double>(std::max<std::uint64_t>(job.bytes, 1));
        total += weight;
        done += weight * (job.done ? 1.0 : std::clamp(job.fraction, 0.0, 1.0));
        finished += job.done ? 1 : 0;
    }
    DrawProgress("converting " + std::to_string(finished) + "/" + std::to_string(jobs.size()),
                 total > 0.0 ? done / total : 1.0);
}

} // namespace

void RunBatch(std::vector<BatchJob>& jobs, int parallel, const std::string& program) {
    const bool progress = StderrIsTerminal();
    QEventLoop loop;
    std::size_t next = 0;
    int running = 0;
    std::vector<std::unique_ptr<QProcess>> processes(jobs.size());
    std::function<void()> startMore = [&] {
        while (running < parallel && next < jobs.size()) {
            const std::size_t index = next++;
            BatchJob& job = jobs[index];
            if (job.done) {
                continue; // refused before it started
            }
            auto process = std::make_unique<QProcess>();
            QProcess* p = process.get();
            QStringList arguments;
            for (const std::string& argument : job.arguments) {
                arguments << QString::fromStdString(argument);
            }
            QObject::connect(p, &QProcess::readyReadStandardOutput, [&job, p, &jobs, progress] {
                ReadReport(job, *p);
                if (progress) {
                    DrawBatchProgress(jobs);
                }
            });
            QObject::connect(p, &QProcess::finished,
                             [&, index, p](int exitCode, QProcess::ExitStatus status) {
                                 BatchJob& ended = jobs[index];
                                 ReadReport(ended, *p);
                                 ended.done = true;
                                 ended.ok = status == QProcess::NormalExit && exitCode == 0;
                                 if (!ended.ok) {
                                     ended.reason = LastLine(p->readAllStandardError());
                                     if (ended.reason.empty()) {
                                         ended.reason = status == QProcess::NormalExit
                                                            ? "exit status " + std::to_string(exitCode)
                                                            : "the conversion crashed";
                                     }
                                 }
                                 --running;
                                 if (progress) {
                                     DrawBatchProgress(jobs);
                                 }
                                 startMore();
                                 if (running == 0 && next >= jobs.size()) {
                                     loop.quit();
                                 }
                             });
            QObject::connect(p, &QProcess::errorOccurred, [&, index, p](QProcess::ProcessError error) {
                if (error != QProcess::FailedToStart) {
                    return;
                }
                jobs[index].done = true;
                jobs[index].reason = "cannot start " + program + ": " + p->errorString().toStdString();
                --running;
                startMore();
                if (running == 0 && next >= jobs.size()) {
                    loop.quit();
                }
            });
            processes[index] = std::move(process);
            ++running;
            p->start(QString::fromStdString(program), arguments);
        }
    };
    startMore();
    if (running > 0) {
        loop.exec();
    }
    if (progress) {
        DrawBatchProgress(jobs);
        EndProgress();
    }
}

int PrintBatchTable(const std::vector<BatchJob>& jobs, double seconds) {
    std::size_t width = 4;
    for (const BatchJob& job : jobs) {
        width = std::max(width, job.input.size());
    }
    const int w = static_cast<int>(width);
    std::printf("%-*s  %8s  %8s  %8s  %s\n", w, "file", "pings", "damaged", "seconds", "result");
    int failed = 0;
    for (const BatchJob& job : jobs) {
        const std::string result = job.ok ? "converted" : "failed: " + job.reason;
        failed += job.ok ? 0 : 1;
        std::printf("%-*s  %8llu  %8llu  %8.2f  %s\n", w, job.input.c_str(),
                    static_cast<unsigned long long>(job.pings), static_cast<unsigned long long>(job.damaged),
                    job.seconds, result.c_str());
    }
    std::printf("# %zu files: %zu converted, %d failed, in %.2f s\n", jobs.size(), jobs.size() - failed,
                failed, seconds);
    return failed;
}

} // namespace vexar::cli
