#!/usr/bin/env python3
"""Runs build/korvo on response files and arguments that are awkward to keep
in golden folders: large files, long chains of response files, bytes that
are not UTF-8."""
import argparse
import os
import subprocess
import sys
import tempfile

BANNER = b"Compiler for korvo, Linux(x86_64), Version:4.9. official homepage: "
USAGE_FIRST = "korvo [选项:options] korvo源文件[.k|.kcs|.kcsm] -o 输出文件\n".encode()
LIMIT = 10 * 1024 * 1024 + 1


def run(korvo, args, cwd):
    result = subprocess.run([korvo] + args, cwd=cwd, stdout=subprocess.PIPE, timeout=120)
    return result.returncode, result.stdout


def body(out):
    """The output behind the banner line and its blank line."""
    assert out.startswith(BANNER), out[:200]
    return out.split(b"\n", 2)[2]


def check(name, condition, detail=b""):
    if not condition:
        raise AssertionError(f"{name}: {detail[:400]!r}")


def test_size_limit(korvo, work):
    # One byte past the limit is refused before anything is parsed.
    with open(os.path.join(work, "big.rsp"), "wb") as f:
        f.write(b" " * (LIMIT - 4) + b"-lik")
    status, out = run(korvo, ["@big.rsp"], work)
    rest = body(out)
    check("too large", status == 1 and rest.startswith("命令参数文件过大:big.rsp\n".encode()) and USAGE_FIRST in rest, rest)

    # One byte less is read whole: the option at its very end is seen.
    with open(os.path.join(work, "edge.rsp"), "wb") as f:
        f.write(b" " * (LIMIT - 1 - 7) + b"-bogus\n")
    status, out = run(korvo, ["@edge.rsp"], work)
    rest = body(out)
    check("just below the limit", status == 1 and rest.startswith("未知的命令行参数: -bogus\n".encode()), rest)


def test_chain_depth(korvo, work):
    # r1 names r2, ... Eight levels are followed; the ninth name is an
    # unknown option.
    for depth in range(1, 10):
        with open(os.path.join(work, f"r{depth}.rsp"), "w") as f:
            f.write(f"@r{depth + 1}.rsp\n")
    with open(os.path.join(work, "r9.rsp"), "w") as f:
        f.write("-bogus\n")
    status, out = run(korvo, ["@r1.rsp"], work)
    check("ninth level", status == 1 and body(out).startswith("未知的命令行参数: @r9.rsp\n".encode()), out)

    with open(os.path.join(work, "r8.rsp"), "w") as f:
        f.write("-bogus\n")
    status, out = run(korvo, ["@r1.rsp"], work)
    check("eighth level", status == 1 and body(out).startswith("未知的命令行参数: -bogus\n".encode()), out)


def test_bytes_survive(korvo, work):
    # Names are bytes on this host: a byte that is not UTF-8 comes back as it was.
    name = b"caf\xe9 \xff.k"
    status, out = run(korvo, [name], work)
    check("argument bytes", status == 1 and body(out).startswith("未知的命令行参数: ".encode() + name + b"\n"), out)

    with open(os.path.join(work, "latin.rsp"), "wb") as f:
        f.write(b'"' + name + b'"\n')
    status, out = run(korvo, ["@latin.rsp"], work)
    check("response bytes", status == 1 and body(out).startswith("未知的命令行参数: ".encode() + name + b"\n"), out)


def test_unreadable(korvo, work):
    os.mkdir(os.path.join(work, "folder.rsp"))
    status, out = run(korvo, ["@folder.rsp"], work)
    check("directory", status == 1 and body(out).startswith("无法读取参数文件 folder.rsp: Is a directory\n".encode()), out)

    # An empty file holds no arguments: no mode, the usage text, failure.
    open(os.path.join(work, "empty.rsp"), "wb").close()
    status, out = run(korvo, ["@empty.rsp"], work)
    check("empty", status == 1 and body(out).startswith(USAGE_FIRST), out)


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--bin", required=True)
    args = parser.parse_args()
    korvo = os.path.join(os.path.abspath(args.bin), "korvo")
    failures = 0
    for test in (test_size_limit, test_chain_depth, test_bytes_survive, test_unreadable):
        with tempfile.TemporaryDirectory(prefix="korvo-driver-") as work:
            try:
                test(korvo, work)
                print(f"ok   {test.__name__}")
            except AssertionError as error:
                failures += 1
                print(f"FAIL {test.__name__}: {error}")
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main())
