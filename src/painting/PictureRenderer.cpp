#include "painting/PictureRenderer.h"

#include "acquisition/CTamsorDoc.h"
#include "display/CMeasureState.h"
#include "display/CPictureModel.h"
#include "display/OverlayLayout.h"
#include "painting/ContactMarkerPainter.h"

#include <QFontMetrics>
#include <QPainter>
#include <QPen>
#include <QPolygon>

#include <algorithm>
#include <array>
#include <cmath>

namespace vexar {

namespace {

using namespace overlay_colors;

// A stale picture keeps this share of its brightness: plainly not live, still readable.
constexpr int kStaleBrightnessPercent = 35;

std::array<QRgb, 256> Palette(const ColorTable& table, bool dimmed) {
    const int share = dimmed ? kStaleBrightnessPercent : 100;
    std::array<QRgb, 256> palette{};
    for (std::size_t i = 0; i < palette.size(); ++i) {
        palette[i] =
            qRgb(table[i].red * share / 100, table[i].green * share / 100, table[i].blue * share / 100);
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

QSize TextSize(const QFont& font, const QString& text) {
    const QFontMetrics metrics(font);
    return {metrics.horizontalAdvance(text), metrics.height()};
}

// Text with its top-left corner at (x, y) on a black box; returns the box.
QRect DrawBoxedText(QPainter& painter, const QFont& font, const QColor& colour, int x, int y,
                    const QString& text) {
    const QRect box(QPoint(x, y), TextSize(font, text));
    painter.fillRect(box, Qt::black);
    painter.setFont(font);
    painter.setPen(colour);
    painter.drawText(box, Qt::AlignLeft | Qt::AlignTop | Qt::TextSingleLine, text);
    return box;
}

TextBox BoxOf(const QRect& rect) {
    return {rect.x(), rect.y(), rect.width(), rect.height()};
}

// What the overlays have drawn so far, for the messages to keep clear of and for the record.
class Layout {
public:
    explicit Layout(OverlayItems* items) : m_items(items) {}
    void Take(OverlayItem::Kind kind, const QString& text, const QRect& box) {
        m_taken.push_back(BoxOf(box));
        if (m_items != nullptr) {
            m_items->push_back({kind, text, box});
        }
    }
    // Draws a message at the nearest place to (x, y) that covers nothing drawn before.
    void DrawMessage(QPainter& painter, const QFont& font, const QColor& colour, int x, int y,
                     const QString& text, int clientWidth, int clientHeight) {
        const QSize size = TextSize(font, text);
        const TextBox place =
            PlaceClear({x, y, size.width(), size.height()}, m_taken, clientWidth, clientHeight);
        Take(OverlayItem::Kind::Message, text, DrawBoxedText(painter, font, colour, place.x, place.y, text));
    }

private:
    OverlayItems* m_items;
    std::vector<TextBox> m_taken;
};

struct ScreenCentre {
    int x = 0;
    int y = 0;
};

ScreenCentre CentreOf(const CPictureModel& model) {
    return {model.ScreenCentreX(), model.ScreenCentreY()};
}

void PaintPolarGrid(QPainter& painter, const CTamsorDoc& doc, const CPictureModel& model, Layout& layout) {
    const ScreenCentre c = CentreOf(model);
    const float radius = model.Radius();
    const int r = static_cast<int>(radius);
    const PingSettings& sonar = doc.Shown().Settings();
    const float d = GridSpacingPx(radius, doc.GetSettings().view.unit,
                                  SoundVelocityScale(sonar.soundVelocity, sonar.rangeCoefficient));

    painter.setBrush(Qt::NoBrush);
    painter.setPen(SolidPen(kGrid));
    if (doc.GetSettings().view.grid == GridStyle::Polar) {
        for (int i = 1; i <= 5; ++i) {
            const int e = GridMarkPx(i, d);
            painter.drawEllipse(QPoint(c.x, c.y), e, e);
        }
    } else if (doc.GetSettings().view.grid == GridStyle::Rectangular ||
               doc.GetSettings().view.grid == GridStyle::Line) {
        for (int i = -5; i <= 5; ++i) {
            const int e = GridMarkPx(i, d);
            painter.drawLine(c.x - r, c.y + e, c.x + r, c.y + e);
            painter.drawLine(c.x + e, c.y - r, c.x + e, c.y + r);
        }
    }
    painter.setPen(SolidPen(kAxis));
    painter.drawLine(c.x, c.y - r, c.x, c.y + r);
    painter.drawLine(c.x - r, c.y, c.x + r, c.y);

    if (doc.GetSettings().view.rangeMark == 0) {
        return;
    }
    const QFont font = OverlayFont(16);
    const float rangeM = sonar.rangeM;
    for (int i = 1; i <= 5; ++i) {
        const int e = GridMarkPx(i, d);
        const QString label = QString::fromStdString(RangeMarkLabel(i, rangeM, doc.GetSettings().view.unit));
        for (const QPoint at : {QPoint(c.x - e - 10, c.y - 8), QPoint(c.x + e - 10, c.y - 8),
                                QPoint(c.x - 10, c.y - e - 8), QPoint(c.x - 10, c.y + e - 8)}) {
            layout.Take(OverlayItem::Kind::RangeLabel, label,
                        DrawBoxedText(painter, font, kRangeLabel, at.x(), at.y(), label));
        }
    }
}

// While the picture is north up: a small arrow with an N in the top right corner, clear of the
// range circles, under the activity spinner.
void PaintNorthMark(QPainter& painter, const CPictureModel& model, Layout& layout) {
    const QFont font = OverlayFont(16, true);
    const QString north = QStringLiteral("N");
    const QSize letter = TextSize(font, north);
    const int width = std::max(letter.width(), 12);
    const int left = model.ClientWidth() - 4 - width;
    const int top = 24;
    const QRect box(left, top, width, 14 + letter.height());
    painter.fillRect(box, Qt::black);
    painter.setPen(SolidPen(kStatus));
    painter.setBrush(kStatus);
    const int middle = left + width / 2;
    painter.drawPolygon(
        QPolygon({QPoint(middle, top + 1), QPoint(middle - 5, top + 12), QPoint(middle + 5, top + 12)}));
    painter.setFont(font);
    painter.drawText(QRect(left, top + 14, width, letter.height()), Qt::AlignHCenter | Qt::AlignTop, north);
    layout.Take(OverlayItem::Kind::StatusText, north, box);
}

void DrawLamp(QPainter& painter, double centreX, double top, double diameter, bool on, const QColor& onColour,
              const QColor& offColour) {
    painter.setBrush(on ? onColour : offColour);
    painter.drawEllipse(QRectF(centreX - diameter / 2.0, top, diameter, diameter));
}

void PaintBeamTestScale(QPainter& painter, const CTamsorDoc& doc, const CPictureModel& model,
                        Layout& layout) {
    const int width = model.ClientWidth();
    const int height = model.ClientHeight();
    const int top = model.BeamTestTop();
    const float w = static_cast<float>(width / 4 - 8) / 16.0f;
    const double a = static_cast<double>(w) / 2.0 - 2.0;
    // The channel frames run from y = 10 to top + 9 across the width, the lamps inside them, and
    // the scale line under them at top + 19: texts keep clear of all of it.
    layout.Take(OverlayItem::Kind::Lamps, {}, QRect(0, 10, width, top + 10));

    painter.setPen(SolidPen(kGrid));
    painter.drawLine(3, top + 19, width - 4, top + 19);
    for (int k = 0; k < kHeadCount; ++k) {
        const auto& status = doc.PingRoutine().Head(k).m_elementStatus;
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
            if (doc.GetSettings().view.grid != GridStyle::None) {
                painter.setPen(SolidPen(kGrid));
                const int lineX = static_cast<int>(std::floor(x));
                painter.drawLine(lineX, top + 20, lineX, height);
            }
            x += w;
        }
    }
}

void PaintStatusTexts(QPainter& painter, const CTamsorDoc& doc, const CPictureModel& model, Layout& layout) {
    const int width = model.ClientWidth();
    const int height = model.ClientHeight();
    const COndrel& head = doc.PingRoutine().Head(0);
    const PingSettings& sonar = doc.Shown().Settings();
    const bool polar = model.DisplayMode() != kDisplayModeBeamTest;
    const bool playback = doc.IsPlayback();
    const QFont font = OverlayFont(17);
    const QFont bold = OverlayFont(22, true);
    auto text = [](const std::string& s) { return QString::fromStdString(s); };
    const auto status = [&](int x, int y, const QString& s) {
        layout.Take(OverlayItem::Kind::StatusText, s, DrawBoxedText(painter, font, kStatus, x, y, s));
    };
    // Texts on the right end 4 pixels inside the picture, whatever their width.
    const auto rightAligned = [width](const QFont& f, const QString& s) {
        return width - 4 - TextSize(f, s).width();
    };

    if (polar) {
        status(4, height - 24,
               text(SysGainText(sonar.startGainDb, playback, doc.Shown().FileValues().startGainDb)));
        status(4, 1, text(RangeText(sonar.rangeM, doc.GetSettings().view.unit)));
        status(4, 24, text(ScaleText(sonar.rangeM, doc.GetSettings().view.unit)));
        const QString gain =
            text(DisplayGainText(sonar.displayGain, playback, doc.Shown().FileValues().displayGain));
        status(rightAligned(font, gain), height - 24, gain);
    }
    const auto centred = [width](const QFont& f, const QString& s) {
        return (width - TextSize(f, s).width()) / 2;
    };
    const auto message = [&](const QFont& f, const QColor& colour, int x, int y, const QString& s) {
        layout.DrawMessage(painter, f, colour, x, y, s, width, height);
    };
    if (head.m_newData != 0) {
        const QString spinner(QChar(SpinnerChar(head.m_pingCounter)));
        message(font, kSpinner, rightAligned(font, spinner), 1, spinner);
    }
    // A running conversion releases Hold (the view clears the flag when it paints).
    const bool converting = playback && doc.Conversion().Export().IsActive();
    if (converting) {
        const QString busy = QString::fromLatin1(kConvertingText);
        message(font, kStatus, centred(font, busy), 2, busy);
    } else if (doc.IsHeld()) {
        const QString held = QString::fromLatin1(kHeldText);
        message(bold, kWaiting, centred(bold, held), 2, held);
    }
    if (doc.Live().Link().staleSeconds > 0 && !playback) {
        const QString stale = text(StaleText(doc.Live().Link().staleSeconds));
        message(bold, kWaiting, centred(bold, stale), height / 2 - TextSize(bold, stale).height() - 12,
                stale);
    }
    if (head.m_newData == 0) {
        const QString waiting = QString::fromLatin1(kWaitingText);
        message(font, kWaiting, centred(font, waiting), height / 2, waiting);
    }
}

void PaintMeasure(QPainter& painter, const CPictureModel& model, const CMeasureState& measure) {
    if (!measure.m_active) {
        return;
    }
    const ScreenCentre c = CentreOf(model);
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
    const QString distance = QString::fromStdString(MeasureText(measure.DistanceM(model.ZoomFactor())));
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
    const bool stale = doc.Live().Link().staleSeconds > 0 && !doc.IsPlayback();
    const std::array<QRgb, 256> palette = Palette(model.CurrentColorTable(), stale);
    if (model.DisplayMode() == kDisplayModeBeamTest) {
        const auto buffer = model.BeamTestBuffer();
        if (buffer.size() >=
            static_cast<std::size_t>(model.ClientWidth()) * static_cast<std::size_t>(model.ClientHeight())) {
            BlitIndexed(target, buffer.data(), model.ClientWidth(), model.ClientHeight(), 0, 0, palette);
        }
        return;
    }
    const int n = model.Side();
    const ScreenCentre c = CentreOf(model);
    BlitIndexed(target, model.Picture().data(), n, n, c.x - n / 2, c.y - n / 2, palette);
}

void PaintOverlays(QPainter& painter, const CTamsorDoc& doc, const CPictureModel& model,
                   const CMeasureState* measure, OverlayItems* items) {
    painter.setRenderHint(QPainter::Antialiasing, false);
    Layout layout(items);
    const bool polar = model.DisplayMode() != kDisplayModeBeamTest;
    if (polar && doc.GetSettings().view.grid != GridStyle::None) {
        PaintPolarGrid(painter, doc, model, layout);
    } else if (!polar) {
        PaintBeamTestScale(painter, doc, model, layout);
    }
    if (polar && model.Turn().northUp) {
        PaintNorthMark(painter, model, layout);
    }
    PaintStatusTexts(painter, doc, model, layout);
    if (polar && measure != nullptr) {
        PaintMeasure(painter, model, *measure);
    }
}

void RenderDocumentPictureInto(QImage& image, const CTamsorDoc& doc, const CPictureModel& model,
                               const CMeasureState* measure, OverlayItems* items,
                               const std::vector<MarkerOnPicture>* markers) {
    if (model.ClientWidth() <= 0 || model.ClientHeight() <= 0) {
        image = QImage();
        return;
    }
    const QSize client(model.ClientWidth(), model.ClientHeight());
    if (image.size() != client || image.format() != QImage::Format_RGB32) {
        image = QImage(client, QImage::Format_RGB32);
    }
    image.fill(Qt::black);
    PaintSonarPicture(image, doc, model);
    QPainter painter(&image);
    PaintOverlays(painter, doc, model, measure, items);
    if (markers != nullptr && model.DisplayMode() != kDisplayModeBeamTest) {
        PaintContactMarkers(painter, *markers, PictureFrameOf(doc, model));
    }
    painter.end();
}

QImage RenderDocumentPicture(const CTamsorDoc& doc, const CPictureModel& model, const CMeasureState* measure,
                             OverlayItems* items, const std::vector<MarkerOnPicture>* markers) {
    QImage image;
    RenderDocumentPictureInto(image, doc, model, measure, items, markers);
    return image;
}

QImage RenderDocumentPicture(const CTamsorDoc& doc, CPictureModel& model, QSize size,
                             const CMeasureState* measure, OverlayItems* items,
                             const std::vector<MarkerOnPicture>* markers) {
    if (size.width() > 0 && size.height() > 0 &&
        (model.ClientWidth() != (size.width() + 3) / 4 * 4 || model.ClientHeight() != size.height())) {
        model.Resize(PictureInputOf(doc), size.width(), size.height());
    }
    // The off-screen picture is as wide as the client rounded up to 4; the window shows the client.
    const QImage image = RenderDocumentPicture(doc, model, measure, items, markers);
    return size.isValid() && image.width() != size.width() ? image.copy(0, 0, size.width(), size.height())
                                                           : image;
}

} // namespace vexar
