// A LUT4's truth table as the equation of its bel's "EQN" mode, in the
// design format's operators: '~' not, '*' and, '+' or, '@' xor. Inputs
// are I0..I3; bit i of the table is the output for I0 + 2*I1 + 4*I2 + 8*I3.
#pragma once

#include <cstdint>
#include <string>

namespace NcdImport {

// LUT_INIT as nextpnr writes it (binary digits, most significant first) or
// as a decimal number (always, when `number`: the netlist held a JSON
// number); false for anything else or more than 16 bits.
bool ParseLutInit(const std::string& text, std::uint16_t& table, bool number = false);

// "O=0", "O=I2@I3", "O=~I0*I1+I3": a parity of the inputs the function
// depends on when it is one, else a minimal sum of products. The equation
// determines the table again: no information is lost.
std::string LutEquation(std::uint16_t table);

}  // namespace NcdImport
