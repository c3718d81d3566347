// What marking a contact costs the console's window thread, and what it leaves to other threads.
// On the window's thread: the contact from the ping's navigation, the picture's 256 x 256 chip cut
// from the drawn client area (1280 x 1024), the list, and the change handed to the writer. Off it:
// the chip's PNG encoding and the GeoPackage write of one contact.

#include "contacts/CContactList.h"
#include "contacts/ContactMarking.h"
#include "contacts/file/CContactWriter.h"
#include "contacts/file/ContactFile.h"

#include <QBuffer>
#include <QImage>

#include <benchmark/benchmark.h>

#include <filesystem>
#include <random>

namespace vexar {
namespace {

CNavigation Nav() {
    CNavigation nav;
    nav.m_latitude = 2.5;
    nav.m_longitude = -99.2;
    nav.m_latitudeText = "lat";
    nav.m_longitudeText = "lon";
    nav.m_heading = 30.0f;
    nav.m_headingText = "30.0";
    nav.m_depth = 12.0f;
    nav.m_depthText = "12.0";
    return nav;
}

PingSettings Settings() {
    PingSettings settings;
    settings.beams = 120;
    settings.soundVelocity = 1500.0f;
    return settings;
}

QImage DrawnPicture() {
    QImage image(1280, 1024, QImage::Format_RGB32);
    std::mt19937 random(7);
    for (int y = 0; y < image.height(); ++y) {
        auto* row = reinterpret_cast<QRgb*>(image.scanLine(y));
        for (int x = 0; x < image.width(); ++x) {
            row[x] = qRgb(static_cast<int>(random() % 256), static_cast<int>(random() % 256), 0);
        }
    }
    return image;
}

std::string Folder() {
    const auto folder =
        std::filesystem::temp_directory_path() / ("vexar-contact-bench-" + std::to_string(getpid()));
    std::filesystem::create_directories(folder);
    return folder.string();
}

void MarkOnWindowThread(benchmark::State& state) {
    const CNavigation nav = Nav();
    const PingSettings settings = Settings();
    const QImage picture = DrawnPicture();
    const std::string folder = Folder();
    contacts::CContactWriter writer;
    CContactList list;
    int i = 0;
    for (auto _ : state) {
        MarkingInput input;
        input.pictureBearingDeg = static_cast<float>(i % 360);
        input.rangeM = 5.0f;
        const int number = list.Add(MakeContact(nav, PoseOfPing(nav, "", {}, 2000), settings, input));
        const QImage chip = picture.copy(500 + i % 100, 400, 256, 256);
        benchmark::DoNotOptimize(chip.constBits());
        writer.Put(folder + "/bench.contacts.gpkg", *list.Find(number));
        ++i;
    }
    writer.Flush();
    std::filesystem::remove_all(folder);
}
BENCHMARK(MarkOnWindowThread)->Unit(benchmark::kMillisecond);

void EncodeChip(benchmark::State& state) {
    const QImage chip = DrawnPicture().copy(500, 400, 256, 256);
    for (auto _ : state) {
        QByteArray png;
        QBuffer buffer(&png);
        buffer.open(QIODevice::WriteOnly);
        chip.save(&buffer, "PNG");
        benchmark::DoNotOptimize(png.data());
    }
}
BENCHMARK(EncodeChip)->Unit(benchmark::kMillisecond);

void WriteOneContact(benchmark::State& state) {
    const std::string folder = Folder();
    MarkingInput input;
    input.rangeM = 5.0f;
    Contact contact = MakeContact(Nav(), PoseOfPing(Nav(), "", {}, 2000), Settings(), input);
    contact.chipPng.assign(60000, 0x5a);
    int number = 0;
    for (auto _ : state) {
        contact.number = ++number;
        const std::string error =
            contacts::WriteContactChanges(folder + "/bench.contacts.gpkg", {{number, &contact}});
        if (!error.empty()) {
            state.SkipWithError(error.c_str());
        }
    }
    std::filesystem::remove_all(folder);
}
BENCHMARK(WriteOneContact)->Unit(benchmark::kMillisecond);

} // namespace
} // namespace vexar

BENCHMARK_MAIN();
