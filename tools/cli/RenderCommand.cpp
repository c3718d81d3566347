// vexar-cli render FILE.R96 --ping N --out OUT.png: the console's picture of one ping of a raw
// recording, with its overlays, drawn through the same playback, per-ping and picture code.

#include "CliCommand.h"
#include "HeadlessDocument.h"

#include "display/CPictureModel.h"
#include "files/CPlayer.h"
#include "painting/PictureRenderer.h"

#include <QImage>

#include <cstdio>
#include <regex>

namespace vexar::cli {
namespace {

struct RenderOptions {
    std::string input;
    std::string output;
    std::uint64_t ping = 0;
    std::string size = "1024x1024";
    std::string zoom = "fill";
    std::string mode = "polar";
    int colorTable = -1;
    std::string orientation; ///< "head" or "north"; empty: the settings file's
};

struct Size {
    int width;
    int height;
};

Size ParseSize(const std::string& text) {
    static const std::regex pattern(R"((\d{2,4})[xX](\d{2,4}))");
    std::smatch match;
    if (!std::regex_match(text, match, pattern)) {
        throw CLI::ValidationError("--size", "expected WxH, e.g. 1024x768");
    }
    return {std::stoi(match[1]), std::stoi(match[2])};
}

int RunRender(const RenderOptions& options, const CommonOptions& common) {
    const Size size = ParseSize(options.size);
    HeadlessDocument headless(common, false, false);
    CTamsorDoc& doc = *headless.doc;

    doc.EditSettings([&options](Settings& s) {
        s.view.zoomIndex = options.zoom == "100" ? 0 : (options.zoom == "50" ? 1 : 2);
        s.sonar.displayMode = options.mode == "beamtest" ? kDisplayModeBeamTest : kDisplayModePolar;
        if (options.colorTable >= 0) {
            s.view.colorTable = options.colorTable;
        }
        if (!options.orientation.empty()) {
            s.view.orientation =
                options.orientation == "north" ? ViewOrientation::NorthUp : ViewOrientation::HeadUp;
        }
    });
    if (options.orientation == "north" && doc.GetSettings().mounting.plane != HeadPlane::Level) {
        throw Failure(
            "--orientation north needs a level head: the picture of a vertical one is a cross-section "
            "([Mounting] Head Plane=Level in the settings file)");
    }

    CPictureModel model(doc.PingRoutine().Workers());
    model.InitialUpdate(PictureInputOf(doc));
    model.Resize(PictureInputOf(doc), size.width, size.height);
    // Every processed ping updates the picture, as the console's view does.
    struct PictureUpdater : IDocumentListener {
        PictureUpdater(CTamsorDoc& d, CPictureModel& m) : doc(d), model(m) { doc.Subscribe(*this); }
        ~PictureUpdater() override { doc.Unsubscribe(*this); }
        PictureUpdater(const PictureUpdater&) = delete;
        PictureUpdater& operator=(const PictureUpdater&) = delete;
        void OnPingProcessed() override { model.Update(PictureInputOf(doc)); }
        CTamsorDoc& doc;
        CPictureModel& model;
    } updater(doc, model);

    PlayRecordingOnce(doc, options.input);
    std::uint64_t played = 0;
    for (;;) {
        const StepResult result = doc.Playback().Step();
        if (result == StepResult::Ping && played++ == options.ping) {
            break;
        }
        if (result == StepResult::AtEnd || result == StepResult::Idle) {
            throw Failure(options.input + " has " + std::to_string(played) + " whole pings; ping " +
                          std::to_string(options.ping) + " does not exist");
        }
    }
    const QImage image = RenderDocumentPicture(doc, model, QSize(size.width, size.height));
    if (image.isNull() || !image.save(QString::fromStdString(options.output))) {
        throw Failure("cannot write " + options.output);
    }
    std::printf("ping %llu of %s drawn to %s (%dx%d)\n", static_cast<unsigned long long>(options.ping),
                options.input.c_str(), options.output.c_str(), size.width, size.height);
    return kExitOk;
}

const bool kRegistered = RegisterCommand(
    "render", "Draw the console's picture of one ping of a raw recording to an image file",
    [](CLI::App& command, const CommonOptions& common) -> std::function<int()> {
        auto options = std::make_shared<RenderOptions>();
        AddRecordingArgument(command, options->input);
        command.add_option("--ping", options->ping, "ping to draw, counted from 0 like `info` lists them")
            ->capture_default_str();
        command.add_option("--out", options->output, "image to write (.png, .bmp, .jpg, ...)")->required();
        command.add_option("--size", options->size, "picture size WxH in pixels")->capture_default_str();
        command.add_option("--zoom", options->zoom, "100, 50 or fill")
            ->check(CLI::IsMember({"100", "50", "fill"}))
            ->capture_default_str();
        command.add_option("--mode", options->mode, "polar or beamtest")
            ->check(CLI::IsMember({"polar", "beamtest"}))
            ->capture_default_str();
        command
            .add_option("--color-table", options->colorTable,
                        "colour table 0-8 (default: the settings file's)")
            ->check(CLI::Range(0, 8));
        command
            .add_option("--orientation", options->orientation,
                        "head (bow at the top) or north (turned by the ping's heading, for a level head); "
                        "default: the "
                        "settings file's")
            ->check(CLI::IsMember({"head", "north"}));
        return [options, &common] { return RunRender(*options, common); };
    });

} // namespace
} // namespace vexar::cli
