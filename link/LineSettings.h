#pragma once

#include <termios.h>

#include "link/Dcb.h"

// Turns a Dcb into terminal attributes on top of what the port reported: raw bytes, no flow
// control, the receiver on, modem status lines ignored. A pseudo-terminal gets no parity: it has
// no line to carry it, and the kernel rejects PARENB there on every call after the first.
// Returns false for a rate or format the port cannot do (errno-style reason in error).
bool BuildLineSettings(const Dcb& dcb, bool pseudoTerminal, termios& settings, int& error);

// The Dcb fields that terminal attributes hold, read back from them.
void ReadLineSettings(const termios& settings, Dcb& dcb);
