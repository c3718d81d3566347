// The serial navigation source on a pseudo-terminal of the test's own: the test writes $AULOG
// sentences into it while the source reads them on its thread and posts them into the fix store,
// and the test's thread and a thread of the link's kind look fixes up in the store meanwhile. Run
// under ThreadSanitizer by scripts/test.

#include "navigation/CFixStore.h"
#include "navigation/NavigationSentence.h"
#include "platform/qt/CSerialNavigationSource.h"
#include "platform/qt/QtPorts.h"

#include <QCoreApplication>
#include <QDeadlineTimer>

#include <gtest/gtest.h>

#include <array>
#include <atomic>
#include <chrono>
#include <pty.h>
#include <string>
#include <termios.h>
#include <thread>
#include <unistd.h>

namespace vexar {
namespace {

/// A pseudo-terminal in raw mode: what is written to its master comes out of its device as it is.
class Pty {
public:
    Pty() {
        termios raw{};
        cfmakeraw(&raw);
        std::array<char, 128> name{};
        if (openpty(&m_master, &m_slave, name.data(), &raw, nullptr) == 0) {
            m_device = name.data();
        }
    }
    ~Pty() {
        for (const int fd : {m_master, m_slave}) {
            if (fd >= 0) {
                close(fd);
            }
        }
    }
    Pty(const Pty&) = delete;
    Pty& operator=(const Pty&) = delete;
    const std::string& Device() const { return m_device; }
    bool Write(const std::string& text) const {
        return write(m_master, text.data(), text.size()) == static_cast<ssize_t>(text.size());
    }

private:
    int m_master = -1;
    int m_slave = -1;
    std::string m_device;
};

std::string SentenceAt(int second) {
    NavigationFix fix;
    fix.utcMs = 1796643699000 + std::int64_t{second} * 100;
    fix.position = GeoPosition{43.5 + second * 1e-6, 9.25};
    fix.headingDeg = 30.0;
    std::array<char, kMaxLiveSentenceLength> text{};
    const std::size_t length = ComposeSentence(fix, text);
    return std::string(text.data(), length) + "\r\n";
}

TEST(SerialSource, FixesPostedOnItsThreadAreLookedUpBesideIt) {
    const Pty pty;
    ASSERT_FALSE(pty.Device().empty());
    CFixStore store;
    QtClock clock;
    store.Reset(NavSourceKind::Serial);
    CSerialNavigationSource source(pty.Device(), 57600, store, clock);
    source.Start();
    // The source empties the device when it opens it (what waited there is old): the sentences
    // start once it is open.
    const QDeadlineTimer opened(10000);
    while (store.Status(clock.TickMs()).link != NavLinkState::Connected && !opened.hasExpired()) {
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    ASSERT_EQ(store.Status(clock.TickMs()).link, NavLinkState::Connected);

    // A reader of the link's kind: the newest fix at each moment, and the status.
    std::atomic<bool> reading{true};
    std::atomic<int> found{0};
    std::thread link([&] {
        NavigationSample sample;
        while (reading.load()) {
            if (store.Newest(clock.TickMs(), 5000, sample)) {
                found.fetch_add(1);
            }
            (void)store.Status(clock.TickMs());
            std::this_thread::sleep_for(std::chrono::microseconds(200));
        }
    });
    constexpr int kFixes = 40;
    NavigationSample newest;
    int written = 0;
    const QDeadlineTimer deadline(20000);
    while (store.Status(clock.TickMs()).fixes < kFixes && !deadline.hasExpired()) {
        if (written < kFixes + 10) {
            ASSERT_TRUE(pty.Write(SentenceAt(written++)));
        }
        QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
        (void)store.Newest(clock.TickMs(), 5000, newest); // the test's own thread looks too
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    reading.store(false);
    link.join();
    source.Stop();
    const NavigationStatus status = store.Status(clock.TickMs());
    EXPECT_GE(status.fixes, static_cast<std::uint64_t>(kFixes)) << status.detail;
    EXPECT_EQ(status.refused, 0u);
    EXPECT_GT(found.load(), 0);
    ASSERT_TRUE(store.Newest(clock.TickMs(), 5000, newest));
    EXPECT_TRUE(newest.sentence.View().starts_with("$AULOG,"));
}

} // namespace
} // namespace vexar
