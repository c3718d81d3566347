#include "app/CCombinedImagePicture.h"

#include "acquisition/CTamsorDoc.h"
#include "display/ViewPointer.h"

#include <QPainter>

#include <algorithm>
#include <cmath>
#include <numbers>

namespace vexar {

namespace {
constexpr int kMaxSide = 2000;

// Grey and reversed grey for those tables, a blue-green ramp for the others.
QList<QRgb> ColourRamp(int table) {
    QList<QRgb> ramp(256);
    for (int i = 0; i < 256; ++i) {
        if (table == 3) {
            ramp[i] = qRgb(i, i, i);
        } else if (table == 4) {
            ramp[i] = qRgb(255 - i, 255 - i, 255 - i);
        } else {
            ramp[i] = qRgb(i / 3, std::min(255, i * 3 / 4 + 20), std::min(255, i + 40));
        }
    }
    ramp[0] = qRgb(0, 0, 0);
    return ramp;
}
} // namespace

void CCombinedImagePicture::InitialUpdate(CTamsorDoc& doc) {
    m_colorTable = std::clamp(doc.m_colorTable, 0, 8);
    SetZoomFactor(doc);
    m_dirty = true;
}

void CCombinedImagePicture::Resize(CTamsorDoc& doc, QSize client) {
    m_client = client;
    if (doc.m_zoomIndex == 2) {
        doc.m_panX = 0;
        doc.m_panY = 0;
        SetZoomFactor(doc);
        m_dirty = true;
    }
}

void CCombinedImagePicture::SetZoomFactor(CTamsorDoc& doc) {
    const int samples = std::max(1, doc.Head(0).m_samples);
    if (doc.m_zoomIndex == 1) {
        doc.m_zoomFactor = 0.5f;
    } else if (doc.m_zoomIndex == 2) {
        doc.m_panX = 0;
        doc.m_panY = 0;
        const int smaller = std::min(m_client.width(), m_client.height());
        doc.m_zoomFactor = smaller > 0 ? static_cast<float>(smaller) / static_cast<float>(samples) * 0.5f : 1.0f;
    } else {
        doc.m_zoomFactor = 1.0f;
    }
}

void CCombinedImagePicture::Rebuild(CTamsorDoc& doc) {
    const COndrel& first = doc.Head(0);
    m_samples = std::clamp(first.m_samples, 1, kMaxSamples);
    m_beams = std::clamp(doc.CombinedBeamCount(), 0, kCombinedBeams);
    const int scaled = static_cast<int>(2.0f * static_cast<float>(m_samples) * doc.m_zoomFactor);
    m_side = std::clamp(4 * ((scaled + 3) / 4), 4, kMaxSide);
    const float radius = static_cast<float>(m_side) / 2.0f;
    const float scale = SoundVelocityScale(doc.m_soundVelocity, first.m_rangeCoefficient);
    m_measureScale = vexar::MeasureScale(radius, first.m_rangeM, doc.m_zoomFactor, scale);

    m_lookup.assign(static_cast<std::size_t>(m_side) * static_cast<std::size_t>(m_side), 0);
    if (m_beams > 0) {
        for (int y = 0; y < m_side; ++y) {
            for (int x = 0; x < m_side; ++x) {
                const float dx = static_cast<float>(x) + 0.5f - radius;
                const float dy = radius - (static_cast<float>(y) + 0.5f);
                const float e = std::sqrt(dx * dx + dy * dy);
                if (e >= radius - 1.0f) {
                    continue;
                }
                // Beams run clockwise from the top of the picture.
                float angle = std::atan2(dx, dy);
                if (angle < 0.0f) {
                    angle += 2.0f * std::numbers::pi_v<float>;
                }
                const int beam =
                    std::min(m_beams - 1, static_cast<int>(angle / (2.0f * std::numbers::pi_v<float>) *
                                                           static_cast<float>(m_beams)));
                const int sample = std::min(m_samples - 1, static_cast<int>(e * static_cast<float>(m_samples) / radius));
                m_lookup[static_cast<std::size_t>(y * m_side + x)] =
                    static_cast<std::uint32_t>(beam * kMaxSamples + sample) + 1u;
            }
        }
    }
    m_dirty = false;
    m_picture = QImage(m_side, m_side, QImage::Format_Indexed8);
    m_picture.setColorTable(ColourRamp(m_colorTable));
    ClearPicture();
}

void CCombinedImagePicture::Update(CTamsorDoc& doc) {
    if (doc.m_imageReset != 0 || doc.Head(0).m_samples != m_samples ||
        std::clamp(doc.CombinedBeamCount(), 0, kCombinedBeams) != m_beams) {
        SetZoomFactor(doc);
        m_dirty = true;
        doc.m_imageReset = 0;
    }
    if (m_dirty) {
        Rebuild(doc);
    }
    if (doc.m_clearImage != 0) {
        doc.m_clearImage = 0;
        ClearPicture();
        return;
    }
    if (doc.m_hold != 0 || doc.Head(0).m_displayMode != 0) {
        return;
    }
    for (int y = 0; y < m_side; ++y) {
        uchar* row = m_picture.scanLine(y);
        const std::uint32_t* lookup = m_lookup.data() + static_cast<std::size_t>(y) * static_cast<std::size_t>(m_side);
        for (int x = 0; x < m_side; ++x) {
            if (lookup[x] != 0) {
                const float v = doc.m_combinedImage[lookup[x] - 1u];
                row[x] = static_cast<uchar>(std::clamp(v, 1.0f, 255.0f));
            }
        }
    }
}

void CCombinedImagePicture::SelectColorTable(int index) {
    m_colorTable = std::clamp(index, 0, 8);
    if (!m_picture.isNull()) {
        m_picture.setColorTable(ColourRamp(m_colorTable));
    }
}

void CCombinedImagePicture::ClearPicture() {
    m_picture.fill(0);
    for (int y = 0; y < m_side; ++y) {
        uchar* row = m_picture.scanLine(y);
        const std::uint32_t* lookup = m_lookup.data() + static_cast<std::size_t>(y) * static_cast<std::size_t>(m_side);
        for (int x = 0; x < m_side; ++x) {
            row[x] = lookup[x] != 0 ? 1 : 0;
        }
    }
}

void CCombinedImagePicture::Paint(QPainter& painter, CTamsorDoc& doc, QSize client, QPoint centre) {
    painter.fillRect(QRect(QPoint(0, 0), client), Qt::black);
    if (m_dirty) {
        Rebuild(doc);
    }
    if (doc.Head(0).m_displayMode != 0 || m_picture.isNull()) {
        return;
    }
    painter.drawImage(centre.x() - m_side / 2, centre.y() - m_side / 2, m_picture);
    // Range rings every fifth of the range, as a plain reference until the full overlays draw.
    painter.setPen(QColor(0, 160, 0));
    for (int ring = 1; ring <= 5; ++ring) {
        const int r = m_side / 2 * ring / 5;
        painter.drawEllipse(centre, r, r);
    }
}

} // namespace vexar
