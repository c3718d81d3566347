#pragma once
// "Save Picture as GeoTIFF...": the sonar picture as drawn, placed on the map where the head of
// the ping shown was and turned as it lay (the top of the picture points along the heading plus
// the head's yaw), saved as a GeoTIFF with an alpha band in the UTM zone of the fix. One image a
// ping; the item is enabled while a ping with a usable fix is shown and the head is level (a
// vertical fan's picture is a cross-section, not a view of the map).

#include <QImage>

#include <array>
#include <optional>
#include <string>

class QWidget;

namespace vexar {

class CTamsorDoc;
class IOperatorPort;
class CMOndrelView;

/// The picture of the view, north up, with what places it on the map.
struct GeoPicture {
    QImage image;                         ///< ARGB32; alpha 0 outside the picture's disc
    std::array<double, 6> geoTransform{}; ///< pixel edges to easting and northing, as GDAL's
    int epsg = 0;                         ///< WGS 84 / UTM zone of the fix
};

/// The picture shown, placed on the map; nothing when the ping shown has no usable fix, the head
/// is vertical or the view shows no picture.
std::optional<GeoPicture> PlacePicture(const CTamsorDoc& doc, CMOndrelView& view);

/// Saves the placed picture of the view to `path`; returns an error text, empty on success.
std::string SavePictureAsGeoTiff(const CTamsorDoc& doc, CMOndrelView& view, const std::string& path);

/// True when the view shows a picture of a level head's ping with a usable fix ("Save Picture as
/// GeoTIFF..." is enabled).
bool CanPlacePicture(const CTamsorDoc& doc, const CMOndrelView* view);

/// "Save Picture as GeoTIFF...": asks for a file and saves the placed picture of the view; errors
/// go to the operator.
void AskAndSavePictureAsGeoTiff(const CTamsorDoc& doc, CMOndrelView& view, QWidget* dialogParent,
                                IOperatorPort* op);

} // namespace vexar
