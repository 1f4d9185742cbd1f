#!/usr/bin/env python3
"""Compiles programs of hostile shapes at two sizes and prints how time and
peak memory grow between them.

Each shape is one program that grows along one axis only: a long constant
string sum, many instances of one template, a long inheritance chain (in
order and reversed), many overloads of one method, a long switch (its case
values rising, and falling where a hash of them would collide), many
static fields, a long constant array, two self-growing template shapes
that must end in an error, and two refused programs of many errors (unknown
base classes, unknown identifiers), each error offering near misses. Every
run is bounded (address space and wall time): a shape that breaks a bound
shows its exit status instead of figures.

Two shapes weigh the memory a program keeps per class: many one-method
classes, compiled, and the listing (-d) of their image.

A compiler that stays linear grows about 10x per 10x of size; the growth
column must stay within --max-growth (11x) for the work done and for memory.
The work is counted in one of two ways, and the first line printed says
which:

- instructions (where valgrind is installed, and by default then): the
  compiler's instructions, counted once per size under valgrind's
  cachegrind, less those of an empty program's run. The count does not depend on what else the machine does, so
  two runs give the same verdict, where a time of a fifth of a second swung
  by half between runs on a busy machine. A shape whose smaller size runs
  under --min-instructions is measured again at ten times its sizes (up to
  10M), and that pair counts.
- time (--method time, or without valgrind): the compiler's user processor
  time, the fastest of --repeat runs; a shape whose smaller size runs under
  --min-seconds (1 s) moves up to ten times its sizes.

Either way each size is also run --repeat times natively, the sizes taking
turns, for the time and peak memory columns: the least memory counts.

Usage: hostile_shapes.py --bin BUILD_DIR [--sizes 10000,100000] [--shape NAME]
                         [--method auto|instructions|time] [--repeat 3]
                         [--min-seconds 1.0] [--min-instructions 100000000]
                         [--keep DIR]
Exit status 1 when a growth is out of bounds or a run crashed.
"""
import argparse
import concurrent.futures
import os
import resource
import shutil
import signal
import subprocess
import sys
import tempfile
import threading

MAIN = "class Main {\n    static int main(String[] args) {\n%s        return 0;\n    }\n};\n"


def string_fold(n):
    terms = " + ".join(['"ab"'] * n)
    return MAIN % f"        String s = {terms};\n        _system_.consoleWrite(s);\n"


def template_instances(n):
    parts = ["class T<X> {\n    X v;\n};\n"]
    parts += [f"class C{i} {{ }};\n" for i in range(n)]
    parts.append("class Use {\n")
    parts += [f"    T<C{i}> f{i};\n" for i in range(n)]
    parts.append("};\n")
    return "".join(parts) + MAIN % "        Use u = new Use();\n"


def chain(n, reverse):
    classes = ["class C0 { public int f(int a) { return a; } };\n"]
    classes += [f"class C{i} : C{i - 1} {{ }};\n" for i in range(1, n)]
    if reverse:
        classes.reverse()
    return "".join(classes) + MAIN % f"        C{n - 1} c = new C{n - 1}();\n        c.f(1);\n"


def inheritance_chain(n):
    return chain(n, False)


def inheritance_chain_reversed(n):
    return chain(n, True)


def overloads_by_arity(n):
    # One method with overloads of 1..n parameters: the source itself grows
    # as n^2, so the size given is the number of parameters in all.
    count = 1
    while (count + 1) * (count + 2) // 2 <= n:
        count += 1
    parts = ["class O {\n"]
    for k in range(1, count + 1):
        params = ", ".join(f"int a{j}" for j in range(k))
        parts.append(f"    public static int m({params}) {{ return {k}; }}\n")
    parts.append("};\n")
    return "".join(parts) + MAIN % "        O.m(1);\n"


def overloads_by_type(n):
    parts = [f"class C{i} {{ }};\n" for i in range(n)]
    parts.append("class O {\n")
    parts += [f"    public static int m(C{i} a) {{ return {i}; }}\n" for i in range(n)]
    parts.append("};\n")
    return "".join(parts) + MAIN % f"        O.m(new C{n - 1}());\n"


def big_switch(n):
    cases = "".join(f"            case {i}: r = {i}; break;\n" for i in range(n))
    body = f"        int r = 0;\n        switch (args.length) {{\n{cases}        }}\n"
    return MAIN % body


def switch_falling(n):
    # Case values written in falling order, each an odd multiple of the same
    # inverse, so that a multiplicative hash would give them all one home
    # slot: a table keyed by the values alone probes without end.
    inverse = pow(0x9E3779B97F4A7C15, -1, 1 << 64)
    values = sorted(((j * inverse) % (1 << 64)) - (1 << 63) for j in range(1, n + 1))
    cases = "".join(f"            case {v}: r = {i}; break;\n" for i, v in enumerate(reversed(values)))
    body = f"        long r = 0;\n        switch ((long)args.length) {{\n{cases}        }}\n"
    return MAIN % body


def static_fields(n):
    fields = "".join(f"    public static int f{i} = {i};\n" for i in range(n))
    return f"class S {{\n{fields}}};\n" + MAIN % f"        int x = S.f{n - 1};\n"


def constant_array(n):
    values = ", ".join(str(i * 7 % 1000) for i in range(n))
    return MAIN % f"        int[] a = {{{values}}};\n        _system_.consoleWrite(\"\" + a[{n - 1}]);\n"


def template_nesting(n):
    # Grows without end on its own: must stop with an error, whatever n.
    filler = "".join(f"class F{i} {{ }};\n" for i in range(n))
    return filler + "class T<X> {\n    T<T<X>> next;\n};\n" + MAIN % "        T<int> t;\n"


def template_base_recursion(n):
    filler = "".join(f"class F{i} {{ }};\n" for i in range(n))
    return filler + "class A<T> : A<A<T>> { };\n" + MAIN % "        A<int> a;\n"


def one_method_classes(n):
    # Memory per class: every class keeps its tables, its method and the
    # method's code until the image is written.
    classes = "".join(f"class C{i} {{ int m() {{ return {i % 100}; }} }};\n" for i in range(n))
    return classes + MAIN % ""


def large_listing(n):
    # The program of one-method classes, whose image (about 900 bytes a
    # class) is listed with -d: the listing, 2.3 times the image, must not
    # be held in memory.
    return one_method_classes(n)


# Shapes whose timed run lists the program's image (-d) rather than
# compiling it: the image is compiled before the runs, untimed.
LISTED = {"large_listing"}

def unknown_bases(n):
    # Refused: every class derives from a base nobody declared, each error
    # asking for the near misses among the classes declared before it. The
    # bases are numbered in letters: numbered in digits, a base of five
    # digits is near the class of its number, and one of six near dozens,
    # so that the messages themselves grew faster than the program.
    digits = str.maketrans("0123456789", "abcdefghij")
    return "".join(f"class C{i} : Missing{str(i).translate(digits)} {{ }};\n" for i in range(n)) + MAIN % ""


def unknown_identifiers(n):
    # Refused: every statement reads a name nobody declared.
    body = "        int x = 0;\n" + "".join(f"        x = unknown{i};\n" for i in range(n))
    return MAIN % body


# name -> (generator, expected exit status or None when either is fine)
SHAPES = {
    "string_fold": (string_fold, 0),
    # Past the compiler's bound on instances per compilation the program is
    # refused with a message, in time that stays linear.
    "template_instances": (template_instances, lambda n: 0 if n <= MAX_INSTANCES else 1),
    "inheritance_chain": (inheritance_chain, 0),
    "inheritance_chain_reversed": (inheritance_chain_reversed, 0),
    "overloads_by_arity": (overloads_by_arity, 0),
    "overloads_by_type": (overloads_by_type, 0),
    "big_switch": (big_switch, 0),
    "switch_falling": (switch_falling, 0),
    "static_fields": (static_fields, 0),
    "constant_array": (constant_array, 0),
    "template_nesting": (template_nesting, 1),
    "template_base_recursion": (template_base_recursion, 1),
    "one_method_classes": (one_method_classes, 0),
    "large_listing": (large_listing, 0),
    "unknown_bases": (unknown_bases, 1),
    "unknown_identifiers": (unknown_identifiers, 1),
}

MAX_INSTANCES = 10_000  # the compiler's instances per compilation
MAX_SIZE = 10_000_000  # a shape too small to time grows up to this size
# Room for the largest honest size: a shape whose smaller size times under
# --min-seconds moves up to ten times its sizes, and a million overloads by
# type take 5 GB; a shape that grows without bound still stops here.
ADDRESS_SPACE = 12_000_000 * 1024
SECONDS = 120


def limit_child():
    # Bounded, and in a process group of its own, so that a run past its
    # time goes whole: /usr/bin/time and the compiler under it.
    resource.setrlimit(resource.RLIMIT_AS, (ADDRESS_SPACE, ADDRESS_SPACE))
    os.setsid()


def compile_once(korvo, source_path, output_path, listing=False):
    """(exit status, user seconds, system seconds, peak KiB, last output
    line); status is negative for a signal, None on timeout. With `listing`
    the run lists the image `source_path` (-d) instead."""
    stats = output_path + ".time"
    # The compiler's own processor time rather than wall time: on a machine
    # busy with other work the wall time of one run says little, and the
    # system time (mostly zeroing the pages the peak memory column counts)
    # grows with what else asks the kernel for memory at the time.
    # /usr/bin/time reads the peak, since a child forked from this script
    # would start from the script's own. The times come from waiting for
    # /usr/bin/time, in microseconds (its own share is about a millisecond):
    # it prints them cut to hundredths, which took up to 7% off a smaller
    # size of 0.14 s.
    mode = "-d" if listing else "-c"
    command = ["/usr/bin/time", "-o", stats, "-f", "%M %x", korvo, mode, source_path, "-o", output_path]
    with tempfile.TemporaryFile() as out:
        child = subprocess.Popen(command, stdout=out, stderr=subprocess.DEVNULL, preexec_fn=limit_child)
        timed_out = threading.Event()
        timer = threading.Timer(SECONDS, lambda: (timed_out.set(), os.killpg(child.pid, signal.SIGKILL)))
        timer.start()
        try:
            _, status, usage = os.wait4(child.pid, 0)
        finally:
            timer.cancel()
        child.returncode = os.waitstatus_to_exitcode(status)
        out.seek(0)
        last = out.read().decode("utf-8", "replace").strip().splitlines()
    if timed_out.is_set():
        return None, float(SECONDS), 0.0, 0, ""
    returncode, peak = child.returncode, 0
    with open(stats) as f:
        for line in f:
            fields = line.split()
            if len(fields) == 2 and fields[0].isdigit():
                peak = int(fields[0])
            elif "signal" in line:
                returncode = -int(line.split()[-1])
    return returncode, usage.ru_utime, usage.ru_stime, peak, (last[-1] if last else "")


def growth(small, large):
    return large / small if small > 0 else 0.0


def write_program(folder, name, size):
    source = os.path.join(folder, f"{name}_{size}.k")
    with open(source, "w") as f:
        f.write(SHAPES[name][0](size))
    return source


def measure(korvo, folder, name, sizes, repeat):
    """{size: (status, user and system seconds of the fastest run, least
    peak KiB, last output line, the program run)} of `repeat` runs of each
    size. The sizes take turns, so that whatever else the machine does at
    the time weighs on each alike: measured one after the other, a quick
    smaller size met other load than its larger one.

    The fastest run's user time: other work only ever adds to a run. At a
    fifth of a second that reading was no better than the median, since the
    kernel splits a run's processor time between user and system by where
    its clock ticks fell; the timed verdict therefore starts at a second."""
    sources = {size: write_program(folder, name, size) for size in sizes}
    listing = name in LISTED
    if listing:
        for size in sizes:
            image = sources[size][:-2] + ".image.kb"
            compile_once(korvo, sources[size], image)
            sources[size] = image
    runs = {}
    for _ in range(repeat):
        for size in sizes:
            if size in runs and (runs[size][-1][0] is None or runs[size][-1][0] < 0):
                continue
            output = os.path.join(folder, f"{name}_{size}" + (".lst" if listing else ".kb"))
            outcome = compile_once(korvo, sources[size], output, listing)
            if outcome[0] is None or outcome[0] < 0:
                runs[size] = [outcome]
            else:
                runs.setdefault(size, []).append(outcome)
    measured = {}
    for size, outcomes in runs.items():
        status, _, _, _, last = outcomes[-1]
        fastest = min(outcomes, key=lambda o: o[1])
        measured[size] = (status, fastest[1], fastest[2], min(o[3] for o in outcomes), last, sources[size])
    return measured


def valgrind_counts():
    """The valgrind that counts instructions, or None where it is missing or
    cannot run a program here."""
    valgrind = shutil.which("valgrind")
    if valgrind is None:
        return None
    probe = subprocess.run([valgrind, "--tool=cachegrind", "--cache-sim=no", "--cachegrind-out-file=/dev/null",
                            "/bin/true"], capture_output=True, text=True)
    return valgrind if probe.returncode == 0 and "I   refs:" in probe.stderr else None


def count_instructions(valgrind, korvo, program, output, listing):
    """The instructions one run of the compiler executes, or None when it
    did not end as its native runs did. Unbounded: only a program whose
    native runs ended within the bounds is counted."""
    command = [valgrind, "--tool=cachegrind", "--cache-sim=no", "--cachegrind-out-file=/dev/null",
               korvo, "-d" if listing else "-c", program, "-o", output]
    done = subprocess.run(command, stdout=subprocess.DEVNULL, stderr=subprocess.PIPE, text=True, errors="replace")
    for line in done.stderr.splitlines():
        if "I   refs:" in line:
            return int(line.split("I   refs:")[1].replace(",", ""))
    return None


class TimeJudge:
    """Growth of the fastest user time; a smaller size under `min_seconds`
    is too small to time."""
    column = "time"

    def __init__(self, args):
        self.args = args

    def describe(self):
        return (f"growth judged by user time: the fastest of {self.args.repeat} runs, "
                f"the smaller size at {self.args.min_seconds:g} s or more")

    def start(self, korvo, folder, name, size, row):
        return row[1]

    def enough(self, amount):
        return amount >= self.args.min_seconds

    def shown(self, amount):
        return ""

    def close(self):
        pass


class InstructionJudge:
    """Growth of the instructions counted under valgrind, less those of an
    empty program's run (the start-up, the built-in classes): the same
    program gives the same count however busy the machine is, so no size
    need be large for its own sake, only large beside that start-up. Counts
    run --jobs at a time beside the native runs of the shapes that follow,
    which only the columns shown share the machine with."""
    column = "instructions"

    def __init__(self, args, valgrind, korvo, folder):
        self.args = args
        self.valgrind = valgrind
        self.pool = concurrent.futures.ThreadPoolExecutor(max_workers=args.jobs)
        self.counts = {}
        self.empty = {}
        for listing in (False, True):
            source = os.path.join(folder, "empty.k")
            with open(source, "w") as f:
                f.write(MAIN % "")
            program = source
            if listing:
                program = os.path.join(folder, "empty.kb")
                compile_once(korvo, source, program)
            self.empty[listing] = count_instructions(valgrind, korvo, program, program + ".out", listing) or 0

    def describe(self):
        return (f"growth judged by instructions (valgrind --tool=cachegrind, one count per size), less the "
                f"{self.empty[False] / 1e6:.1f}M of an empty program; the smaller size at "
                f"{self.args.min_instructions / 1e6:g}M or more")

    def start(self, korvo, folder, name, size, row):
        """The count of one size, running: a future of it."""
        key = (name, size)
        if key not in self.counts:
            listing = name in LISTED
            output = os.path.join(folder, f"{name}_{size}.counted" + (".lst" if listing else ".kb"))

            def net():
                count = count_instructions(self.valgrind, korvo, row[5], output, listing)
                return None if count is None else count - self.empty[listing]

            self.counts[key] = self.pool.submit(net)
        return self.counts[key]

    def enough(self, amount):
        return amount is not None and amount >= self.args.min_instructions

    def shown(self, amount):
        return "        -" if amount is None else f" {amount / 1e6:>8.1f}"

    def close(self):
        self.pool.shutdown()


def settled(amount):
    return amount.result() if isinstance(amount, concurrent.futures.Future) else amount


def broken(row):
    return row[0] is None or row[0] < 0


def run_shape(name, sizes, measured, amounts, judge, args):
    """Prints the rows of one shape; True when every growth is in bounds."""
    expected = SHAPES[name][1]
    ok = True
    previous = None
    for size in sizes:
        status, seconds, system, peak, last, _ = measured[size]
        amount = settled(amounts.get(size))
        shown = "time" if status is None else str(status)
        line = f"{name:28} {size:>8} {shown:>5} {seconds:>7.3f} {system:>6.2f} {peak / 1024:>9.1f}{judge.shown(amount)}"
        wanted = expected(size) if callable(expected) else expected
        bad = broken(measured[size]) or (wanted is not None and status != wanted)
        if previous is not None and not bad:
            bound = args.max_growth * (size / previous[0]) / 10
            if amount is None or previous[1] is None:
                line += "  NOT COUNTED"
                ok = False
            else:
                t = growth(previous[1], amount)
                m = growth(previous[2], peak)
                line += f"  {t:5.1f}x / {m:5.1f}x"
                if t > bound or m > bound:
                    line += "  TOO FAST A GROWTH"
                    ok = False
        if bad:
            line += f"  UNEXPECTED: {last[:60]}"
            ok = False
        print(line, flush=True)
        if bad:
            return False
        previous = (size, amount, peak)
    return ok


def pick_sizes(korvo, folder, name, sizes, judge, args):
    """(lines noting each move, the pair of sizes that counts, its
    measures): moved up tenfold (up to MAX_SIZE) while the smaller size is
    too small for the judge."""
    notes = []
    scaled = sizes

    def move(first):
        notes.append(f"{name:28} {scaled[0]:>8} {first[0]:>5} {first[1]:>7.3f}  too small to judge: x10")
        return [size * 10 for size in scaled]

    while scaled[-1] * 10 <= MAX_SIZE:
        first = measure(korvo, folder, name, scaled[:1], args.repeat)[scaled[0]]
        if broken(first) or judge.enough(settled(judge.start(korvo, folder, name, scaled[0], first))):
            break
        scaled = move(first)
    measured = measure(korvo, folder, name, scaled, args.repeat)
    # A timed pair's own reading decides too: a first reading taken while
    # the machine was busy can pass a size that then counts with a time too
    # small to tell a growth from noise. A count is the same both times.
    while isinstance(judge, TimeJudge) and scaled[-1] * 10 <= MAX_SIZE:
        first = measured[scaled[0]]
        if broken(first) or judge.enough(first[1]):
            break
        scaled = move(first)
        measured = measure(korvo, folder, name, scaled, args.repeat)
    return notes, scaled, measured


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--bin", required=True, help="build folder holding korvo")
    parser.add_argument("--sizes", default="10000,100000")
    parser.add_argument("--shape", action="append", help="run only these shapes")
    parser.add_argument("--max-growth", type=float, default=11.0)
    parser.add_argument("--method", choices=("auto", "instructions", "time"), default="auto",
                        help="what growth is judged on: instructions where valgrind runs (auto), else time")
    parser.add_argument("--repeat", type=int, default=3, help="native runs per size; the fastest time counts")
    parser.add_argument("--min-seconds", type=float, default=1.0,
                        help="timed: below this at the smaller size a shape is measured again at 10x its sizes")
    parser.add_argument("--min-instructions", type=float, default=100e6,
                        help="counted: below this at the smaller size a shape is measured again at 10x its sizes")
    parser.add_argument("--jobs", type=int, default=3, help="counts running at a time")
    parser.add_argument("--keep", help="write the programs into this folder and keep them")
    args = parser.parse_args()
    korvo = os.path.join(os.path.abspath(args.bin), "korvo")
    sizes = [int(s) for s in args.sizes.split(",")]
    names = args.shape or list(SHAPES)

    valgrind = valgrind_counts() if args.method != "time" else None
    if args.method == "instructions" and valgrind is None:
        print("--method instructions: valgrind is missing or cannot run here", file=sys.stderr)
        return 2
    failed = False
    with tempfile.TemporaryDirectory(prefix="korvo-hostile-") as scratch:
        folder = args.keep or scratch
        os.makedirs(folder, exist_ok=True)
        judge = InstructionJudge(args, valgrind, korvo, folder) if valgrind else TimeJudge(args)
        print(judge.describe())
        counted = f" {'instr M':>8}" if valgrind else ""
        print(f"{'shape':28} {'size':>8} {'exit':>5} {'user s':>7} {'sys s':>6} {'peak MiB':>9}{counted}"
              f"  growth {judge.column}/memory", flush=True)
        # Shapes are printed in order, each once its counts are in.
        pending = []

        def report(done_only):
            nonlocal failed
            while pending:
                notes, scaled, measured, amounts, name = pending[0]
                if done_only and not all(a.done() for a in amounts.values()
                                         if isinstance(a, concurrent.futures.Future)):
                    return
                pending.pop(0)
                for note in notes:
                    print(note, flush=True)
                if not run_shape(name, scaled, measured, amounts, judge, args):
                    failed = True

        for name in names:
            notes, scaled, measured = pick_sizes(korvo, folder, name, sizes, judge, args)
            amounts = {size: judge.start(korvo, folder, name, size, measured[size])
                       for size in scaled if not broken(measured[size])}
            pending.append((notes, scaled, measured, amounts, name))
            report(done_only=True)
        report(done_only=False)
        judge.close()
    return 1 if failed else 0


if __name__ == "__main__":
    sys.exit(main())
