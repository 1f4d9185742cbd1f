"""What the script tests share: running build/korvo-probe, with sanitizer
reports told apart from ordinary failures, and the closing report."""
import os
import subprocess
import sys
import tempfile

SANITIZER_EXIT = 86
_ENV = dict(os.environ,
            ASAN_OPTIONS="exitcode=%d:detect_leaks=1" % SANITIZER_EXIT,
            UBSAN_OPTIONS="exitcode=%d:halt_on_error=1:print_stacktrace=1" % SANITIZER_EXIT)


class Probe:
    def __init__(self, build_dir):
        self.path = os.path.join(build_dir, "korvo-probe")
        self.failures = 0

    def run(self, *args):
        """Runs the probe; returns (exit status, stdout bytes). A crash or a
        sanitizer report fails the whole script at once."""
        done = subprocess.run([self.path, *args], capture_output=True, env=_ENV)
        err = done.stderr.decode("utf-8", "replace")
        if done.returncode < 0 or done.returncode == SANITIZER_EXIT or "Sanitizer" in err or "runtime error" in err:
            sys.exit("probe crashed (status %d) on %r:\n%s" % (done.returncode, args, err))
        return done.returncode, done.stdout

    def model_script(self, lines):
        """Runs `model` over the lines; returns (exit status, output lines)."""
        with tempfile.NamedTemporaryFile("w", suffix=".txt", delete=False) as f:
            f.write("\n".join(lines) + "\n")
            path = f.name
        try:
            status, out = self.run("model", path)
        finally:
            os.unlink(path)
        return status, out.decode("utf-8").splitlines()

    def check(self, condition, message):
        if not condition:
            self.failures += 1
            print("FAIL:", message)

    def finish(self, name):
        if self.failures:
            sys.exit("%s: %d check(s) failed" % (name, self.failures))
        print("%s: all checks passed" % name)


def report(failures, passed):
    """Prints each failure, or `passed` when there is none; the exit status."""
    for failure in failures:
        print("FAIL: " + failure)
    if not failures:
        print(passed)
    return 1 if failures else 0
