#!/usr/bin/env python3
"""The run evaluator (tests/run/image_eval.py) judges an element store by the
type its index operand carries: an image whose store or fused element
operation says long where the array holds ints is refused, not run as the
array's type would have it."""
import argparse
import os
import subprocess
import sys
import tempfile

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "run"))
import image_eval  # noqa: E402

SOURCE = b"""int main(String[] args) {
    int[] a = new int[2];
    a[1] = 5;
    a[0] += a[1] * 3;
    return a[0] * 10 + a[1];
}
"""
LONG = 5


def element_ops(data):
    """Addresses of main's element stores, in code order."""
    image, at, found = image_eval.Image(data), 192, []
    while True:
        name, _, after = image.decode(at)
        if name in ("MovElemInt", "AddElem"):
            found.append((name, at))
        if name == "RetDelesp":
            return found
        at = after


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--bin", required=True)
    korvo = os.path.join(os.path.abspath(parser.parse_args().bin), "korvo")
    failures = []
    with tempfile.TemporaryDirectory(prefix="korvo-eval-") as work:
        source, image = os.path.join(work, "a.k"), os.path.join(work, "a.kb")
        with open(source, "wb") as f:
            f.write(SOURCE)
        subprocess.run([korvo, "-c", source, "-o", image], capture_output=True, timeout=300, check=True)
        data = open(image, "rb").read()
        if image_eval.evaluate(image) != ("result", 155):
            failures.append("the image as written does not return 155")
        stores = element_ops(data)
        if [name for name, _ in stores] != ["MovElemInt", "AddElem"]:
            failures.append("element stores found: %s" % stores)
        for name, at in stores:
            changed = bytearray(data)
            changed[at + 4 + 12 + 3] = LONG  # the data type byte of operand 1
            with open(image, "wb") as f:
                f.write(changed)
            try:
                failures.append("%s typed long ran: %s" % (name, image_eval.evaluate(image)))
            except image_eval.EvalError as error:
                if "typed 5 into an array whose elements are typed 4" not in str(error):
                    failures.append("%s typed long: %s" % (name, error))
    for failure in failures:
        print("FAIL:", failure)
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main())
