// Save Screen writes the whole window in five formats chosen by the extension.

#include "ConsoleFixture.h"

#include "app/ScreenCapture.h"

#include <QFileInfo>
#include <QImageReader>

#include <cstdlib>

namespace vexar::test {
namespace {

using CaptureTest = ConsoleTest;

TEST(ScreenImageFormat, FirstThreeLettersOfTheLowerCasedExtension) {
    EXPECT_EQ(ScreenImageFormatFor(QStringLiteral("/a/Screen.PNG")), ScreenImageFormat::Png);
    EXPECT_EQ(ScreenImageFormatFor(QStringLiteral("x.tiff")), ScreenImageFormat::Tiff);
    EXPECT_EQ(ScreenImageFormatFor(QStringLiteral("x.gif")), ScreenImageFormat::Gif);
    EXPECT_EQ(ScreenImageFormatFor(QStringLiteral("x.Bmp")), ScreenImageFormat::Bmp);
    EXPECT_EQ(ScreenImageFormatFor(QStringLiteral("x.jpg")), ScreenImageFormat::Jpeg);
    EXPECT_FALSE(ScreenImageFormatFor(QStringLiteral("x.jpeg")));
    EXPECT_FALSE(ScreenImageFormatFor(QStringLiteral("x.jp")));
    EXPECT_FALSE(ScreenImageFormatFor(QStringLiteral("noextension")));
    EXPECT_FALSE(ScreenImageFormatFor(QStringLiteral("dir.png/file")));
}

TEST_F(CaptureTest, WritesEachFormatAtTheWindowSize) {
    const QSize size = m_frame->size();
    const std::pair<const char*, const char*> files[] = {{"shot.bmp", "bmp"},   {"shot.gif", "gif"},
                                                         {"shot.jpg", "jpeg"},  {"Shot.TIF", "tiff"},
                                                         {"Screen.PNG", "png"}, {"shot.tiff", "tiff"}};
    for (const auto& [name, format] : files) {
        const QString path = m_folder.filePath(QString::fromLatin1(name));
        m_frame->SaveScreenTo(path);
        QImageReader reader(path);
        EXPECT_EQ(reader.format(), QByteArray(format)) << name;
        const QImage image = reader.read();
        ASSERT_FALSE(image.isNull()) << name << ": " << reader.errorString().toStdString();
        EXPECT_EQ(image.size(), size) << name;
    }
    EXPECT_TRUE(m_operator.m_messages.empty());
}

TEST_F(CaptureTest, RefusesOtherExtensions) {
    const QString path = m_folder.filePath(QStringLiteral("shot.jpeg"));
    m_frame->SaveScreenTo(path);
    EXPECT_FALSE(QFileInfo::exists(path));
    ASSERT_EQ(m_operator.m_messages.size(), 1u);
    EXPECT_EQ(m_operator.m_messages[0], "Invalid File Format");
    EXPECT_EQ(m_operator.m_icons[0], MessageIcon::Warning);
}

TEST_F(CaptureTest, AFailedWriteIsReportedAndEveryFormatGetsTheSamePermissions) {
    m_frame->SaveScreenTo(m_folder.filePath(QStringLiteral("missing/shot.png")));
    ASSERT_EQ(m_operator.m_messages.size(), 1u);
    EXPECT_EQ(m_operator.m_messages[0], "Can't save the screen!");
    m_frame->SaveScreenTo(m_folder.filePath(QStringLiteral("missing/shot.gif")));
    EXPECT_EQ(m_operator.m_messages.size(), 2u);

    const QString png = m_folder.filePath(QStringLiteral("same.png"));
    const QString gif = m_folder.filePath(QStringLiteral("same.gif"));
    m_frame->SaveScreenTo(png);
    m_frame->SaveScreenTo(gif);
    EXPECT_EQ(QFileInfo(gif).permissions(), QFileInfo(png).permissions());
}

TEST_F(CaptureTest, GifKeepsThePicture) {
    QImage image(40, 30, QImage::Format_RGB32);
    image.fill(QColor(10, 200, 30));
    for (int x = 0; x < 20; ++x) {
        image.setPixelColor(x, 5, QColor(250, 0, 0));
    }
    const QString path = m_folder.filePath(QStringLiteral("plain.gif"));
    ASSERT_EQ(SaveScreenImage(image, path), SaveScreenResult::Saved);
    const QImage back(path);
    ASSERT_EQ(back.size(), image.size());
    // giflib's quantiser keeps five bits a channel.
    const auto near = [](QColor a, QColor b) {
        return std::abs(a.red() - b.red()) <= 8 && std::abs(a.green() - b.green()) <= 8 &&
               std::abs(a.blue() - b.blue()) <= 8;
    };
    EXPECT_TRUE(near(back.pixelColor(3, 5), QColor(250, 0, 0)));
    EXPECT_TRUE(near(back.pixelColor(30, 20), QColor(10, 200, 30)));
    EXPECT_FALSE(near(back.pixelColor(30, 5), QColor(250, 0, 0)));
}

} // namespace
} // namespace vexar::test
