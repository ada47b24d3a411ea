#pragma once

#include <termios.h>

#include "line_state.h"

namespace zamel {

// The termios speed constant of a rate, or B0 for a rate the terminal cannot
// take.
speed_t speedForBaud(int baud);

// Reads the parts of the block that termios holds (format, XON/XOFF, CTS flow,
// parity check); the rest keeps its value.
void readLineState(const termios& tio, LineState& state);
// Writes the block into a raw termios record (non-blocking reads). False when
// the block holds what termios cannot express (a rate or data-bit count it
// does not know).
bool writeLineState(const LineState& state, termios& tio);

}  // namespace zamel
