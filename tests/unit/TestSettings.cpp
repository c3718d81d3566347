#include "acquisition/CTamsorDoc.h"
#include "common/TextParse.h"
#include "config/CProfileFile.h"
#include "config/SettingsFile.h"
#include "config/SettingsTable.h"
#include "support/FakePorts.h"
#include "support/RecordingFixture.h"

#include <gtest/gtest.h>

#include <csignal>
#include <filesystem>
#include <fstream>
#include <sys/resource.h>

namespace vexar {
namespace {

namespace fs = std::filesystem;

std::string ReadFile(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

class SettingsTest : public ::testing::Test {
protected:
    void SetUp() override {
        folder =
            fs::temp_directory_path() / ("vexar-ini-" + std::to_string(::getpid()) + "-" +
                                         ::testing::UnitTest::GetInstance()->current_test_info()->name());
        fs::remove_all(folder);
        fs::create_directories(folder);
        path = folder / "Vexar.INI";
    }
    void TearDown() override { fs::remove_all(folder); }

    // A document that reads and writes the test's file (its link is a fake that never runs).
    std::unique_ptr<CTamsorDoc> Load(const fs::path& settingsPath) {
        auto doc = std::make_unique<CTamsorDoc>(world.Ports());
        doc->Subscribe(world.op);
        doc->OnNewDocument(folder.string() + "/", settingsPath.string());
        return doc;
    }
    std::unique_ptr<CTamsorDoc> Load() { return Load(path); }
    void Write(const std::string& text) { std::ofstream(path, std::ios::binary) << text; }

    test::FakeWorld world;
    fs::path folder;
    fs::path path;
};

TEST_F(SettingsTest, MissingFileGivesEveryDefault) {
    ASSERT_TRUE(EveryKeyIsSound());
    auto doc = Load();
    const SystemSettings& system = doc->GetSettings().system;
    const PingSettings& h = doc->Shown().Settings();
    const ViewSettings& view = doc->GetSettings().view;
    // Each value a missing file leaves, beside the key whose declared default it must be.
    const std::pair<int, const SettingKey&> numbers[] = {
        {system.autoFileSize, SettingOf("Enable AutoFileSize")},
        {system.outputPort, SettingOf("RemotePort_Output1")},
        {system.autoFileName, SettingOf("AutoSaveFileName")},
        {system.commPort, SettingOf("Comm Port")},
        {system.baudRate, SettingOf("Baud Rate")},
        {system.maxFixAgeMs, SettingOf("Nav Max Fix Age")},
        {system.syncHeads, SettingOf("Sync Heads")},
        {system.sleepTimeMs, SettingOf("Sleep Time")},
        {system.pingDelayMs, SettingOf("Ping Delay")},
        {system.useFileSlc, SettingOf("UseFileSLC")},
        {system.udpOutputPoint, SettingOf("UdpOutputP96")},
        {system.udpOutputBeam, SettingOf("UdpOutputB96")},
        {h.rangeIndex, SettingOf("Operating Range")},
        {h.displayGain, SettingOf("Display Gain")},
        {h.startGainDb, SettingOf("Start Gain")},
        {h.samples, SettingOf("Number of Samples")},
        {h.average, SettingOf("Average")},
        {h.beams, SettingOf("Beams")},
        {h.beamWidth, SettingOf("Beam Width")},
        {h.persistence, SettingOf("Persistence")},
        {h.transducerUp, SettingOf("Transducer Up")},
        {h.gyroEarthRateCorr, SettingOf("GyroEarthRateCorr")},
        {h.externalTriggerEnable, SettingOf("ExternalTriggerEnable")},
        {h.externalTriggerLevel, SettingOf("ExternalTriggerLevel")},
        {h.externalTransmitDelay, SettingOf("ExternalXmitDelay")},
        {h.profileFilterType, SettingOf("ProfileFilterType")},
        {h.detectProfilePoints, SettingOf("DetectProfilePoints")},
        {view.profileDisplay, SettingOf("ProfileDisplay")},
        {view.colorTable, SettingOf("ColorTable")},
        {view.rangeMark, SettingOf("Range Mark")},
        {view.zoomIndex, SettingOf("ZoomIndex")},
    };
    for (const auto& [value, setting] : numbers) {
        EXPECT_EQ(value, ParseInt(setting.fallback)) << setting.key;
    }
    const std::pair<float, const SettingKey&> reals[] = {
        {h.soundVelocity, SettingOf("Sound Velocity")},
        {h.pulseLengthMultiplier, SettingOf("Pulse Length Multiplier")},
        {h.azimuthOffsetDeg, SettingOf("Azimuth Offset")},
    };
    for (const auto& [value, setting] : reals) {
        EXPECT_FLOAT_EQ(value, static_cast<float>(ParseDouble(setting.fallback))) << setting.key;
    }
    EXPECT_EQ(system.sonarAddress, SettingOf("IPAddress_Sonar1").fallback);
    EXPECT_EQ(system.outputAddress, SettingOf("IPAddress_Output1").fallback);
    EXPECT_EQ(system.navDevice, SettingOf("Nav Serial Device").fallback);
    EXPECT_EQ(system.gpsdAddress, SettingOf("Nav Gpsd Address").fallback);
    EXPECT_EQ(system.navSource, NavSourceKind::None);
    EXPECT_EQ(view.orientation, ViewOrientation::HeadUp);
    EXPECT_EQ(view.unit, DistanceUnit::Metric);
    EXPECT_EQ(view.grid, GridStyle::Polar);
    EXPECT_EQ(system.readFolder, folder.string() + "/");
    EXPECT_EQ(system.writeFolder, folder.string() + "/");
    // What the load derives from the defaults.
    EXPECT_FLOAT_EQ(h.rangeM, 20.0f);
    EXPECT_EQ(h.frequencyStep, 0);
    EXPECT_EQ(h.beamsIndex, 0);
    EXPECT_EQ(h.displayMode, 0); // "Polar"
    // The load ends by placing the heads and rebuilding every packet.
    EXPECT_EQ(doc->PingRoutine().Head(2).m_commandPacket[3], 20);
    EXPECT_EQ(h.Head(1).azimuth, 2700);
    EXPECT_EQ(world.op.m_settingsLoads, 2); // at initialisation and again by "Real Time"
}

TEST_F(SettingsTest, ClampsAndConversions) {
    struct Case {
        const char* text;
        int rangeIndex;
        int step;
        int beams;
        int beamsIndex;
    };
    const Case cases[] = {
        {"Operating Range=0\nOperating Frequency=675049\nBeams=360\n", 1, 0, 120, 2},
        {"Operating Range=9\nOperating Frequency=675100\nBeams=240\n", 4, 2, 240, 1},
        {"Operating Range=fast\nOperating Frequency=674900\nBeams=many\n", 1, -2, 120, 2},
        {"Operating Range= 3 m\nOperating Frequency=-2147483648\nBeams=480abc\n", 3, -42963172, 480, 0},
    };
    for (const Case& c : cases) {
        Write(std::string("[Sonar]\n") + c.text);
        auto doc = Load();
        EXPECT_EQ(doc->Shown().Settings().rangeIndex, c.rangeIndex) << c.text;
        EXPECT_FLOAT_EQ(doc->Shown().Settings().rangeM, kRangeTable[static_cast<std::size_t>(c.rangeIndex)])
            << c.text;
        EXPECT_EQ(doc->Shown().Settings().frequencyStep, c.step) << c.text;
        EXPECT_EQ(doc->Shown().Settings().beams, c.beams) << c.text;
        EXPECT_EQ(doc->Shown().Settings().beamsIndex, c.beamsIndex) << c.text;
    }
}

TEST_F(SettingsTest, SonarPortIsAPortOrElseTheHeadsOwn) {
    const std::pair<const char*, int> cases[] = {{"4141", 4141},  {"1", 1},     {"65535", 65535}, {"0", 4040},
                                                 {"65536", 4040}, {"-7", 4040}, {"many", 4040}};
    for (const auto& [text, port] : cases) {
        Write(std::string("[System]\nRemotePort_Sonar1=") + text + "\n");
        const auto doc = Load();
        EXPECT_EQ(doc->Live().SonarPort(doc->GetSettings().system), port) << text;
    }
    // "--sonar" of one run goes before the file's address and port.
    const auto doc = Load();
    doc->Live().SetAddressOverride("127.0.0.1", 4242);
    EXPECT_EQ(doc->Live().SonarHost(doc->GetSettings().system), "127.0.0.1");
    EXPECT_EQ(doc->Live().SonarPort(doc->GetSettings().system), 4242);
}

TEST_F(SettingsTest, SamplesDisplayFlagsAndTables) {
    Write(
        "[Sonar]\nNumber of Samples=1000\nDetectProfilePoints=5\n[View]\nDisplay=BeamTest\nColorTable=12\n");
    auto doc = Load();
    EXPECT_EQ(doc->Shown().Settings().samples, 1000);
    EXPECT_EQ(doc->Shown().Settings().detectProfilePoints, 1);
    EXPECT_EQ(doc->Shown().Settings().displayMode, 2);
    EXPECT_EQ(doc->GetSettings().view.colorTable, 8);

    // An unknown sample count would overrun the ping buffers: it is taken as 500.
    Write("[Sonar]\nNumber of Samples=5000\n[View]\nDisplay=beams\nColorTable=-4\n");
    doc->LoadSettings();
    EXPECT_EQ(doc->Shown().Settings().samples, 500);
    EXPECT_EQ(doc->Shown().Settings().displayMode, 2); // lower-case b leaves the mode unchanged
    EXPECT_EQ(doc->GetSettings().view.colorTable, 0);
}

TEST_F(SettingsTest, EveryKeyRoundTrips) {
    Write("[System]\nIPAddress_Sonar1=127.0.0.1\nIPAddress_Output1=127.0.0.1\n");
    auto doc = Load();
    doc->EditSettings([](Settings& settings) {
        SystemSettings& s = settings.system;
        PingSettings& h = settings.sonar;
        ViewSettings& v = settings.view;
        s.outputPort = 5050;
        s.autoFileName = 0;
        s.autoFileSize = 3;
        s.commPort = 4;
        s.baudRate = 9600;
        s.navSource = NavSourceKind::Gpsd;
        s.navDevice = "/dev/ttyS3";
        s.gpsdAddress = "127.0.0.1:2950";
        s.maxFixAgeMs = 1500;
        v.orientation = ViewOrientation::NorthUp;
        s.readFolder = "/data/in/";
        s.writeFolder = "/data/out/";
        s.syncHeads = 0;
        v.unit = DistanceUnit::Imperial;
        s.sleepTimeMs = 150;
        s.pingDelayMs = 20;
        h.soundVelocity = 1502.256f;
        s.useFileSlc = 1;
        s.udpOutputPoint = 1;
        s.udpOutputBeam = 1;
        h.rangeIndex = 2;
        h.frequencyStep = -7;
        h.samples = 1000;
        h.transducerUp = 1;
        h.pulseLengthMultiplier = 1.7f;
        h.displayGain = 77;
        h.startGainDb = 9;
        h.average = 5;
        h.beams = 240;
        h.beamWidth = 1;
        h.persistence = 3;
        h.externalTriggerEnable = 1;
        h.externalTriggerLevel = 1;
        h.externalTransmitDelay = 321;
        h.detectProfilePoints = 1;
        h.profileFilterType = 2;
        v.profileDisplay = 3;
        v.colorTable = 5;
        v.grid = GridStyle::Line;
        v.rangeMark = 0;
        h.displayMode = 2;
        v.zoomIndex = 2;
    });
    doc->SaveSettings(SaveGroup::Head);
    doc->SaveSettings(SaveGroup::Other);

    auto back = Load();
    const SystemSettings& s = back->GetSettings().system;
    const PingSettings& b = back->Shown().Settings();
    const ViewSettings& v = back->GetSettings().view;
    EXPECT_EQ(s.sonarAddress, "127.0.0.1");
    EXPECT_EQ(s.outputAddress, "127.0.0.1");
    EXPECT_EQ(s.outputPort, 5050);
    EXPECT_EQ(s.autoFileName, 0);
    EXPECT_EQ(s.autoFileSize, 3);
    EXPECT_EQ(s.commPort, 4);
    EXPECT_EQ(s.baudRate, 9600);
    EXPECT_EQ(s.navSource, NavSourceKind::Gpsd);
    EXPECT_EQ(s.navDevice, "/dev/ttyS3");
    EXPECT_EQ(s.gpsdAddress, "127.0.0.1:2950");
    EXPECT_EQ(s.maxFixAgeMs, 1500);
    EXPECT_EQ(v.orientation, ViewOrientation::NorthUp);
    EXPECT_EQ(s.readFolder, "/data/in/");
    EXPECT_EQ(s.writeFolder, "/data/out/");
    EXPECT_EQ(s.syncHeads, 0);
    EXPECT_EQ(v.unit, DistanceUnit::Imperial);
    EXPECT_EQ(s.sleepTimeMs, 150);
    EXPECT_EQ(s.pingDelayMs, 20);
    EXPECT_FLOAT_EQ(b.soundVelocity, 1502.26f); // written with two decimals
    EXPECT_EQ(s.useFileSlc, 1);
    EXPECT_EQ(s.udpOutputPoint, 1);
    EXPECT_EQ(s.udpOutputBeam, 1);
    EXPECT_EQ(b.rangeIndex, 2);
    EXPECT_EQ(b.frequencyStep, -7);
    EXPECT_EQ(b.samples, 1000);
    EXPECT_EQ(b.transducerUp, 1);
    EXPECT_FLOAT_EQ(b.pulseLengthMultiplier, 1.7f);
    EXPECT_EQ(b.displayGain, 77);
    EXPECT_EQ(b.startGainDb, 9);
    EXPECT_EQ(b.average, 5);
    EXPECT_EQ(b.beams, 240);
    EXPECT_EQ(b.beamWidth, 1);
    EXPECT_EQ(b.persistence, 3);
    EXPECT_EQ(b.externalTriggerEnable, 1);
    EXPECT_EQ(b.externalTriggerLevel, 1);
    EXPECT_EQ(b.externalTransmitDelay, 321);
    EXPECT_EQ(b.detectProfilePoints, 1);
    EXPECT_EQ(b.profileFilterType, 2);
    EXPECT_EQ(v.profileDisplay, 3);
    EXPECT_EQ(v.colorTable, 5);
    EXPECT_EQ(v.grid, GridStyle::Line);
    EXPECT_EQ(v.rangeMark, 0);
    EXPECT_EQ(b.displayMode, 2);
    EXPECT_EQ(v.zoomIndex, 2);
    const std::string text = ReadFile(path);
    EXPECT_NE(text.find("Operating Frequency=674650\n"), std::string::npos);
    EXPECT_NE(text.find("Sound Velocity=1502.26\n"), std::string::npos);
    EXPECT_NE(text.find("Pulse Length Multiplier=1.7\n"), std::string::npos);
    EXPECT_NE(text.find("Display=BeamTest\n"), std::string::npos);
    EXPECT_NE(text.find("Nav Source=gpsd\n"), std::string::npos);
    EXPECT_NE(text.find("Orientation=North Up\n"), std::string::npos);
}

// Every key with a value other than its default, several in forms the load normalises or
// leaves as read, with CRLF line ends.
constexpr const char* kEveryKey =
    "[System]\r\nEnable AutoFileSize=3\r\nIPAddress_Sonar1=127.0.0.1\r\nRemotePort_Sonar1=4141\r\n"
    "IPAddress_Output1=127.0.0.1\r\n"
    "RemotePort_Output1=5050\r\nAutoSaveFileName=0\r\nComm Port=4\r\nBaud Rate=9600\r\n"
    "Nav Source=serial\r\nNav Serial Device=/dev/ttyACM0\r\nNav Gpsd Address=127.0.0.1:2950\r\n"
    "Nav Max Fix Age=90000\r\n"
    "Read File Directory=\"/data/in/\"\r\nWrite File Directory=/data/out/\r\nSync Heads=0\r\nUnit=1\r\n"
    "Sleep Time=150 ms\r\nPing Delay=20\r\nSound Velocity=1502.256\r\nUseFileSLC=1\r\nUdpOutputP96=1\r\n"
    "UdpOutputB96=1\r\n"
    "[Sonar]\r\nOperating Range=0\r\nOperating Frequency=674651\r\nDisplay Gain=77\r\nStart Gain=9\r\n"
    "Number of Samples=1000\r\nAverage=4\r\nBeams=360\r\nBeam Width=1\r\nPersistence=5000\r\n"
    "Transducer Up=1\r\nPulse Length Multiplier=0.5\r\nAzimuth Offset=12.5\r\nGyroEarthRateCorr=0\r\n"
    "ExternalTriggerEnable=1\r\nExternalTriggerLevel=-1\r\nExternalXmitDelay=321\r\nProfileFilterType=2\r\n"
    "DetectProfilePoints=7\r\nProfileDisplay=3\r\n"
    "[View]\r\nColorTable=12\r\nDisplay=BeamTest\r\nGrid=3\r\nRange Mark=0\r\nZoomIndex=7\r\n"
    "Orientation=North Up\r\n"
    "[Mounting]\r\nHead Plane=Level\r\nHead Tilt=95\r\nHead Yaw=180\r\nHead Offset Forward=2\r\n"
    "Head Offset Starboard=-1.25\r\nHead Offset Down=nan\r\n";

// What the two saves make of it: written in place, with CRLF kept.
constexpr const char* kEveryKeySaved =
    "[System]\r\nEnable AutoFileSize=3\r\nIPAddress_Sonar1=127.0.0.1\r\nRemotePort_Sonar1=4141\r\n"
    "IPAddress_Output1=127.0.0.1\r\n"
    "RemotePort_Output1=5050\r\nAutoSaveFileName=0\r\nComm Port=4\r\nBaud Rate=9600\r\n"
    "Nav Source=serial\r\nNav Serial Device=/dev/ttyACM0\r\nNav Gpsd Address=127.0.0.1:2950\r\n"
    "Nav Max Fix Age=60000\r\n"
    "Read File Directory=/data/in/\r\nWrite File Directory=/data/out/\r\nSync Heads=0\r\nUnit=1\r\n"
    "Sleep Time=150\r\nPing Delay=20\r\nSound Velocity=1502.26\r\nUseFileSLC=1\r\nUdpOutputP96=1\r\n"
    "UdpOutputB96=1\r\n"
    "[Sonar]\r\nOperating Range=1\r\nOperating Frequency=674700\r\nDisplay Gain=77\r\nStart Gain=9\r\n"
    "Number of Samples=1000\r\nAverage=4\r\nBeams=120\r\nBeam Width=1\r\nPersistence=5000\r\n"
    "Transducer Up=1\r\nPulse Length Multiplier=0.5\r\nAzimuth Offset=12.5\r\nGyroEarthRateCorr=0\r\n"
    "ExternalTriggerEnable=1\r\nExternalTriggerLevel=-1\r\nExternalXmitDelay=321\r\nProfileFilterType=2\r\n"
    "DetectProfilePoints=1\r\nProfileDisplay=3\r\n"
    "[View]\r\nColorTable=8\r\nDisplay=BeamTest\r\nGrid=3\r\nRange Mark=0\r\nZoomIndex=7\r\n"
    "Orientation=North Up\r\n"
    "[Mounting]\r\nHead Plane=Level\r\nHead Tilt=90.0\r\nHead Yaw=180.0\r\nHead Offset Forward=2.000\r\n"
    "Head Offset Starboard=-1.250\r\nHead Offset Down=0.000\r\n";

// The same values saved onto an empty file: every key in the order the saves write them.
constexpr const char* kEveryKeyFresh =
    "[System]\nSound Velocity=1502.26\nIPAddress_Sonar1=127.0.0.1\nRemotePort_Sonar1=4141\n"
    "IPAddress_Output1=127.0.0.1\n"
    "RemotePort_Output1=5050\nAutoSaveFileName=0\nEnable AutoFileSize=3\nComm Port=4\nBaud Rate=9600\n"
    "Nav Source=serial\nNav Serial Device=/dev/ttyACM0\nNav Gpsd Address=127.0.0.1:2950\nNav Max Fix "
    "Age=60000\n"
    "Read File Directory=/data/in/\nWrite File Directory=/data/out/\nSync Heads=0\nUnit=1\nSleep Time=150\n"
    "Ping Delay=20\nUseFileSLC=1\nUdpOutputP96=1\nUdpOutputB96=1\n"
    "[Sonar]\nOperating Range=1\nOperating Frequency=674700\nNumber of Samples=1000\nTransducer Up=1\n"
    "Pulse Length Multiplier=0.5\nDisplay Gain=77\nStart Gain=9\nAverage=4\nBeams=120\nBeam Width=1\n"
    "Persistence=5000\nExternalTriggerEnable=1\nExternalTriggerLevel=-1\nExternalXmitDelay=321\n"
    "DetectProfilePoints=1\nProfileFilterType=2\nProfileDisplay=3\n"
    "[View]\nColorTable=8\nGrid=3\nRange Mark=0\nDisplay=BeamTest\nZoomIndex=7\nOrientation=North Up\n"
    "[Mounting]\nHead Plane=Level\nHead Tilt=90.0\nHead Yaw=180.0\nHead Offset Forward=2.000\n"
    "Head Offset Starboard=-1.250\nHead Offset Down=0.000\n";

TEST_F(SettingsTest, EveryKeyIsWrittenBackByteForByte) {
    Write(kEveryKey);
    auto doc = Load();
    doc->SaveSettings(SaveGroup::Head);
    doc->SaveSettings(SaveGroup::Other);
    EXPECT_EQ(ReadFile(path), kEveryKeySaved);

    // Onto an empty file the keys arrive in the order the two saves write them.
    SaveSettingsGroup((folder / "New.INI").string(), doc->GetSettings(), SaveGroup::Head);
    SaveSettingsGroup((folder / "New.INI").string(), doc->GetSettings(), SaveGroup::Other);
    EXPECT_EQ(ReadFile(folder / "New.INI"), kEveryKeyFresh);
}

TEST_F(SettingsTest, ForeignLinesAndUnwrittenKeysSurviveRepeatedRuns) {
    const std::string original =
        "; site settings\r\n[System]\r\nIPAddress_Sonar1=127.0.0.1\r\nIPAddress_Output1=127.0.0.1\r\n"
        "Operator=J. Doe\r\n\r\n[Sonar]\r\nAzimuth Offset=12.5\r\nGyroEarthRateCorr=0\r\n"
        "; trimmed by hand\r\nBeams=240\r\n\r\n[Custom]\r\nkey=value\r\n";
    Write(original);
    for (int run = 0; run < 3; ++run) {
        auto doc = Load();
        EXPECT_FLOAT_EQ(doc->Shown().Settings().azimuthOffsetDeg, 12.5f);
        EXPECT_EQ(doc->Shown().Settings().gyroEarthRateCorr, 0);
        EXPECT_EQ(doc->Shown().Settings().Head(0).azimuth, -125);
        doc->SaveSettings(SaveGroup::Head);
        doc->SaveSettings(SaveGroup::Other);
    }
    const std::string text = ReadFile(path);
    for (const char* kept :
         {"; site settings\r\n", "Operator=J. Doe\r\n", "Azimuth Offset=12.5\r\n", "GyroEarthRateCorr=0\r\n",
          "; trimmed by hand\r\n", "[Custom]\r\nkey=value\r\n"}) {
        EXPECT_NE(text.find(kept), std::string::npos) << kept;
    }
    // Keys are updated in place, not duplicated, and new keys join their section.
    EXPECT_EQ(text.find("Beams="), text.rfind("Beams="));
    EXPECT_LT(text.find("Beams=240"), text.find("[Custom]"));
    EXPECT_LT(text.find("Sleep Time=0"), text.find("[Sonar]"));
}

TEST_F(SettingsTest, AFolderWithALineBreakCannotAddLinesToTheFile) {
    Write(
        "[System]\nIPAddress_Sonar1=127.0.0.1\nIPAddress_Output1=127.0.0.1\nRead File Directory=/data/in/\n");
    auto doc = Load();
    doc->EditSettings([](Settings& s) { s.system.readFolder = "/data/x\r\n[Sonar]\nBeams=240\n/"; });
    doc->SaveSettings(SaveGroup::Other);
    const std::string text = ReadFile(path);
    EXPECT_EQ(text.find("[Sonar]"), text.rfind("[Sonar]"));
    EXPECT_EQ(Load()->GetSettings().system.readFolder, "/data/in/");
}

TEST_F(SettingsTest, HeadSettingsAreNotWrittenDuringPlayback) {
    Write("[Sonar]\nNumber of Samples=500\n");
    auto doc = Load();
    doc->EditSettings([](Settings& s) { s.sonar.samples = 1000; });
    // Played once through: opening it saves nothing either.
    test::WriteFile((folder / "played.R96").string(), test::MakeRawRecord(64, 0));
    ASSERT_TRUE(doc->OpenPlayback((folder / "played.R96").string(), true));
    doc->SaveSettings(SaveGroup::Head);
    EXPECT_EQ(ReadFile(path), "[Sonar]\nNumber of Samples=500\n");
}

TEST_F(SettingsTest, FailedSaveLeavesTheOldFileWhole) {
    const std::string original = "[System]\nIPAddress_Sonar1=127.0.0.1\nIPAddress_Output1=127.0.0.1\n";
    Write(original);
    auto doc = Load();
    // A file-size limit makes every write past a few bytes fail, as a full disk would, and
    // works even for a privileged user.
    std::signal(SIGXFSZ, SIG_IGN);
    rlimit old{};
    ASSERT_EQ(getrlimit(RLIMIT_FSIZE, &old), 0);
    rlimit small = old;
    small.rlim_cur = 16;
    ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &small), 0);
    doc->SaveSettings(SaveGroup::Other);
    setrlimit(RLIMIT_FSIZE, &old);
    EXPECT_EQ(ReadFile(path), original);
    std::size_t files = 0;
    for ([[maybe_unused]] const auto& entry : fs::directory_iterator(folder)) {
        ++files;
    }
    EXPECT_EQ(files, 1u) << "no temporary file is left behind";
}

TEST_F(SettingsTest, SaveIntoAMissingFolderFailsQuietly) {
    auto doc = Load(folder / "gone" / "Vexar.INI");
    doc->SaveSettings(SaveGroup::Other);
    EXPECT_FALSE(fs::exists(folder / "gone"));
}

TEST_F(SettingsTest, GarbageLoadsDefaultsAndNeverCrashes) {
    std::string garbage;
    for (int i = 0; i < 5000; ++i) {
        garbage.push_back(static_cast<char>((i * 131 + 7) % 256));
    }
    garbage += "\n[Sonar]\nBeams=\xff\xfe\nAverage=\0\0\n";
    Write(garbage);
    auto doc = Load();
    EXPECT_EQ(doc->Shown().Settings().beams, 120);
    EXPECT_EQ(doc->GetSettings().system.outputPort, ParseInt(SettingOf("RemotePort_Output1").fallback));
}

TEST(ProfileFile, ValuesAreTrimmedUnquotedAndBounded) {
    CProfileFile ini;
    ini.SetText("[A]\nkey =  \"quoted value\"  \nlong=" + std::string(5000, 'x') + "\n[b]\nK=1\n");
    EXPECT_EQ(ini.GetString("A", "KEY", "d"), "quoted value");
    EXPECT_EQ(ini.GetString("A", "long", "d").size(), kProfileValueMax);
    EXPECT_EQ(ini.GetString("B", "k", "d"), "1");
    EXPECT_EQ(ini.GetString("A", "missing", "fallback"), "fallback");
    EXPECT_EQ(ini.GetString("Missing", "key", "fallback"), "fallback");
}

TEST(ProfileFile, AFileThatCannotBeReadLoadsNothingAndSaysSo) {
    test::RecordingFolder folder;
    CProfileFile ini;
    ini.SetText("[A]\nkey=1\n");
    EXPECT_FALSE(ini.Load(folder.Folder())); // opens, but gives no bytes
    EXPECT_EQ(ini.GetString("A", "key", "none"), "none");
    EXPECT_FALSE(ini.Load(folder / "missing.INI"));
}

TEST(ProfileFile, NumbersConvertLikeTheCLibrary) {
    EXPECT_EQ(ParseInt("  42abc"), 42);
    EXPECT_EQ(ParseInt("-17"), -17);
    EXPECT_EQ(ParseInt("abc"), 0);
    EXPECT_EQ(ParseInt(""), 0);
    EXPECT_EQ(ParseInt("99999999999999999999"), std::numeric_limits<int>::max());
    EXPECT_DOUBLE_EQ(ParseDouble("1480.5 m/s"), 1480.5);
    EXPECT_DOUBLE_EQ(ParseDouble("x1"), 0.0);
}

TEST(ProfileFile, HeadAddressesWithAndWithoutAPort) {
    std::string host = "unchanged";
    std::uint16_t port = 4040;
    EXPECT_TRUE(ParseHostAndPort("127.0.0.1", host, port));
    EXPECT_EQ(host + ":" + std::to_string(port), "127.0.0.1:4040");
    EXPECT_TRUE(ParseHostAndPort("127.0.0.1:47001", host, port));
    EXPECT_EQ(port, 47001);
    for (const char* bad : {"", ":4040", "127.0.0.1:", "127.0.0.1:0", "127.0.0.1:65536", "127.0.0.1:40x"}) {
        EXPECT_FALSE(ParseHostAndPort(bad, host, port)) << bad;
    }
    EXPECT_EQ(host + ":" + std::to_string(port), "127.0.0.1:47001");
}

} // namespace
} // namespace vexar
