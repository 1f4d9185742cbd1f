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
column must stay within --max-growth (11x) for time (the compiler's user
processor time, in microseconds; the system time is shown) and memory. Each
size is compiled --repeat times, the sizes taking turns, and its median time
and least memory count, so a machine busy with other work does not pass for
a growth. A shape that compiles its smaller size in under --min-seconds is
too small to time: it is measured again at ten times its sizes (up to 10M),
and that pair counts.

Usage: hostile_shapes.py --bin BUILD_DIR [--sizes 10000,100000] [--shape NAME]
                         [--repeat 3] [--min-seconds 0.1] [--keep DIR]
Exit status 1 when a growth is out of bounds or a run crashed.
"""
import argparse
import os
import resource
import signal
import statistics
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
    """{size: (status, median user and system seconds, least peak KiB, last
    output line)} of `repeat` compiles of each size. The sizes take turns,
    so that whatever else the machine does at the time weighs on each alike:
    measured one after the other, a quick smaller size met other load than
    its larger one and its growth swung by a tenth from run to run.

    The median, not the least, of the times: the kernel splits a run's
    processor time between user and system by where its clock ticks fell,
    so of a 0.2 s run of one program the user part swung between 0.14 and
    0.17 s while their sum stayed between 0.20 and 0.23 s. The least of such readings
    picks the run whose ticks fell most on the system side, and more so the
    shorter the run: it read template_base_recursion's growth 11.4x where
    the medians of the same runs read 10.5x."""
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
        measured[size] = (status, statistics.median(o[1] for o in outcomes),
                          statistics.median(o[2] for o in outcomes), min(o[3] for o in outcomes), last)
    return measured


def run_shape(korvo, folder, name, sizes, measured, args):
    """Prints the rows of one shape; True when every growth is in bounds."""
    expected = SHAPES[name][1]
    ok = True
    previous = None
    for size in sizes:
        status, seconds, system, peak, last = measured[size]
        shown = "time" if status is None else str(status)
        line = f"{name:28} {size:>8} {shown:>5} {seconds:>7.3f} {system:>6.2f} {peak / 1024:>9.1f}"
        wanted = expected(size) if callable(expected) else expected
        bad = status is None or status < 0 or (wanted is not None and status != wanted)
        if previous is not None and not bad:
            bound = args.max_growth * (size / previous[0]) / 10
            t = growth(previous[1], seconds)
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
        previous = (size, seconds, peak)
    return ok


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--bin", required=True, help="build folder holding korvo")
    parser.add_argument("--sizes", default="10000,100000")
    parser.add_argument("--shape", action="append", help="run only these shapes")
    parser.add_argument("--max-growth", type=float, default=11.0)
    parser.add_argument("--repeat", type=int, default=3, help="compiles per size; the median time counts")
    parser.add_argument("--min-seconds", type=float, default=0.1,
                        help="below this at the smaller size a shape is measured again at 10x its sizes")
    parser.add_argument("--keep", help="write the programs into this folder and keep them")
    args = parser.parse_args()
    korvo = os.path.join(os.path.abspath(args.bin), "korvo")
    sizes = [int(s) for s in args.sizes.split(",")]
    names = args.shape or list(SHAPES)

    failed = False
    print(f"{'shape':28} {'size':>8} {'exit':>5} {'user s':>7} {'sys s':>6} {'peak MiB':>9}  growth time/memory")
    with tempfile.TemporaryDirectory(prefix="korvo-hostile-") as scratch:
        folder = args.keep or scratch
        os.makedirs(folder, exist_ok=True)
        for name in names:
            scaled = sizes
            while scaled[-1] * 10 <= MAX_SIZE:
                first = measure(korvo, folder, name, scaled[:1], args.repeat)[scaled[0]]
                if first[0] is None or first[0] < 0 or first[1] >= args.min_seconds:
                    break
                print(f"{name:28} {scaled[0]:>8} {first[0]:>5} {first[1]:>7.3f}  too small to time: x10", flush=True)
                scaled = [size * 10 for size in scaled]
            measured = measure(korvo, folder, name, scaled, args.repeat)
            # The pair's own time decides too: a first reading taken
            # while the machine was busy can pass a size that then counts
            # with a time too small to tell a growth from noise.
            while scaled[-1] * 10 <= MAX_SIZE:
                first = measured[scaled[0]]
                if first[0] is None or first[0] < 0 or first[1] >= args.min_seconds:
                    break
                print(f"{name:28} {scaled[0]:>8} {first[0]:>5} {first[1]:>7.3f}  too small to time: x10", flush=True)
                scaled = [size * 10 for size in scaled]
                measured = measure(korvo, folder, name, scaled, args.repeat)
            if not run_shape(korvo, folder, name, scaled, measured, args):
                failed = True
    return 1 if failed else 0


if __name__ == "__main__":
    sys.exit(main())
