#!/usr/bin/env python3
"""A compile stopped by a signal while its temporary output exists leaves no
temporary and keeps the old target, and ends with the signal's own status.
For each output mode a generated program is compiled with a library preloaded
that stops korvo (SIGSTOP) in its first write to a temporary; the test then
sends the signal and lets it go on. Prints the table mode x signal."""
import argparse
import os
import resource
import signal
import struct
import subprocess
import sys
import tempfile
import time

SIGNALS = ["SIGINT", "SIGTERM", "SIGHUP", "SIGQUIT", "SIGPIPE", "SIGUSR1", "SIGALRM", "SIGXCPU", "SIGKILL"]
OLD = b"old bytes of the target\n"


def program(parts):
    lines = ['import "lib/net.dll" {\n    int connect(String host, int port);\n};\n']
    for i in range(parts):
        lines.append('class Part%d {\n    public static String name%d(int x) {\n        if (x > %d) return "part %d above";\n'
                     '        return "part %d below";\n    }\n};\n' % (i, i, i, i, i))
    lines.append('class Main {\n    public static int main(String[] args) {\n        String s = Part0.name0(args.length);\n'
                 '        return s.length();\n    }\n};\n')
    return "".join(lines)


# mode: (arguments, the targets that exist before and must keep their bytes)
MODES = {
    "image -c": (["-c", "big.k", "-o", "out.kb"], ["out.kb"]),
    "-ce ELF": (["-ce", "big.k", "-kcross-linux", "-o", "out.elf"], ["out.elf"]),
    "-ce Mach-O": (["-ce", "big.k", "-kcross-darwin", "-o", "out.macho"], ["out.macho"]),
    "-ce PE": (["-ce", "big.k", "-kcross-windows", "-o", "out.exe"], ["out.exe"]),
    "-kl": (["-c", "big.k", "-kl", "-o", "out.kl"], ["out.kl"]),
    "-lik": (["-c", "big.k", "-lik", "-o", "out.lik"], ["out.lik"]),
    "-gs": (["-gs", "big.k", "-o", "gen"], ["gen/net.cpp"]),
    # With -ce the string list is the first output written.
    "-stringlists": (["-ce", "big.k", "-stringlists", "out.json", "-o", "list.elf"], ["out.json"]),
    "-d": (["-d", "big.kb", "-o", "out.txt"], ["out.txt"]),
}


def no_core():
    resource.setrlimit(resource.RLIMIT_CORE, (0, 0))


def temporaries(work):
    found = []
    for folder in (work, os.path.join(work, "gen")):
        found += [os.path.join(folder, n) for n in os.listdir(folder) if n.startswith(".korvo-tmp-")]
    return found


def wait_for(pid, flags, limit):
    """waitpid with a time limit of its own: the status, or None."""
    deadline = time.monotonic() + limit
    while time.monotonic() < deadline:
        got, status = os.waitpid(pid, flags | os.WNOHANG)
        if got == pid:
            return status
        time.sleep(0.005)
    return None


def stop_and_signal(korvo, work, arguments, number, env):
    """One run: (what went wrong or None, whether a temporary was left)."""
    with open(os.path.join(work, "stdout.txt"), "wb") as out:
        child = subprocess.Popen([korvo, *arguments], cwd=work, env=env, stdout=out, stderr=subprocess.STDOUT,
                                 stdin=subprocess.DEVNULL, preexec_fn=no_core)
    child.returncode = -1  # reaped here, not by Popen
    status = wait_for(child.pid, os.WUNTRACED, 120)
    if status is not None and os.WIFSTOPPED(status):
        # None where the file system gives files without a name.
        others = temporaries(work)
        mine = [p for p in others if os.path.basename(p).startswith(".korvo-tmp-%d-" % child.pid)]
        os.kill(child.pid, number)
        os.kill(child.pid, signal.SIGCONT)
        status = wait_for(child.pid, 0, 120)
    else:
        mine = others = None
    if status is None:
        os.kill(child.pid, signal.SIGKILL)
        os.waitpid(child.pid, 0)
    left = temporaries(work)
    for path in left:
        os.unlink(path)
    if mine is None:
        return "never wrote a temporary (status %r)" % status, bool(left)
    if not mine and others:
        return "no temporary named after the process", bool(left)
    if status is None or not os.WIFSIGNALED(status) or os.WTERMSIG(status) != number:
        return "ended with status %r" % status, bool(left)
    return None, bool(left)


def loads_libraries(path):
    """Whether the program names a dynamic loader (a PT_INTERP segment): a
    program linked whole takes no preloaded library."""
    with open(path, "rb") as f:
        head = f.read(64)
        if head[:4] != b"\x7fELF" or head[4] != 2:
            return True
        phoff, = struct.unpack_from("<Q", head, 32)
        phentsize, phnum = struct.unpack_from("<HH", head, 54)
        f.seek(phoff)
        table = f.read(phentsize * phnum)
    return any(struct.unpack_from("<I", table, i * phentsize)[0] == 3 for i in range(phnum))


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--bin", required=True)
    build = os.path.abspath(parser.parse_args().bin)
    korvo = os.path.join(build, "korvo")
    shim = os.path.join(build, "libkorvo_stop_in_temporary.so")
    if not os.path.exists(shim):
        print("SKIP: %s missing" % shim)
        return
    if not loads_libraries(korvo):
        print("SKIP: %s is linked statically, nothing can be preloaded into it" % korvo)
        return
    env = dict(os.environ, LD_PRELOAD=shim)
    # The preloaded library comes before a sanitizer's runtime.
    env["ASAN_OPTIONS"] = ":".join(filter(None, [os.environ.get("ASAN_OPTIONS"), "verify_asan_link_order=0"]))
    failures = []
    rows = []
    with tempfile.TemporaryDirectory(prefix="korvo-signals-") as work:
        with open(os.path.join(work, "big.k"), "w") as f:
            f.write(program(400))
        os.mkdir(os.path.join(work, "gen"))
        listed = subprocess.run([korvo, "-c", "big.k", "-o", "big.kb"], cwd=work, capture_output=True, timeout=120)
        if listed.returncode != 0:
            sys.exit("the generated program does not compile:\n" + listed.stdout.decode("utf-8", "replace"))
        for mode, (arguments, targets) in MODES.items():
            # A target kind whose stub is not installed here is skipped.
            if mode.startswith("-ce ") and subprocess.run([korvo, *arguments], cwd=work, capture_output=True,
                                                          timeout=120).returncode != 0:
                rows.append((mode, ["skip"] * len(SIGNALS)))
                continue
            row = []
            for name in SIGNALS:
                for target in targets:
                    with open(os.path.join(work, target), "wb") as f:
                        f.write(OLD)
                problem, left = stop_and_signal(korvo, work, arguments, getattr(signal, name), env)
                kept = all(open(os.path.join(work, t), "rb").read() == OLD for t in targets)
                row.append("%s/%s" % ("LEFT" if left else "none", "kept" if kept else "LOST"))
                if problem is not None or left or not kept:
                    failures.append("%s %s: %s, temporary %s, target %s" %
                                    (mode, name, problem or "killed by it", "left" if left else "removed",
                                     "kept" if kept else "lost"))
            rows.append((mode, row))
    print("temporary left / target kept")
    print("%-14s" % "mode" + "".join("%-11s" % s for s in SIGNALS))
    for mode, row in rows:
        print("%-14s" % mode + "".join("%-11s" % cell for cell in row))
    for failure in failures:
        print("FAIL:", failure)
    if failures:
        sys.exit("%d run(s) failed" % len(failures))
    print("test_output_signals: all checks passed")


if __name__ == "__main__":
    main()
