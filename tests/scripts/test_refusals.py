#!/usr/bin/env python3
"""What the compiler refuses and how it says why, each with status 1:
-d of a file that is no program image (a link library, a static library, an
executable, a source) lists nothing and leaves no file; every mode whose
standard output fails (a full device, a pipe whose reader is gone, a closed
descriptor) names the system's reason, and a closed standard output never
lets the messages into an output file; a missing response file names its
reason, a missing resource its file; a -ksp web root that does not exist and
a malformed SOURCE_DATE_EPOCH are refused before anything is written."""
import argparse
import os
import signal
import subprocess
import sys
import tempfile

HELLO = 'class Hello {\n    static int main(String[] args) {\n        String s = "hello";\n        return s.length();\n    }\n};\n'
SHAPE = 'class Shape {\n    public int area() { return 1; }\n};\n'
BANNER_END = ".\n\n"
failures = []


def check(condition, message):
    if not condition:
        failures.append(message)
        print("FAIL:", message)


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--bin", required=True)
    korvo_path = os.path.join(os.path.abspath(parser.parse_args().bin), "korvo")
    env = dict(os.environ)
    env.pop("SOURCE_DATE_EPOCH", None)

    with tempfile.TemporaryDirectory(prefix="korvo-refusals-") as work:
        def run(*args, epoch=None, **streams):
            """(status, standard output, standard error) of one run in the scratch folder."""
            own = dict(env) if epoch is None else dict(env, SOURCE_DATE_EPOCH=epoch)
            streams.setdefault("stdout", subprocess.PIPE)
            streams.setdefault("stderr", subprocess.PIPE)
            done = subprocess.run([korvo_path, *args], cwd=work, env=own, timeout=120, **streams)
            text = (lambda b: b.decode("utf-8", "replace") if b is not None else "")
            return done.returncode, text(done.stdout), text(done.stderr)

        def write(name, text):
            with open(os.path.join(work, name), "w") as f:
                f.write(text)

        def exists(name):
            return os.path.exists(os.path.join(work, name))

        write("hello.k", HELLO)
        write("shape.k", SHAPE)
        write("geo.kdef", '{"library":"geo.slk","exports":["Shape"]}')
        for args in (["-c", "hello.k", "-o", "hello.kb"], ["-c", "hello.k", "-z", "-o", "packed.kb"],
                     ["-c", "shape.k", "geo.kdef", "-kl", "-o", "geo.kl"], ["-c", "hello.k", "-lik", "-o", "hello.lik"],
                     ["-ce", "hello.k", "-kcross-linux", "-o", "hello.elf"]):
            status, out, _ = run(*args)
            check(status == 0, "%s: %s" % (args, out))

        # A file that is no program image lists nothing, to a file or to the
        # console; real images, plain and compressed, still list.
        for name in ("geo.kl", "hello.lik", "hello.elf", "hello.k"):
            status, out, _ = run("-d", name, "-o", "listing.txt")
            check(status == 1 and out.endswith(BANNER_END + "损坏的程序文件: %s\n" % name) and not exists("listing.txt"),
                  "-d %s -o listing.txt: %s %r, file %s" % (name, status, out[-200:], exists("listing.txt")))
            status, out, _ = run("-d", name, "-o", "stdout")
            check(status == 1 and out.endswith(BANNER_END + "\n损坏的程序文件: %s\n" % name),
                  "-d %s to the console: %s %r" % (name, status, out[-200:]))
        for name in ("hello.kb", "packed.kb"):
            status, out, _ = run("-d", name, "-o", "stdout")
            check(status == 0 and " : exit " in out and "损坏" not in out, "-d %s: %s %r" % (name, status, out[-200:]))
        check(sorted(n for n in os.listdir(work) if n.startswith(".")) == [], "no temporary left")

        # Standard output that fails names its reason in every mode.
        modes = (["-c", "hello.k", "-o", "out.kb"], ["-c", "hello.k", "-lik", "-o", "out.lik"],
                 ["-gs", "hello.k", "-o", "gen"], ["-c", "hello.k", "-stringlists", "out.json", "-o", "s.kb"],
                 ["-ce", "hello.k", "-kcross-linux", "-o", "out.elf"], ["-d", "hello.kb", "-o", "stdout"])
        os.mkdir(os.path.join(work, "gen"))

        def ignore_sigpipe():
            signal.signal(signal.SIGPIPE, signal.SIG_IGN)

        for args in modes:
            with open("/dev/full", "wb") as full:
                status, _, error = run(*args, stdout=full)
            check(status == 1 and "无法写入标准输出: No space left on device\n" in error,
                  "%s into /dev/full: %s %r" % (args, status, error))
            reader, writer = os.pipe()
            os.close(reader)
            status, _, error = run(*args, stdout=writer, preexec_fn=ignore_sigpipe)
            os.close(writer)
            check(status == 1 and "无法写入标准输出: Broken pipe\n" in error,
                  "%s into a pipe without reader: %s %r" % (args, status, error))
            status, _, error = run(*args, stdout=None, preexec_fn=lambda: os.close(1))
            check(status == 1 and "无法写入标准输出: Bad file descriptor\n" in error,
                  "%s with standard output closed: %s %r" % (args, status, error))
        # With its descriptor closed, no output takes standard output's place
        # (a library is announced while its file is open): the messages
        # written then would land in it.
        status, _, _ = run("-c", "hello.k", "-lik", "-o", "open.lik")
        run("-c", "hello.k", "-lik", "-o", "closed.lik", stdout=None, preexec_fn=lambda: os.close(1))
        made = [open(os.path.join(work, n), "rb").read() if exists(n) else None for n in ("open.lik", "closed.lik")]
        check(status == 0 and made[0] is not None and made[0] == made[1],
              "the library written with standard output closed is the one written with it open")

        # Messages with room for a reason or a name give it.
        for args, want in ((["@noargs.txt"], "无法读取参数文件 noargs.txt: No such file or directory\n"),
                           (["-c", "hello.k", "-o", "icon.kb", "-ico", "noicon.ico"], "找不到资源:noicon.ico\n")):
            status, out, _ = run(*args)
            check(status == 1 and want in out, "%s: %s %r" % (args, status, out[:600]))
        check(not exists("icon.kb"), "no image without its icon")

        # A -ksp web root must exist, as an -incpath folder must.
        write("page.ksp", "<h1>Hi</h1>\n<% int n = 1; %>\n")
        for root, want in (("nowhere", 1), ("hello.k", 1), (".", 0)):
            status, out, _ = run("-ksp", "-dir", root, "-c", "page.ksp", "-lik", "-o", "page.lik")
            refused = out.endswith(BANNER_END + "找不到路径: %s\n" % root)
            check(status == want and refused == (want == 1) and exists("page.lik") == (want == 0),
                  "-ksp -dir %s: %s %r" % (root, status, out[-200:]))

        # SOURCE_DATE_EPOCH: set, it is the time or the build stops.
        for value in ("", "abc", "-1", " 5", "1e9", "18446744073709551616", "18446744073709552"):
            for args in (["-c", "hello.k", "-o", "epoch.kb"], ["-ce", "hello.k", "-kcross-linux", "-o", "epoch.elf"]):
                status, out, _ = run(*args, epoch=value)
                want = 'SOURCE_DATE_EPOCH 无效: "%s", 应为 0 至 18446744073709551 的十进制整秒数\n' % value
                check(status == 1 and out.endswith(BANNER_END + want) and not exists(args[-1]),
                      "SOURCE_DATE_EPOCH=%r %s: %s %r" % (value, args[0], status, out[-200:]))
        for value in ("0", "18446744073709551", None):
            status, out, _ = run("-c", "hello.k", "-o", "epoch.kb", epoch=value)
            check(status == 0 and exists("epoch.kb"), "SOURCE_DATE_EPOCH=%r: %s %r" % (value, status, out[-200:]))
    if failures:
        sys.exit("%d check(s) failed" % len(failures))
    print("test_refusals: all checks passed")


if __name__ == "__main__":
    main()
