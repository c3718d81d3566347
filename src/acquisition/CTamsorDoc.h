#pragma once
// CTamsorDoc: the one document of the console. It owns every buffer, the four head parameter
// sets, the link, the open files and all settings; every ping, live or played, passes through
// ProcessPing (in the console, a live ping in its two halves, BeginPing and EndPing).

#include "acquisition/CSonarLink.h"
#include "files/CDataFile.h"
#include "head/COndrel.h"
#include "head/ReplyData.h"
#include "navigation/CNavigation.h"
#include "platform/Ports.h"
#include "processing/HeadProcessors.h"

#include <array>
#include <cstdint>
#include <functional>
#include <memory>
#include <span>
#include <string>
#include <vector>

namespace vexar {

class CPlayer;
class CRecorder;
class IMapPointSink;

inline constexpr int kCombinedBeams = 1920;
inline constexpr int kWrapMarginRows = 10;
inline constexpr const char* kVersionText = "1.022 (July 17, 2019)";
inline constexpr const char* kSettingsFileName = "Vexar.INI";
inline constexpr std::uint16_t kSonarTcpPort = 4040;
inline constexpr std::uint16_t kOutputLocalPort = 2;
/// In real time, a picture without a new ping for this long is shown as stale.
inline constexpr int kStaleAfterMs = 2000;

class CTamsorDoc {
public:
    /// The document is large: create it on the heap. `workers`: threads that process beside the
    /// document's own (at most one per head but one); -1: as many as the machine's cores allow.
    static std::unique_ptr<CTamsorDoc> Create(const DocumentPorts& ports, int workers = -1);
    explicit CTamsorDoc(const DocumentPorts& ports, int workers = -1);
    virtual ~CTamsorDoc();
    CTamsorDoc(const CTamsorDoc&) = delete;
    CTamsorDoc& operator=(const CTamsorDoc&) = delete;

    /// Document initialisation. `settingsPath` is the settings file; empty means the file beside
    /// the executable, whose folder `programFolder` is (with a trailing separator).
    bool OnNewDocument(const std::string& programFolder, const std::string& settingsPath = {});
    /// "Real Time": leaves playback, reloads the settings and restarts acquisition.
    void OnRealTime();
    /// The per-ping routine.
    void ProcessPing();
    void RefreshStatus();
    void ClearCombinedImage();
    void CloseAllFiles();
    void OnCloseDocument();

    // Sonar link. The exchanges of each ping run on the link's own thread (CSonarLink); the
    // document gives it what to request and takes the pings it hands over.
    /// (Re)starts the link to the head and the output socket.
    void StartAcquisition();
    /// Stops the link (it closes its socket) and closes the output socket.
    void CloseSockets();
    /// The link has news (a ping, a state change, an ended recording): runs on the document's
    /// thread.
    void OnLinkNews();
    /// Hands the link what it requests from the next ping on: the packet of the current
    /// parameters, the blocks per ping, the ping delay, Hold, and the raw records' template.
    void UpdateLinkRequest();
    /// No ping for the watchdog's period: the status is refreshed.
    void WatchdogTimerProc();
    /// The stale timer: counts the whole seconds since the last live ping and tells the
    /// listeners from kStaleAfterMs on.
    void CheckPictureStale();
    /// The main frame's handler of any timer message.
    void OnTimer(int timerId);
    /// "&Hold".
    void OnHold();
    /// Stores the payloads of a complete ping in the heads; `lastReply` holds the ping's header.
    void CompletePing(const PingBuffer& payloads, const ReplyBlock& lastReply);
    /// Rebuilds the date, time, millisecond, automatic-name and time-stamp strings from the
    /// clock, or from the time a ping was requested.
    void RefreshClockStrings();
    void RefreshClockStrings(const LocalTime& time);
    /// The link to the head (absent without a TCP port).
    CSonarLink* Link() { return m_link.get(); }
    /// The head's address and port in use: the settings', unless overridden for this run.
    std::string SonarHost() const;
    std::uint16_t SonarPort() const;
    /// Creates the output socket if it does not exist.
    void OpenOutputSocket();
    /// The file being recorded (a live raw recording is the link's) and its size now.
    RecordingStatus CurrentRecording() const;
    /// Tells the listeners that a recording started, stopped or went on in a new file.
    void NotifyRecordingChanged();

    // Settings file.
    void LoadSettings();
    void SaveHeadSettings();
    void SaveOtherSettings();
    /// Copies head 0's shared values to heads 1..3.
    void CopyHeadSettings();
    /// Recomputes the four head azimuths from the azimuth offset and "Transducer Up".
    void UpdateHeadAzimuths();
    /// Clears the averaging history of the four ping processors.
    void ClearProcessingHistory();

    /// The recorder and the player, created with the document.
    CRecorder& Recorder() { return *m_recorder; }
    CPlayer& Player() { return *m_player; }
    /// Runs the heads' ping processing through `processing` instead of the document's own
    /// processors (tests follow the assembly of the combined image with it).
    void SetHeadProcessing(IHeadProcessing& processing) { m_processing = &processing; }
    const DocumentPorts& Ports() const { return m_ports; }
    COndrel& Head(int index) { return m_heads[static_cast<std::size_t>(index)]; }
    const COndrel& Head(int index) const { return m_heads[static_cast<std::size_t>(index)]; }
    /// The four ping processors, one per head.
    HeadProcessors& Processors() { return m_processors; }
    /// The worker threads of the heads of a ping and of the picture rows.
    WorkerPool& Workers() { return m_workers; }
    /// Rows of the combined image filled for the current beam setting (360, 720 or 1440).
    int CombinedBeamCount() const { return 4 * m_beamsPerHeadShown; }
    float& CombinedImage(int beam, int sample) {
        return m_combinedImage[static_cast<std::size_t>(beam) * kMaxSamples +
                               static_cast<std::size_t>(sample)];
    }
    /// A combined row's beam-record bytes as the current ping's processing converted them, or
    /// null when it did not convert that row for `samples` samples.
    const std::uint8_t* CombinedRowBytes(int beam, int samples) const;
    void SetTitle(const std::string& title);

    /// Adds a listener of the document's events (not owned; it must unsubscribe before it goes).
    void Subscribe(IDocumentListener& listener);
    void Unsubscribe(IDocumentListener& listener);
    /// Delivers an event to every listener, in the order they subscribed.
    template <typename... Params, typename... Args>
    void Notify(void (IDocumentListener::*handler)(Params...), Args&&... args) {
        for (IDocumentListener* listener : m_listeners) {
            (listener->*handler)(args...);
        }
    }

    // ---- Sonar objects ----
    std::array<COndrel, kHeadCount> m_heads;

    // ---- Link ----
    int m_connected = 0;
    LinkState m_linkState = LinkState::Disconnected;
    LinkStats m_linkStats;                ///< as the link reported them last
    bool m_pingedSinceConnect = false;    ///< a live ping was taken since the link last connected
    std::uint64_t m_lastLivePingTick = 0; ///< the last live ping, or the start of acquisition
    /// Whole seconds without a new live ping, from kStaleAfterMs on; 0 while pings come, and
    /// in Hold or playback.
    int m_staleSeconds = 0;
    std::uint64_t m_nextTakeTick = 0; ///< no live ping is taken before this tick
    /// How long the document rests after a live ping, as a share of the time it took: the
    /// operator's input is served between pings. Headless programs without input set 0.
    double m_restShare = 1.0;
    /// A live ping is processed in two turns of the event loop, heads 0 and 1 in the first,
    /// heads 2 and 3 and the rest of the per-ping routine in the next, so that the operator's
    /// input and the timers are served in between (the console). Off, a ping is processed at once.
    bool m_livePingInTwoTurns = false;
    std::string m_sonarAddress = "192.168.0.2";
    int m_sonarPort = kSonarTcpPort; ///< "RemotePort_Sonar1"
    /// "--sonar ADDR[:PORT]" of this run: used instead of the settings, never saved.
    std::string m_sonarHostOverride;
    std::uint16_t m_sonarPortOverride = 0;
    std::string m_outputAddress = "192.168.0.23";
    int m_outputPort = 4040;

    // ---- Playback buffers ----
    ReplyBlock m_replyBuffer{};
    PingBuffer m_pingBuffer{};

    // ---- Image and profile buffers ----
    std::array<float, static_cast<std::size_t>(kCombinedBeams) * kMaxSamples> m_combinedImage{};
    std::array<float, kCombinedBeams> m_combinedProfile{};
    /// The combined image's rows as beam-record bytes, when the ping builds a beam record: each
    /// row a head gives is converted by the thread that copied it in, while it is still in cache.
    std::vector<std::uint8_t> m_combinedBytes;
    int m_combinedBytesSamples = 0; ///< samples of each converted row; 0 outside a ping's routine
    int m_beamsPerHeadShown = 0;    ///< beams each head gave the combined image at the last ping

    // ---- Modes and flags ----
    int m_playback = 0;
    int m_hold = 0;
    int m_holdAfterConversion = 0; ///< Hold was set by the end of an XYZ conversion
    int m_recordRaw = 0;
    int m_recordBeam = 0;
    int m_recordPoint = 0;
    int m_udpOutputPoint = 0;
    int m_udpOutputBeam = 0;
    int m_xyzConversion = 0;
    int m_fileConversion = 0;
    std::uint8_t m_imageReset = 0;
    std::uint8_t m_clearImage = 0;
    int m_forceReconfigure = 1;
    int m_soundVelocityChanged = 0;
    int m_transmitEnableMask = 0;
    int m_unit = 0;
    int m_measuring = 0;
    int m_diagnosticsVisible = 0;
    int m_dragging = 0;

    // ---- Parameter-change cache ----
    int m_cacheBeams = 0;
    int m_cacheSamples = 0;
    int m_cacheBaseFrequency = 0;
    int m_cacheFrequencyStep = 0;
    float m_cacheRange = 0.0f;

    // ---- Timing values (ms) ----
    float m_sonarTimeMs = 0.0f;
    float m_acquisitionTimeMs = 0.0f;
    float m_loopTimeMs = 0.0f;
    float m_displayedPingPeriodMs = 250.0f;
    std::uint64_t m_lastRefreshTick = 0;

    // ---- Settings held by the document ----
    int m_pingDelayMs = 0;
    int m_sleepTimeMs = 0;
    float m_soundVelocity = 1480.0f;
    float m_fileSoundVelocity = 1480.0f;
    int m_startGain = 6;
    int m_fileStartGain = 0;
    std::array<int, kHeadCount> m_fileQuadrantGains{};
    int m_fileDisplayGain = 0;
    int m_syncHeads = 1;
    int m_commPort = 2;
    int m_baudRate = 57600;
    int m_autoFileName = 1;
    int m_autoFileSize = 1;
    int m_useFileSlc = 0;
    std::string m_readFolder;
    std::string m_writeFolder;
    int m_colorTable = 0;
    int m_grid = 1;
    int m_rangeMark = 1;
    int m_zoomIndex = 0;
    int m_profileDisplay = 0;
    float m_azimuthOffsetDeg = 0.0f;
    int m_gyroEarthRateCorr = 1;

    // ---- View values shared with the view ----
    float m_zoomFactor = 1.0f;
    int m_panX = 0;
    int m_panY = 0;
    float m_cursorRangeM = 0.0f;
    float m_cursorBearingDeg = 0.0f;

    // ---- Files ----
    CDataFile m_playbackFile;
    CDataFile m_recordFile;
    CDataFile m_xyzFile;
    /// Takes the converted points instead of m_xyzFile (map layouts of the command line).
    IMapPointSink* m_mapPointSink = nullptr;
    std::array<std::uint64_t, 2> m_playbackRecordSizes{};

    // ---- Strings ----
    std::string m_programFolder;
    std::string m_settingsPath;
    std::string m_title;
    std::string m_dateText;
    std::string m_timeText;
    std::string m_millisecondText;
    std::string m_autoName;
    std::string m_timeStamp;
    /// The sentence of the played record; empty until a recording gives one.
    std::string m_navigationSentence;
    /// Position, attitude, display texts and XYZ track parsed from m_navigationSentence.
    CNavigation m_navigationValues;
    std::string m_version = kVersionText;

private:
    void TakeLivePing(const LinkPing& ping);
    /// Starts counting towards a stale picture from now, or stops counting (Hold, playback).
    void RestartStaleCount(bool counting);
    /// The live ping's end: the link's next request and the watchdog.
    void AfterLivePing();
    /// The second turn of a live ping taken in two turns, if one is pending.
    void FinishHalfDonePing();
    /// The per-ping routine up to the heads' processing; with `holdBack`, heads 2 and 3 are
    /// left for ProcessHeldBackHeads.
    void BeginPing(bool holdBack);
    void ProcessHeldBackHeads();
    /// The per-ping routine after the heads: profile, products, XYZ, status.
    void EndPing();
    void CheckProcessingParameters();
    void AssembleCombinedImage(int perHead, int firstCentral, int quadrant, bool holdBack);
    void PlanCombinedRows(int perHead, int firstCentral, int quadrant,
                          const std::array<bool, kHeadCount>& fresh);
    void PlanHeadRows(int head, int firstRow, int rowCount, int toRow);
    void MoveOldCombinedRows();
    void CopyPlannedRows(int head);
    static void CopyPlannedRowsOfHead(void* document, int head);

    /// Where a combined row comes from in this ping: kept as it is, moved from another combined
    /// row of the last ping, or copied from a head image row.
    struct CombinedRowSource {
        std::int16_t head = -1; ///< -1: combined row `row` of the last ping
        std::int16_t row = 0;
    };
    std::array<CombinedRowSource, kCombinedBeams> m_rowPlan{};
    /// Fresh heads of the ping being processed in two turns that wait for the second turn.
    std::array<bool, kHeadCount> m_heldBackHeads{};
    bool m_pingHalfDone = false;
    std::uint64_t m_firstTurnMs = 0; ///< how long the first turn of that ping took

    DocumentPorts m_ports;
    std::vector<IDocumentListener*> m_listeners;
    WorkerPool m_workers;
    HeadProcessors m_processors{m_workers};
    // The document owns the recorder and the player, and both drive the document's per-ping
    // routine: that cycle is the design. This header only names them; their sources see the
    // whole document. The same holds for the document's operations kept with their subsystem
    // (settings, display commands, XYZ export, data output, the picture model).
    std::unique_ptr<CRecorder> m_recorder;
    std::unique_ptr<CPlayer> m_player;
    std::unique_ptr<CSonarLink> m_link;
    IHeadProcessing* m_processing = &m_processors;
};

/// The process-wide document, published by OnNewDocument of the first document initialised
/// while none is published; null before and after.
CTamsorDoc* TheDocument();

} // namespace vexar
