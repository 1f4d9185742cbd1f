// Standard output, where every message, note and the usage text go.
#pragma once

// Writes a NUL-terminated narrow text unchanged; no newline is added.
void printToStdout(const char* text);

// printf to standard output with the C runtime's formatting.
void printfToStdout(const char* format, ...) __attribute__((format(printf, 1, 2)));
