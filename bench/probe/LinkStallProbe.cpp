// How long the console's thread waits while the sonar link works: the document on the Qt
// adapters (link thread, timers, picture model and its painting, as the view does each ping)
// against vexar-headsim on 127.0.0.1, with a 5 ms timer on the document's thread that records how
// late it fires. One scenario per head fault; prints the longest stall, the 99th percentile, the
// link's ping rate, retries and reconnects per second.
//
// Usage: LinkStallProbe [SECONDS_PER_SCENARIO]   (default 8)

#include "acquisition/CTamsorDoc.h"
#include "display/CPictureModel.h"
#include "painting/PictureRenderer.h"
#include "platform/qt/CSSocket.h"
#include "platform/qt/QtPorts.h"
#include "support/HeadProcess.h"

#include <QDeadlineTimer>
#include <QDir>
#include <QElapsedTimer>
#include <QGuiApplication>
#include <QTemporaryDir>
#include <QTimer>

#include <algorithm>
#include <cstdio>
#include <fstream>
#include <memory>
#include <vector>

namespace {

using namespace vexar;

struct Scenario {
    const char* name;
    QStringList headArguments;
};

/// The simulated head in its own process on a free loopback port.
/// Draws the picture of the processed pings as the console does: the main frame updates the
/// picture in the turn of the event loop after the ping, and the view paints it in the next.
struct ViewStandIn : QObject, IDocumentListener {
    ViewStandIn(CTamsorDoc& d, WorkerPool& workers) : doc(d), model(workers) {
        model.InitialUpdate(PictureInputOf(doc));
        model.Resize(PictureInputOf(doc), 1000, 900);
    }
    void OnPingProcessed() override {
        ++processed;
        if (pending) {
            return;
        }
        pending = true;
        QMetaObject::invokeMethod(
            this,
            [this] {
                pending = false;
                model.Update(PictureInputOf(doc));
                QMetaObject::invokeMethod(
                    this, [this] { image = RenderDocumentPicture(doc, model, QSize(1000, 900)); },
                    Qt::QueuedConnection);
            },
            Qt::QueuedConnection);
    }
    CTamsorDoc& doc;
    CPictureModel model;
    QImage image;
    bool pending = false;
    int processed = 0;
};

void RunScenario(const Scenario& scenario, int seconds, const QString& settings) {
    test::HeadProcess head;
    // The plain scene: the head's own synthesis should not set the pace of the link.
    const std::uint16_t port = head.Start(0, QStringList{QStringLiteral("--scene"), QStringLiteral("plain")} +
                                                 scenario.headArguments);
    if (port == 0) {
        std::printf("%-22s the simulated head did not start\n", scenario.name);
        return;
    }
    QtClock clock;
    QtPoster poster;
    CSSocket socket;
    CLinkThread runner([&poster](std::function<void()> news) { poster.Post(std::move(news)); });
    QtDatagramSocket datagrams(QHostAddress(QHostAddress::LocalHost));
    std::unique_ptr<CTamsorDoc> doc;
    QtTimers timers([&doc](int id) { doc->OnTimer(id); });
    DocumentPorts ports;
    ports.timers = &timers;
    ports.clock = &clock;
    ports.link = &socket;
    ports.datagrams = &datagrams;
    ports.linkRunner = &runner;
    doc = std::make_unique<CTamsorDoc>(ports);
    doc->Live().SetAddressOverride("127.0.0.1", port);
    doc->SetOptions(DocumentOptions{.restShare = 1.0, .livePingInTurns = true}); // as the console runs it
    ViewStandIn view(*doc, doc->PingRoutine().Workers());
    doc->Subscribe(view);
    doc->OnNewDocument(QDir::tempPath().toStdString() + "/", settings.toStdString());

    // Warm-up: the first pings build the processing tables and the picture's pixel map once.
    QElapsedTimer warming;
    warming.start();
    const QDeadlineTimer warmUp(3000);
    while (view.processed < 3 && !warmUp.hasExpired()) {
        QCoreApplication::processEvents(QEventLoop::AllEvents | QEventLoop::WaitForMoreEvents, 50);
    }
    const qint64 warmUpMs = warming.elapsed();

    // The probe: a 5 ms timer on the document's thread and how late each tick comes.
    std::vector<double> lateness;
    QElapsedTimer elapsed;
    elapsed.start();
    qint64 last = elapsed.nsecsElapsed();
    QTimer probe;
    probe.setTimerType(Qt::PreciseTimer);
    QObject::connect(&probe, &QTimer::timeout, [&] {
        const qint64 now = elapsed.nsecsElapsed();
        lateness.push_back(std::max(0.0, static_cast<double>(now - last) / 1e6 - 5.0));
        last = now;
    });
    probe.start(5);
    view.processed = 0;
    const LinkStats before = doc->Live().SonarLink()->Stats();
    const QDeadlineTimer deadline(seconds * 1000);
    while (!deadline.hasExpired()) {
        QCoreApplication::processEvents(QEventLoop::AllEvents | QEventLoop::WaitForMoreEvents, 50);
    }
    probe.stop();
    const LinkStats after = doc->Live().SonarLink()->Stats();
    const double pings = static_cast<double>(after.pings - before.pings) / seconds;
    doc->Unsubscribe(view);
    doc->CloseSockets();

    std::sort(lateness.begin(), lateness.end());
    const double longest = lateness.empty() ? 0.0 : lateness.back();
    const double p99 = lateness.empty() ? 0.0 : lateness[lateness.size() * 99 / 100];
    std::printf("%-18s longest stall %6.1f ms  p99 %5.1f ms  %6.1f pings/s (%5.1f drawn)  %4llu retries  "
                "%5.2f reconnects/s  (warm-up %lld ms)\n",
                scenario.name, longest, p99, pings, static_cast<double>(view.processed) / seconds,
                static_cast<unsigned long long>(after.retries - before.retries),
                static_cast<double>(after.reconnects - before.reconnects) / seconds,
                static_cast<long long>(warmUpMs));
    std::fflush(stdout);
}

} // namespace

int main(int argc, char* argv[]) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication application(argc, argv);
    const int seconds = argc > 1 ? std::max(1, std::atoi(argv[1])) : 8;
    QTemporaryDir folder;
    const QString settings = folder.filePath(QStringLiteral("Vexar.INI"));
    std::ofstream(settings.toStdString())
        << "[System]\nIPAddress_Sonar1=127.0.0.1\nIPAddress_Output1=127.0.0.1\nRemotePort_Output1=4041\n"
           "Ping Delay=0\n[Sonar]\nOperating Range=3\nNumber of Samples=1000\nBeams=480\n"
           "DetectProfilePoints=1\n[View]\nDisplay=Polar\n";
    const std::vector<Scenario> scenarios = {
        {"normal head", {}},
        {"2 ms per reply", {QStringLiteral("--delay-ms"), QStringLiteral("2")}},
        {"silent head", {QStringLiteral("--silence"), QStringLiteral("0")}},
        {"cut off mid-ping", {QStringLiteral("--cut-off"), QStringLiteral("20")}},
        {"refusing head", {QStringLiteral("--refuse"), QStringLiteral("-1")}},
        {"dropping head", {QStringLiteral("--drop-after"), QStringLiteral("1")}},
    };
    std::printf(
        "GUI thread lateness of a 5 ms timer, %d s a scenario, 480 beams x 1000 samples, ping delay 0\n",
        seconds);
    for (const Scenario& scenario : scenarios) {
        RunScenario(scenario, seconds, settings);
    }
    return 0;
}
