#include "BatchConversion.h"

#include "CliCommand.h"

#include <QCoreApplication>
#include <QEventLoop>
#include <QProcess>
#include <QRegularExpression>

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
            words >> job.pings >> job.damaged >> job.seconds >> job.skipped;
        }
    }
}

// The last line a job wrote on stderr, without the program's prefix ("vexar-cli convert: ").
std::string LastLine(const QByteArray& text) {
    const QList<QByteArray> lines = text.trimmed().split('\n');
    QString line = lines.isEmpty() ? QString() : QString::fromUtf8(lines.back().trimmed());
    static const QRegularExpression prefix(QStringLiteral("^vexar-cli( [a-z-]+)?: "));
    return line.remove(prefix).toStdString();
}

/// Runs the jobs of a batch in processes of their own, a few at a time, on an event loop.
class BatchRunner {
public:
    BatchRunner(std::vector<BatchJob>& jobs, int parallel, std::string program, std::string label)
        : m_jobs(jobs), m_parallel(parallel), m_program(std::move(program)), m_label(std::move(label)),
          m_progress(StderrIsTerminal()), m_processes(jobs.size()) {}

    void Run() {
        StartMore();
        if (m_running > 0) {
            m_loop.exec();
        }
        if (m_progress) {
            DrawBatchProgress();
            EndProgress();
        }
    }

private:
    void StartMore() {
        while (m_running < m_parallel && m_next < m_jobs.size()) {
            const std::size_t index = m_next++;
            if (!m_jobs[index].done) { // a job refused before it started stays done
                Start(index);
            }
        }
        if (m_running == 0 && m_next >= m_jobs.size()) {
            m_loop.quit();
        }
    }

    void Start(std::size_t index) {
        auto process = std::make_unique<QProcess>();
        QProcess* p = process.get();
        BatchJob& job = m_jobs[index];
        QStringList arguments;
        for (const std::string& argument : job.arguments) {
            arguments << QString::fromStdString(argument);
        }
        QObject::connect(p, &QProcess::readyReadStandardOutput, [this, &job, p] {
            ReadReport(job, *p);
            if (m_progress) {
                DrawBatchProgress();
            }
        });
        QObject::connect(p, &QProcess::finished, [this, index, p](int exitCode, QProcess::ExitStatus status) {
            Finished(index, *p, exitCode, status);
        });
        QObject::connect(p, &QProcess::errorOccurred, [this, index, p](QProcess::ProcessError error) {
            if (error == QProcess::FailedToStart) {
                m_jobs[index].done = true;
                m_jobs[index].reason = "cannot start " + m_program + ": " + p->errorString().toStdString();
                --m_running;
                StartMore();
            }
        });
        m_processes[index] = std::move(process);
        ++m_running;
        p->start(QString::fromStdString(m_program), arguments);
    }

    void Finished(std::size_t index, QProcess& process, int exitCode, QProcess::ExitStatus status) {
        BatchJob& ended = m_jobs[index];
        ReadReport(ended, process);
        ended.done = true;
        ended.ok = status == QProcess::NormalExit && exitCode == 0;
        if (!ended.ok) {
            ended.reason = LastLine(process.readAllStandardError());
            if (ended.reason.empty()) {
                ended.reason = status == QProcess::NormalExit ? "exit status " + std::to_string(exitCode)
                                                              : "the job crashed";
            }
        }
        --m_running;
        if (m_progress) {
            DrawBatchProgress();
        }
        StartMore();
    }

    void DrawBatchProgress() const {
        double total = 0.0;
        double done = 0.0;
        std::size_t finished = 0;
        for (const BatchJob& job : m_jobs) {
            const double weight = static_cast<double>(std::max<std::uint64_t>(job.bytes, 1));
            total += weight;
            done += weight * (job.done ? 1.0 : std::clamp(job.fraction, 0.0, 1.0));
            finished += job.done ? 1 : 0;
        }
        DrawProgress(m_label + " " + std::to_string(finished) + "/" + std::to_string(m_jobs.size()),
                     total > 0.0 ? done / total : 1.0);
    }

    std::vector<BatchJob>& m_jobs;
    int m_parallel;
    std::string m_program;
    std::string m_label;
    bool m_progress;
    QEventLoop m_loop;
    std::size_t m_next = 0;
    int m_running = 0;
    std::vector<std::unique_ptr<QProcess>> m_processes;
};

} // namespace

void RunBatch(std::vector<BatchJob>& jobs, int parallel, const std::string& program,
              const std::string& label) {
    BatchRunner(jobs, parallel, program, label).Run();
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
