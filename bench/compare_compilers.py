#!/usr/bin/env python3
"""Times whole compiler processes on the same generated program.

One program of classes with fields, a constructor, methods, loops, conditions,
switches, try blocks and expressions (the program of bench/generated_program.h)
is written in korvo, Java, C# and Lua at about 10k and 100k lines, and each
installed compiler translates it: `korvo -c prog.k -lik`, `korvo-probe check`
(recognition alone), javac, mcs and luac. Printed per run: lines, seconds of
wall time, lines per second and peak resident memory per source line (the
process's own ru_maxrss). korvo is also run at 1M lines, and the growth from
step to step is printed: a linear front end grows about 10x per step.

Usage: compare_compilers.py --bin BUILD_DIR [--sizes 10000,100000] [--million]
One run, one machine: compare the ratios, not the absolute figures.
"""
import argparse
import os
import shutil
import subprocess
import sys
import tempfile
import time


def korvo_program(binary, lines):
    """The bench program of bench/generated_program.h, written by the bench build."""
    writer = os.path.join(binary, "korvo_bench_program")
    return subprocess.run([writer, str(lines)], check=True, capture_output=True).stdout.decode()


# The korvo class in Java and C#: the same members and statements, in each
# language's words ({...} marks what differs).
C_LIKE_CLASS = """class Worker{c} {extends} Base {{
    private int count = 0;
    {string} name;
    int[] values = new int[16];

    Worker{c}({string} name) {{ this.name = name; }}

{methods}    static int {main}({string}[] args) {throws}{{ return new Worker{c}("a").step0(3, null); }}
}}

"""
C_LIKE_METHOD = """    int step{m}(int limit, List<{string}> items) {throws}{{
        int total = 0, i;
        for (i = 0; i < limit; i++) {{
            total += values[i % 16] * 2 + (limit - i) / 3;
            if (total > 1000 && !done(i)) {{ total = total >> 1; }} else total++;
        }}
        {foreach} {{ count = count + s.{length}; }}
        while (total > 0) {{ total -= step(total, name); }}
        switch (total) {{ case 0: break; default: total = -1;{last_break} }}
        try {{ risky(this.name); }} {catch}
        return total == 0 ? count : (int) total;
    }}

"""
JAVA = dict(extends="extends", string="String", main="main", throws="throws Exception ",
            foreach="for (String s : items)", length="length()", last_break="",
            catch="catch (Exception e) { throw e; }")
CSHARP = dict(extends=":", string="string", main="Run", throws="", foreach="foreach (string s in items)",
              length="Length", last_break=" break;", catch="catch (Exception) { throw; }")


def c_like_program(words, header, lines):
    out = [header]
    for c in range(lines // 40 + 1):
        methods = "".join(C_LIKE_METHOD.format(m=m, **words) for m in range(2))
        out.append(C_LIKE_CLASS.format(c=c, methods=methods, **words))
    return "".join(out)


def java_program(lines):
    return c_like_program(JAVA, "import java.util.List;\n\n"
                          "class Base {\n    boolean done(int i) { return i > 3; }\n"
                          "    int step(int t, String n) { return t; }\n"
                          "    void risky(String n) throws Exception { }\n}\n\n", lines)


def csharp_program(lines):
    return c_like_program(CSHARP, "using System;\nusing System.Collections.Generic;\n\n"
                          "class Base {\n    protected bool done(int i) { return i > 3; }\n"
                          "    protected int step(int t, string n) { return t; }\n"
                          "    protected void risky(string n) { }\n}\n\n", lines)


def lua_program(lines):
    out = ["Base = {}\nfunction Base.done(self, i) return i > 3 end\n"
           "function Base.step(self, t, n) return t end\nfunction Base.risky(self, n) end\n\n"]
    for c in range(lines // 40 + 1):
        out.append("Worker%d = setmetatable({}, { __index = Base })\n" % c)
        out.append("Worker%d.count = 0\nWorker%d.name = nil\nWorker%d.values = {}\n\n" % (c, c, c))
        out.append("function Worker%d.new(name) return setmetatable({ name = name }, { __index = Worker%d }) end\n\n"
                   % (c, c))
        for m in range(2):
            out.append("function Worker%d:step%d(limit, items)\n" % (c, m))
            out.append(
                "    local total, i = 0, 0\n"
                "    for i = 0, limit - 1 do\n"
                "        total = total + self.values[i % 16 + 1] * 2 + (limit - i) // 3\n"
                "        if total > 1000 and not self:done(i) then total = total >> 1 else total = total + 1 end\n"
                "    end\n"
                "    for _, s in ipairs(items) do self.count = self.count + #s end\n"
                "    while total > 0 do total = total - self:step(total, self.name) end\n"
                "    if total == 0 then goto done else total = -1 end\n"
                "    ::done::\n"
                "    local ok, e = pcall(self.risky, self, self.name) if not ok then error(e) end\n"
                "    if total == 0 then return self.count else return total end\n"
                "end\n\n")
        out.append("function Worker%d.main(args) return Worker%d.new(\"a\"):step0(3, {}) end\n\n" % (c, c))
    return "".join(out)


def run(command, cwd):
    """Wall seconds and peak resident bytes of one process, or None on failure.

    The peak comes from /usr/bin/time: a process's maxrss keeps the high-water
    mark of whatever exec'd it, so spawned straight from Python every run would
    count the interpreter's own resident memory."""
    with tempfile.NamedTemporaryFile(mode="r") as peak_file:
        start = time.perf_counter()
        process = subprocess.run(["/usr/bin/time", "-f", "%M", "-o", peak_file.name] + command, cwd=cwd,
                                 stdout=subprocess.DEVNULL, stderr=subprocess.PIPE)
        seconds = time.perf_counter() - start
        if process.returncode != 0:
            errors = process.stderr.decode("utf-8", "replace")
            print("  %s failed (exit %d): %s" % (command[0], process.returncode, errors.strip()[:300]),
                  file=sys.stderr)
            return None
        return seconds, int(peak_file.read().split()[-1]) * 1024


def main():
    parser = argparse.ArgumentParser(description=__doc__, formatter_class=argparse.RawDescriptionHelpFormatter)
    parser.add_argument("--bin", required=True, help="build directory holding korvo and korvo-probe")
    parser.add_argument("--sizes", default="10000,100000")
    parser.add_argument("--million", action="store_true", help="also run korvo at 1M lines")
    args = parser.parse_args()
    binary = os.path.abspath(args.bin)
    sizes = [int(s) for s in args.sizes.split(",")]

    work = tempfile.mkdtemp(prefix="korvo-compare-")
    try:
        def write(name, text):
            path = os.path.join(work, name)
            with open(path, "w") as f:
                f.write(text)
            return path, text.count("\n")

        rows = []  # (tool, lines, seconds, peak)

        def measure(tool, lines, command):
            result = run(command, work)
            if result:
                rows.append((tool, lines, result[0], result[1]))
                seconds, peak = result
                print("%-22s %9d %9.3f %12.0f %10.0f" % (tool, lines, seconds, lines / seconds, peak / lines),
                      flush=True)

        print("%-22s %9s %9s %12s %10s" % ("compiler", "lines", "seconds", "lines/s", "bytes/line"))
        korvo_sizes = sizes + ([1000000] if args.million else [])
        for size in korvo_sizes:
            path, lines = write("prog%d.k" % size, korvo_program(binary, size))
            measure("korvo -c -lik", lines, [os.path.join(binary, "korvo"), "-c", path, "-lik",
                                             "-o", os.path.join(work, "prog.lik")])
            probe = os.path.join(binary, "korvo-probe")
            if os.path.exists(probe):
                measure("korvo-probe check", lines, [probe, "check", path])
        peers = [
            ("javac", "javac", java_program, "Prog.java", lambda p: ["javac", "-d", work, p]),
            ("mcs", "mcs", csharp_program, "prog.cs",
             lambda p: ["mcs", "-target:library", "-nowarn:168,219,162", "-out:" + os.path.join(work, "prog.dll"), p]),
            ("luac", "luac5.4" if shutil.which("luac5.4") else "luac", lua_program, "prog.lua",
             lambda p: [shutil.which("luac5.4") or "luac", "-o", os.path.join(work, "prog.luac"), p]),
        ]
        for tool, executable, generate, name, command in peers:
            if not shutil.which(executable):
                print("%-22s not installed" % tool)
                continue
            for size in sizes:
                path, lines = write(name, generate(size))
                measure(tool, lines, command(path))

        # Growth per step: time and memory should grow about as the lines do.
        for tool in ("korvo -c -lik", "korvo-probe check"):
            steps = [row for row in rows if row[0] == tool]
            for before, after in zip(steps, steps[1:]):
                print("%-22s %d -> %d lines: time x%.1f, peak memory x%.1f" %
                      (tool, before[1], after[1], after[2] / before[2], after[3] / before[3]))
        return 0
    finally:
        shutil.rmtree(work, ignore_errors=True)


if __name__ == "__main__":
    sys.exit(main())
