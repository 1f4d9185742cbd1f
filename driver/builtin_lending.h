// Registering the built-ins costs more than compiling a small source. A
// process that compiles many sources (a fuzz target) registers them once and
// lends them to each compilation; the compiler, which compiles once per
// process, registers them into its one compilation.
#pragma once

class CompileContext;

// From now on the built-ins are registered once and lent to every
// compilation of the process. Each compilation gives the same output bytes
// and messages as it would as the first of its process.
void lendBuiltinsBetweenCompilations();
bool builtinsLentBetweenCompilations();

// The built-ins of one compilation: registered into its context or lent to
// it. Made before the context and ended after it: lent built-ins get back
// the state they were registered with when the lease ends.
class BuiltinsLease {
public:
    BuiltinsLease() = default;
    ~BuiltinsLease();
    BuiltinsLease(const BuiltinsLease&) = delete;
    BuiltinsLease& operator=(const BuiltinsLease&) = delete;

    // Called once, on a context whose options are set and that holds
    // nothing yet.
    void enter(CompileContext& context);

private:
    bool lent_ = false;
};
