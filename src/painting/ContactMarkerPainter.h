#pragma once
// The contacts' markers on the sonar picture: a numbered ring at each contact that lies on the
// visible picture, an arrow with its number at the picture's edge for one beyond it. The view and
// the command-line renderer draw them alike.

#include "contacts/ContactMarking.h"

#include <vector>

class QPainter;

namespace vexar {

class CTamsorDoc;
class CPictureModel;

/// One contact to be marked on the picture of the ping shown.
struct MarkerOnPicture {
    int number = 0;
    PicturePoint point; ///< where it appears in the picture (ContactPicturePoint)
    bool selected = false;
};
using ContactMarkers = std::vector<MarkerOnPicture>;

/// Out of the swept plane by more than this (m), a contact is not where the beams look now: its
/// marker is drawn faint.
inline constexpr double kMarkerInPlaneM = 1.0;

/// How the picture of the view lies on the screen: its centre, scale and radius, and its turn
/// (North Up turns it by the ping's heading; none in Head Up).
PictureFrame PictureFrameOf(const CTamsorDoc& doc, const CPictureModel& model);

/// Draws the markers over the picture laid out by `frame`.
void PaintContactMarkers(QPainter& painter, const ContactMarkers& markers, const PictureFrame& frame);

} // namespace vexar
