#include "app/GeoPictureExport.h"

#include "acquisition/CTamsorDoc.h"
#include "app/CMOndrelView.h"
#include "display/OverlayLayout.h"
#include "display/ViewPointer.h"
#include "gis/GeoTiffWriter.h"
#include "navigation/HeadPlacement.h"
#include "painting/PictureRenderer.h"

#include <QFileDialog>
#include <QFileInfo>
#include <QPainter>
#include <QPainterPath>

#include <cmath>
#include <numbers>
#include <stdexcept>

namespace vexar {

namespace {

/// Where the picture lies: the head under its centre, the bearing the picture's up points to on
/// the map and the metres of one pixel. This is all the export reads of the document.
struct PicturePlace {
    PlacedPoint head;
    MapProjection projection;
    double upBearingDeg = 0.0;
    double metresPerPixel = 0.0;
    int centreX = 0; ///< pixel of the view under which the head lies
    int centreY = 0;
};

std::optional<PicturePlace> PlaceOf(const CTamsorDoc& doc, const CMOndrelView& view) {
    // As the pointer's map position: a ping whose own sentence (played, or the live fix of its
    // request) gave a usable position; and a level head, whose picture is a view from above (a
    // vertical fan's is a cross-section).
    const std::optional<HeadPose> pose = PoseOfShownPing(doc);
    if (!pose || pose->Mounting().plane != HeadPlane::Level) {
        return std::nullopt;
    }
    const PingSettings& sonar = doc.Shown().Settings();
    const CPictureModel& model = view.Picture();
    const float scale = SoundVelocityScale(sonar.soundVelocity, sonar.rangeCoefficient);
    const auto rangePerPixel =
        static_cast<double>(CursorRangeM(1.0f, sonar.rangeM, model.ZoomFactor(), sonar.samples, scale));
    if (!(rangePerPixel > 0.0) || sonar.beams <= 0) {
        return std::nullopt;
    }
    // Where the screen's up and right lie on the map, placed a hundred pixels out: the picture is
    // turned and scaled (a tilted fan reaches less far across) by what the placement says.
    constexpr double kReachPx = 100.0;
    const double turn = static_cast<double>(model.Turn().degrees);
    const double c = static_cast<double>(sonar.soundVelocity);
    const PlacedPoint up = pose->PlaceInPicture(360.0 - turn, kReachPx * rangePerPixel, sonar.beams, c);
    const PlacedPoint right = pose->PlaceInPicture(450.0 - turn, kReachPx * rangePerPixel, sonar.beams, c);
    PicturePlace place;
    place.head = pose->Head();
    place.projection = pose->Projection();
    place.upBearingDeg =
        std::atan2(up.east - place.head.east, up.north - place.head.north) * 180.0 / std::numbers::pi;
    place.metresPerPixel =
        std::hypot(right.east - place.head.east, right.north - place.head.north) / kReachPx;
    if (!(place.metresPerPixel > 0.0)) {
        return std::nullopt;
    }
    place.centreX = model.ScreenCentreX();
    place.centreY = model.ScreenCentreY();
    return place;
}

/// The picture as drawn in the view, transparent outside its disc.
QImage DiscImage(const CTamsorDoc& doc, CMOndrelView& view, const PicturePlace& place) {
    const CPictureModel& model = view.Picture();
    QImage drawn(model.ClientWidth(), model.ClientHeight(), QImage::Format_RGB32);
    drawn.fill(Qt::black);
    PaintSonarPicture(drawn, doc, model);
    QImage disc(drawn.size(), QImage::Format_ARGB32);
    disc.fill(Qt::transparent);
    QPainter painter(&disc);
    QPainterPath circle;
    const double radius = static_cast<double>(model.Radius());
    circle.addEllipse(QPointF(place.centreX + 0.5, place.centreY + 0.5), radius, radius);
    painter.setClipPath(circle);
    painter.drawImage(0, 0, drawn);
    return disc;
}

} // namespace

std::optional<GeoPicture> PlacePicture(const CTamsorDoc& doc, CMOndrelView& view) {
    const std::optional<PicturePlace> place = PlaceOf(doc, view);
    const CPictureModel& model = view.Picture();
    if (!place || model.ClientWidth() <= 0 || model.ClientHeight() <= 0 || model.Side() <= 0) {
        return std::nullopt;
    }
    const QImage disc = DiscImage(doc, view, *place);
    // Turned clockwise about the head (the middle of its pixel) until its up points where it
    // does on the map, into an image just large enough for it.
    QTransform turn;
    turn.rotate(place->upBearingDeg);
    turn.translate(-(place->centreX + 0.5), -(place->centreY + 0.5));
    const QRectF bounds = turn.mapRect(QRectF(disc.rect()));
    GeoPicture picture;
    picture.image = QImage(static_cast<int>(std::ceil(bounds.width())) + 1,
                           static_cast<int>(std::ceil(bounds.height())) + 1, QImage::Format_ARGB32);
    picture.image.fill(Qt::transparent);
    QPainter painter(&picture.image);
    painter.setRenderHint(QPainter::SmoothPixmapTransform);
    painter.translate(-std::floor(bounds.left()), -std::floor(bounds.top()));
    painter.setTransform(turn, true);
    painter.drawImage(0, 0, disc);
    painter.end();
    const double m = place->metresPerPixel;
    picture.geoTransform = {place->head.east + std::floor(bounds.left()) * m, m,   0.0,
                            place->head.north - std::floor(bounds.top()) * m, 0.0, -m};
    picture.epsg = place->projection.Epsg();
    return picture;
}

std::string SavePictureAsGeoTiff(const CTamsorDoc& doc, CMOndrelView& view, const std::string& path) {
    const std::optional<GeoPicture> picture = PlacePicture(doc, view);
    if (!picture) {
        return "The ping shown has no position fix, or the head is mounted vertical: the picture has no "
               "place on the map.";
    }
    // GeoTIFF wants red, green, blue and alpha in that order, whatever the machine's byte order.
    const QImage rgba = picture->image.convertToFormat(QImage::Format_RGBA8888);
    const auto* bits = rgba.constBits();
    const auto width = static_cast<std::size_t>(rgba.width());
    std::vector<std::uint8_t> packed(width * static_cast<std::size_t>(rgba.height()) * 4);
    for (int y = 0; y < rgba.height(); ++y) {
        std::copy_n(bits + static_cast<std::size_t>(y) * static_cast<std::size_t>(rgba.bytesPerLine()),
                    width * 4,
                    packed.begin() + static_cast<std::ptrdiff_t>(static_cast<std::size_t>(y) * width * 4));
    }
    try {
        gis::WriteGeoImage(path, packed, rgba.width(), rgba.height(), picture->geoTransform, picture->epsg);
    } catch (const std::runtime_error& e) {
        return e.what();
    }
    return {};
}

bool CanPlacePicture(const CTamsorDoc& doc, const CMOndrelView* view) {
    return view != nullptr && PlaceOf(doc, *view).has_value();
}

void AskAndSavePictureAsGeoTiff(const CTamsorDoc& doc, CMOndrelView& view, QWidget* dialogParent,
                                IOperatorPort* op) {
    QString path = QFileDialog::getSaveFileName(dialogParent, QStringLiteral("Save Picture as GeoTIFF"),
                                                QString::fromStdString(doc.GetSettings().system.writeFolder),
                                                QStringLiteral("GeoTIFF (*.tif *.tiff)"));
    if (path.isEmpty()) {
        return;
    }
    if (QFileInfo(path).suffix().isEmpty()) {
        path += QStringLiteral(".tif");
    }
    const std::string error = SavePictureAsGeoTiff(doc, view, path.toStdString());
    if (!error.empty() && op != nullptr) {
        op->ShowMessage(error, MessageIcon::Error);
    }
}

} // namespace vexar
