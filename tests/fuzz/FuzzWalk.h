// The fuzz target's walk over a loaded view: every object by bridge id and
// by list, every question the shared designs ask of it, and the links
// between objects checked both ways.
#pragma once

#include <string>

class XCad_CadView;

// Ends the process with `context` when `ok` is false (a finding).
void FuzzCheck(bool ok, const std::string& context);

void FuzzWalk(XCad_CadView& view);
