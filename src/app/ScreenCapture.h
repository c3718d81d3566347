#pragma once
// Saving a picture of the main window: the image format follows the first three letters of the
// lower-cased file extension; BMP, JPEG, TIFF and PNG go through Qt's image writers, GIF through
// giflib (Qt has no GIF writer).

#include <QImage>
#include <QString>

#include <optional>

class QWidget;

namespace vexar {

enum class ScreenImageFormat { Bmp, Gif, Jpeg, Tiff, Png };

/// The format of a chosen file name, or nothing for any other extension (".jpeg", ".jp", none).
std::optional<ScreenImageFormat> ScreenImageFormatFor(const QString& path);

/// Writes an 8-bit GIF: the picture is quantised to 256 colours by giflib. False on failure.
bool WriteGif(const QImage& image, const QString& path);

enum class SaveScreenResult { Saved, InvalidFormat, WriteFailed };

/// Saves the image in the format of the path's extension.
SaveScreenResult SaveScreenImage(const QImage& image, const QString& path);

/// The whole top-level window as the toolkit draws it: its client area with menu bar, bars, view
/// and info panel. The window manager's frame is not part of it. Null when it cannot be taken.
QImage CaptureWindow(QWidget& window);

/// Save dialog filters in their order: "Bitmap: (*.BMP)" with *.bmp, and so on.
QString SaveScreenFilters();

} // namespace vexar
