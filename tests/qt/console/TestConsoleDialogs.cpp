// Formats and limits of the dialogs: diagnostics, settings, sound velocity, ping delay, data
// output and navigation input.

#include "ConsoleFixture.h"

#include "app/CDataOutputDlg.h"
#include "app/CDiagDlg.h"
#include "app/CNavInputDlg.h"
#include "app/CPingDelayDlg.h"
#include "app/CSVInputDlg.h"
#include "app/CSettingsDlg.h"
#include "app/CUpDown.h"
#include "files/RecordHeader.h"
#include "output/DataOutput.h"

#include <QAbstractButton>
#include <QButtonGroup>
#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QRadioButton>
#include <QSpinBox>

namespace vexar::test {
namespace {

using DialogTest = ConsoleTest;

TEST_F(DialogTest, DiagnosticsBeforeTheFirstReply) {
    CDiagDlg& diag = *m_frame->DiagDlg();
    EXPECT_FALSE(diag.isVisible());
    EXPECT_EQ(diag.windowTitle(), QStringLiteral("Dialog"));
    EXPECT_EQ(diag.ValueText(1000), QStringLiteral(":   n/a"));
    EXPECT_EQ(diag.ValueText(1023), QStringLiteral(":   No"));

    // Hidden, nothing is rewritten.
    m_doc->ProcessPing();
    EXPECT_EQ(diag.ValueText(1001), QStringLiteral(":   n/a"));

    m_frame->OnCommand(kCmdDiagnostics);
    ASSERT_TRUE(diag.isVisible());
    m_doc->ProcessPing();
    EXPECT_EQ(diag.ValueText(1000), QStringLiteral(":   "));
    EXPECT_EQ(diag.ValueText(1001), QStringLiteral(":   0x10"));
    EXPECT_EQ(diag.ValueText(1002), QStringLiteral(":   0x00 "));
    EXPECT_EQ(diag.ValueText(1017), QStringLiteral(":   0x01 "));
    EXPECT_EQ(diag.ValueText(1007), QStringLiteral(":   127.0.0.1"));
    EXPECT_EQ(diag.ValueText(1090), QStringLiteral(":   n/a"));

    m_doc->EditSettings([](Settings& s) { s.view.unit = DistanceUnit::Imperial; });
    const std::pair<float, const char*> ranges[] = {
        {10.0f, ":   30 ft"}, {2.5f, ":   7.5 ft"}, {1.25f, ":   3.75 ft"}};
    for (const auto& [range, text] : ranges) {
        m_doc->EditSettings([range](Settings& s) { s.sonar.rangeM = range; });
        diag.UpdateDiagnostics();
        EXPECT_EQ(diag.ValueText(1003), QString::fromLatin1(text));
    }
    m_doc->EditSettings([](Settings& s) {
        s.sonar.baseFrequencyKHz = 675;
        s.sonar.frequencyStep = -3;
    });
    diag.UpdateDiagnostics();
    EXPECT_EQ(diag.ValueText(1005), QStringLiteral(":   673.5 kHz"));

    m_frame->OnCommand(kCmdDiagnostics);
    EXPECT_FALSE(diag.isVisible());
    EXPECT_FALSE(m_frame->DiagnosticsShown());

    m_frame->OnCommand(kCmdDiagnostics);
    diag.close(); // by its frame
    EXPECT_FALSE(m_frame->DiagnosticsShown());
}

TEST_F(DialogTest, SettingsDialogListsTextsAndEnables) {
    CSettingsDlg& settings = *m_frame->SettingsDlg();
    m_frame->OnCommand(kCmdSettings);
    ASSERT_TRUE(settings.isVisible());
    ASSERT_EQ(settings.m_beamWidth->count(), 3);
    EXPECT_EQ(settings.m_beamWidth->itemText(1), QStringLiteral("Nomal"));
    EXPECT_EQ(settings.m_beams->currentText(), QStringLiteral("1440"));
    EXPECT_EQ(settings.m_points->currentText(), QStringLiteral("1000"));

    m_doc->EditSettings([](Settings& s) { s.sonar.average = 5; });
    m_doc->ProcessPing(); // refreshed after every ping while visible
    EXPECT_EQ(settings.m_averaging->currentText(), QStringLiteral("5 shots"));
    m_doc->EditSettings([](Settings& s) { s.sonar.average = 1; });
    m_doc->ProcessPing();
    EXPECT_EQ(settings.m_averaging->currentText(), QStringLiteral("OFF"));

    // Pulse length from range and multiplier.
    const struct {
        int rangeIndex;
        float multiplier;
        const char* text;
    } pulses[] = {{4, 1.0f, "120 us"}, {1, 2.0f, "40 us"}, {0, 1.0f, "10 us"}};
    for (const auto& pulse : pulses) {
        m_doc->EditSettings([&pulse](Settings& s) {
            s.sonar.rangeIndex = pulse.rangeIndex;
            s.sonar.rangeM = kRangeTable[static_cast<std::size_t>(pulse.rangeIndex)];
            s.sonar.pulseLengthMultiplier = pulse.multiplier;
        });
        settings.RefreshSettingsDialog();
        EXPECT_EQ(settings.m_pulseLength.edit->text(), QString::fromLatin1(pulse.text));
    }

    // The range spin stops at 20 m and refreshes the control bar.
    m_doc->EditSettings([](Settings& s) {
        s.sonar.rangeIndex = 3;
        s.sonar.rangeM = 10.0f;
    });
    settings.m_range.spin->Click(+1);
    settings.m_range.spin->Click(+1);
    EXPECT_EQ(settings.m_range.edit->text(), QStringLiteral("20 m"));

    // Choosing "500" raises a multiplier of 0.5 to 1.0.
    m_doc->EditSettings([](Settings& s) { s.sonar.pulseLengthMultiplier = 0.5f; });
    settings.m_points->activated(0);
    EXPECT_EQ(m_doc->Shown().Settings().samples, 500);
    EXPECT_EQ(settings.m_multiplier.edit->text(), QStringLiteral("1.0"));

    EXPECT_FALSE(settings.m_persistence.spin->isEnabled());
    EXPECT_FALSE(settings.m_pulseLength.spin->isEnabled());
    EXPECT_TRUE(settings.m_points->isEnabled());
    EXPECT_TRUE(settings.m_fileStartGain->text().isEmpty());
    // A played record's start gain is shown beside the setting.
    Bytes record = MakeRawRecord(64, 0);
    const std::span<std::uint8_t, kRecordHeaderSize> header(record.data(), kRecordHeaderSize);
    RecordHeaderFields fields = ReadRecordHeader(header);
    fields.systemGainDb = 7;
    RecordHeaderBytes written{};
    WriteRecordHeader(fields, written);
    std::copy(written.begin(), written.end(), header.begin());
    ASSERT_NO_FATAL_FAILURE(Play(record));
    ASSERT_EQ(m_doc->Playback().Step(), StepResult::Ping);
    settings.RefreshSettingsDialog();
    EXPECT_FALSE(settings.m_points->isEnabled());
    EXPECT_FALSE(settings.m_range.spin->isEnabled());
    EXPECT_FALSE(settings.m_frequency.edit->isEnabled());
    EXPECT_TRUE(settings.m_startGain.spin->isEnabled());
    EXPECT_EQ(settings.m_fileStartGain->text(), QStringLiteral(" (7 dB)"));

    m_frame->OnCommand(kCmdSettings);
    EXPECT_FALSE(settings.isVisible());
}

TEST_F(DialogTest, SoundVelocityIsLimitedOnOk) {
    CSVInputDlg dialog(m_frame.get());
    dialog.Load(1480.0f, 1450.0f, false, false);
    EXPECT_EQ(dialog.m_fileText->text(), QStringLiteral("n/a"));
    EXPECT_FALSE(dialog.m_useFileBox->isEnabled());
    dialog.m_spin->Click(+1);
    EXPECT_EQ(dialog.m_edit->text(), QStringLiteral("1480.1"));

    dialog.m_edit->setText(QStringLiteral("1700"));
    dialog.accept();
    EXPECT_FLOAT_EQ(dialog.Velocity(), 1600.0f);
    dialog.m_edit->setText(QStringLiteral("fast"));
    dialog.accept();
    EXPECT_FLOAT_EQ(dialog.Velocity(), 1400.0f);

    dialog.Load(1480.0f, 1450.0f, true, true);
    EXPECT_EQ(dialog.m_fileText->text(), QStringLiteral("(1450.0 m/s)"));
    EXPECT_TRUE(dialog.m_useFileBox->isEnabled());
    EXPECT_TRUE(dialog.m_useFileBox->isChecked());
}

TEST_F(DialogTest, PingDelayIsLimitedOnOk) {
    CPingDelayDlg dialog(250, m_frame.get());
    EXPECT_EQ(dialog.m_edit->text(), QStringLiteral("250"));
    dialog.m_spin->Click(-1);
    EXPECT_EQ(dialog.m_edit->text(), QStringLiteral("249"));
    dialog.m_edit->setText(QStringLiteral("7000"));
    dialog.accept();
    EXPECT_EQ(dialog.DelayMs(), 5000);
    dialog.m_edit->setText(QStringLiteral("-5"));
    dialog.accept();
    EXPECT_EQ(dialog.DelayMs(), 0);
}

// The navigation input takes a source that can be read and says why it refuses one that cannot.
TEST_F(DialogTest, NavigationInputTakesOnlyASourceThatCanBeRead) {
    struct Case {
        int source;
        const char* device;
        const char* gpsd;
        const char* error; ///< the start of the refusal, or nullptr when taken
    };
    const Case cases[] = {
        {1, "", "127.0.0.1:2947", "'serial:' needs the device"},
        {2, "/dev/ttyUSB0", "127.0.0.1:99999", "'127.0.0.1:99999' is not HOST or HOST:PORT"},
        {1, "/dev/ttyS4", "127.0.0.1:2947", nullptr},
        {2, "/dev/ttyS4", "127.0.0.1:2950", nullptr},
        {0, "", "", nullptr},
    };
    for (const Case& c : cases) {
        CNavInputDlg dialog(m_doc->GetSettings().system, m_frame.get());
        EXPECT_EQ(dialog.m_maxFixAge->value(), 2000);
        dialog.m_source->button(c.source)->click();
        EXPECT_EQ(dialog.m_device->isEnabled(), c.source == 1);
        EXPECT_EQ(dialog.m_gpsdAddress->isEnabled(), c.source == 2);
        dialog.m_device->setCurrentText(QString::fromLatin1(c.device));
        dialog.m_baud->setCurrentText(QStringLiteral("4800"));
        dialog.m_gpsdAddress->setText(QString::fromLatin1(c.gpsd));
        dialog.m_maxFixAge->setValue(1500);
        dialog.accept();
        if (c.error != nullptr) {
            EXPECT_EQ(dialog.result(), QDialog::Rejected) << c.error;
            EXPECT_TRUE(dialog.m_error->text().startsWith(QString::fromLatin1(c.error)))
                << dialog.m_error->text().toStdString();
            continue;
        }
        ASSERT_EQ(dialog.result(), QDialog::Accepted) << dialog.m_error->text().toStdString();
        const SystemSettings& chosen = dialog.Values();
        EXPECT_EQ(static_cast<int>(chosen.navSource), c.source);
        EXPECT_EQ(chosen.maxFixAgeMs, 1500);
        if (c.source == 1) {
            EXPECT_EQ(chosen.navDevice, c.device);
            EXPECT_EQ(chosen.baudRate, 4800);
        } else if (c.source == 2) {
            EXPECT_EQ(chosen.gpsdAddress, c.gpsd);
        }
    }
}

TEST(DataOutputAddress, SplitsAtDotsWithAtoiSemantics) {
    EXPECT_EQ(CDataOutputDlgModel::ParseAddress("192.168.0.23"), (std::array<int, 4>{192, 168, 0, 23}));
    EXPECT_EQ(CDataOutputDlgModel::ParseAddress("10.1.2"), (std::array<int, 4>{})); // six characters
    EXPECT_EQ(CDataOutputDlgModel::ParseAddress("10.1.2.x3"), (std::array<int, 4>{10, 1, 2, 0}));
    EXPECT_EQ(CDataOutputDlgModel::ParseAddress("300.1.2.3.4"), (std::array<int, 4>{255, 1, 2, 3}));
}

TEST_F(DialogTest, DataOutputShowsBothProductsAndKeepsThemOnOk) {
    m_doc->EditSettings([](Settings& s) {
        s.system.udpOutputPoint = 1;
        s.system.udpOutputBeam = 1;
    });
    CDataOutputDlg dialog(*m_doc, m_frame.get());
    EXPECT_EQ(dialog.m_point->text(), QStringLiteral("  P96 (Point Output)"));
    EXPECT_TRUE(dialog.m_point->isChecked());
    EXPECT_TRUE(dialog.m_beam->isChecked());
    EXPECT_FALSE(dialog.m_none->isChecked());
    EXPECT_EQ(dialog.m_octets[0]->text(), QStringLiteral("127"));
    dialog.accept();
    EXPECT_EQ(m_doc->GetSettings().system.udpOutputPoint, 1);
    EXPECT_EQ(m_doc->GetSettings().system.udpOutputBeam, 1);
    EXPECT_EQ(m_doc->GetSettings().system.outputAddress, "127.0.0.1");

    CDataOutputDlg second(*m_doc, m_frame.get());
    second.m_beam->click();
    EXPECT_FALSE(second.m_point->isChecked());
    second.m_octets[3]->setText(QStringLiteral("2"));
    second.accept();
    EXPECT_EQ(m_doc->GetSettings().system.udpOutputPoint, 0);
    EXPECT_EQ(m_doc->GetSettings().system.udpOutputBeam, 1);
    EXPECT_EQ(m_doc->GetSettings().system.outputAddress, "127.0.0.2");
}

} // namespace
} // namespace vexar::test
