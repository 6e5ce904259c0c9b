// A scene as an SVG picture: the device grid, one rectangle per placed comp
// coloured by module (IOBs outlined), RPM outlines, and nets drawn from
// driver to loads, full, partial and unrouted each in a style of its own.
// Every element carries a <title> naming its object, which viewers show
// on hovering; highlighted comps and nets have the class "hl".
#pragma once

#include <ostream>
#include <string>
#include <string_view>

#include "NcdPlot_Scene.h"

namespace NcdPlot {

// Nets with more loads than maxFanout are left out (and counted).
// `text` with the characters markup gives a meaning (& < > ") as entities,
// for XML and HTML text and attributes.
std::string MarkupText(std::string_view text);

void WriteSvg(const Scene& scene, std::ostream& out, std::uint32_t maxFanout = 40);

}  // namespace NcdPlot
