#!/usr/bin/env python3
"""Times whole compiler processes on the same generated programs.

First hello, the examples' hello world beside the same in Lua: `korvo -c`
and luac take turns, HELLO_RUNS runs each, each process started straight
from here, so that its CPU time and minor page faults are its own (through
/usr/bin/time they would carry time's start-up, about what luac's whole run
costs); printed are their medians, the peak (one run through /usr/bin/time)
and korvo's CPU and faults over luac's. A small program's compile is mostly
the compiler's start-up: making the catalogue, the fresh pages it touches.
Run back to back, the processes take the pages the one before gave back;
with --hello-gap each run waits first, so that a virtual machine that hands
its idle memory back to its host gives each run fresh pages, as a compile
started now and then does.

Then two programs, each written in korvo and its peers' languages with the
same classes, methods and statements:
- repeated: the full-compile program of bench/generated_program.h (a base
  class, then classes of fields, a constructor and methods that loop,
  branch, work on strings, use List and Map and call the class before them,
  and an entry class), the same expressions in every class, in korvo, Java,
  C# and Lua; the front end is timed on the front-end program: `korvo -c
  -lik` and `korvo-probe check` (recognition alone);
- varied: bench/varied_program.py's, no two expressions alike (interfaces,
  overrides, six parameters, four to six operator levels, long string
  sums, nested loops, enum switches, exceptions), in korvo, Java and C#;
  `korvo-probe check` is timed on it too.
Each installed compiler translates them whole: `korvo -c` (to an image),
javac, mcs and luac. Printed per run: lines, CPU seconds (user and system),
lines per CPU second, peak resident memory per source line and output bytes;
then korvo's ratio to each peer at each size (speed: above 1 is faster;
memory: below 1 is leaner) and the growth from step to step (a linear
compiler grows about 10x per step). The sizes run in turn, every compiler on
both programs at one size before the next size.

Usage: compare_compilers.py --bin BUILD_DIR [--korvo KORVO] [--sizes 10000,100000]
                            [--million] [--programs hello,repeated,varied]
--korvo times another korvo binary (the one of another tree) with the bench
tools of BUILD_DIR. One run, one machine: compare the ratios, not the
absolute figures.
"""
import argparse
import os
import shutil
import subprocess
import sys
import tempfile
import threading
import time

import varied_program

HELLO_RUNS = 31
HELLO_KORVO = os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "examples", "hello.k")
HELLO_LUA = 'print("hello, lua (" .. #arg .. " arguments)")\n'


def korvo_program(binary, lines, full):
    """A bench program of bench/generated_program.h, written by the bench build."""
    writer = os.path.join(binary, "korvo_bench_program")
    command = [writer] + (["--full"] if full else []) + [str(lines)]
    return subprocess.run(command, check=True, capture_output=True).stdout.decode()


def class_count(lines):
    return lines // 47 + 1  # as the korvo program


# The korvo program in Java and C#: the same classes, members and statements,
# in each language's words ({...} marks what differs).
C_LIKE_BASE = """class Base {{
    {protected}bool{ean} done(int i) {{ return i > 3; }}
    {protected}int step(int t, {string} n) {{ return t - n.{length}; }}
    {protected}void risky({string} n) {throws}{{ if (n == null) throw new Exception("none"); }}
}}

"""
C_LIKE_CLASS = """class Worker{c} {extends} Base {{
    private int count = 0;
    {string} name;
    int[] values = new int[16];
    {map} seen = new {map}();

    public Worker{c}({string} text) {{ name = text; }}

{methods}    public int peek() {throws}{{ return count + step0(1, null); }}
}}

"""
C_LIKE_METHOD = """    public int step{m}(int limit, List<{string}> items) {throws}{{
        int total = 0, i;
        for (i = 0; i < limit; i++) {{
            total += values[i % 16] * 2 + (limit - i) / 3;
            if (total > 1000 && !done(i)) {{ total = total >> 1; }} else total++;
        }}
        {string} s;
        {foreach} {{ count = count + item.{length}; }}
        while (total > 0) {{ total -= step(total, name); }}
        switch (total) {{ case 0: break; default: total = -1;{last_break} }}
        try {{ risky(this.name); }} {catch}
        {string} label = name + ":" + total;
        {put};
        total += new Worker{prev}(label).{call};
        return total == 0 ? count : (int) total;
    }}

"""
C_LIKE_MAIN = """class Entry {{
    public static {main_type} {main}({string}[] args) {throws}{{
        Worker{c} w = new Worker{c}(args[0]);
        {main_return}w.step1(3, null) + w.peek(){main_end};
    }}
}}
"""
JAVA = dict(protected="", ean="ean", extends="extends", string="String", length="length()",
            throws="throws Exception ", map="HashMap<String, Integer>", foreach="for (String item : items)",
            last_break="", catch="catch (Exception e) { throw e; }", put="seen.put(label, count)",
            main_type="void", main="main", main_return="System.exit(", main_end=")")
CSHARP = dict(protected="protected ", ean="", extends=":", string="string", length="Length", throws="",
              map="Dictionary<string, int>", foreach="foreach (string item in items)", last_break=" break;",
              catch="catch (Exception e) { throw e; }", put="seen[label] = count", main_type="int",
              main="Main", main_return="return ", main_end="")


def c_like_program(words, header, lines):
    out = [header, C_LIKE_BASE.format(**words)]
    classes = class_count(lines)
    for c in range(classes):
        prev = c - 1 if c > 0 else c
        methods = "".join(C_LIKE_METHOD.format(m=m, prev=prev, call="step1(1, items)" if m == 0 else "peek()",
                                               **words) for m in range(2))
        out.append(C_LIKE_CLASS.format(c=c, methods=methods, **words))
    out.append(C_LIKE_MAIN.format(c=classes - 1, **words))
    return "".join(out)


def java_program(lines):
    return c_like_program(JAVA, "import java.util.HashMap;\nimport java.util.List;\n\n", lines)


def csharp_program(lines):
    return c_like_program(CSHARP, "using System;\nusing System.Collections.Generic;\n\n", lines)


def lua_program(lines):
    out = ["Base = {}\nfunction Base.done(self, i) return i > 3 end\n"
           "function Base.step(self, t, n) return t - #n end\n"
           "function Base.risky(self, n) if n == nil then error(\"none\") end end\n\n"]
    classes = class_count(lines)
    for c in range(classes):
        prev = c - 1 if c > 0 else c
        out.append("Worker%d = setmetatable({}, { __index = Base })\n" % c)
        out.append("Worker%d.count = 0\nWorker%d.name = nil\nWorker%d.values = {}\nWorker%d.seen = {}\n\n"
                   % (c, c, c, c))
        out.append("function Worker%d.new(text) return setmetatable({ name = text }, { __index = Worker%d }) end\n\n"
                   % (c, c))
        for m in range(2):
            out.append("function Worker%d:step%d(limit, items)\n" % (c, m))
            out.append(
                "    local total, i = 0, 0\n"
                "    for i = 0, limit - 1 do\n"
                "        total = total + self.values[i %% 16 + 1] * 2 + (limit - i) // 3\n"
                "        if total > 1000 and not self:done(i) then total = total >> 1 else total = total + 1 end\n"
                "    end\n"
                "    local s\n"
                "    for _, item in ipairs(items) do self.count = self.count + #item end\n"
                "    while total > 0 do total = total - self:step(total, self.name) end\n"
                "    if total == 0 then goto done else total = -1 end\n"
                "    ::done::\n"
                "    local ok, e = pcall(self.risky, self, self.name) if not ok then error(e) end\n"
                "    local label = self.name .. \":\" .. total\n"
                "    self.seen[label] = self.count\n"
                "    total = total + Worker%d.new(label):%s\n"
                "    if total == 0 then return self.count else return total end\n"
                "end\n\n" % (prev, "step1(1, items)" if m == 0 else "peek()"))
        out.append("function Worker%d:peek() return self.count + self:step0(1, {}) end\n\n" % c)
    out.append("function main(args)\n    local w = Worker%d.new(args[1])\n"
               "    return w:step1(3, {}) + w:peek()\nend\n" % (classes - 1))
    return "".join(out)


def output_bytes(path):
    """The bytes of an output file, or of every file in an output folder."""
    if os.path.isdir(path):
        return sum(os.path.getsize(os.path.join(root, name)) for root, _, names in os.walk(path) for name in names)
    return os.path.getsize(path) if os.path.exists(path) else 0


def run(command, cwd):
    """CPU seconds and peak resident bytes of one process, or None on failure.

    CPU time (user and system, to the microsecond, of the process and what it
    waited for), not wall time: the machine may be busy with other work, and
    a JVM spreads its work over threads that CPU time counts whole. The peak
    comes from /usr/bin/time: a process's maxrss keeps the high-water mark of
    whatever exec'd it, so spawned straight from Python every run would count
    the interpreter's own resident memory."""
    with tempfile.NamedTemporaryFile(mode="r") as peak_file, tempfile.TemporaryFile() as printed:
        process = subprocess.Popen(["/usr/bin/time", "-f", "%M", "-o", peak_file.name] + command, cwd=cwd,
                                   stdout=printed, stderr=subprocess.STDOUT)
        timer = threading.Timer(900, process.kill)
        timer.start()
        _, status, usage = os.wait4(process.pid, 0)
        process.returncode = os.waitstatus_to_exitcode(status)
        if not timer.is_alive():
            print("  %s took longer than 900 s" % command[0], file=sys.stderr)
            return None
        timer.cancel()
        if process.returncode != 0:
            printed.seek(0)
            errors = printed.read().decode("utf-8", "replace")
            print("  %s failed (exit %d): %s" % (command[0], process.returncode, errors.strip()[:600]),
                  file=sys.stderr)
            return None
        return usage.ru_utime + usage.ru_stime, int(peak_file.read().split()[-1]) * 1024


def run_alone(command, cwd):
    """CPU seconds and minor page faults of one process started straight
    from here, or None on failure. (Its peak is not its own: a process's
    maxrss starts from what exec'd it.)"""
    process = subprocess.Popen(command, cwd=cwd, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
    _, status, usage = os.wait4(process.pid, 0)
    if os.waitstatus_to_exitcode(status) != 0:
        print("  %s failed (exit %d)" % (command[0], os.waitstatus_to_exitcode(status)), file=sys.stderr)
        return None
    return usage.ru_utime + usage.ru_stime, usage.ru_minflt


def median(values):
    ordered = sorted(values)
    return ordered[len(ordered) // 2]


def compare_hello(tools, work, gap):
    """tools: (name, command, output) of korvo first; the runs take turns,
    each `gap` seconds after the one before."""
    samples = {name: [] for name, _, _ in tools}
    for _ in range(HELLO_RUNS):
        for name, command, output in tools:
            if os.path.exists(output):
                os.remove(output)  # each run writes a new file, as the first would
            if gap > 0:
                time.sleep(gap)
            result = run_alone(command, work)
            if result:
                samples[name].append(result)
    if gap > 0:
        print("hello runs %g s apart" % gap)
    print("%-9s %-18s %9s %9s %12s %10s" % ("program", "compiler", "runs", "cpu ms", "minor faults", "peak KiB"))
    medians = {}
    for name, command, _ in tools:
        if not samples[name]:
            continue
        peak = run(command, work)
        medians[name] = (median([cpu for cpu, _ in samples[name]]), median([faults for _, faults in samples[name]]))
        print("%-9s %-18s %9d %9.2f %12d %10s" % ("hello", name, len(samples[name]), medians[name][0] * 1000,
                                                 medians[name][1], "%.0f" % (peak[1] / 1024) if peak else "?"))
    mine = medians.get(tools[0][0])
    for name, _, _ in tools[1:]:
        if mine and name in medians:
            theirs = medians[name]
            print("hello     %s / %s: cpu x%.2f, minor faults x%.2f" % (tools[0][0], name, mine[0] / theirs[0],
                                                                       mine[1] / theirs[1]))


def main():
    parser = argparse.ArgumentParser(description=__doc__, formatter_class=argparse.RawDescriptionHelpFormatter)
    parser.add_argument("--bin", required=True, help="build directory holding korvo, korvo-probe and the writer")
    parser.add_argument("--korvo", help="the korvo binary to time (default: BUILD_DIR/korvo)")
    parser.add_argument("--sizes", default="10000,100000")
    parser.add_argument("--hello-gap", type=float, default=0.0,
                        help="seconds each hello run waits first (fresh pages on a virtual machine)")
    parser.add_argument("--million", action="store_true", help="also run at 1M lines")
    parser.add_argument("--programs", default="hello,repeated,varied")
    args = parser.parse_args()
    binary = os.path.abspath(args.bin)
    sizes = [int(s) for s in args.sizes.split(",")] + ([1000000] if args.million else [])
    programs = args.programs.split(",")

    work = tempfile.mkdtemp(prefix="korvo-compare-")
    try:
        def write(name, text):
            path = os.path.join(work, name)
            with open(path, "w") as f:
                f.write(text)
            return path, text.count("\n")

        rows = []  # (program, tool, size, lines, seconds, peak, output bytes)

        def measure(program, tool, size, lines, command, output):
            if os.path.isdir(output):
                shutil.rmtree(output)
                os.mkdir(output)
            elif os.path.exists(output):
                os.remove(output)
            result = run(command, work)
            if result:
                seconds, peak = result
                written = output_bytes(output)
                rows.append((program, tool, size, lines, seconds, peak, written))
                print("%-9s %-18s %9d %9.3f %12.0f %10.0f %12d" % (program, tool, lines, seconds, lines / seconds,
                                                                   peak / lines, written), flush=True)

        korvo = os.path.abspath(args.korvo) if args.korvo else os.path.join(binary, "korvo")
        probe = os.path.join(binary, "korvo-probe")
        classes_dir = os.path.join(work, "classes")
        os.mkdir(classes_dir)
        luac = shutil.which("luac5.4") or shutil.which("luac")
        image = os.path.join(work, "prog.kb")
        # (tool, found, language of the varied program, source name, command, output)
        peers = [
            ("javac", shutil.which("javac"), "java", "Prog.java",
             # A bounded heap: by default the JVM reserves more address space
             # than a process memory bound (ulimit -v) of a few GB allows.
             lambda p: ["javac", "-J-Xmx2g", "-nowarn", "-d", classes_dir, p], classes_dir),
            ("mcs", shutil.which("mcs"), "cs", "prog.cs",
             lambda p: ["mcs", "-nowarn:168,219,162", "-out:" + os.path.join(work, "prog.exe"), p],
             os.path.join(work, "prog.exe")),
            ("luac", luac, None, "prog.lua", lambda p: [luac, "-o", os.path.join(work, "prog.luac"), p],
             os.path.join(work, "prog.luac")),
        ]
        repeated_sources = {"javac": java_program, "mcs": csharp_program, "luac": lua_program}
        for tool, found, _, _, _, _ in peers:
            if not found:
                print("%-18s not installed" % tool)

        if "hello" in programs:
            hello = [("korvo -c", [korvo, "-c", os.path.abspath(HELLO_KORVO), "-o", image], image)]
            if luac:
                path, _ = write("hello.lua", HELLO_LUA)
                hello.append(("luac", [luac, "-o", os.path.join(work, "hello.luac"), path],
                              os.path.join(work, "hello.luac")))
            compare_hello(hello, work, args.hello_gap)
        print("%-9s %-18s %9s %9s %12s %10s %12s" % ("program", "compiler", "lines", "cpu s", "lines/cpu s",
                                                     "bytes/line", "output"))
        for size in sizes:
            if "repeated" in programs:
                path, lines = write("full%d.k" % size, korvo_program(binary, size, True))
                measure("repeated", "korvo -c", size, lines, [korvo, "-c", path, "-o", image], image)
                for tool, found, _, name, command, output in peers:
                    if found:
                        peer_path, peer_lines = write(name, repeated_sources[tool](size))
                        measure("repeated", tool, size, peer_lines, command(peer_path), output)
                path, lines = write("prog%d.k" % size, korvo_program(binary, size, False))
                library = os.path.join(work, "prog.lik")
                measure("repeated", "korvo -c -lik", size, lines, [korvo, "-c", path, "-lik", "-o", library], library)
                if os.path.exists(probe):
                    measure("repeated", "korvo-probe check", size, lines, [probe, "check", path],
                            os.path.join(work, "none"))
            if "varied" in programs:
                texts = varied_program.generate(size)
                path, lines = write("varied%d.k" % size, texts["korvo"])
                measure("varied", "korvo -c", size, lines, [korvo, "-c", path, "-o", image], image)
                for tool, found, language, name, command, output in peers:
                    if found and language:
                        peer_path, peer_lines = write(name, texts[language])
                        measure("varied", tool, size, peer_lines, command(peer_path), output)
                if os.path.exists(probe):
                    measure("varied", "korvo-probe check", size, lines, [probe, "check", path],
                            os.path.join(work, "none"))

        def row_of(program, tool, size):
            return next((row for row in rows if row[:3] == (program, tool, size)), None)

        # korvo -c beside each peer at the same size.
        for program in programs:
            for size in sizes:
                mine = row_of(program, "korvo -c", size)
                for tool, _, _, _, _, _ in peers:
                    theirs = row_of(program, tool, size)
                    if mine and theirs:
                        speed = (mine[3] / mine[4]) / (theirs[3] / theirs[4])
                        memory = (mine[5] / mine[3]) / (theirs[5] / theirs[3])
                        print("%-9s korvo -c / %-7s at %7d lines: speed x%.2f, peak memory per line x%.2f" %
                              (program, tool, size, speed, memory))

        # Growth per step: time and memory should grow about as the lines do.
        for program in programs:
            for tool in ("korvo -c", "korvo -c -lik", "korvo-probe check"):
                steps = [row for row in rows if row[:2] == (program, tool)]
                for before, after in zip(steps, steps[1:]):
                    print("%-9s %-18s %d -> %d lines: time x%.1f, peak memory x%.1f" %
                          (program, tool, before[3], after[3], after[4] / before[4], after[5] / before[5]))
        return 0
    finally:
        shutil.rmtree(work, ignore_errors=True)


if __name__ == "__main__":
    sys.exit(main())
