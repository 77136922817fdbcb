// Display scale. Layouts are written in pixels of a 96-dpi screen, Windows' 100 %; on a screen of
// another dpi each position, size and font height is scaled once, when the window is made.
#pragma once

constexpr int kDesignDpi = 96;

// Value, a length at 96 dpi (negative too: a font's character height), as many pixels at Dpi:
// rounded to the nearest, halves away from zero, as MulDiv(value, dpi, 96) rounds.
int ScaleToDpi(int value, int dpi);
