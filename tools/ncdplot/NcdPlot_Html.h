// A scene as one self-contained HTML page: the scene's data as JSON in the
// page and a script that draws it on a canvas (NcdPlot_Page.cpp). The page
// loads nothing (its content security policy allows no request), pans and
// zooms, colours comps by module or by type, highlights the blocks and
// nets whose names match a glob, shows a block's or net's properties on
// hover and click, and draws nets on demand.
//
// Everything taken from the design goes into the page as JSON strings
// escaped so that no text can end the script element ("<", ">", "&" and
// the line separators as \u escapes); the script puts names into the page
// as text, never as markup.
#pragma once

#include <ostream>
#include <string>
#include <string_view>

#include "NcdPlot_Scene.h"

namespace NcdPlot {

// The scene should be built with pins (SceneOptions::pins).
void WriteHtml(const Scene& scene, std::ostream& out);

// `text` as a JSON string literal safe inside an HTML script element.
std::string ScriptString(std::string_view text);

// The page's markup, style and script around the data (NcdPlot_Page.cpp).
extern const char* const kPageHead;    // up to the title text
extern const char* const kPageStyle;   // from the end of the title to the data
extern const char* const kPageScript;  // after the data, to the end

}  // namespace NcdPlot
