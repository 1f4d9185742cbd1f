// Standard output, where every message, note and the usage text go.
#pragma once

// Writes a NUL-terminated narrow text unchanged; no newline is added.
void printToStdout(const char* text);

// printf to standard output with the C runtime's formatting.
void printfToStdout(const char* format, ...) __attribute__((format(printf, 1, 2)));

// Flushes standard output at the end of the run. False, with the reason on
// standard error, when any of it was lost on the way: a listing or message
// that did not arrive whole is a failure, not a success.
bool finishStdout();
