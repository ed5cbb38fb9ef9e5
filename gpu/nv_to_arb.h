// Translation of NV_vertex_program 1.0 text into ARB_vertex_program text, for
// drivers that offer only the ARB extension. Pure: no GL.
#pragma once

#include <cstddef>
#include <string>

constexpr int NvMaxInstructions = 128;

// Handles the header, MOV, ADD, MUL, MAD, DP4 and END over R0-R11, c[0-95],
// v[0-15] (or their names), o[HPOS] and o[COL0], with swizzles, write masks
// and negation, and keeps the NV rules the ARB language lacks: registers
// start at zero, outputs at (0, 0, 0, 1), one distinct c[] and one distinct
// v[] per instruction, at most 128 instructions, o[HPOS] written.
// Anything else fails with *error = "character N: reason" (N counts from 0).
bool translateNvToArb(const char* text, size_t length, std::string* arbText, std::string* error);
