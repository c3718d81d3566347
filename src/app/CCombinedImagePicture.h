#pragma once
// A plain scan conversion of the combined image: every pixel of the disc looks up the nearest
// beam and sample once per geometry, and each ping writes grey-blue levels through that table.

#include "app/IViewPicture.h"

#include <QImage>

#include <cstdint>
#include <vector>

namespace vexar {

class CCombinedImagePicture : public IViewPicture {
public:
    void InitialUpdate(CTamsorDoc& doc) override;
    void Resize(CTamsorDoc& doc, QSize client) override;
    void Update(CTamsorDoc& doc) override;
    void ClearPicture() override;
    void SelectColorTable(int index) override;
    void Paint(QPainter& painter, CTamsorDoc& doc, QSize client, QPoint centre) override;
    float MeasureScale() const override { return m_measureScale; }

    int Side() const { return m_side; }

private:
    void SetZoomFactor(CTamsorDoc& doc);
    void Rebuild(CTamsorDoc& doc);

    QSize m_client;
    bool m_dirty = true; ///< the geometry changed: the table is rebuilt before its next use
    int m_beams = 0;   ///< combined beams of the geometry
    int m_samples = 0; ///< data points P
    int m_side = 0;    ///< picture side N
    float m_measureScale = 0.0f;
    std::vector<std::uint32_t> m_lookup; ///< combined index + 1 per pixel, 0 outside the disc
    QImage m_picture;                    ///< N x N, 8-bit with a colour ramp
    int m_colorTable = 0;
};

} // namespace vexar
