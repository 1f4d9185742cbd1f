// Uses the link library: compile with -link build/mathlib.kl.
using { mathlib; };

int main(String[] args) {
    return Ops.square((int)args.length + 3);
}
