#include "display/PictureOrientation.h"

#include "display/CPictureModel.h"

#include <cmath>

namespace vexar {

PictureTurn TurnOfPicture(ViewOrientation orientation, int beamsPerHead, std::optional<float> headingDeg) {
    PictureTurn turn;
    if (orientation != ViewOrientation::NorthUp || !headingDeg || !std::isfinite(*headingDeg)) {
        return turn;
    }
    // The sweep spreads its beams evenly over the circle: beam i is drawn at i x 360 / G degrees.
    const int sweepBeams = CPictureModel::PlanSweep(beamsPerHead).totalBeams;
    const double perBeam = 360.0 / sweepBeams;
    const double heading = std::fmod(static_cast<double>(*headingDeg), 360.0);
    long beams = std::lround((heading < 0.0 ? heading + 360.0 : heading) / perBeam) % sweepBeams;
    turn.beams = static_cast<int>(beams);
    turn.degrees = static_cast<float>(turn.beams * perBeam);
    turn.northUp = true;
    return turn;
}

} // namespace vexar
