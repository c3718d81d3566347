#include "video/VideoCaption.h"

#include "painting/PictureRenderer.h"

#include <QFontMetrics>
#include <QPainter>

#include <cmath>
#include <cstdio>

namespace vexar {

namespace {

// Degrees and decimal minutes with the hemisphere letter: "29°58.8000' N".
std::string DegreesMinutes(double degrees, char positive, char negative) {
    const double magnitude = std::fabs(degrees);
    int whole = static_cast<int>(magnitude);
    double minutes = (magnitude - whole) * 60.0;
    if (minutes >= 59.99995) { // would print as 60.0000
        ++whole;
        minutes = 0.0;
    }
    char text[48];
    std::snprintf(text, sizeof text, "%d\xC2\xB0%07.4f' %c", whole, minutes,
                  degrees < 0.0 ? negative : positive);
    return text;
}

// The first caption line starts below the spinner of the top right corner.
constexpr int kCaptionTop = 24;
constexpr int kRightMargin = 4;

} // namespace

std::vector<std::string> CaptionLines(const VideoCaption& caption) {
    std::vector<std::string> lines;
    lines.push_back(caption.date + "  " + caption.time);
    std::string ping = "Ping " + std::to_string(caption.ping);
    if (!caption.recording.empty()) {
        ping += "  " + caption.recording;
    }
    lines.push_back(ping);
    if (caption.position) {
        lines.push_back(DegreesMinutes(caption.position->first, 'N', 'S') + "  " +
                        DegreesMinutes(caption.position->second, 'E', 'W'));
    }
    if (caption.headingDeg) {
        char text[32];
        std::snprintf(text, sizeof text, "Heading %.1f\xC2\xB0", static_cast<double>(*caption.headingDeg));
        lines.emplace_back(text);
    }
    return lines;
}

void DrawVideoCaption(QImage& image, int width, const VideoCaption& caption) {
    QPainter painter(&image);
    const QFont font = OverlayFont(17);
    const QFontMetrics metrics(font);
    painter.setFont(font);
    painter.setPen(overlay_colors::kStatus);
    int y = kCaptionTop;
    for (const std::string& line : CaptionLines(caption)) {
        const QString text = QString::fromStdString(line);
        const QRect box(width - kRightMargin - metrics.horizontalAdvance(text), y,
                        metrics.horizontalAdvance(text), metrics.height());
        painter.fillRect(box, Qt::black);
        painter.drawText(box, Qt::AlignLeft | Qt::AlignTop | Qt::TextSingleLine, text);
        y += metrics.height() + 2;
    }
}

} // namespace vexar
