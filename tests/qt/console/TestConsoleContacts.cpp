// Contacts in the console: marked at the pointer on a played ping with a fix and written beside
// the recording with their picture, deleted and brought back in the file too, read again when the
// recording is played again; in North Up marked at their true bearing and drawn under the pointer;
// refused without a picture; a contacts file that is not one is left
// as it is while the recording plays.

#include "ConsoleFixture.h"

#include "app/CContactsController.h"
#include "app/CContactsWindow.h"
#include "app/CMOndrelView.h"
#include "app/ConsoleCommands.h"
#include "app/ContactDocument.h"
#include "contacts/file/ContactFile.h"
#include "display/PictureOrientation.h"

#include <QApplication>
#include <QTableView>
#include <QTest>

#include <fstream>
#include <iterator>

namespace vexar::test {
namespace {

class ContactsTest : public ConsoleTest {
protected:
    std::string Recording() const { return m_folder.filePath(QStringLiteral("nav.R96")).toStdString(); }
    std::string ContactsFile() const {
        return m_folder.filePath(QStringLiteral("nav.contacts.gpkg")).toStdString();
    }
    /// Plays one ping whose sentence puts the vehicle at 2.5 N 3 E heading 30 degrees.
    void PlayPingWithFix() {
        WriteFile(Recording(),
                  MakeRawRecord(
                      64, 0, "$AULOG,2;30.0,N,3;0.0,E,,-10.0,,30.0,0.0,0.0,0.0,,,0,0,0,0,0.00,1/1/2026,*"));
        ASSERT_TRUE(m_doc->OpenPlayback(Recording()));
        ASSERT_EQ(m_doc->Playback().Step(), StepResult::Ping);
        m_frame->View()->OnUpdate();
        m_frame->View()->repaint();
    }
    CContactsController& Contacts() { return m_frame->Contacts(); }
    /// Waits for the chips on their way and the writes.
    void Settle() { Contacts().FlushWrites(); }
};

TEST_F(ContactsTest, MarkedAtThePointerAndKeptBesideTheRecording) {
    PlayPingWithFix();
    CMOndrelView& view = *m_frame->View();
    const PointerContext context = view.Context();
    // 100 pixels to the right of the vehicle: to starboard, so 120 degrees from north.
    view.PointerMovedTo(CViewPointer::CentreX(context) + 100, CViewPointer::CentreY(context));
    m_frame->OnCommand(kCmdMarkContact);
    ASSERT_EQ(Contacts().List().All().size(), 1u)
        << (m_operator.m_messages.empty() ? "" : m_operator.m_messages[0]);
    const Contact& contact = Contacts().List().All()[0];
    EXPECT_TRUE(contact.bearingFromNorth);
    EXPECT_NEAR(contact.bearingDeg, 120.0f, 0.5f);
    ASSERT_TRUE(contact.position.has_value());
    EXPECT_EQ(contact.position->epsg, 32631);
    EXPECT_EQ(contact.recording, Recording());
    Settle();
    contacts::ContactFileRead read = contacts::ReadContactFile(ContactsFile());
    ASSERT_TRUE(read.ok) << read.error;
    ASSERT_EQ(read.contacts.size(), 1u);
    EXPECT_FALSE(read.contacts[0].chipPng.empty());

    Contacts().Delete(1);
    Settle();
    EXPECT_TRUE(contacts::ReadContactFile(ContactsFile()).contacts.empty());
    Contacts().UndoDelete();
    Contacts().SetNote(1, "mooring block");
    Settle();
    m_doc->OnRealTime();
    EXPECT_TRUE(Contacts().List().Empty());
    ASSERT_TRUE(m_doc->OpenPlayback(Recording()));
    ASSERT_EQ(Contacts().List().All().size(), 1u);
    EXPECT_EQ(Contacts().List().All()[0].note, "mooring block");
    EXPECT_TRUE(m_operator.m_messages.empty());
}

TEST_F(ContactsTest, NorthUpMarksTrueBearingsAndPlacesTheMarkerUnderThePointer) {
    m_doc->EditSettings([](Settings& s) {
        s.view.orientation = ViewOrientation::NorthUp;
        s.mounting.plane = HeadPlane::Level;
    });
    PlayPingWithFix();
    CMOndrelView& view = *m_frame->View();
    const PointerContext context = view.Context();
    const int x = CViewPointer::CentreX(context) + 100;
    const int y = CViewPointer::CentreY(context);
    // North is at the top: to the right of the vehicle is east, whatever the heading.
    view.PointerMovedTo(x, y);
    m_frame->OnCommand(kCmdMarkContact);
    ASSERT_EQ(Contacts().List().All().size(), 1u);
    const Contact& contact = Contacts().List().All()[0];
    EXPECT_NEAR(contact.bearingDeg, 90.0f, 1.0f);
    const ContactMarkers markers = contact_doc::MarkersOf(*m_doc, Contacts().List().All(), 0);
    const MarkerScreen screen =
        MarkerScreenPlace(markers[0].point, contact_doc::FrameOf(*m_doc, view.Picture()));
    EXPECT_TRUE(screen.inside);
    EXPECT_NEAR(screen.x, x, 2.0);
    EXPECT_NEAR(screen.y, y, 2.0);
    Settle();
}

TEST_F(ContactsTest, DeleteAndCtrlZInTheListDeleteAndBringBack) {
    PlayPingWithFix();
    CMOndrelView& view = *m_frame->View();
    const PointerContext context = view.Context();
    view.PointerMovedTo(CViewPointer::CentreX(context) + 100, CViewPointer::CentreY(context));
    m_frame->OnCommand(kCmdMarkContact);
    m_frame->OnCommand(kCmdContactsWindow);
    QTableView& table = *m_frame->ContactsWindow()->Table();
    m_frame->show();
    m_frame->activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(m_frame.get()));
    table.setFocus();
    QTest::keyClick(&table, Qt::Key_Delete);
    EXPECT_TRUE(Contacts().List().Empty());
    QTest::keyClick(&table, Qt::Key_Z, Qt::ControlModifier);
    EXPECT_EQ(Contacts().List().All().size(), 1u);
    Settle();
}

TEST_F(ContactsTest, RefusedWithoutAPicture) {
    m_frame->View()->PointerMovedTo(300, 300);
    m_frame->OnCommand(kCmdMarkContact);
    EXPECT_TRUE(Contacts().List().Empty());
    ASSERT_EQ(m_operator.m_messages.size(), 1u);
    EXPECT_EQ(m_operator.m_messages[0], "There is no sonar picture to mark a contact on.");
}

TEST_F(ContactsTest, AContactsFileThatIsNotOneIsLeftAsItIs) {
    const std::string junk = "not a GeoPackage at all\n";
    std::ofstream(ContactsFile(), std::ios::binary) << junk;
    PlayPingWithFix();
    ASSERT_EQ(m_operator.m_messages.size(), 1u);
    EXPECT_NE(m_operator.m_messages[0].find(ContactsFile()), std::string::npos);
    const PointerContext context = m_frame->View()->Context();
    m_frame->View()->PointerMovedTo(CViewPointer::CentreX(context), CViewPointer::CentreY(context) - 50);
    m_frame->OnCommand(kCmdMarkContact);
    EXPECT_EQ(Contacts().List().All().size(), 1u);
    Settle();
    std::ifstream in(ContactsFile(), std::ios::binary);
    EXPECT_EQ(std::string(std::istreambuf_iterator<char>(in), {}), junk);
}

} // namespace
} // namespace vexar::test
