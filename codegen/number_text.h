// Classification of literal text as a number.
#pragma once

// True when [start, end) is a number: with hexOnly, hexadecimal digits after
// an optional "0x" or 'x'; otherwise decimal digits and '.' after an optional
// sign or "0x", the last byte also 'H' or 'h'. Empty text counts as a number.
bool isNumberText(const char* start, const char* end, bool hexOnly);
