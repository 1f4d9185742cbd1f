#!/usr/bin/env python3
"""Outputs as a hostile user might aim them, all inside a scratch directory:
a FIFO as any output and -o naming a source (refused before anything is
written, never waited on), the mode of -ce executables under two umasks and
over an existing target, names at the length limit, FIFOs as sources and
response files (refused, never waited on), a listing on standard output that
cannot be written (a full device, a pipe closed early: status 1 and the
reason on standard error), and no temporary left behind."""
import argparse
import os
import shutil
import signal
import stat
import subprocess
import sys
import tempfile

HELLO = b'class Hello {\n    static int main(String[] args) {\n        return 0;\n    }\n};\n'
failures = []


def check(condition, message):
    if not condition:
        failures.append(message)
        print("FAIL:", message)


def korvo(build, work, *args):
    done = subprocess.run([os.path.join(build, "korvo"), *args], cwd=work, capture_output=True, timeout=60)
    return done.returncode, done.stdout.decode("utf-8", "replace")


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--bin", required=True)
    build = os.path.abspath(parser.parse_args().bin)
    with tempfile.TemporaryDirectory(prefix="korvo-outputs-") as work:
        with open(os.path.join(work, "hello.k"), "wb") as f:
            f.write(HELLO)
        status, out = korvo(build, work, "-c", "hello.k", "-lik", "-o", "plain.lik")
        check(status == 0, "plain library written: %s" % out)
        reference = open(os.path.join(work, "plain.lik"), "rb").read()

        # A FIFO with no reader as any output is refused before any work,
        # never waited on (korvo() has a time limit of its own), and stays.
        os.mkfifo(os.path.join(work, "pipe"))
        for args in (["-c", "hello.k", "-lik", "-o", "pipe"], ["-c", "hello.k", "-o", "pipe"],
                     ["-ce", "hello.k", "-o", "pipe"], ["-c", "hello.k", "-stringlists", "pipe", "-o", "s.kb"],
                     ["-d", "plain.lik", "-o", "pipe"]):
            status, out = korvo(build, work, *args)
            check(status == 1 and out.endswith("can't open outputFile pipe\n") and "正在生成" not in out,
                  "%s refused: %r" % (args, out))
        check(stat.S_ISFIFO(os.lstat(os.path.join(work, "pipe")).st_mode), "FIFO not replaced")
        check(not os.path.exists(os.path.join(work, "s.kb")), "nothing written beside a refused string list")
        os.unlink(os.path.join(work, "pipe"))

        # -ce creates the executable as a linker does: 0777 less the umask,
        # and a replaced target keeps its own bits.
        for kind in ("linux", "darwin"):
            for mask in (0o022, 0o077):
                target = os.path.join(work, "exe-%s-%o" % (kind, mask))
                for existing in (None, 0o750):
                    if existing is not None:
                        os.chmod(target, existing)
                    done = subprocess.run([os.path.join(build, "korvo"), "-ce", "hello.k", "-kcross-" + kind, "-o",
                                           target], cwd=work, capture_output=True, timeout=60,
                                          preexec_fn=lambda: os.umask(mask))
                    mode = stat.S_IMODE(os.stat(target).st_mode) if done.returncode == 0 else None
                    want = 0o777 & ~mask if existing is None else existing
                    check(mode == want, "-ce %s umask %o, target %s: mode %s" %
                          (kind, mask, existing and oct(existing), mode and oct(mode)))

        # -o naming a source (as written or by another path) is refused first.
        for target in ("hello.k", os.path.join(work, "hello.k")):
            status, out = korvo(build, work, "-c", "hello.k", "-lik", "-o", target)
            check(status == 1 and out.endswith("\ncan't open outputFile %s\n" % target) and "正在生成" not in out,
                  "-o %s refused: %r" % (target, out))
            check(open(os.path.join(work, "hello.k"), "rb").read() == HELLO, "source intact after -o " + target)
        status, out = korvo(build, work, "-c", "hello.k", "-o", "hello.k")
        check(status == 1 and "can't open outputFile hello.k" in out, "-c refuses too: %r" % out)

        # Names at the limit of one path component are written.
        for length in (250, 255):
            name = "n" * (length - 4) + ".lik"
            status, out = korvo(build, work, "-c", "hello.k", "-lik", "-o", name)
            check(status == 0 and open(os.path.join(work, name), "rb").read() == reference,
                  "%d-byte name written: %r" % (length, out))

        # A FIFO named as a source or response file is refused at once.
        os.mkfifo(os.path.join(work, "source.k"))
        status, out = korvo(build, work, "-c", "source.k", "-lik", "-o", "never.lik")
        check(status == 1 and "找不到文件:source.k" in out, "FIFO source refused: %r" % out)
        status, out = korvo(build, work, "@source.k")
        check(status == 1 and "无法读取参数文件 source.k:" in out, "FIFO response file refused: %r" % out)

        # A listing on standard output that cannot be written whole ends with
        # the reason on standard error and status 1: into a full device, into
        # a pipe its reader closed early (SIGPIPE ignored; at its default the
        # signal ends the run, as it ends any filter). The listing is far
        # larger than a pipe holds.
        with open(os.path.join(work, "big.k"), "wb") as f:
            f.write(b"".join(b"class Part%d {\n    public static int f(int x) { return x + %d; }\n};\n" % (i, i)
                             for i in range(600)) + HELLO)
        status, out = korvo(build, work, "-c", "big.k", "-o", "big.kb")
        check(status == 0, "big image written: %s" % out)
        korvo_path = os.path.join(build, "korvo")
        for args in (["-d", "big.kb", "-o", "stdout"], ["-d", "big.kb"]):
            with open("/dev/full", "wb") as full:
                done = subprocess.run([korvo_path, *args], cwd=work, stdout=full, stderr=subprocess.PIPE, timeout=60)
            check(done.returncode == 1 and "无法写入标准输出: No space left on device" in done.stderr.decode(),
                  "%s into /dev/full: %s %r" % (args, done.returncode, done.stderr))
        for ignored in (True, False):
            reader = subprocess.Popen([korvo_path, "-d", "big.kb", "-o", "stdout"], cwd=work, stdout=subprocess.PIPE,
                                      stderr=subprocess.PIPE,
                                      preexec_fn=lambda: signal.signal(signal.SIGPIPE, signal.SIG_IGN if ignored
                                                                       else signal.SIG_DFL))
            head = reader.stdout.read(64)
            reader.stdout.close()
            error = reader.stderr.read().decode()
            status = reader.wait(timeout=60)
            want = (1,) if ignored else (1, -signal.SIGPIPE)
            check(head.startswith(b"Compiler for korvo") and status in want and
                  (status != 1 or "无法写入标准输出: Broken pipe" in error),
                  "listing into a closed pipe (SIGPIPE %s): %s %r" % ("ignored" if ignored else "default", status,
                                                                      error))
        done = subprocess.run([korvo_path, "-d", "big.kb", "-o", "stdout"], cwd=work, capture_output=True, timeout=60)
        check(done.returncode == 0 and len(done.stdout) > 1 << 20 and done.stderr == b"",
              "listing read whole: %s, %d bytes, %r" % (done.returncode, len(done.stdout), done.stderr[:200]))

        leftovers = sorted(n for n in os.listdir(work) if n.startswith("."))
        check(leftovers == [], "no temporary left: %s" % leftovers)
    # The parser and page fuzz targets leave nothing in the temporary folder
    # (a private one, so that other builds' runs cannot confuse the count).
    source = os.path.dirname(os.path.dirname(os.path.dirname(os.path.abspath(__file__))))
    with tempfile.TemporaryDirectory(prefix="korvo-fuzz-tmp-") as scratch:
        for target in ("parser_fuzz", "page_fuzz"):
            subprocess.run([os.path.join(build, target), os.path.join(source, "fuzz", "corpus", target)],
                           capture_output=True, timeout=120, env=dict(os.environ, TMPDIR=scratch))
        check(os.listdir(scratch) == [], "fuzz replays left %s" % os.listdir(scratch))
    if failures:
        sys.exit("%d check(s) failed" % len(failures))
    print("test_output_files: all checks passed")


if __name__ == "__main__":
    main()
