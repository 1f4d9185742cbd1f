// korvo-probe: a test-only window onto the compiler's internal stages.
// Each tests/probe/*.cpp file registers its subcommands with KORVO_PROBE;
// main() dispatches on the first argument.
#pragma once

#include <string>
#include <string_view>

namespace probe {

// A subcommand receives the arguments after its own name and returns the
// process exit status.
using Command = int (*)(int argc, char** argv);

struct Registration {
    Registration(std::string_view name, std::string_view usage, Command command);
};

// Appends the whole file to `text`; "-" reads standard input. False when the
// file cannot be opened or read.
bool readInput(const char* path, std::string& text);

// Diagnostics go to standard output through the compiler's own logger.
void startConsole();

}  // namespace probe

#define KORVO_PROBE_CONCAT2(a, b) a##b
#define KORVO_PROBE_CONCAT(a, b) KORVO_PROBE_CONCAT2(a, b)
#define KORVO_PROBE(name, usage, function) \
    static ::probe::Registration KORVO_PROBE_CONCAT(probeRegistration_, __LINE__)(name, usage, function)
