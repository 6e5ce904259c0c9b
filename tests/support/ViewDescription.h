// A text description of a loaded view, for comparing two views that should
// be the same design (EXPECT_EQ on the texts shows any difference as a
// diff).
//
// The description holds every answer of the view's reading interface: the
// view's maxima, masters, design information and name index; the device
// (regions with bounds, cell definitions with their mode definitions,
// cells); then each block, pin, signal, network and property holder by
// bridge id, with what the mediators (placement, routing records, relocation,
// delays), the usages (general configuration data, modes, IO usage) and the
// shape manager answer about it. Other objects are named by kind, bridge id
// and name ("block#3\"c0\""), never by address, so two loads of one file
// describe identically. Names are quoted with every byte outside printable
// ASCII, and the quote and backslash, written as \xHH, \" and \\.
//
// Queries that take a name are asked with the names the object itself
// holds: the general configuration data a block sets or marks invalid, the
// modes a block sets and those its placement's cell definition lists (and
// "EQN"), the names of a block's pins.
#pragma once

#include <string>

class XCad_CadView;

// Every answer of the view's reading interface, one line per object, in
// bridge-id order.
std::string DescribeView(const XCad_CadView& view);
