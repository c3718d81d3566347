#pragma once
// The simulated head as a program of its own on 127.0.0.1, for the console tests and the probes
// that run the console's adapters against it. Needs VEXAR_HEADSIM_PATH, the program's path.

#include <QByteArray>
#include <QDeadlineTimer>
#include <QProcess>
#include <QRegularExpression>
#include <QStringList>

#include <cstdint>

namespace vexar::test {

class HeadProcess {
public:
    HeadProcess() = default;
    HeadProcess(const HeadProcess&) = delete;
    HeadProcess& operator=(const HeadProcess&) = delete;
    ~HeadProcess() { Kill(); }

    /// Starts the simulated head with `options` on a loopback port (0: a free one); the port it
    /// listens on, 0 when it did not come up.
    std::uint16_t Start(std::uint16_t port = 0, const QStringList& options = {}) {
        m_process.setProgram(QStringLiteral(VEXAR_HEADSIM_PATH));
        m_process.setArguments(
            QStringList{QStringLiteral("--listen"), QStringLiteral("127.0.0.1:%1").arg(port)} + options);
        m_process.start();
        if (!m_process.waitForStarted(10000)) {
            return 0;
        }
        const QRegularExpression listening(QStringLiteral("listening on 127\\.0\\.0\\.1:(\\d+)"));
        QByteArray output;
        const QDeadlineTimer deadline(10000);
        while (!deadline.hasExpired() &&
               m_process.waitForReadyRead(static_cast<int>(deadline.remainingTime()))) {
            output += m_process.readAllStandardOutput();
            const auto match = listening.match(QString::fromLatin1(output));
            if (match.hasMatch()) {
                return static_cast<std::uint16_t>(match.captured(1).toUInt());
            }
        }
        return 0;
    }
    /// The head dies at once, as a head that loses power does.
    void Kill() {
        m_process.kill();
        m_process.waitForFinished(5000);
    }

private:
    QProcess m_process;
};

} // namespace vexar::test
