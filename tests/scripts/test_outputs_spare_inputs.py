#!/usr/bin/env python3
"""No output lands on a file the compilation reads: every output option
(-o of each mode, -stringlists, the listing, the -gs files) aimed at every
kind of input (sources, included and required files, .kdef, .version,
libraries found on -libpath, packages, link libraries, icons, mapping files,
the listed image), also through ".." and a link, is refused with exit 1 and
the whole folder left byte for byte as it was. Two -gs modules mapping to one
file are refused, naming both."""
import argparse
import os
import subprocess
import sys
import tempfile
import zipfile

MAIN = ('include("inc.k")\nrequire("req.k")\nclass Hello {\n    public static int main(String[] args) {\n'
        '        return Inc.one() + Req.two();\n    }\n};\n')
failures = []


def check(condition, message):
    if not condition:
        failures.append(message)
        print("FAIL:", message)


def write(work, name, text):
    with open(os.path.join(work, name), "wb") as f:
        f.write(text.encode() if isinstance(text, str) else text)


def snapshot(work):
    found = {}
    for folder, _, names in os.walk(work):
        for name in names:
            path = os.path.join(folder, name)
            found[os.path.relpath(path, work)] = os.readlink(path) if os.path.islink(path) else open(path, "rb").read()
    return found


def korvo(build, work, args):
    done = subprocess.run([os.path.join(build, "korvo"), *args], cwd=work, capture_output=True, timeout=120,
                          stdin=subprocess.DEVNULL)
    return done.returncode, done.stdout.decode("utf-8", "replace")


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--bin", required=True)
    build = os.path.abspath(parser.parse_args().bin)
    with tempfile.TemporaryDirectory(prefix="korvo-spare-inputs-") as work:
        os.mkdir(os.path.join(work, "libs"))
        os.mkdir(os.path.join(work, "sub"))
        write(work, "main.k", MAIN)
        write(work, "inc.k", "class Inc { public static int one() { return 1; } };\n")
        write(work, "req.k", "class Req { public static int two() { return 2; } };\n")
        write(work, "app.version", '{"fileversion": "1.2.3.4", "LANGUAGE": "chs"}')
        write(work, "lib.kdef", '{"library":"hello.slk"}')
        write(work, "map.json", '{"HELLO": {"2052": "ni hao"}}')
        write(work, "icon.ico", b"ICON" * 5)
        for name, text in (("lib", "class FromLib { };\n"), ("a", "class FromA { };\n"), ("p", "class FromP { };\n")):
            write(work, name + ".k", text)
        for args in (["-c", "lib.k", "-lik", "-o", "libs/lib.lik"], ["-c", "a.k", "-kl", "-o", "a.kl"],
                     ["-c", "p.k", "-kl", "-o", "p.kl"], ["-c", "main.k", "-o", "h.kb"]):
            status, out = korvo(build, work, args)
            check(status == 0, "setup %s: %s" % (args, out))
        with zipfile.ZipFile(os.path.join(work, "UP.KP"), "w") as z:
            z.write(os.path.join(work, "p.kl"), "major.kl")
        for name in ("lib.k", "a.k", "p.k", "p.kl"):
            os.unlink(os.path.join(work, name))
        os.symlink("inc.k", os.path.join(work, "link.k"))

        options = ["-lib", "lib.lik", "-libpath", "libs", "-lib", "UP.KP", "-link", "a.kl",
                 "-ico", "icon.ico", "-langmapping", "map.json"]
        reads = ["main.k", "app.version", *options]
        outputs = {
            "-c -o": lambda t: ["-c", *reads, "-o", t],
            "-lik -o": lambda t: ["-c", *reads, "-lik", "-o", t],
            "-kl -o": lambda t: ["-c", "main.k", "lib.kdef", "app.version", *options, "-kl", "-o", t],
            "-ce -o": lambda t: ["-ce", *reads, "-o", t],
            "-stringlists": lambda t: ["-c", *reads, "-stringlists", t, "-o", "never.kb"],
        }
        # The whole command line works when no output meets an input.
        status, out = korvo(build, work, outputs["-kl -o"]("fine.kl"))
        check(status == 0, "the reading command line compiles: %s" % out)
        os.unlink(os.path.join(work, "fine.kl"))
        inputs = ["main.k", "inc.k", "req.k", "lib.kdef", "app.version", "libs/lib.lik", "UP.KP", "a.kl", "icon.ico",
                  "map.json", "sub/../inc.k", os.path.join(work, "req.k"), "link.k"]
        before = snapshot(work)
        for option, command in outputs.items():
            for target in inputs:
                if target == "lib.kdef" and option != "-kl -o":
                    continue
                status, out = korvo(build, work, command(target))
                # The message shows the path as the command line normalised it.
                shown = target if os.path.isabs(target) else os.path.normpath(target)
                check(status == 1 and ("can't open outputFile %s\n" % shown) in out,
                      "%s %s refused: %d %r" % (option, target, status, out[-200:]))
                after = snapshot(work)
                check(after == before, "%s %s: nothing written" % (option, target))
                before = after  # one fault is reported once
        # The listing written over the image it lists.
        for target in ("h.kb", "./h.kb"):
            status, out = korvo(build, work, ["-d", "h.kb", "-o", target])
            check(status == 1 and "can't open outputFile h.kb\n" in out, "-d h.kb -o %s: %r" % (target, out))
            check(snapshot(work) == before, "-d h.kb -o %s: nothing written" % target)

        # -gs: a generated file that is an input, and two modules for one file.
        os.mkdir(os.path.join(work, "gen"))
        write(work, "gen/net.cpp", "class Net { };\n")
        write(work, "gs.k", 'include("gen/net.cpp")\nimport "lib/net.dll" {\n    int connect(String host, int port);\n};\n')
        before = snapshot(work)
        status, out = korvo(build, work, ["-gs", "gs.k", "-o", "gen"])
        check(status == 1 and "can't open outputFile gen/net.cpp\n" in out, "-gs onto an input: %r" % out)
        check(snapshot(work) == before, "-gs onto an input: nothing written")
        write(work, "two.k", 'import "lib/net.dll" {\n    int connect(String host, int port);\n};\n'
                             'import "other/net.so" {\n    void close(ObjectPtr handle);\n};\n')
        before = snapshot(work)
        status, out = korvo(build, work, ["-gs", "two.k", "-o", "gen"])
        check(status == 1 and "lib/net.dll" in out and "other/net.so" in out and "已写入" not in out,
              "-gs clash names both modules: %r" % out)
        check(snapshot(work) == before, "-gs clash: nothing written")
    if failures:
        sys.exit("%d check(s) failed" % len(failures))
    print("test_outputs_spare_inputs: all checks passed")


if __name__ == "__main__":
    main()
