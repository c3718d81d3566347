#include "app/ScreenCapture.h"

#include <QFile>
#include <QFileInfo>
#include <QPixmap>
#include <QWidget>

#include <gif_lib.h>

#include <memory>
#include <vector>

namespace vexar {

std::optional<ScreenImageFormat> ScreenImageFormatFor(const QString& path) {
    const QString name = QFileInfo(path).fileName().toLower();
    const qsizetype dot = name.lastIndexOf(QLatin1Char('.'));
    if (dot < 0) {
        return std::nullopt;
    }
    const QString head = name.mid(dot + 1, 3);
    if (head == QLatin1String("bmp")) {
        return ScreenImageFormat::Bmp;
    }
    if (head == QLatin1String("jpg")) {
        return ScreenImageFormat::Jpeg;
    }
    if (head == QLatin1String("gif")) {
        return ScreenImageFormat::Gif;
    }
    if (head == QLatin1String("tif")) {
        return ScreenImageFormat::Tiff;
    }
    if (head == QLatin1String("png")) {
        return ScreenImageFormat::Png;
    }
    return std::nullopt;
}

bool WriteGif(const QImage& image, const QString& path) {
    if (image.isNull()) {
        return false;
    }
    const QImage rgb = image.convertToFormat(QImage::Format_RGB888);
    const auto width = static_cast<unsigned>(rgb.width());
    const auto height = static_cast<unsigned>(rgb.height());
    const std::size_t count = static_cast<std::size_t>(width) * height;
    std::vector<GifByteType> red(count), green(count), blue(count), indices(count);
    for (int y = 0; y < rgb.height(); ++y) {
        const uchar* row = rgb.constScanLine(y);
        for (int x = 0; x < rgb.width(); ++x) {
            const std::size_t i = static_cast<std::size_t>(y) * width + static_cast<std::size_t>(x);
            red[i] = row[3 * x];
            green[i] = row[3 * x + 1];
            blue[i] = row[3 * x + 2];
        }
    }
    int mapSize = 256;
    std::vector<GifColorType> colours(256);
    if (GifQuantizeBuffer(width, height, &mapSize, red.data(), green.data(), blue.data(), indices.data(),
                          colours.data()) == GIF_ERROR) {
        return false;
    }
    const auto freeMap = [](ColorMapObject* map) { GifFreeMapObject(map); };
    std::unique_ptr<ColorMapObject, decltype(freeMap)> map(GifMakeMapObject(256, colours.data()), freeMap);
    if (!map) {
        return false;
    }
    // Written through QFile, as Qt writes the other formats, so that every screen file gets the
    // same permissions (giflib's own open makes the file readable by its owner only).
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate)) {
        return false;
    }
    const OutputFunc write = [](GifFileType* target, const GifByteType* bytes, int length) -> int {
        auto* out = static_cast<QFile*>(target->UserData);
        return static_cast<int>(out->write(reinterpret_cast<const char*>(bytes), length));
    };
    int error = 0;
    GifFileType* gif = EGifOpen(&file, write, &error);
    if (gif == nullptr) {
        file.close();
        QFile::remove(path);
        return false;
    }
    bool ok = EGifPutScreenDesc(gif, rgb.width(), rgb.height(), 8, 0, map.get()) != GIF_ERROR &&
              EGifPutImageDesc(gif, 0, 0, rgb.width(), rgb.height(), false, nullptr) != GIF_ERROR;
    for (unsigned y = 0; ok && y < height; ++y) {
        ok = EGifPutLine(gif, indices.data() + static_cast<std::size_t>(y) * width, rgb.width()) != GIF_ERROR;
    }
    if (EGifCloseFile(gif, &error) == GIF_ERROR || !file.flush()) {
        ok = false;
    }
    file.close();
    if (!ok) {
        QFile::remove(path); // a cut-off GIF is worse than none
    }
    return ok;
}

SaveScreenResult SaveScreenImage(const QImage& image, const QString& path) {
    const std::optional<ScreenImageFormat> format = ScreenImageFormatFor(path);
    if (!format) {
        return SaveScreenResult::InvalidFormat;
    }
    bool ok = false;
    switch (*format) {
    case ScreenImageFormat::Gif:
        ok = WriteGif(image, path);
        break;
    case ScreenImageFormat::Bmp:
        ok = image.save(path, "BMP");
        break;
    case ScreenImageFormat::Jpeg:
        ok = image.save(path, "JPEG");
        break;
    case ScreenImageFormat::Tiff:
        ok = image.save(path, "TIFF");
        break;
    case ScreenImageFormat::Png:
        ok = image.save(path, "PNG");
        break;
    }
    return ok ? SaveScreenResult::Saved : SaveScreenResult::WriteFailed;
}

QImage CaptureWindow(QWidget& window) {
    if (window.width() <= 0 || window.height() <= 0) {
        return {};
    }
    return window.grab().toImage().convertToFormat(QImage::Format_RGB32);
}

QString SaveScreenFilters() {
    return QStringLiteral("Bitmap: (*.BMP) (*.bmp);;"
                          "Graphics Interchange Format: (*.GIF) (*.gif);;"
                          "JPG File Interchange Format: (*.JPG) (*.jpg);;"
                          "Tag Image File Format: (*.TIF) (*.tif);;"
                          "Portable Networks Graphics: (*.PNG) (*.png)");
}

} // namespace vexar
