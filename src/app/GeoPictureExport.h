#pragma once
// "Save Picture as GeoTIFF...": the sonar picture as drawn, placed on the map at the position fix
// of the ping shown and turned by its heading (the top of the picture points along the heading,
// its right side to starboard), saved as a GeoTIFF with an alpha band in the UTM zone of the fix.
// One image a ping; the item is enabled while a ping with a usable fix is shown.

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

/// The picture shown, placed on the map; nothing when the ping shown has no usable fix or the
/// view shows no picture.
std::optional<GeoPicture> PlacePicture(const CTamsorDoc& doc, CMOndrelView& view);

/// Saves the placed picture of the view to `path`; returns an error text, empty on success.
std::string SavePictureAsGeoTiff(const CTamsorDoc& doc, CMOndrelView& view, const std::string& path);

/// True when the view shows a picture of a ping with a usable fix ("Save Picture as GeoTIFF..."
/// is enabled).
bool CanPlacePicture(const CTamsorDoc& doc, const CMOndrelView* view);

/// "Save Picture as GeoTIFF...": asks for a file and saves the placed picture of the view; errors
/// go to the operator.
void AskAndSavePictureAsGeoTiff(const CTamsorDoc& doc, CMOndrelView& view, QWidget* dialogParent,
                                IOperatorPort* op);

} // namespace vexar
