#!/usr/bin/env python3
"""Compilations one after another in one process, the built-ins registered
once and lent to each (korvo-probe compile-again): every one prints and
writes what korvo prints and writes for it in a process of its own, whatever
compiled before it (container instances, classes derived from built-ins,
errors, a shared module, a link library, server pages); and a lent object written without
noting it is an internal fault, never lent on changed."""
import argparse
import os
import subprocess
import sys
import tempfile

SOURCES = {
    "lists.k": b"""class Box<T> {
    T v;
    public void set(T x) { v = x; }
};
class K {
    public int count(String s) {
        Map<String, int> m = new Map<String, int>();
        m.put(s, 1);
        List<String> l = new List<String>();
        l.add(s);
        Box<String> b = new Box<String>();
        b.set(s);
        return m.size() + l.size();
    }
};
int main(String[] args) { return new K().count("a" + "b"); }
""",
    "errors.k": b"""class E {
    public int f(String s) { missing(s); List<Strin> l; return s.nope(); }
};
int main(String[] args) { return new E().f(1); }
""",
    "bases.k": b"""class MyError : Exception {
};
class MyIo : IOException {
};
class Worker : Thread {
    void run() { }
};
int main(String[] args) {
    try {
        throw new MyError();
    } catch (MyError e) {
    }
    Worker w = new Worker();
    MyIo io = new MyIo();
    return 0;
}
""",
    "page.ksp": b"<h1>Hi</h1>\n<% int n = 1; %>\n",
}
# The time stamp of an image: bytes 36 to 43.
STAMP = slice(36, 44)


def masked(path):
    if not os.path.exists(path):
        return None
    data = bytearray(open(path, "rb").read())
    if not path.endswith(".kl"):
        data[STAMP] = bytes(8)
    return bytes(data)


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--bin", required=True)
    build = os.path.abspath(parser.parse_args().bin)
    runs = [["lists.k"], ["errors.k"], ["bases.k"], ["bases.k"], ["lists.k"], ["errors.k"], ["lists.k", "-slk"],
            ["bases.k", "-slk"], ["lists.k", "-slk"], ["lists.k", "-kl"], ["lists.k"], ["page.ksp", "-ksp", "-dir", ".", "-lik"],
            ["page.ksp", "-ksp", "-dir", ".", "-lik"]]
    failures = 0
    with tempfile.TemporaryDirectory(prefix="korvo-again-") as work:
        for name, text in SOURCES.items():
            with open(os.path.join(work, name), "wb") as f:
                f.write(text)
        commands = []
        for k, (source, *flags) in enumerate(runs):
            output = "out%d%s" % (k, ".kl" if "-kl" in flags else ".kb")
            commands.append(["-c", source, *flags, "-o", output])
        alone = []
        for k, command in enumerate(commands):
            done = subprocess.run([os.path.join(build, "korvo"), *command], cwd=work, capture_output=True)
            alone.append((done.stdout + b"=== exit %d\n" % done.returncode, masked(os.path.join(work, command[-1]))))
            if os.path.exists(os.path.join(work, command[-1])):
                os.unlink(os.path.join(work, command[-1]))
        joined = [word for command in commands for word in command + ["---"]][:-1]
        done = subprocess.run([os.path.join(build, "korvo-probe"), "compile-again", *joined], cwd=work,
                              capture_output=True)
        if done.returncode != 0 or done.stderr:
            sys.exit("compile-again failed (%d): %s" % (done.returncode, done.stderr.decode("utf-8", "replace")))
        # Each invocation's text ends with its "=== exit N" line.
        chunks, rest = [], done.stdout
        for _ in commands:
            end = rest.index(b"\n", rest.index(b"=== exit ")) + 1
            chunks.append(rest[:end])
            rest = rest[end:]
        for k, command in enumerate(commands):
            if chunks[k] != alone[k][0]:
                failures += 1
                print("FAIL: messages of %s after %d compilations:\n%s\n--- alone:\n%s" %
                      (" ".join(command), k, chunks[k].decode("utf-8", "replace"),
                       alone[k][0].decode("utf-8", "replace")))
            if masked(os.path.join(work, command[-1])) != alone[k][1]:
                failures += 1
                print("FAIL: output of %s after %d compilations differs" % (" ".join(command), k))
        if alone[0][1] is None or alone[1][1] is not None:
            failures += 1
            print("FAIL: lists.k should compile and errors.k should not")
    # A write that was not noted is found when the lease ends, not lent on.
    done = subprocess.run([os.path.join(build, "korvo-probe"), "write-unnoted"], capture_output=True)
    if done.returncode == 0 or b"lookupStamp of the lent String was written without noting it" not in done.stdout:
        failures += 1
        print("FAIL: an unnoted write of a lent object went unseen (%d): %s" %
              (done.returncode, done.stdout.decode("utf-8", "replace")))
    if failures:
        sys.exit("%d check(s) failed" % failures)
    print("compile again: %d compilations as in processes of their own" % len(runs))


if __name__ == "__main__":
    main()
