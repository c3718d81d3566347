#pragma once
// The small interfaces through which the core reaches the outside world. The programs
// implement them with Qt (platform/qt); the tests implement them with fakes that run
// time forward instantly and record what the operator was shown.

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <optional>
#include <span>
#include <string>

namespace vexar {

/// Identifiers of the one-shot timers of the document.
enum TimerId : int {
    kWatchdogTimer = 3010,   ///< refreshes the status when no ping came for 5000 ms
    kPlaybackTimer = 3020,   ///< plays the next record ("Sleep Time")
    kPingTimer = 3030,       ///< the next step of the sonar link where it runs on the timers
    kTakePingTimer = 3040,   ///< takes the newest live ping once the document has rested
    kStaleTimer = 3050,      ///< counts the seconds without a new live ping
    kFinishPingTimer = 3060, ///< processes the next turn of a live ping taken in turns
};

/// One-shot timers. Arming a timer that is armed restarts it; stopping an idle timer is harmless.
/// Expiry is delivered on the document's thread by the owner of the port (it calls the document).
class ITimerPort {
public:
    virtual ~ITimerPort() = default;
    virtual void Arm(int timerId, int delayMs) = 0;
    virtual void Stop(int timerId) = 0;
    virtual bool IsArmed(int timerId) const = 0;
};

/// Local calendar time with milliseconds.
struct LocalTime {
    int year = 1970;
    int month = 1; ///< 1..12
    int day = 1;
    int hour = 0;
    int minute = 0;
    int second = 0;
    int millisecond = 0;
};

/// Millisecond ticks (monotonic) and local time.
class IClockPort {
public:
    virtual ~IClockPort() = default;
    virtual std::uint64_t TickMs() = 0;
    /// Microsecond ticks on the same clock, for waits shorter than a millisecond; a clock that
    /// counts milliseconds only gives them as whole thousands.
    virtual std::uint64_t TickUs() { return TickMs() * 1000; }
    virtual LocalTime Now() = 0;
};

/// The TCP link to the sonar head, used by one thread at a time (the sonar link's).
class ITcpLink {
public:
    enum class ConnectState { Connected, Pending, Failed };
    virtual ~ITcpLink() = default;
    /// Closes any earlier connection and starts connecting; false when that fails at once.
    virtual bool StartConnect(const std::string& host, std::uint16_t port) = 0;
    /// Waits up to `timeoutMs` for the connection started last.
    virtual ConnectState WaitConnected(int timeoutMs) = 0;
    virtual bool IsConnected() const = 0;
    /// Sends the bytes; returns the count sent or -1.
    virtual int Send(std::span<const std::uint8_t> bytes) = 0;
    /// Waits until data can be read or the time runs out; true when readable.
    virtual bool WaitReadable(int timeoutMs) = 0;
    /// The same for a wait given in microseconds; a link that waits in milliseconds only waits
    /// the whole milliseconds that cover it.
    virtual bool WaitReadableUs(int timeoutUs) { return WaitReadable((std::max(timeoutUs, 0) + 999) / 1000); }
    /// Receives what is available, at most buffer.size() bytes; returns the count, 0 or -1.
    virtual int Receive(std::span<std::uint8_t> buffer) = 0;
    /// Shuts the link down in both directions and closes it.
    virtual void Close() = 0;
};

/// What a step of the sonar link reports to the runner.
struct LinkStepResult {
    int dueMs = -1;    ///< until the next step is due; negative: only after a Poke
    bool news = false; ///< the document should look at the link
};
using LinkStepFn = std::function<LinkStepResult()>;

/// Runs the steps of the sonar link: on a thread of its own beside the document in the
/// programs, on the document's own timers in the tests (which run time forward instantly).
class ILinkRunner {
public:
    virtual ~ILinkRunner() = default;
    /// Calls `step` whenever it is due until Stop. `news` runs on the document's thread after
    /// a step that had news; `finish` runs once after the last step, where the steps ran.
    virtual void Start(LinkStepFn step, std::function<void()> news, std::function<void()> finish) = 0;
    /// Returns when no step runs any more and `finish` has run.
    virtual void Stop() = 0;
    /// Something the step reads has changed: step now.
    virtual void Poke() = 0;
    virtual bool IsRunning() const = 0;
};

/// The datagram socket of the data output.
class IDatagramSender {
public:
    virtual ~IDatagramSender() = default;
    /// Opens the socket bound to localPort where the system allows it, else to any free port.
    virtual bool Open(std::uint16_t localPort) = 0;
    virtual bool IsOpen() const = 0;
    /// Sends one datagram; returns the count sent or -1. The address text is resolved at each send.
    virtual int SendTo(const std::string& host, std::uint16_t port, std::span<const std::uint8_t> bytes) = 0;
    virtual void Close() = 0;
};

enum class MessageIcon { Information, Warning, Error };

/// A file dialog request: title, initial folder, proposed name, one filter.
struct FileDialogRequest {
    std::string title;
    std::string folder;
    std::string proposedName;
    std::string filterText;    ///< e.g. "Sonar Raw Data File: (*.R96)"
    std::string filterPattern; ///< e.g. "*.R96"
};

/// What the core shows to, or asks of, the operator. Defaults do nothing so that a port only
/// implements what its program has.
class IOperatorPort {
public:
    virtual ~IOperatorPort() = default;
    /// A modal message box with a fixed text.
    virtual void ShowMessage(const std::string& text, MessageIcon icon = MessageIcon::Information) {
        (void)text;
        (void)icon;
    }
    /// Returns the chosen full path, or nothing when cancelled.
    virtual std::optional<std::string> AskOpenFile(const FileDialogRequest& request) {
        (void)request;
        return std::nullopt;
    }
    virtual std::optional<std::string> AskSaveFile(const FileDialogRequest& request) {
        (void)request;
        return std::nullopt;
    }
    /// The document title: the operator's status line of acquisition, recording and playback.
    virtual void SetTitle(const std::string& title) { (void)title; }
    /// A question the operator answers with yes or no; true for yes. Without an operator to ask,
    /// the answer is yes.
    virtual bool AskYesNo(const std::string& text) {
        (void)text;
        return true;
    }
};

/// The link to the head as the operator sees it.
enum class LinkState {
    Connecting,   ///< the link was (re)started and a connection is being made
    Connected,    ///< the head accepted the connection
    Disconnected, ///< a connection failed or the head closed it
};

/// A recording as the operator sees it: which file, and how large it is now.
struct RecordingStatus {
    bool active = false;
    std::string path;
    std::uint64_t bytes = 0;
};

/// The ports a document talks through; none is owned.
struct DocumentPorts {
    ITimerPort* timers = nullptr;
    IClockPort* clock = nullptr;
    ITcpLink* link = nullptr;
    IDatagramSender* datagrams = nullptr;
    IOperatorPort* operatorPort = nullptr;
    ILinkRunner* linkRunner = nullptr;
};

} // namespace vexar
