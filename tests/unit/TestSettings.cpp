#include "acquisition/CTamsorDoc.h"
#include "common/TextParse.h"
#include "config/CProfileFile.h"
#include "config/SettingsTable.h"
#include "support/FakePorts.h"

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

    // A document that reads and writes the test's file without starting acquisition.
    std::unique_ptr<CTamsorDoc> Load() {
        auto doc = CTamsorDoc::Create(world.Ports());
        doc->Subscribe(world.op);
        doc->m_programFolder = folder.string() + "/";
        doc->m_settingsPath = path.string();
        doc->LoadSettings();
        return doc;
    }
    void Write(const std::string& text) { std::ofstream(path, std::ios::binary) << text; }

    test::FakeWorld world;
    fs::path folder;
    fs::path path;
};

TEST_F(SettingsTest, MissingFileGivesEveryDefault) {
    ASSERT_TRUE(EveryKeyIsSound());
    auto doc = Load();
    const COndrel& h = doc->Head(0);
    // Each value a missing file leaves, beside the key whose declared default it must be.
    const std::pair<int, const SettingKey&> numbers[] = {
        {doc->m_autoFileSize, SettingOf("Enable AutoFileSize")},
        {doc->m_outputPort, SettingOf("RemotePort_Output1")},
        {doc->m_autoFileName, SettingOf("AutoSaveFileName")},
        {doc->m_commPort, SettingOf("Comm Port")},
        {doc->m_baudRate, SettingOf("Baud Rate")},
        {doc->m_syncHeads, SettingOf("Sync Heads")},
        {doc->m_unit, SettingOf("Unit")},
        {doc->m_sleepTimeMs, SettingOf("Sleep Time")},
        {doc->m_pingDelayMs, SettingOf("Ping Delay")},
        {doc->m_useFileSlc, SettingOf("UseFileSLC")},
        {doc->m_udpOutputPoint, SettingOf("UdpOutputP96")},
        {doc->m_udpOutputBeam, SettingOf("UdpOutputB96")},
        {h.m_rangeIndex, SettingOf("Operating Range")},
        {h.m_displayGain, SettingOf("Display Gain")},
        {doc->m_startGain, SettingOf("Start Gain")},
        {h.m_samples, SettingOf("Number of Samples")},
        {h.m_average, SettingOf("Average")},
        {h.m_beams, SettingOf("Beams")},
        {h.m_beamWidth, SettingOf("Beam Width")},
        {h.m_persistence, SettingOf("Persistence")},
        {h.m_transducerUp, SettingOf("Transducer Up")},
        {doc->m_gyroEarthRateCorr, SettingOf("GyroEarthRateCorr")},
        {h.m_externalTriggerEnable, SettingOf("ExternalTriggerEnable")},
        {h.m_externalTriggerLevel, SettingOf("ExternalTriggerLevel")},
        {h.m_externalTransmitDelay, SettingOf("ExternalXmitDelay")},
        {h.m_profileFilterType, SettingOf("ProfileFilterType")},
        {h.m_detectProfilePoints, SettingOf("DetectProfilePoints")},
        {doc->m_profileDisplay, SettingOf("ProfileDisplay")},
        {doc->m_colorTable, SettingOf("ColorTable")},
        {doc->m_grid, SettingOf("Grid")},
        {doc->m_rangeMark, SettingOf("Range Mark")},
        {doc->m_zoomIndex, SettingOf("ZoomIndex")},
    };
    for (const auto& [value, setting] : numbers) {
        EXPECT_EQ(value, ParseInt(setting.fallback)) << setting.key;
    }
    const std::pair<float, const SettingKey&> reals[] = {
        {doc->m_soundVelocity, SettingOf("Sound Velocity")},
        {h.m_pulseLengthMultiplier, SettingOf("Pulse Length Multiplier")},
        {doc->m_azimuthOffsetDeg, SettingOf("Azimuth Offset")},
    };
    for (const auto& [value, setting] : reals) {
        EXPECT_FLOAT_EQ(value, static_cast<float>(ParseDouble(setting.fallback))) << setting.key;
    }
    EXPECT_EQ(doc->m_sonarAddress, SettingOf("IPAddress_Sonar1").fallback);
    EXPECT_EQ(doc->m_outputAddress, SettingOf("IPAddress_Output1").fallback);
    EXPECT_EQ(doc->m_readFolder, folder.string() + "/");
    EXPECT_EQ(doc->m_writeFolder, folder.string() + "/");
    // What the load derives from the defaults.
    EXPECT_FLOAT_EQ(h.m_rangeM, 20.0f);
    EXPECT_EQ(h.m_frequencyStep, 0);
    EXPECT_EQ(h.m_beamsIndex, 0);
    EXPECT_EQ(h.m_displayMode, 0); // "Polar"
    EXPECT_EQ(doc->m_imageReset, 1);
    // The load ends by copying head 0 and rebuilding every packet.
    EXPECT_EQ(doc->Head(3).m_beams, 480);
    EXPECT_EQ(doc->Head(2).m_commandPacket[3], 20);
    EXPECT_EQ(doc->Head(1).m_azimuth, 2700);
    EXPECT_EQ(world.op.m_settingsLoads, 1);
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
        EXPECT_EQ(doc->Head(0).m_rangeIndex, c.rangeIndex) << c.text;
        EXPECT_FLOAT_EQ(doc->Head(0).m_rangeM, kRangeTable[static_cast<std::size_t>(c.rangeIndex)]) << c.text;
        EXPECT_EQ(doc->Head(0).m_frequencyStep, c.step) << c.text;
        EXPECT_EQ(doc->Head(0).m_beams, c.beams) << c.text;
        EXPECT_EQ(doc->Head(0).m_beamsIndex, c.beamsIndex) << c.text;
    }
}

TEST_F(SettingsTest, SonarPortIsAPortOrElseTheHeadsOwn) {
    const std::pair<const char*, int> cases[] = {{"4141", 4141},  {"1", 1},     {"65535", 65535}, {"0", 4040},
                                                 {"65536", 4040}, {"-7", 4040}, {"many", 4040}};
    for (const auto& [text, port] : cases) {
        Write(std::string("[System]\nRemotePort_Sonar1=") + text + "\n");
        EXPECT_EQ(Load()->SonarPort(), port) << text;
    }
}

TEST_F(SettingsTest, SamplesDisplayFlagsAndTables) {
    Write(
        "[Sonar]\nNumber of Samples=1000\nDetectProfilePoints=5\n[View]\nDisplay=BeamTest\nColorTable=12\n");
    auto doc = Load();
    EXPECT_EQ(doc->Head(0).m_samples, 1000);
    EXPECT_EQ(doc->Head(0).m_detectProfilePoints, 1);
    EXPECT_EQ(doc->Head(3).m_displayMode, 2);
    EXPECT_EQ(doc->m_colorTable, 8);

    // An unknown sample count would overrun the ping buffers: it is taken as 500.
    Write("[Sonar]\nNumber of Samples=5000\n[View]\nDisplay=beams\nColorTable=-4\n");
    doc->LoadSettings();
    EXPECT_EQ(doc->Head(0).m_samples, 500);
    EXPECT_EQ(doc->Head(0).m_displayMode, 2); // lower-case b leaves the mode unchanged
    EXPECT_EQ(doc->m_colorTable, 0);
}

TEST_F(SettingsTest, EveryKeyRoundTrips) {
    Write("[System]\nIPAddress_Sonar1=127.0.0.1\nIPAddress_Output1=127.0.0.1\n");
    auto doc = Load();
    COndrel& h = doc->Head(0);
    doc->m_outputPort = 5050;
    doc->m_autoFileName = 0;
    doc->m_autoFileSize = 3;
    doc->m_commPort = 4;
    doc->m_baudRate = 9600;
    doc->m_readFolder = "/data/in/";
    doc->m_writeFolder = "/data/out/";
    doc->m_syncHeads = 0;
    doc->m_unit = 1;
    doc->m_sleepTimeMs = 150;
    doc->m_pingDelayMs = 20;
    doc->m_soundVelocity = 1502.256f;
    doc->m_useFileSlc = 1;
    doc->m_udpOutputPoint = 1;
    doc->m_udpOutputBeam = 1;
    h.m_rangeIndex = 2;
    h.m_frequencyStep = -7;
    h.m_samples = 1000;
    h.m_transducerUp = 1;
    h.m_pulseLengthMultiplier = 1.7f;
    h.m_displayGain = 77;
    doc->m_startGain = 9;
    h.m_average = 5;
    h.m_beams = 240;
    h.m_beamWidth = 1;
    h.m_persistence = 3;
    h.m_externalTriggerEnable = 1;
    h.m_externalTriggerLevel = 1;
    h.m_externalTransmitDelay = 321;
    h.m_detectProfilePoints = 1;
    h.m_profileFilterType = 2;
    doc->m_profileDisplay = 3;
    doc->m_colorTable = 5;
    doc->m_grid = 3;
    doc->m_rangeMark = 0;
    h.m_displayMode = 2;
    doc->m_zoomIndex = 2;
    doc->SaveHeadSettings();
    doc->SaveOtherSettings();

    auto back = Load();
    const COndrel& b = back->Head(0);
    EXPECT_EQ(back->m_sonarAddress, "127.0.0.1");
    EXPECT_EQ(back->m_outputAddress, "127.0.0.1");
    EXPECT_EQ(back->m_outputPort, 5050);
    EXPECT_EQ(back->m_autoFileName, 0);
    EXPECT_EQ(back->m_autoFileSize, 3);
    EXPECT_EQ(back->m_commPort, 4);
    EXPECT_EQ(back->m_baudRate, 9600);
    EXPECT_EQ(back->m_readFolder, "/data/in/");
    EXPECT_EQ(back->m_writeFolder, "/data/out/");
    EXPECT_EQ(back->m_syncHeads, 0);
    EXPECT_EQ(back->m_unit, 1);
    EXPECT_EQ(back->m_sleepTimeMs, 150);
    EXPECT_EQ(back->m_pingDelayMs, 20);
    EXPECT_FLOAT_EQ(back->m_soundVelocity, 1502.26f); // written with two decimals
    EXPECT_EQ(back->m_useFileSlc, 1);
    EXPECT_EQ(back->m_udpOutputPoint, 1);
    EXPECT_EQ(back->m_udpOutputBeam, 1);
    EXPECT_EQ(b.m_rangeIndex, 2);
    EXPECT_EQ(b.m_frequencyStep, -7);
    EXPECT_EQ(b.m_samples, 1000);
    EXPECT_EQ(b.m_transducerUp, 1);
    EXPECT_FLOAT_EQ(b.m_pulseLengthMultiplier, 1.7f);
    EXPECT_EQ(b.m_displayGain, 77);
    EXPECT_EQ(back->m_startGain, 9);
    EXPECT_EQ(b.m_average, 5);
    EXPECT_EQ(b.m_beams, 240);
    EXPECT_EQ(b.m_beamWidth, 1);
    EXPECT_EQ(b.m_persistence, 3);
    EXPECT_EQ(b.m_externalTriggerEnable, 1);
    EXPECT_EQ(b.m_externalTriggerLevel, 1);
    EXPECT_EQ(b.m_externalTransmitDelay, 321);
    EXPECT_EQ(b.m_detectProfilePoints, 1);
    EXPECT_EQ(b.m_profileFilterType, 2);
    EXPECT_EQ(back->m_profileDisplay, 3);
    EXPECT_EQ(back->m_colorTable, 5);
    EXPECT_EQ(back->m_grid, 3);
    EXPECT_EQ(back->m_rangeMark, 0);
    EXPECT_EQ(b.m_displayMode, 2);
    EXPECT_EQ(back->m_zoomIndex, 2);
    const std::string text = ReadFile(path);
    EXPECT_NE(text.find("Operating Frequency=674650\n"), std::string::npos);
    EXPECT_NE(text.find("Sound Velocity=1502.26\n"), std::string::npos);
    EXPECT_NE(text.find("Pulse Length Multiplier=1.7\n"), std::string::npos);
    EXPECT_NE(text.find("Display=BeamTest\n"), std::string::npos);
}

// Every key with a value other than its default, several in forms the load normalises or
// leaves as read, with CRLF line ends.
constexpr const char* kEveryKey =
    "[System]\r\nEnable AutoFileSize=3\r\nIPAddress_Sonar1=127.0.0.1\r\nRemotePort_Sonar1=4141\r\n"
    "IPAddress_Output1=127.0.0.1\r\n"
    "RemotePort_Output1=5050\r\nAutoSaveFileName=0\r\nComm Port=4\r\nBaud Rate=9600\r\n"
    "Read File Directory=\"/data/in/\"\r\nWrite File Directory=/data/out/\r\nSync Heads=0\r\nUnit=1\r\n"
    "Sleep Time=150 ms\r\nPing Delay=20\r\nSound Velocity=1502.256\r\nUseFileSLC=1\r\nUdpOutputP96=1\r\n"
    "UdpOutputB96=1\r\n"
    "[Sonar]\r\nOperating Range=0\r\nOperating Frequency=674651\r\nDisplay Gain=77\r\nStart Gain=9\r\n"
    "Number of Samples=1000\r\nAverage=4\r\nBeams=360\r\nBeam Width=1\r\nPersistence=5000\r\n"
    "Transducer Up=1\r\nPulse Length Multiplier=0.5\r\nAzimuth Offset=12.5\r\nGyroEarthRateCorr=0\r\n"
    "ExternalTriggerEnable=1\r\nExternalTriggerLevel=-1\r\nExternalXmitDelay=321\r\nProfileFilterType=2\r\n"
    "DetectProfilePoints=7\r\nProfileDisplay=3\r\n"
    "[View]\r\nColorTable=12\r\nDisplay=BeamTest\r\nGrid=3\r\nRange Mark=0\r\nZoomIndex=7\r\n";

// What the two saves make of it: written in place, with CRLF kept.
constexpr const char* kEveryKeySaved =
    "[System]\r\nEnable AutoFileSize=3\r\nIPAddress_Sonar1=127.0.0.1\r\nRemotePort_Sonar1=4141\r\n"
    "IPAddress_Output1=127.0.0.1\r\n"
    "RemotePort_Output1=5050\r\nAutoSaveFileName=0\r\nComm Port=4\r\nBaud Rate=9600\r\n"
    "Read File Directory=/data/in/\r\nWrite File Directory=/data/out/\r\nSync Heads=0\r\nUnit=1\r\n"
    "Sleep Time=150\r\nPing Delay=20\r\nSound Velocity=1502.26\r\nUseFileSLC=1\r\nUdpOutputP96=1\r\n"
    "UdpOutputB96=1\r\n"
    "[Sonar]\r\nOperating Range=1\r\nOperating Frequency=674700\r\nDisplay Gain=77\r\nStart Gain=9\r\n"
    "Number of Samples=1000\r\nAverage=4\r\nBeams=120\r\nBeam Width=1\r\nPersistence=5000\r\n"
    "Transducer Up=1\r\nPulse Length Multiplier=0.5\r\nAzimuth Offset=12.5\r\nGyroEarthRateCorr=0\r\n"
    "ExternalTriggerEnable=1\r\nExternalTriggerLevel=-1\r\nExternalXmitDelay=321\r\nProfileFilterType=2\r\n"
    "DetectProfilePoints=1\r\nProfileDisplay=3\r\n"
    "[View]\r\nColorTable=8\r\nDisplay=BeamTest\r\nGrid=3\r\nRange Mark=0\r\nZoomIndex=7\r\n";

// The same values saved onto an empty file: every key in the order the saves write them.
constexpr const char* kEveryKeyFresh =
    "[System]\nSound Velocity=1502.26\nIPAddress_Sonar1=127.0.0.1\nRemotePort_Sonar1=4141\n"
    "IPAddress_Output1=127.0.0.1\n"
    "RemotePort_Output1=5050\nAutoSaveFileName=0\nEnable AutoFileSize=3\nComm Port=4\nBaud Rate=9600\n"
    "Read File Directory=/data/in/\nWrite File Directory=/data/out/\nSync Heads=0\nUnit=1\nSleep Time=150\n"
    "Ping Delay=20\nUseFileSLC=1\nUdpOutputP96=1\nUdpOutputB96=1\n"
    "[Sonar]\nOperating Range=1\nOperating Frequency=674700\nNumber of Samples=1000\nTransducer Up=1\n"
    "Pulse Length Multiplier=0.5\nDisplay Gain=77\nStart Gain=9\nAverage=4\nBeams=120\nBeam Width=1\n"
    "Persistence=5000\nExternalTriggerEnable=1\nExternalTriggerLevel=-1\nExternalXmitDelay=321\n"
    "DetectProfilePoints=1\nProfileFilterType=2\nProfileDisplay=3\n"
    "[View]\nColorTable=8\nGrid=3\nRange Mark=0\nDisplay=BeamTest\nZoomIndex=7\n";

TEST_F(SettingsTest, EveryKeyIsWrittenBackByteForByte) {
    Write(kEveryKey);
    auto doc = Load();
    doc->SaveHeadSettings();
    doc->SaveOtherSettings();
    EXPECT_EQ(ReadFile(path), kEveryKeySaved);

    // Onto an empty file the keys arrive in the order the two saves write them.
    doc->m_settingsPath = (folder / "New.INI").string();
    doc->SaveHeadSettings();
    doc->SaveOtherSettings();
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
        EXPECT_FLOAT_EQ(doc->m_azimuthOffsetDeg, 12.5f);
        EXPECT_EQ(doc->m_gyroEarthRateCorr, 0);
        EXPECT_EQ(doc->Head(0).m_azimuth, -125);
        doc->SaveHeadSettings();
        doc->SaveOtherSettings();
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
    doc->m_readFolder = "/data/x\r\n[Sonar]\nBeams=240\n/";
    doc->SaveOtherSettings();
    const std::string text = ReadFile(path);
    EXPECT_EQ(text.find("[Sonar]"), text.rfind("[Sonar]"));
    EXPECT_EQ(Load()->m_readFolder, "/data/in/");
}

TEST_F(SettingsTest, HeadSettingsAreNotWrittenDuringPlayback) {
    Write("[Sonar]\nNumber of Samples=500\n");
    auto doc = Load();
    doc->Head(0).m_samples = 1000;
    doc->m_playback = 1;
    doc->SaveHeadSettings();
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
    doc->SaveOtherSettings();
    setrlimit(RLIMIT_FSIZE, &old);
    EXPECT_EQ(ReadFile(path), original);
    std::size_t files = 0;
    for ([[maybe_unused]] const auto& entry : fs::directory_iterator(folder)) {
        ++files;
    }
    EXPECT_EQ(files, 1u) << "no temporary file is left behind";
}

TEST_F(SettingsTest, SaveIntoAMissingFolderFailsQuietly) {
    auto doc = Load();
    doc->m_settingsPath = (folder / "gone" / "Vexar.INI").string();
    doc->SaveOtherSettings();
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
    EXPECT_EQ(doc->Head(0).m_beams, 120);
    EXPECT_EQ(doc->m_outputPort, ParseInt(SettingOf("RemotePort_Output1").fallback));
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
