// The view's pointer: readout in the info panel, panning, measuring across zoom and resize, and
// the typed keys.

#include "ConsoleFixture.h"

#include "app/CChildFrame.h"
#include "app/CInfoPanel.h"
#include "app/CMOndrelView.h"

#include <QLabel>
#include <QMdiSubWindow>
#include <QMenu>
#include <QTest>

#include <cmath>

namespace vexar::test {
namespace {

class ViewTest : public ConsoleTest {
protected:
    CMOndrelView& View() { return *m_frame->View(); }
    QString Bearing() { return m_frame->InfoPanel()->First()->Pane(3)->text(); }
    QString Range() { return m_frame->InfoPanel()->Second()->Pane(3)->text(); }
    QPoint Centre() {
        const PointerContext context = View().Context();
        return {CViewPointer::CentreX(context), CViewPointer::CentreY(context)};
    }
    float ZoomFactor() { return View().Picture().ZoomFactor(); }
};

TEST_F(ViewTest, ChildFrameIsMaximisedWithTheDocumentTitle) {
    EXPECT_TRUE(m_frame->ChildFrame()->isMaximized());
    EXPECT_EQ(m_frame->ChildFrame()->windowTitle(), QStringLiteral("Real Time"));
}

TEST_F(ViewTest, BearingReadsClockwiseFromTheTop) {
    const QPoint c = Centre();
    View().PointerMovedTo(c.x(), c.y());
    EXPECT_EQ(Bearing(), QStringLiteral("90.0 deg."));
    EXPECT_EQ(Range(), QStringLiteral("0.00 m"));
    View().PointerMovedTo(c.x(), c.y() - 100);
    EXPECT_EQ(Bearing(), QStringLiteral("0.0 deg."));
    View().PointerMovedTo(c.x() - 100, c.y());
    EXPECT_EQ(Bearing(), QStringLiteral("270.0 deg."));
    View().PointerMovedTo(c.x(), c.y() + 100);
    EXPECT_EQ(Bearing(), QStringLiteral("180.0 deg."));
    // 10 m over 1000 points at zoom 1 and 1480 m/s: 100 pixels are 1500/1480 of a metre less.
    EXPECT_NEAR(View().Readout().rangeM, 1.0f * 1480.0f / 1500.0f, 1e-4f);
    m_frame->OnCommand(kCmdUnitsImperial);
    View().PointerMovedTo(c.x(), c.y() + 100);
    EXPECT_EQ(Range(), QString::asprintf("%.2f ft", static_cast<double>(View().Readout().rangeM) / 0.3048));
}

TEST_F(ViewTest, DraggingPansButNotInFillScreen) {
    const QPoint start = Centre();
    QTest::mousePress(&View(), Qt::LeftButton, {}, start);
    QTest::mouseMove(&View(), start + QPoint(30, 20));
    QTest::mouseRelease(&View(), Qt::LeftButton, {}, start + QPoint(30, 20));
    EXPECT_EQ(View().Picture().PanX(), -30);
    EXPECT_EQ(View().Picture().PanY(), -20);

    m_frame->OnCommand(kCmdZoomFill);
    EXPECT_EQ(View().Picture().PanX(), 0);
    QTest::mousePress(&View(), Qt::LeftButton, {}, start);
    QTest::mouseMove(&View(), start + QPoint(30, 20));
    QTest::mouseRelease(&View(), Qt::LeftButton, {}, start + QPoint(30, 20));
    EXPECT_EQ(View().Picture().PanX(), 0);
    EXPECT_EQ(View().Picture().PanY(), 0);
}

TEST_F(ViewTest, MeasuredDistanceStaysAcrossZoomAndResize) {
    m_frame->OnCommand(kCmdZoom50);
    m_doc->ProcessPing(); // the picture takes the zoom at the next ping
    View().OnUpdate();
    m_frame->OnCommand(kCmdMeasure);
    const QPoint a = Centre() + QPoint(-100, 0);
    const QPoint b = Centre() + QPoint(200, 40);
    QTest::mouseClick(&View(), Qt::LeftButton, {}, a);
    View().PointerMovedTo(b.x(), b.y());
    QTest::mouseClick(&View(), Qt::LeftButton, {}, b);
    const float distance = View().Pointer().DistanceM(ZoomFactor());
    // 10 m over 500 pixels of radius at 50 %, sound velocity 1480 m/s.
    const float expected = std::hypot(300.0f, 40.0f) * 10.0f / 500.0f * 1480.0f / 1500.0f;
    EXPECT_NEAR(distance, expected, 0.02f);

    m_frame->OnCommand(kCmdZoom100);
    m_doc->ProcessPing();
    QApplication::processEvents(); // the picture follows the processed ping in the next turn
    EXPECT_FLOAT_EQ(ZoomFactor(), 1.0f);
    EXPECT_NEAR(View().Pointer().DistanceM(ZoomFactor()), distance, 1e-3f);
    // The points follow the picture: A is now twice as far from the centre.
    EXPECT_EQ(View().Pointer().Measure().m_a.x, Centre().x() - 200);

    m_frame->resize(900, 700);
    QApplication::processEvents();
    EXPECT_NEAR(View().Pointer().DistanceM(ZoomFactor()), distance, 1e-3f);
    EXPECT_EQ(View().Pointer().Measure().m_a.x, Centre().x() - 200);

    // The third click ends measuring.
    QTest::mouseClick(&View(), Qt::LeftButton, {}, b);
    EXPECT_FALSE(View().IsMeasuring());
    EXPECT_FALSE(View().Pointer().Measure().m_active);
}

TEST_F(ViewTest, AColourTableFromTheMenuIsDrawnAtOnce) {
    m_frame->OnCommand(kCmdColorTable3);
    EXPECT_EQ(&View().Picture().CurrentColorTable(), &View().Picture().ColorTables()[3]);
}

TEST_F(ViewTest, RightButtonOpensTheFileMenu) {
    QTest::mouseClick(&View(), Qt::RightButton, {}, QPoint(100, 100));
    EXPECT_TRUE(m_frame->FileMenu()->isVisible());
    m_frame->FileMenu()->close();
    EXPECT_EQ(View().cursor().shape(), Qt::BitmapCursor); // the drawn cross-hair
}

TEST_F(ViewTest, TypedKeysCycleTheZoom) {
    View().setFocus();
    const std::uint64_t geometry = m_doc->Shown().GeometryVersion();
    QTest::keyClick(&View(), Qt::Key_Z);
    EXPECT_EQ(m_doc->GetSettings().view.zoomIndex, 1);
    EXPECT_NE(m_doc->Shown().GeometryVersion(), geometry);
    QTest::keyClick(&View(), Qt::Key_Z);
    QTest::keyClick(&View(), Qt::Key_Z);
    EXPECT_EQ(m_doc->GetSettings().view.zoomIndex, 0);
}

TEST_F(ViewTest, PointerKeysMoveThePointerOnePixel) {
    const QPoint c = Centre();
    QCursor::setPos(View().mapToGlobal(c));
    if (QCursor::pos() != View().mapToGlobal(c)) {
        GTEST_SKIP() << "the platform cannot move the pointer";
    }
    m_frame->OnCommand(kCmdPointerUp);
    EXPECT_EQ(Bearing(), QStringLiteral("0.0 deg."));
    m_frame->OnCommand(kCmdPointerDown);
    m_frame->OnCommand(kCmdPointerLeft);
    EXPECT_EQ(Bearing(), QStringLiteral("270.0 deg."));
}

} // namespace
} // namespace vexar::test
