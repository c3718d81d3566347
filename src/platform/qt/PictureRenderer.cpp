#include "platform/qt/PictureRenderer.h"

#include "acquisition/CTamsorDoc.h"
#include "display/CMeasureState.h"
#include "display/CPictureModel.h"
#include "display/OverlayLayout.h"

#include <QFontMetrics>
#include <QPainter>
#include <QPen>

#include <algorithm>
#include <array>
#include <cmath>

namespace vexar {

namespace {

using namespace overlay_colors;

std::array<QRgb, 256> Palette(const ColorTable& table) {
    std::array<QRgb, 256> palette{};
    for (std::size_t i = 0; i < palette.size(); ++i) {
        palette[i] = qRgb(table[i].red, table[i].green, table[i].blue);
    }
    return palette;
}

// Copies a width x height byte picture to `target` with its top-left corner at (left, top),
// clipped to the target.
void BlitIndexed(QImage& target, const std::uint8_t* source, int width, int height, int left, int top,
                 const std::array<QRgb, 256>& palette) {
    const int x0 = std::max(0, -left);
    const int x1 = std::min(width, target.width() - left);
    const int y0 = std::max(0, -top);
    const int y1 = std::min(height, target.height() - top);
    for (int y = y0; y < y1; ++y) {
        const std::uint8_t* row = source + static_cast<std::ptrdiff_t>(y) * width;
        auto* out = reinterpret_cast<QRgb*>(target.scanLine(top + y)) + left;
        for (int x = x0; x < x1; ++x) {
            out[x] = palette[row[x]];
        }
    }
}

QPen SolidPen(const QColor& colour) {
    QPen pen(colour);
    pen.setWidth(1);
    pen.setCosmetic(true);
    return pen;
}

// Text with its top-left corner at (x, y) on a black box.
void DrawBoxedText(QPainter& painter, const QFont& font, const QColor& colour, int x, int y,
                   const QString& text) {
    const QFontMetrics metrics(font);
    const QRect box(x, y, metrics.horizontalAdvance(text), metrics.height());
    painter.fillRect(box, Qt::black);
    painter.setFont(font);
    painter.setPen(colour);
    painter.drawText(box, Qt::AlignLeft | Qt::AlignTop | Qt::TextSingleLine, text);
}

struct ScreenCentre {
    int x = 0;
    int y = 0;
};

ScreenCentre CentreOf(const CTamsorDoc& doc, const CPictureModel& model) {
    return {model.ClientWidth() / 2 - doc.m_panX, model.ClientHeight() / 2 - doc.m_panY};
}

void PaintPolarGrid(QPainter& painter, const CTamsorDoc& doc, const CPictureModel& model) {
    const ScreenCentre c = CentreOf(doc, model);
    const float radius = model.Radius();
    const int r = static_cast<int>(radius);
    const COndrel& head = doc.Head(0);
    const float d =
        GridSpacingPx(radius, doc.m_unit, SoundVelocityScale(doc.m_soundVelocity, head.m_rangeCoefficient));

    painter.setBrush(Qt::NoBrush);
    painter.setPen(SolidPen(kGrid));
    if (doc.m_grid == kGridPolar) {
        for (int i = 1; i <= 5; ++i) {
            const int e = GridMarkPx(i, d);
            painter.drawEllipse(QPoint(c.x, c.y), e, e);
        }
    } else if (doc.m_grid == kGridRectangular || doc.m_grid == kGridLine) {
        for (int i = -5; i <= 5; ++i) {
            const int e = GridMarkPx(i, d);
            painter.drawLine(c.x - r, c.y + e, c.x + r, c.y + e);
            painter.drawLine(c.x + e, c.y - r, c.x + e, c.y + r);
        }
    }
    painter.setPen(SolidPen(kAxis));
    painter.drawLine(c.x, c.y - r, c.x, c.y + r);
    painter.drawLine(c.x - r, c.y, c.x + r, c.y);

    if (doc.m_rangeMark == 0) {
        return;
    }
    const QFont font = OverlayFont(16);
    const float rangeM = head.m_rangeM;
    for (int i = 1; i <= 5; ++i) {
        const int e = GridMarkPx(i, d);
        const QString label = QString::fromStdString(RangeMarkLabel(i, rangeM, doc.m_unit));
        DrawBoxedText(painter, font, kRangeLabel, c.x - e - 10, c.y - 8, label);
        DrawBoxedText(painter, font, kRangeLabel, c.x + e - 10, c.y - 8, label);
        DrawBoxedText(painter, font, kRangeLabel, c.x - 10, c.y - e - 8, label);
        DrawBoxedText(painter, font, kRangeLabel, c.x - 10, c.y + e - 8, label);
    }
}

void DrawLamp(QPainter& painter, double centreX, double top, double diameter, bool on, const QColor& onColour,
              const QColor& offColour) {
    painter.setBrush(on ? onColour : offColour);
    painter.drawEllipse(QRectF(centreX - diameter / 2.0, top, diameter, diameter));
}

void PaintBeamTestScale(QPainter& painter, const CTamsorDoc& doc, const CPictureModel& model) {
    const int width = model.ClientWidth();
    const int height = model.ClientHeight();
    const int top = model.BeamTestTop();
    const float w = static_cast<float>(width / 4 - 8) / 16.0f;
    const double a = static_cast<double>(w) / 2.0 - 2.0;

    painter.setPen(SolidPen(kGrid));
    painter.drawLine(3, top + 19, width - 4, top + 19);
    for (int k = 0; k < kHeadCount; ++k) {
        const auto& status = doc.Head(k).m_elementStatus;
        float x = k == 0 ? 4.0f : static_cast<float>(width * k / 4 + 4);
        for (int i = 0; i <= kElementCount; ++i) {
            if (i < kElementCount) {
                const int left = static_cast<int>(std::floor(x + 2.0f));
                const int right = static_cast<int>(std::floor(x + w - 2.0f));
                painter.setBrush(Qt::NoBrush);
                painter.setPen(SolidPen(kChannelFrame));
                painter.drawRect(left, 10, right - left - 1, top - 1);

                const std::uint8_t element = status[static_cast<std::size_t>(i)];
                const double centreX = static_cast<double>(x) + static_cast<double>(w) / 2.0;
                painter.setPen(SolidPen(kLampOutline));
                DrawLamp(painter, centreX, 12.0, 2.0 * a, element == 2, kRedOn, kRedOff);
                DrawLamp(painter, centreX, 2.0 * a + 14.0, 2.0 * a, element == 0, kYellowOn, kYellowOff);
                DrawLamp(painter, centreX, 4.0 * a + 16.0, 2.0 * a, element == 1, kGreenOn, kGreenOff);
            }
            if (doc.m_grid != kGridNone) {
                painter.setPen(SolidPen(kGrid));
                const int lineX = static_cast<int>(std::floor(x));
                painter.drawLine(lineX, top + 20, lineX, height);
            }
            x += w;
        }
    }
}

void PaintStatusTexts(QPainter& painter, const CTamsorDoc& doc, const CPictureModel& model) {
    const int width = model.ClientWidth();
    const int height = model.ClientHeight();
    const COndrel& head = doc.Head(0);
    const bool polar = model.DisplayMode() != kDisplayModeBeamTest;
    const bool playback = doc.m_playback != 0;
    const QFont font = OverlayFont(17);
    auto text = [](const std::string& s) { return QString::fromStdString(s); };

    if (polar) {
        DrawBoxedText(painter, font, kStatus, 4, height - 24,
                      text(SysGainText(doc.m_startGain, playback, doc.m_fileStartGain)));
        DrawBoxedText(painter, font, kStatus, 4, 1, text(RangeText(head.m_rangeM, doc.m_unit)));
        DrawBoxedText(painter, font, kStatus, 4, 24, text(ScaleText(head.m_rangeM, doc.m_unit)));
        DrawBoxedText(painter, font, kStatus, playback ? width - 180 : width - 130, height - 24,
                      text(DisplayGainText(head.m_displayGain, playback, doc.m_fileDisplayGain)));
    }
    if (head.m_newData != 0) {
        DrawBoxedText(painter, font, kSpinner, width - 10, 1,
                      QString(QChar(SpinnerChar(head.m_pingCounter))));
    } else {
        const QString waiting = QString::fromLatin1(kWaitingText);
        DrawBoxedText(painter, font, kWaiting, CentredTextLeft(width, static_cast<int>(waiting.size())),
                      height / 2, waiting);
    }
    // A running conversion releases Hold (the view clears the flag when it paints).
    const bool converting = playback && doc.m_xyzConversion != 0;
    if (converting) {
        const QString message = QString::fromLatin1(kConvertingText);
        DrawBoxedText(painter, font, kStatus, CentredTextLeft(width, static_cast<int>(message.size())), 2,
                      message);
    } else if (doc.m_hold != 0) {
        const QString held = QString::fromLatin1(kHeldText);
        DrawBoxedText(painter, OverlayFont(22, true), kWaiting,
                      CentredTextLeft(width, static_cast<int>(held.size())), 2, held);
    }
}

void PaintMeasure(QPainter& painter, const CTamsorDoc& doc, const CPictureModel& model,
                  const CMeasureState& measure) {
    if (!measure.m_active) {
        return;
    }
    const ScreenCentre c = CentreOf(doc, model);
    const float k = model.MeasureScale();
    const int ax = measure.m_a.x;
    const int ay = measure.m_a.y;
    const int bx = MeasurePoint::ScreenFromOffset(measure.m_b.offsetX, k, c.x);
    const int by = MeasurePoint::ScreenFromOffset(measure.m_b.offsetY, k, c.y);
    painter.setPen(SolidPen(kMeasureLine));
    painter.drawLine(ax - 6, ay, ax + 6, ay);
    painter.drawLine(ax, ay - 6, ax, ay + 6);
    painter.drawLine(ax, ay, bx, by);
    painter.drawLine(bx - 6, by, bx + 6, by);
    painter.drawLine(bx, by - 6, bx, by + 6);
    const QString distance = QString::fromStdString(MeasureText(measure.DistanceM(doc.m_zoomFactor)));
    DrawBoxedText(painter, OverlayFont(16), kMeasureText, bx + 15, by - 8, distance);
}

} // namespace

QFont OverlayFont(int cellHeight, bool bold) {
    QFont font(QStringLiteral("Arial"));
    font.setStyleHint(QFont::SansSerif);
    font.setWeight(bold ? QFont::Bold : QFont::Normal);
    // The size is given as the cell height (ascent + descent), not the em size.
    int pixels = std::max(cellHeight, 1);
    font.setPixelSize(pixels);
    while (pixels > 1 && QFontMetrics(font).height() > cellHeight) {
        font.setPixelSize(--pixels);
    }
    return font;
}

void PaintSonarPicture(QImage& target, const CTamsorDoc& doc, const CPictureModel& model) {
    const std::array<QRgb, 256> palette = Palette(model.CurrentColorTable());
    if (model.DisplayMode() == kDisplayModeBeamTest) {
        const auto buffer = model.BeamTestBuffer();
        if (buffer.size() >=
            static_cast<std::size_t>(model.ClientWidth()) * static_cast<std::size_t>(model.ClientHeight())) {
            BlitIndexed(target, buffer.data(), model.ClientWidth(), model.ClientHeight(), 0, 0, palette);
        }
        return;
    }
    const int n = model.Side();
    const ScreenCentre c = CentreOf(doc, model);
    BlitIndexed(target, model.Picture().data(), n, n, c.x - n / 2, c.y - n / 2, palette);
}

void PaintOverlays(QPainter& painter, const CTamsorDoc& doc, const CPictureModel& model,
                   const CMeasureState* measure) {
    painter.setRenderHint(QPainter::Antialiasing, false);
    const bool polar = model.DisplayMode() != kDisplayModeBeamTest;
    if (polar && doc.m_grid != kGridNone) {
        PaintPolarGrid(painter, doc, model);
    } else if (!polar) {
        PaintBeamTestScale(painter, doc, model);
    }
    PaintStatusTexts(painter, doc, model);
    if (polar && measure != nullptr) {
        PaintMeasure(painter, doc, model, *measure);
    }
}

QImage RenderDocumentPicture(const CTamsorDoc& doc, const CPictureModel& model,
                             const CMeasureState* measure) {
    if (model.ClientWidth() <= 0 || model.ClientHeight() <= 0) {
        return {};
    }
    QImage image(model.ClientWidth(), model.ClientHeight(), QImage::Format_RGB32);
    image.fill(Qt::black);
    PaintSonarPicture(image, doc, model);
    QPainter painter(&image);
    PaintOverlays(painter, doc, model, measure);
    painter.end();
    return image;
}

QImage RenderDocumentPicture(CTamsorDoc& doc, CPictureModel& model, QSize size,
                             const CMeasureState* measure) {
    if (size.width() > 0 && size.height() > 0 &&
        (model.ClientWidth() != (size.width() + 3) / 4 * 4 || model.ClientHeight() != size.height())) {
        model.Resize(doc, size.width(), size.height());
    }
    // The off-screen picture is as wide as the client rounded up to 4; the window shows the client.
    const QImage image = RenderDocumentPicture(doc, model, measure);
    return size.isValid() && image.width() != size.width() ? image.copy(0, 0, size.width(), size.height())
                                                           : image;
}

} // namespace vexar
