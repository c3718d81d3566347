#pragma once
// A console as the operator sees it: the real main frame, view and dialogs around a document whose
// timers, clock and link are fakes. The settings file points the sonar and the output at
// 127.0.0.1; messages for the operator are recorded instead of shown.

#include "acquisition/CTamsorDoc.h"
#include "app/CMainFrame.h"
#include "app/QtOperatorPort.h"
#include "support/FakePorts.h"
#include "support/RecordingFixture.h"

#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <fstream>
#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace vexar::test {

/// The console's operator port with message boxes recorded instead of shown.
class RecordingOperatorPort : public QtOperatorPort {
public:
    void ShowMessage(const std::string& text, MessageIcon icon) override {
        m_messages.push_back(text);
        m_icons.push_back(icon);
    }
    bool AskYesNo(const std::string& text) override {
        m_questions.push_back(text);
        return m_answerYes;
    }
    std::vector<std::string> m_messages;
    std::vector<MessageIcon> m_icons;
    std::vector<std::string> m_questions;
    bool m_answerYes = true;
};

class ConsoleTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(m_folder.isValid());
        const std::string settings = m_folder.filePath(QStringLiteral("Vexar.INI")).toStdString();
        std::ofstream(settings) << "[System]\nIPAddress_Sonar1=127.0.0.1\nIPAddress_Output1=127.0.0.1\n"
                                   "RemotePort_Output1=4041\n[Sonar]\nOperating Range=3\n"
                                   "Number of Samples=1000\nBeams=480\nDetectProfilePoints=1\n"
                                   "[View]\nDisplay=Polar\n"
                                << m_extraSettings;
        m_world.link.m_clock = &m_world.clock; // a wait for a silent head takes its time
        DocumentPorts ports = m_world.Ports();
        ports.operatorPort = &m_operator;
        m_doc = std::make_unique<CTamsorDoc>(ports);
        m_frame = std::make_unique<CMainFrame>(*m_doc, &m_operator);
        m_operator.SetFrame(m_frame.get());
        m_frame->CreateView();
        ASSERT_TRUE(m_doc->OnNewDocument(m_folder.path().toStdString() + "/", settings));
        ASSERT_EQ(m_doc->GetSettings().system.sonarAddress, "127.0.0.1");
        ASSERT_EQ(m_doc->GetSettings().system.outputAddress, "127.0.0.1");
        m_frame->move(0, 0);
        m_frame->resize(1280, 1024);
        m_frame->ArrangeBars();
        m_frame->show();
    }

    void TearDown() override {
        m_operator.SetFrame(nullptr);
        m_frame.reset();
    }

    /// Writes `record` into the folder and plays it (no record is played before a step).
    void Play(const Bytes& record, const char* name = "played.R96") {
        const std::string path = m_folder.filePath(QString::fromLatin1(name)).toStdString();
        WriteFile(path, record);
        ASSERT_TRUE(m_doc->OpenPlayback(path));
    }

    /// The fake head answers every request from now on (`answer` false: it falls silent).
    void AnswerPings(bool answer = true) {
        if (!answer) {
            m_world.link.m_responder = [](const Bytes&) { return Bytes(); };
            return;
        }
        m_world.link.m_responder = [this](const Bytes& packet) {
            if (packet.size() > kPacketBlockByte && packet[kPacketBlockByte] == 0) {
                ++m_pingNumber;
            }
            return MakeReply(packet, m_pingNumber, 7);
        };
    }

    /// Fires the fake timers, the link's steps among them, until `done`; false when it never is.
    bool RunTimersUntil(const std::function<bool()>& done, int limit = 20000) {
        for (int fired = 0; fired < limit && !done(); ++fired) {
            if (!m_world.timers.FireNext([this](int id) { m_doc->OnTimer(id); })) {
                return false;
            }
        }
        return done();
    }

    std::string m_extraSettings;
    QTemporaryDir m_folder;
    FakeWorld m_world;
    RecordingOperatorPort m_operator;
    std::unique_ptr<CTamsorDoc> m_doc;
    std::unique_ptr<CMainFrame> m_frame;
    int m_pingNumber = -1;
};

} // namespace vexar::test
