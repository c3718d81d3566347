#pragma once
// The view settings that choose one of a few ways. The settings file keeps the numbers and
// words it always had; the code names the choices.

#include "common/RangeText.h" // DistanceUnit, "Unit": 0 or 1

namespace vexar {

/// The grid over the picture ("Grid": 0 to 3).
enum class GridStyle : int { None = 0, Polar = 1, Rectangular = 2, Line = 3 };

/// How the polar picture is turned ("Orientation": "Head Up" or "North Up").
enum class ViewOrientation : int { HeadUp = 0, NorthUp = 1 };

} // namespace vexar
