#!/usr/bin/env python3
"""The run evaluator (tests/run/image_eval.py) judges an image by its own
operands: an element store or fused element operation that says long where
the array holds ints is refused, not run as the array's type would have it;
a value of the wrong kind (a String, an object, nilptr) where an instruction
needs a number stops the run with the evaluator's own words naming the
instruction and the slot, never with a Python error."""
import argparse
import os
import struct
import subprocess
import sys
import tempfile

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "run"))
import image_eval  # noqa: E402

ELEMENTS = b"""int main(String[] args) {
    int[] a = new int[2];
    a[1] = 5;
    a[0] += a[1] * 3;
    return a[0] * 10 + a[1];
}
"""
LONG = 5
# Slots of main: args 0, s 1, b 2, n 3, a 4.
KINDS = b"""class Box { public int v; };
int main(String[] args) {
    String s = "ab";
    Box b = new Box();
    b.v = 4;
    b.v += 3;
    int n = b.v;
    n++;
    int[] a = new int[2];
    a[1] += n;
    return n * 2 + a[1] + s.length();
}
"""
NILPTR, STRING_LITERAL = (0, 11, 0), "literal"
# (instruction, operand, what it is made to name, the stop after "NAME at 0xADDR: ").
WRONG_KINDS = [
    ("Mul", 0, (9, 4, 1), 'stack[1] holds the String "ab", not an int'),
    ("Mul", 0, (9, 11, 2), "stack[2] holds an object of class Box, not a number"),
    ("Binc", 0, (9, 11, 1), 'stack[1] holds the String "ab", not a number'),
    ("AddProp", 3, NILPTR, "the nilptr operand is nilptr, not a number"),
    ("AddProp", 0, (9, 11, 1), 'field access on the String "ab"'),
    ("MovPropi", 3, (9, 9, 1), 'field 0 of an object of class Box is given the String "ab", not an int'),
    ("AddElem", 2, (9, 9, 4), "stack[4] holds an array of 2, not a number"),
    ("AddElem", 1, STRING_LITERAL, 'the String literal at 0x%X is the String "ab", not an int'),
]


def instructions(data):
    """(name, address, operands, next address) of main's instructions in code order."""
    image, at, found = image_eval.Image(data), 192, []
    while True:
        name, ops, after = image.decode(at)
        found.append((name, at, ops, after))
        if name == "RetDelesp":
            return found
        at = after


def compile_source(korvo, work, source):
    path, image = os.path.join(work, "a.k"), os.path.join(work, "a.kb")
    with open(path, "wb") as f:
        f.write(source)
    subprocess.run([korvo, "-c", path, "-o", image], capture_output=True, timeout=300, check=True)
    return image, open(image, "rb").read()


def run_changed(image, data, at, index, operand):
    """Runs the image with one operand of the instruction at `at` replaced:
    ("result", n) / ("throw", name) / ("stop", message)."""
    changed = bytearray(data)
    kind, dtype, value = operand
    struct.pack_into("<Iq", changed, at + 4 + 12 * index, dtype << 24 | kind, value)
    with open(image, "wb") as f:
        f.write(changed)
    try:
        return image_eval.evaluate(image)
    except image_eval.EvalError as error:
        return ("stop", str(error))


def check_element_types(image, data, failures):
    if image_eval.evaluate(image) != ("result", 155):
        failures.append("the element image as written does not return 155")
    stores = [(name, at, ops) for name, at, ops, _ in instructions(data) if name in ("MovElemInt", "AddElem")]
    if [name for name, _, _ in stores] != ["MovElemInt", "AddElem"]:
        failures.append("element stores found: %s" % stores)
    for name, at, ops in stores:
        got = run_changed(image, data, at, 1, (ops[1][0], LONG, ops[1][2]))
        if got[0] != "stop" or "typed 5 into an array whose elements are typed 4" not in got[1]:
            failures.append("%s typed long: %s %s" % (name, *got))


def check_wrong_kinds(image, data, failures):
    if image_eval.evaluate(image) != ("result", 26):
        failures.append("the wrong-kind image as written does not return 26")
    code = instructions(data)
    literal = next(after + ops[1][2] for name, _, ops, after in code if ops[1:2] and ops[1][0] == 30)
    for name, index, operand, stop in WRONG_KINDS:
        at, after = next((at, after) for n, at, _, after in code if n == name)
        if operand == STRING_LITERAL:
            operand, stop = (30, 4, literal - after), stop % literal
        got = run_changed(image, data, at, index, operand)
        want = ("stop", "%s at 0x%X: %s" % (name, at, stop))
        if got != want:
            failures.append("%s operand %d made %s: expected %s, got %s" % (name, index, operand, want[1], got))


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--bin", required=True)
    korvo = os.path.join(os.path.abspath(parser.parse_args().bin), "korvo")
    failures = []
    with tempfile.TemporaryDirectory(prefix="korvo-eval-") as work:
        check_element_types(*compile_source(korvo, work, ELEMENTS), failures)
        check_wrong_kinds(*compile_source(korvo, work, KINDS), failures)
    for failure in failures:
        print("FAIL:", failure)
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main())
