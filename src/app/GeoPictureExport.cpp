#include "app/GeoPictureExport.h"

#include "acquisition/CTamsorDoc.h"
#include "app/CMOndrelView.h"
#include "display/OverlayLayout.h"
#include "display/ViewPointer.h"
#include "gis/GeoTiffWriter.h"
#include "navigation/NavigationMath.h"
#include "platform/qt/PictureRenderer.h"

#include <QFileDialog>
#include <QFileInfo>
#include <QPainter>
#include <QPainterPath>

#include <cmath>
#include <numbers>
#include <stdexcept>

namespace vexar {

namespace {

/// Where the picture lies: the fix under its centre, the heading it is turned by and the metres
/// of one pixel. This is all the export reads of the document.
struct PicturePlace {
    UtmPoint fix;
    bool south = false;
    double headingDeg = 0.0;
    double metresPerPixel = 0.0;
    int centreX = 0; ///< pixel of the view under which the fix lies
    int centreY = 0;
};

std::optional<PicturePlace> PlaceOf(const CTamsorDoc& doc, const CMOndrelView& view) {
    const CNavigation& nav = doc.Navigation();
    // As the pointer's map position: a ping whose own sentence (played, or the live fix of its
    // request) gave a usable position.
    if (nav.m_latitudeText.empty() || nav.m_longitudeText.empty()) {
        return std::nullopt;
    }
    PicturePlace place;
    place.fix = LatLonToUtm(nav.m_latitude, nav.m_longitude);
    if (place.fix.easting == 0.0 || place.fix.northing == 0.0) {
        return std::nullopt;
    }
    const PingSettings& sonar = doc.Sonar();
    const CPictureModel& model = view.Picture();
    const float scale = SoundVelocityScale(sonar.soundVelocity, sonar.rangeCoefficient);
    place.metresPerPixel =
        static_cast<double>(CursorRangeM(1.0f, sonar.rangeM, model.ZoomFactor(), sonar.samples, scale));
    if (!(place.metresPerPixel > 0.0)) {
        return std::nullopt;
    }
    place.south = nav.m_latitude < 0.0;
    // A North Up picture is drawn turned already.
    place.headingDeg = static_cast<double>(nav.m_heading) - static_cast<double>(model.Turn().degrees);
    place.centreX = model.ClientWidth() / 2 - doc.ViewValues().panX;
    place.centreY = model.ClientHeight() / 2 - doc.ViewValues().panY;
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
    // Turned clockwise by the heading about the fix (the middle of its pixel), into an image
    // just large enough for it.
    QTransform turn;
    turn.rotate(place->headingDeg);
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
    picture.geoTransform = {place->fix.easting + std::floor(bounds.left()) * m, m,   0.0,
                            place->fix.northing - std::floor(bounds.top()) * m, 0.0, -m};
    picture.epsg = (place->south ? 32700 : 32600) + place->fix.zone;
    return picture;
}

std::string SavePictureAsGeoTiff(const CTamsorDoc& doc, CMOndrelView& view, const std::string& path) {
    const std::optional<GeoPicture> picture = PlacePicture(doc, view);
    if (!picture) {
        return "The ping shown has no position fix: the picture has no place on the map.";
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
                                                QString::fromStdString(doc.System().writeFolder),
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
