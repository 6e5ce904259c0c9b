// A scene as an SVG picture: the device grid, one rectangle per placed comp
// coloured by module (IOBs outlined), RPM outlines, and nets drawn from
// driver to loads, full, partial and unrouted each in a style of its own.
// Every element carries a <title> naming its object, which viewers show
// on hovering.
#pragma once

#include <ostream>

#include "NcdPlot_Scene.h"

namespace NcdPlot {

void WriteSvg(const Scene& scene, std::ostream& out);

}  // namespace NcdPlot
