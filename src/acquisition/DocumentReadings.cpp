// What programs read of the document beyond its accessors: the picture's input and the place of
// the ping shown.

#include "acquisition/CTamsorDoc.h"
#include "display/CPictureModel.h"

namespace vexar {

PictureInput PictureInputOf(const CTamsorDoc& doc) {
    const CShownPing& shown = doc.Shown();
    const CCombinedImage& combined = doc.PingRoutine().Combined();
    PictureInput input;
    input.settings = &shown.Settings();
    input.view = &doc.GetSettings().view;
    input.combinedImage = combined.Image().data();
    input.combinedProfile = combined.Profile().data();
    input.heads = &doc.PingRoutine().Heads();
    input.displayedPingPeriodMs = shown.Timings().displayedPingPeriodMs;
    input.geometryVersion = shown.GeometryVersion();
    input.clearVersion = shown.ClearVersion();
    input.topBearingDeg = TopBearingOfPicture(shown.Navigation(), doc.GetSettings().mounting);
    return input;
}

std::optional<HeadPose> PoseOfShownPing(const CTamsorDoc& doc) {
    const Settings& settings = doc.GetSettings();
    return PoseOfPing(doc.Shown().Navigation(), doc.Shown().Clock().timeStamp, settings.mounting,
                      settings.system.maxFixAgeMs);
}

} // namespace vexar
