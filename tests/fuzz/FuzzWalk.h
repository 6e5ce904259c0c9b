// The fuzz target's walk over a loaded view: every object by bridge id and
// by list, every question the shared designs ask of it, and the links
// between objects checked both ways.
#pragma once

#include <string>

class XCad_CadView;

// Ends the process with `context` when `ok` is false (a finding).
void FuzzCheck(bool ok, const std::string& context);

// What the walk may take on trust: a design file's loader checks it all;
// the snapshot reader leaves out what costs it a look-up per object and
// cannot make a view read out of place or loop.
struct FuzzWalkChecks {
  // Names are unique where the format says so (a block's pins, a block's
  // configuration data), so that a look-up by name finds the object named.
  bool uniqueNames = true;
  // A routing node's driver is a pin of the node's network.
  bool driversOnTheirNetworks = true;
};

void FuzzWalk(XCad_CadView& view, const FuzzWalkChecks& checks = {});
