#!/usr/bin/env python3
"""Differential test: random well-typed programs whose result a reference
computed here (Python, with 32- and 64-bit wrapping) must equal what the
image korvo writes computes under tests/run/image_eval.py.

    random_programs.py --bin BUILD --seeds 1-40      the fixed set CI runs
    random_programs.py --bin BUILD --forever [--from N]
    random_programs.py --show SEED                   print one program

Programs use int, long, double, bool, byte and short locals; fields and
methods of objects, some made as the subclass that overrides a method, held
in locals and in an array of objects; arrays of int, long, double, byte and
short; static fields (one read before its initialiser has run) and static
methods; helper functions called with calls as arguments; overloads chosen
by the argument's type; a recursive function; compound assignments and
increments; if/else, counted and while loops with break and continue,
switches, try/catch/finally around code that may throw: a thrown Ex, a
recursive function that throws through its callers, a division by zero or an
index outside an array, which the catch clauses take by class, by Exception
or not at all (the program may then end with the exception); conditions
joined by && and ||; Strings in locals and in an array, joined with
numbers, chars, bools and other Strings, their length(), ==, !=, equals()
and the sign of compare(), and switches over Strings. Outside a try divisors are never zero and indexes are
masked into the array; shift counts are constants below the width, and no
+ - * << joins two literals (those fold in 64 bits). --size N bounds the
statements of main (small sizes give small programs to read).
Switches add what a known fault still breaks: --with-conditional-operands
puts ?: and && / || values inside arithmetic and arguments;
--with-field-initialisers gives the objects a field initialised where it is
declared; --with-this-values reads fields through a method returning this;
--with-super-calls makes the overriding methods call the ones they override
through super; --with-mixed-choices makes ?: choose between values of two
numeric types (int and long, int and byte, double and int);
--with-enclosing-names adds a class whose nested classes (one or two levels
in) store, compound-assign, increment and read its fields and call its
method by their simple names, a static nested class reading its static
field, and anonymous subclasses reading the locals and parameters of the
function or method making them (and, in a method, a field of its class);
no captured local changes after the object is made; --with-nesting-corners
adds anonymous classes made in static methods, returned and run later,
named classes declared inside anonymous classes, anonymous and named classes
two and three levels in reading the locals of the function making the
outermost object, classes derived from a class nested beside them, from a
nested class of their enclosing class's base, from a static nested class or
from a top-level class (base methods reading the names around the base), a
field and a method of the enclosing class named like a global and a global
function, and locals and parameters named like a field, stepped by ++ and
--; it draws after main's body, leaving the rest of the program as the
other switches make it. A mismatch
prints the seed and keeps the program in the folder given by --keep
(default: the current one) as random_<seed>.k. --seeds A-B runs a range;
--forever runs from --from on until stopped.
"""
import argparse
import itertools
import os
import random
import re
import sys
import tempfile

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import run_program  # noqa: E402


def wrap(value, bits=32):
    value &= (1 << bits) - 1
    return value - (1 << bits) if value >> (bits - 1) else value


def cdiv(x, y):
    q = abs(x) // abs(y)
    return q if (x < 0) == (y < 0) else -q


def cmod(x, y):
    return x - cdiv(x, y) * y


# String literals of the programs; switches over "k" + n meet the k ones.
STRINGS = ["", "a", "ab", "k0", "k1", "k2", "xyz"]
BINARY = {"+": lambda x, y: x + y, "-": lambda x, y: x - y, "*": lambda x, y: x * y,
          "&": lambda x, y: x & y, "|": lambda x, y: x | y, "^": lambda x, y: x ^ y}
COMPARE = {"<": lambda x, y: x < y, "<=": lambda x, y: x <= y, ">": lambda x, y: x > y,
           ">=": lambda x, y: x >= y, "==": lambda x, y: x == y, "!=": lambda x, y: x != y}


def constant(text):
    """Literals alone: the compiler folds them in 64 bits, so + - * << of two
    of them could leave the int range the program computes in."""
    return re.search("[a-z]", text) is None


class Thrown(Exception):
    def __init__(self, code):
        super().__init__(code)
        self.code = code


class Raised(Exception):
    """An exception the machine raises: a class of the runtime catalogue."""

    def __init__(self, name):
        super().__init__(name)
        self.name = name


class Break(Exception):
    pass


class Continue(Exception):
    pass


def loop_body(body, env):
    """Runs one pass of a loop body; False when it breaks out."""
    try:
        body(env)
    except Break:
        return False
    except Continue:
        pass
    return True


class Gen:
    """Makes source text and, beside it, a Python function computing the same."""

    def __init__(self, seed, features, size=12):
        self.r = random.Random(seed)
        self.sub = self.r.randrange(2) == 1  # o is made as the class that overrides mix
        self.size = size
        self.conditional = "conditional-operands" in features
        self.fields = ["a", "b"] + (["c"] if "field-initialisers" in features else [])
        self.this_values = "this-values" in features
        self.super_calls = "super-calls" in features
        self.mixed = "mixed-choices" in features
        self.enclosing_names = "enclosing-names" in features
        self.nesting_corners = "nesting-corners" in features
        self.stat = {}  # the static fields of Stat while the reference runs
        self.rec = None  # the reference of rec once made (its own body does not call it)
        self.helpers = []  # (name, arity, function)
        self.loop_serial = 0
        self.in_helper = False  # helpers see their parameters only, not main's o, arr and big
        self.try_depth = 0  # throw only inside a try body, where a catch takes it

    # Expressions: (text, evaluate(env)) ------------------------------------
    def mix(self, o, k):
        """Obj.mix or, for an object made as a Sub, its override."""
        if not o["sub"]:
            return wrap(o["a"] * k + o["b"])
        own = wrap(o["a"] - k * o["b"])
        return wrap(own + wrap(o["a"] * (k & 7) + o["b"])) if self.super_calls else own

    def variable(self, env_names):
        name = self.r.choice(env_names)
        return name, (lambda env: env[name])

    def int_expr(self, env_names, depth):
        r = self.r
        choice = r.randrange(21 if depth > 0 else 4)
        if self.in_helper and choice in (3, 4):
            choice = 1
        if choice >= 13:
            found = self.more_int_expr(choice, env_names, depth)
            if found:
                return found
        if choice == 0:
            value = r.choice([0, 1, 2, 3, 7, 10, 100, -1, -5, 255, 65536, 2147483647, r.randrange(-999, 999)])
            return ("(%d)" % value if value < 0 else str(value)), (lambda env, v=value: v)
        if choice in (1, 2):
            return self.variable(env_names)
        if choice == 3:
            field = r.choice(self.fields)
            obj = r.choice(["o", "p"])
            via = ".self()" if self.this_values and r.randrange(2) else ""
            return obj + via + "." + field, (lambda env, f=field: env[obj][f])
        if choice == 4:
            index, fi = self.int_expr(env_names, depth - 1)
            return "arr[(%s) & 3]" % index, (lambda env: env["arr"][fi(env) & 3])
        if choice in (5, 6, 7):
            op = r.choice(list(BINARY))
            (ta, fa), (tb, fb) = self.int_expr(env_names, depth - 1), self.int_expr(env_names, depth - 1)
            if op in "+-*" and constant(ta) and constant(tb):
                ta, fa = self.variable(env_names)
            return "(%s %s %s)" % (ta, op, tb), (lambda env, f=BINARY[op]: wrap(f(fa(env), fb(env))))
        if choice == 8:
            op = r.choice(["/", "%"])
            (ta, fa), (tb, fb) = self.int_expr(env_names, depth - 1), self.int_expr(env_names, depth - 1)
            f = cdiv if op == "/" else cmod
            return "(%s %s ((%s & 7) + 1))" % (ta, op, tb), (lambda env: wrap(f(fa(env), (fb(env) & 7) + 1)))
        if choice == 9:
            op, count = r.choice(["<<", ">>"]), r.randrange(0, 32)
            ta, fa = self.int_expr(env_names, depth - 1)
            if op == "<<" and constant(ta):
                ta, fa = self.variable(env_names)
            if op == "<<":
                return "(%s << %d)" % (ta, count), (lambda env: wrap(fa(env) << count))
            return "(%s >> %d)" % (ta, count), (lambda env: fa(env) >> count)
        if choice == 10 and self.helpers:
            name, arity, fn = r.choice(self.helpers)
            args = [self.int_expr(env_names, depth - 1) for _ in range(arity)]
            return ("%s(%s)" % (name, ", ".join(t for t, _ in args)),
                    lambda env: fn([f(env) for _, f in args]))
        if choice == 10 and not self.in_helper:
            ta, fa = self.int_expr(env_names, depth - 1)
            form, obj = r.randrange(3), r.choice(["o", "p"])
            if form == 2:  # both objects through a function's parameters
                other = "p" if obj == "o" else "o"
                return ("pair(%s, %s, %s)" % (obj, other, ta),
                        lambda env: wrap(self.mix(env[obj], fa(env)) - self.mix(env[other], wrap(fa(env) + 1))))
            return "%s.mix(%s)" % (obj, ta), (lambda env: self.mix(env[obj], fa(env)))
        if choice == 12:
            op = r.choice("~-")
            ta, fa = self.int_expr(env_names, depth - 1)
            if op == "-" and self.mixed:
                ta = "(int)%s" % ta  # the negation of a byte or a short keeps its type
            return "(%s%s)" % (op, ta), (lambda env: wrap(~fa(env) if op == "~" else -fa(env)))
        if self.conditional:
            (tc, fc), (ta, fa), (tb, fb) = (self.cond(env_names, depth - 1), self.int_expr(env_names, depth - 1),
                                            self.int_expr(env_names, depth - 1))
            return "(%s ? %s : %s)" % (tc, ta, tb), (lambda env: fa(env) if fc(env) else fb(env))
        return self.int_expr(env_names, depth - 1)

    def safe_int_expr(self, env_names, depth):
        """An expression that cannot throw, for an index or the object of a
        call: whether it is evaluated before the value stored or the call's
        arguments (which may throw) or after them is not for these programs
        to decide."""
        saved, self.try_depth = self.try_depth, 0
        try:
            return self.int_expr(env_names, depth)
        finally:
            self.try_depth = saved

    def index(self, env_names, mask=3):
        ti, fi = self.safe_int_expr(env_names, 1)
        return "(%s) & %d" % (ti, mask), (lambda env: fi(env) & mask)

    def more_int_expr(self, choice, names, depth):
        """Statics, overloads, recursion, the other arrays, objects in an
        array, what may throw and choices of mixed types; None when the
        choice does not fit here."""
        r = self.r
        if choice == 13:
            form = r.randrange(5)
            if form == 0:
                return "Stat.count", (lambda env: self.stat["count"])
            if form == 1:
                return "Stat.early", (lambda env: self.stat["early"])
            ta, fa = self.int_expr(names, depth - 1)
            if form == 2:
                return "Stat.held.mix(%s)" % ta, (lambda env: self.mix(self.stat["held"], fa(env)))
            if form == 3:
                return "Stat.held.b", (lambda env: self.stat["held"]["b"])
            return "Stat.scale(%s)" % ta, (lambda env: wrap(fa(env) * 3 + self.stat["count"]))
        if choice == 14:
            form = r.randrange(4 if self.in_helper else 5)
            if form == 0:
                ta, fa = self.int_expr(names, depth - 1)
                # A byte or short argument would fit every one-argument overload.
                return "ov((int)(%s))" % ta, (lambda env: wrap(fa(env) * 3 + 1))
            if form == 1:
                (ta, fa), (tb, fb) = self.int_expr(names, depth - 1), self.int_expr(names, depth - 1)
                return "ov(%s, %s)" % (ta, tb), (lambda env: wrap(fa(env) - fb(env) * 2))
            if form in (2, 3):
                ta, fa = self.long_expr(names, depth - 1)
                return "ov(%s)" % ta, (lambda env: wrap(fa(env) ^ (fa(env) >> 29)))
            return "ov(dv)", (lambda env: int(env["dv"] * 0.5))
        if choice == 15 and self.rec:
            (ta, fa), (tb, fb) = self.index(names, 7), self.int_expr(names, depth - 1)
            return "rec(%s, %s)" % (ta, tb), (lambda env: self.rec(fa(env), fb(env)))
        if self.in_helper:
            return None
        if choice == 16:
            # A bare byte or short element as a branch of ?: makes a choice
            # of mixed types.
            name = r.choice(["ba", "sa"])
            ti, fi = self.index(names)
            return ("%s[%s]" if self.mixed else "(int)%s[%s]") % (name, ti), (lambda env: env[name][fi(env)])
        if choice == 17:
            ti, fi = self.index(names)
            slot = lambda env: env["objs"][fi(env) % 3]  # noqa: E731
            if r.randrange(2):
                field = r.choice(["a", "b"])
                return "objs[(%s) %% 3].%s" % (ti, field), (lambda env: slot(env)[field])
            ta, fa = self.int_expr(names, depth - 1)
            return "objs[(%s) %% 3].mix(%s)" % (ti, ta), (lambda env: self.mix(slot(env), fa(env)))
        if choice == 18 and self.try_depth:
            form = r.randrange(3)
            if form == 0:  # a divisor that may be zero
                (ta, fa), (tb, fb) = self.int_expr(names, depth - 1), self.variable(names)

                def divide(env):
                    x, y = fa(env), fb(env) & 3
                    if y == 0:
                        raise Raised("DivByZeroException")
                    return wrap(cdiv(x, y))
                return "(%s / (%s & 3))" % (ta, tb), divide
            if form == 1:  # an index that may fall outside (a variable: a constant one would be refused)
                tv, fv = self.variable(names)
                ti, fi = "(%s) & 7" % tv, (lambda env: fv(env) & 7)

                def element(env):
                    i = fi(env)
                    if i >= 4:
                        raise Raised("IndexOutOfBoundsException")
                    return env["arr"][i]
                return "arr[%s]" % ti, element
            (tn, fn), (tx, fx) = self.index(names), self.int_expr(names, depth - 1)
            limit = r.randrange(-20, 60)
            return "relay(%s, %s, %d)" % (tn, tx, limit), (lambda env: self.relay(fn(env), fx(env), limit))
        if choice == 20:
            ts, fs = self.str_expr(names, depth - 1)
            return "%s.length()" % ts, (lambda env: len(fs(env)))
        if choice == 19 and self.mixed:
            tc, fc = self.cond(names, depth - 1)
            ta, fa = self.int_expr(names, depth - 1)
            other = r.choice(["bt", "sh"])
            if r.randrange(2):
                return "(%s ? %s : %s)" % (tc, ta, other), (lambda env: fa(env) if fc(env) else env[other])
            return "(%s ? %s : %s)" % (tc, other, ta), (lambda env: env[other] if fc(env) else fa(env))
        return None

    def relay(self, n, x, limit):
        """relay(n, x, limit) and risky(x, limit) of the program."""
        if n <= 0:
            if x > limit:
                raise Thrown(wrap(x - limit))
            return wrap(x + 1)
        return wrap(self.relay(n - 1, wrap(x + n), limit) * 2)

    def long_expr(self, env_names, depth):
        r = self.r
        choice = r.randrange(8 if depth > 0 else 2)
        if choice == 0 and not self.in_helper:
            return "big", (lambda env: env["big"])
        if choice == 5 and not self.in_helper:
            ti, fi = self.index(env_names)
            return "la[%s]" % ti, (lambda env: env["la"][fi(env)])
        if choice == 6 and self.mixed:
            tc, fc = self.cond(env_names, depth - 1)
            if r.randrange(2):
                value = r.choice([5000000000, -7000000001, 1 << 40])
                tl, fl = "%dL" % value, (lambda env: value)
            else:
                tl, fl = self.long_expr(env_names, depth - 1)
            ti, fi = self.int_expr(env_names, depth - 1)
            if r.randrange(2):
                return "(%s ? %s : %s)" % (tc, tl, ti), (lambda env: fl(env) if fc(env) else fi(env))
            return "(%s ? %s : %s)" % (tc, ti, tl), (lambda env: fi(env) if fc(env) else fl(env))
        if choice in (0, 1, 2, 5, 6):
            ta, fa = self.int_expr(env_names, depth - 1)
            return "(long)%s" % ta if ta[0] == "(" else "(long)(%s)" % ta, fa
        op = r.choice(["+", "-", "*", "^"])
        (ta, fa), (tb, fb) = self.long_expr(env_names, depth - 1), self.long_expr(env_names, depth - 1)
        return "(%s %s %s)" % (ta, op, tb), (lambda env, f=BINARY[op]: wrap(f(fa(env), fb(env)), 64))

    def cond(self, env_names, depth):
        r = self.r
        choice = r.randrange(7 if depth > 0 else 1)
        if choice == 6 and not self.in_helper:
            return self.str_cond(env_names, depth)
        if choice == 4 and not self.in_helper and r.randrange(2):
            return "flag", (lambda env: env["flag"])
        if choice == 5 and not self.in_helper:
            op = r.choice(list(COMPARE))
            ta, fa = self.int_expr(env_names, depth - 1)
            if r.randrange(2):
                ti, fi = self.index(env_names)
                return ("da[%s] %s (double)(%s)" % (ti, op, ta),
                        lambda env, f=COMPARE[op]: f(env["da"][fi(env)], float(fa(env))))
            return "dv %s (double)(%s)" % (op, ta), (lambda env, f=COMPARE[op]: f(env["dv"], float(fa(env))))
        if choice <= 1 or depth <= 0 or choice == 5:
            op = r.choice(list(COMPARE))
            (ta, fa), (tb, fb) = self.int_expr(env_names, depth - 1), self.int_expr(env_names, depth - 1)
            return "%s %s %s" % (ta, op, tb), (lambda env, f=COMPARE[op]: f(fa(env), fb(env)))
        if choice == 2:
            tc, fc = self.cond(env_names, depth - 1)
            return "!(%s)" % tc, (lambda env: not fc(env))
        op = r.choice(["&&", "||"])
        (ta, fa), (tb, fb) = self.cond(env_names, depth - 1), self.cond(env_names, depth - 1)
        if op == "&&":
            return "(%s) && (%s)" % (ta, tb), (lambda env: fa(env) and fb(env))
        return "(%s) || (%s)" % (ta, tb), (lambda env: fa(env) or fb(env))

    # Strings: s1, s2 and the elements of sn ---------------------------------
    def str_expr(self, names, depth):
        """A literal, a String variable, or one of them joined by + with
        numbers, chars, bools and literals: a variable at most once, so a loop
        lengthens a String by steps."""
        r = self.r
        form = r.randrange(5)
        if form == 0:
            value = r.choice(STRINGS)
            return '"%s"' % value, (lambda env, v=value: v)
        if form in (1, 2):
            name = r.choice(["s1", "s2"])
            head, fh = name, (lambda env: env[name])
        else:
            ti, fi = self.index(names)
            head, fh = "sn[%s]" % ti, (lambda env: env["sn"][fi(env)])
        if form == 1:
            return head, fh
        if r.randrange(3) == 0:
            value = r.choice(STRINGS)
            head, fh = '"%s"' % value, (lambda env, v=value: v)
        parts = [head]
        pieces = [fh]
        for _ in range(r.randrange(1, 3)):
            kind = r.randrange(6)
            if kind in (0, 1) and (kind == 0 or depth <= 0):
                value = r.choice(STRINGS)
                parts.append('"%s"' % value)
                pieces.append(lambda env, v=value: v)
            elif kind == 1 and depth > 0:
                ts, fs = self.str_expr(names, 0)
                parts.append(ts)
                pieces.append(fs)
            elif kind == 2:
                ta, fa = self.long_expr(names, depth)
                parts.append(ta)
                pieces.append(lambda env, f=fa: str(f(env)))
            elif kind == 3:
                parts.append("flag")
                pieces.append(lambda env: "true" if env["flag"] else "false")
            elif kind == 4:
                c = r.choice("qZ0_ ")
                parts.append("'%s'" % c)
                pieces.append(lambda env, c=c: c)
            else:
                ta, fa = self.int_expr(names, depth)
                parts.append(ta)
                pieces.append(lambda env, f=fa: str(f(env)))
        if re.search(r"\bs[12]\b|\bsn\[", " ".join(parts[1:])):
            # A second variable could double a String in every pass of a loop.
            return head, fh
        return "(%s)" % " + ".join(parts), (lambda env: "".join(f(env) for f in pieces))

    def str_cond(self, names, depth):
        r = self.r
        (ta, fa), (tb, fb) = self.str_expr(names, depth - 1), self.str_expr(names, depth - 1)
        form = r.randrange(4)
        if form == 0:
            op = r.choice(["==", "!="])
            return "%s %s %s" % (ta, op, tb), (lambda env: (fa(env) == fb(env)) == (op == "=="))
        if form == 1:
            op = r.choice(["<", ">", "=="])
            return ("%s.compare(%s) %s 0" % (ta, tb, op),
                    lambda env: COMPARE[op]((fa(env) > fb(env)) - (fa(env) < fb(env)), 0))
        if form == 2:
            return "%s.equals(%s)" % (ta, tb), (lambda env: fa(env) == fb(env))
        n = r.randrange(0, 6)
        return "%s.length() > %d" % (ta, n), (lambda env: len(fa(env)) > n)

    def str_assign(self, names):
        r = self.r
        te, fe = self.str_expr(names, 1)
        if r.randrange(3):
            name = r.choice(["s1", "s2"])
            return ["%s = %s;" % (name, te)], (lambda env: env.__setitem__(name, fe(env)))
        ti, fi = self.index(names)

        def run(env):
            value = fe(env)
            env["sn"][fi(env)] = value
        return ["sn[%s] = %s;" % (ti, te)], run

    # Statements: (lines, run(env)) ----------------------------------------
    def assign(self, names, targets, depth):
        r = self.r
        kind = r.randrange(3 if self.in_helper else 15)
        if kind >= 10:
            return self.more_assign(kind, names, depth)
        if kind == 9:
            # byte (unsigned) and short keep their own width through every store.
            name, bits = r.choice([("bt", 8), ("sh", 16)])
            narrow = (lambda v: v & 0xFF) if bits == 8 else (lambda v: wrap(v, 16))
            te, fe = self.int_expr(names, depth)
            op = r.choice(["=", "+=", "-=", "*=", "^=", "++", "--"])
            if op in ("++", "--"):
                return (["%s%s;" % (name, op)],
                        lambda env: env.__setitem__(name, narrow(env[name] + (1 if op == "++" else -1))))
            if op == "=":
                return ["%s = %s;" % (name, te)], lambda env: env.__setitem__(name, narrow(fe(env)))
            return (["%s %s %s;" % (name, op, te)],
                    lambda env: env.__setitem__(name, narrow(BINARY[op[0]](env[name], fe(env)))))
        if kind == 8:
            tc, fc = self.cond(names, 2)
            return ["flag = %s;" % tc], (lambda env: env.__setitem__("flag", bool(fc(env))))
        if kind == 7:
            te, fe = self.int_expr(names, depth)

            obj = r.choice(["o", "p"])

            def run(env):
                self.add(env[obj], fe(env))
            return ["%s.add(%s);" % (obj, te)], run
        if kind == 6:
            te, fe = self.int_expr(names, depth)
            form = r.randrange(4)
            if form == 0:
                return (["dv = (dv * 0.5) + (double)((%s) & 1023);" % te],
                        lambda env: env.__setitem__("dv", env["dv"] * 0.5 + float(fe(env) & 1023)))
            if form == 1:
                return (["dv += (double)((%s) & 255) * 0.25;" % te],
                        lambda env: env.__setitem__("dv", env["dv"] + float(fe(env) & 255) * 0.25))
            if form == 2:
                return ["dv *= 0.5;"], lambda env: env.__setitem__("dv", env["dv"] * 0.5)
            return ["dv -= 1.5;"], lambda env: env.__setitem__("dv", env["dv"] - 1.5)
        if kind == 5:
            te, fe = self.long_expr(names, depth)
            op = r.choice(["=", "+=", "-=", "^="])

            def run(env):
                v = fe(env)
                env["big"] = wrap(v if op == "=" else BINARY[op[0]](env["big"], v), 64)
            return ["big %s %s;" % (op, te)], run
        if kind == 4:
            index, fi = self.safe_int_expr(names, 1)
            target, get, put = "arr[(%s) & 3]" % index, None, None
            get = lambda env: env["arr"][fi(env) & 3]  # noqa: E731

            def put(env, v):
                env["arr"][fi(env) & 3] = v
        elif kind == 3:
            field = r.choice(self.fields)
            obj = r.choice(["o", "p"])
            target = obj + "." + field
            get = lambda env: env[obj][field]  # noqa: E731

            def put(env, v):
                env[obj][field] = v
        else:
            name = r.choice(targets)
            target = name
            get = lambda env: env[name]  # noqa: E731

            def put(env, v):
                env[name] = v
        form = r.randrange(10)
        if form == 0:
            op = r.choice(["++", "--"])
            text = ("%s%s;" % (op, target)) if r.randrange(2) else ("%s%s;" % (target, op))
            return [text], (lambda env: put(env, wrap(get(env) + (1 if op == "++" else -1))))
        if form == 1:
            op, count = r.choice(["<<=", ">>="]), r.randrange(0, 32)
            if op == "<<=":
                return ["%s <<= %d;" % (target, count)], (lambda env: put(env, wrap(get(env) << count)))
            return ["%s >>= %d;" % (target, count)], (lambda env: put(env, get(env) >> count))
        te, fe = self.int_expr(names, depth)
        op = r.choice(["=", "=", "+=", "-=", "*=", "&=", "|=", "^="])
        if op == "=":
            return ["%s = %s;" % (target, te)], (lambda env: put(env, fe(env)))

        def run(env):
            v = fe(env)
            put(env, wrap(BINARY[op[0]](get(env), v)))
        return ["%s %s %s;" % (target, op, te)], run

    def more_assign(self, kind, names, depth):
        """Stores into the arrays of other types, into objects in an array
        and into statics."""
        r = self.r
        ti, fi = self.index(names)
        if kind == 10:
            te, fe = self.long_expr(names, depth)
            op = r.choice(["=", "+=", "-=", "^="])

            def run(env):
                i, v = fi(env), fe(env)
                la = env["la"]
                la[i] = wrap(v if op == "=" else BINARY[op[0]](la[i], v), 64)
            return ["la[%s] %s %s;" % (ti, op, te)], run
        if kind == 11:
            te, fe = self.int_expr(names, depth)
            form = r.randrange(3)
            if form == 0:
                text, value = "da[%s] = dv * 0.5;" % ti, (lambda env, old: env["dv"] * 0.5)
            elif form == 1:
                text = "da[%s] += (double)((%s) & 255) * 0.25;" % (ti, te)
                value = lambda env, old: old + float(fe(env) & 255) * 0.25  # noqa: E731
            else:
                text, value = "da[%s] *= 0.5;" % ti, (lambda env, old: old * 0.5)

            def run(env):
                i = fi(env)
                env["da"][i] = value(env, env["da"][i])
            return [text], run
        if kind == 12:
            # byte (unsigned) and short elements keep their own width through every store.
            name = r.choice(["ba", "sa"])
            narrow = (lambda v: v & 0xFF) if name == "ba" else (lambda v: wrap(v, 16))
            te, fe = self.int_expr(names, depth)
            op = r.choice(["=", "+=", "-=", "^=", "++", "--"])

            def run(env):
                i = fi(env)
                box = env[name]
                if op in ("++", "--"):
                    box[i] = narrow(box[i] + (1 if op == "++" else -1))
                else:
                    v = fe(env)
                    box[i] = narrow(v if op == "=" else BINARY[op[0]](box[i], v))
            if op in ("++", "--"):
                return ["%s[%s]%s;" % (name, ti, op)], run
            return ["%s[%s] %s %s;" % (name, ti, op, te)], run
        if kind == 13:
            form = r.randrange(3)
            if form == 0:
                tj, fj = self.index(names)

                def run(env):
                    objs = env["objs"]
                    objs[fi(env) % 3] = objs[fj(env) % 3]
                return ["objs[(%s) %% 3] = objs[(%s) %% 3];" % (ti, tj)], run
            te, fe = self.int_expr(names, depth)
            if form == 1:
                def run(env):
                    target = env["objs"][fi(env) % 3]
                    target["a"] = fe(env)
                return ["objs[(%s) %% 3].a = %s;" % (ti, te)], run

            def run(env):
                target, k = env["objs"][fi(env) % 3], fe(env)
                self.add(target, k)
            return ["objs[(%s) %% 3].add(%s);" % (ti, te)], run
        te, fe = self.int_expr(names, depth)
        form = r.randrange(4)
        if form == 0:
            def run(env):
                k = fe(env)
                self.stat["count"] = wrap(self.stat["count"] + k)
                self.stat["total"] = wrap(self.stat["total"] + k * 5, 64)
            return ["Stat.bump(%s);" % te], run
        if form == 1:
            return ["Stat.held.add(%s);" % te], (lambda env: self.add(self.stat["held"], fe(env)))
        op = r.choice(["=", "+=", "^="])

        def run(env):
            v = fe(env)
            self.stat["count"] = wrap(v if op == "=" else BINARY[op[0]](self.stat["count"], v))
        return ["Stat.count %s %s;" % (op, te)], run

    def add(self, o, k):
        """Obj.add or, for an object made as a Sub with super calls, its override."""
        o["a"] = wrap(o["a"] + k)
        o["b"] ^= k
        if o["sub"] and self.super_calls:
            o["a"] = wrap(o["a"] + 1)

    def block(self, names, targets, depth, in_loop, count):
        lines, runs = [], []
        for _ in range(count):
            text, run = self.statement(names, targets, depth, in_loop)
            lines += text
            runs.append(run)

        def run_all(env):
            for run in runs:
                run(env)
        return lines, run_all

    def statement(self, names, targets, depth, in_loop):
        r = self.r
        kind = r.randrange(15 if depth > 0 and not self.in_helper else 10 if depth > 0 else 5)
        if kind == 13:
            return self.str_assign(names)
        if kind == 14:
            return self.switch_statement(names, targets, depth, in_loop, strings=True)
        if kind in (2, 3) and self.try_depth:
            tc, fc = self.cond(names, 1)
            te, fe = self.int_expr(names, 1)

            def run(env):
                if fc(env):
                    raise Thrown(fe(env))
            return ["if (%s) throw new Ex(%s);" % (tc, te)], run
        if kind == 12:
            return self.switch_statement(names, targets, depth, in_loop)
        if kind >= 10:
            return self.try_statement(names, targets, depth, in_loop)
        if in_loop and kind == 4:
            tc, fc = self.cond(names, 1)
            word = r.choice(in_loop)

            def run(env):
                if fc(env):
                    raise Break() if word == "break" else Continue()
            return ["if (%s) %s;" % (tc, word)], run
        if kind < 5:
            return self.assign(names, targets, 2)
        if kind in (5, 6):
            tc, fc = self.cond(names, 2)
            (ta, fa), (tb, fb) = (self.block(names, targets, depth - 1, in_loop, r.randrange(1, 3)),
                                  self.block(names, targets, depth - 1, in_loop, r.randrange(0, 2)))
            lines = ["if (%s) {" % tc] + ["    " + t for t in ta] + (["} else {"] + ["    " + t for t in tb] if tb else []) + ["}"]
            return lines, (lambda env: fa(env) if fc(env) else fb(env))
        self.loop_serial += 1
        var = "i%d" % self.loop_serial
        inner = names + [var]
        body, fb = self.block(inner, targets, depth - 1, ("break", "continue"), r.randrange(1, 4))
        if kind in (7, 8):
            # The bound is a literal or a local of its own (the body never
            # changes it), so every loop ends.
            start, end = r.randrange(-2, 3), r.randrange(0, 7)
            down = r.randrange(3) == 0
            step = r.choice([1, 2]) if kind == 8 else 1
            strict = r.randrange(3) > 0
            before, bound, fixed = [], str(start if down else end), None
            if r.randrange(2):
                te, fe = self.int_expr(names, 1)
                bound, fixed = "n" + var[1:], fe
                before = ["int %s = (%s) & 7;" % (bound, te)]
            op = (">" if strict else ">=") if down else ("<" if strict else "<=")
            head = "for (int %s = %d; %s %s %s; %s%s) {" % (
                var, end if down else start, var, op, bound, var,
                ("--" if down else "++") if step == 1 else (" -= 2" if down else " += 2"))

            def run(env):
                limit = fixed(env) & 7 if fixed else (start if down else end)
                env[var] = end if down else start
                while COMPARE[op](env[var], limit) and loop_body(fb, env):
                    env[var] += -step if down else step
            return before + [head] + ["    " + t for t in body] + ["}"], run
        times = r.randrange(0, 6)

        def run(env):
            env[var] = times
            while env[var] > 0:
                env[var] -= 1
                if not loop_body(fb, env):
                    break
        return (["int %s = %d;" % (var, times), "while (%s > 0) {" % var, "    %s--;" % var]
                + ["    " + t for t in body] + ["}"]), run

    def switch_statement(self, names, targets, depth, in_loop, strings=False):
        """Cases close together (a jump table), far apart (a lookup) or
        Strings (a compare chain), some falling through, a default anywhere or
        none; break leaves the switch."""
        r = self.r
        te, fe = self.int_expr(names, 1)
        spread = r.choice([1, 1000])
        if strings:
            if r.randrange(2):
                te, fe = self.str_expr(names, 1)
                select, fs = te, fe
            else:
                select, fs = '("k" + ((%s) & 3))' % te, (lambda env: "k%d" % (fe(env) & 3))
            values = r.sample(STRINGS + ["k3"], r.randrange(1, 5))
            labels = ['case "%s":' % v for v in values]
        else:
            values = sorted(r.sample(range(-2, 8), r.randrange(1, 5)))
            labels = ["case %d:" % (v * spread) for v in values]
        if r.randrange(3):
            labels.insert(r.randrange(len(labels) + 1), "default:")
        jumps = ("break",) + (("continue",) if "continue" in in_loop else ())
        cases = []
        for label in labels:
            text, run = self.block(names, targets, depth - 1, jumps, r.randrange(0, 3))
            cases.append((label, text, run, r.randrange(3) > 0))
        lines = ["switch (%s) {" % select if strings else "switch ((%s) & 7) {" % te if spread == 1
                 else "switch (((%s) & 7) * 1000) {" % te]
        for label, text, _, stops in cases:
            lines += [label] + ["    " + t for t in text] + (["    break;"] if stops else [])
        lines.append("}")

        def run(env):
            value = fs(env) if strings else (fe(env) & 7) * spread
            keys = [None if l == "default:" else l[6:-2] if strings else int(l[5:-1]) for l, _, _, _ in cases]
            start = keys.index(value) if value in keys else keys.index(None) if None in keys else len(cases)
            try:
                for _, _, body, stops in cases[start:]:
                    body(env)
                    if stops:
                        break
            except Break:
                pass
        return lines, run

    def try_statement(self, names, targets, depth, in_loop):
        r = self.r
        self.try_depth += 1
        body, fb = self.block(names, targets, depth - 1, in_loop, r.randrange(1, 4))
        self.try_depth -= 1
        self.loop_serial += 1
        caught, target = "e%d" % self.loop_serial, r.choice(targets)
        handler, fh = self.block(names, targets, depth - 1, in_loop, r.randrange(0, 2))
        # The machine's exceptions: taken by their class, by Exception (last), or left to go on.
        others = [name for name in ("DivByZeroException", "IndexOutOfBoundsException") if r.randrange(2)]
        r.shuffle(others)
        if r.randrange(3) == 0:
            others.append("Exception")
        amounts = {name: r.randrange(1, 100) for name in others}
        finish, ff = (self.block(names, targets, 0, (), r.randrange(1, 3)) if r.randrange(2) else (None, None))
        lines = (["try {"] + ["    " + t for t in body] + ["} catch (Ex %s) {" % caught,
                 "    %s ^= %s.code;" % (target, caught)] + ["    " + t for t in handler])
        for number, name in enumerate(others):
            lines += ["} catch (%s x%d_%d) {" % (name, self.loop_serial, number),
                      "    %s += %d;" % (target, amounts[name])]
        lines += (["} finally {"] + ["    " + t for t in finish] if finish else []) + ["}"]

        def run(env):
            try:
                fb(env)
            except Thrown as thrown:
                env[target] ^= thrown.code
                fh(env)
            except Raised as raised:
                taken = next((name for name in others if name in (raised.name, "Exception")), None)
                if taken is None:
                    raise
                env[target] = wrap(env[target] + amounts[taken])
            finally:
                if ff:
                    ff(env)
        return lines, run

    # Names of the enclosing scope: nested and anonymous classes ------------
    def plain_expr(self, names, depth, call=None):
        """An int expression of names and literals only; call, when given, is
        (name, function) of a one-argument method it may call."""
        r = self.r
        choice = r.randrange(6 if depth > 0 else 3)
        if choice == 0:
            value = r.choice([0, 1, 2, 3, 7, 100, -1, -5, 65536, r.randrange(-999, 999)])
            return ("(%d)" % value if value < 0 else str(value)), (lambda env, v=value: v)
        if choice in (1, 2):
            return self.variable(names)
        if choice == 5 and call:
            ta, fa = self.plain_expr(names, depth - 1)
            return "%s(%s)" % (call[0], ta), (lambda env: call[1](env, fa(env)))
        op = r.choice(list(BINARY))
        (ta, fa), (tb, fb) = self.plain_expr(names, depth - 1, call), self.plain_expr(names, depth - 1, call)
        if op in "+-*" and constant(ta) and constant(tb):
            ta, fa = self.variable(names)
        return "(%s %s %s)" % (ta, op, tb), (lambda env, f=BINARY[op]: wrap(f(fa(env), fb(env))))

    def plain_stores(self, targets, names, count, call=None):
        """Stores, compound assignments and increments of targets by name."""
        lines, runs = [], []
        for _ in range(count):
            target, kind = self.r.choice(targets), self.r.randrange(5)
            if kind == 4:
                op = self.r.choice(["++", "--"])
                lines.append("%s%s;" % (target, op))
                runs.append(lambda env, t=target, d=(1 if op == "++" else -1): env.__setitem__(t, wrap(env[t] + d)))
                continue
            op = ["=", "+=", "-=", "^="][kind]
            te, fe = self.plain_expr(names, 2, call)
            lines.append("%s %s %s;" % (target, op, te))
            apply = {"=": lambda x, y: y, "+=": lambda x, y: x + y, "-=": lambda x, y: x - y,
                     "^=": lambda x, y: x ^ y}[op]
            runs.append(lambda env, t=target, fe=fe, a=apply: env.__setitem__(t, wrap(a(env[t], fe(env)))))

        def run(env):
            for f in runs:
                f(env)
        return lines, run

    def enclosing(self):
        """Outer's nested classes change and read Outer's fields by their
        simple names; Base's anonymous subclasses read the locals and
        parameters of the function or method making them. Returns the source
        and enc(x, y), the value of encTest(x, y)."""
        r = self.r
        fields = ["e0", "e1"]
        em_k = r.randrange(2, 6)
        call = ("em", lambda env, k: wrap(env["e0"] * k - env["e1"]))
        init = {"e0": r.randrange(-20, 20), "e1": r.randrange(-20, 20), "g": r.randrange(-9, 9),
                "d": r.randrange(-9, 9), "st": r.randrange(-30, 30)}
        mid_lines, mid_run = self.plain_stores(fields + ["g"], fields + ["g", "k"], r.randrange(1, 5), call)
        deep = r.randrange(2) == 1
        if deep:
            deep_lines, deep_run = self.plain_stores(fields + ["g", "d"], fields + ["g", "d", "k"],
                                                     r.randrange(1, 4), call)
        tk, fk = self.plain_expr(["st", "k"], 2)
        anon_m, fm = self.plain_expr(["e0", "e1", "loc", "p"], 2)
        tl, fl = self.plain_expr(["e0", "p"], 1)
        anon_f, ff = self.plain_expr(["loc", "p", "q"], 2)
        tfl, ffl = self.plain_expr(["p", "q"], 1)
        out = ["class Base { public int f() { return 0; } };",
               "class Outer {",
               "    public int e0 = %d;" % init["e0"],
               "    public int e1 = %d;" % init["e1"],
               "    public static int st = %d;" % init["st"],
               "    public int em(int k) { return e0 * k - e1; }",
               "    class Mid {",
               "        public int g = %d;" % init["g"]]
        if deep:
            out += ["        class Deep {",
                    "            public int d = %d;" % init["d"],
                    "            public int go(int k) {"]
            out += ["                " + t for t in deep_lines]
            out += ["                return d;", "            }", "        };"]
        out += ["        public int work(int k) {"]
        out += ["            " + t for t in mid_lines]
        if deep:
            # g is read after go, which may change it
            out += ["            Deep dd = new Deep();", "            int dv = dd.go(k + 1);", "            g += dv;"]
        out += ["            return g;", "        }", "    };",
                "    static class Keep { public int get(int k) { return %s + st * 2; } };" % tk,
                "    public int anon(int p) {",
                "        int loc = %s;" % tl,
                "        Base b = new Base() { public int f() override { return %s + loc * 3 - p + e1; } };" % anon_m,
                "        return b.f();", "    }",
                "    public int run(int k) {",
                "        Mid m = new Mid();", "        int w = m.work(k);",
                "        Keep kp = new Keep();",
                "        return w * 3 + m.g * 5 + kp.get(k) * 7 + anon(k - 1) * 11 + e0 * 13 + e1 * 17;",
                "    }",
                "};",
                "int anonFn(int p, int q) {",
                "    int loc = %s;" % tfl,
                "    Base b = new Base() { public int f() override { return %s + loc * 5 - p * 7 + q; } };" % anon_f,
                "    return b.f();",
                "}",
                "int encTest(int x, int y) { Outer t = new Outer(); return t.run(x) + anonFn(x, y) * 19; }"]

        def enc(x, y):
            obj = dict(init)
            obj["k"] = x
            mid_run(obj)
            if deep:
                env = dict(obj, k=wrap(x + 1))
                deep_run(env)
                for name in fields + ["g"]:
                    obj[name] = env[name]
                obj["g"] = wrap(obj["g"] + env["d"])
            w = obj["g"]
            keep = wrap(fk({"st": init["st"], "k": x}) + init["st"] * 2)
            p = wrap(x - 1)
            aenv = {"e0": obj["e0"], "e1": obj["e1"], "p": p, "loc": fl({"e0": obj["e0"], "p": p})}
            am = wrap(fm(aenv) + aenv["loc"] * 3 - p + obj["e1"])
            run = wrap(w * 3 + obj["g"] * 5 + keep * 7 + am * 11 + obj["e0"] * 13 + obj["e1"] * 17)
            fenv = {"p": x, "q": y}
            fenv["loc"] = ffl(fenv)
            return wrap(run + wrap(ff(fenv) + fenv["loc"] * 5 - x * 7 + y) * 19)
        return out, enc

    # Corners of nesting ------------------------------------------------------
    def corners(self):
        """Anonymous classes made in static methods, named classes inside
        anonymous classes, captures two and three classes in, derived nested
        classes and nearer names over globals and fields. Returns the source
        and nest(x, y), the value of nestTest(x, y)."""
        r = self.r
        units = [self.static_makers(), self.chain(1, ["anon", "named"], False)]
        for serial in range(2, 2 + r.randrange(1, 3)):
            units.append(self.chain(serial, r.choice([["anon", "anon"], ["anon", "named"], ["anon", "anon", "anon"],
                                                      ["anon", "anon", "named"], ["anon", "named", "anon"],
                                                      ["anon", "named", "named"]]), True))
        for serial in range(1, 1 + r.randrange(1, 3)):
            units.append(self.derived_nested(serial))
        units += [self.nearer_global(), self.shadowing_local()]
        out = ["class Task { public int run(int k) { return 0; } };"]
        for lines, _, _ in units:
            out += lines
        out.append("int nestTest(int x, int y) {")
        out += ["    int n%d = %s(x, y);" % (i, name) for i, (_, name, _) in enumerate(units)]
        out.append("    return %s;" % " + ".join("n%d * %d" % (i, 2 * i + 3) for i in range(len(units))))
        out.append("}")

        def nest(x, y):
            return wrap(sum(fn(x, y) * (2 * i + 3) for i, (_, _, fn) in enumerate(units)))
        return out, nest

    def static_makers(self):
        """Util's static methods make anonymous Tasks that capture their
        parameters and locals (and may read Util's static field); the Tasks
        are returned and run later, from a function or from a method of an
        object whose slots are not Util's."""
        r = self.r
        us, own = r.randrange(-30, 30), r.randrange(-9, 9)
        static = ["us"] if r.randrange(2) else []
        tl, fl = self.plain_expr(["k", "j"], 1)
        grows = r.randrange(2) == 1
        tg, fg = self.plain_expr(["n", "k", "own"], 1)
        tb, fb = self.plain_expr(["n", "k", "j", "loc", "own"] + static, 2)
        held = r.choice(["k", "j", "loc"])
        tb, fb = "%s + %s * 3 + own" % (tb, held), (lambda env, f=fb: wrap(f(env) + env[held] * 3 + env["own"]))
        body = ("own += %s; " % tg if grows else "") + "return %s;" % tb
        anon = "new Task() { public int own = %d; public int run(int n) override { %s } }" % (own, body)
        lines = ["class Util {",
                 "    public int inst = %d;" % r.randrange(-9, 9),
                 "    public static int us = %d;" % us,
                 "    public static Task maker(int k, int j) {",
                 "        int loc = %s;" % tl]
        if r.randrange(2):
            lines += ["        return %s;" % anon]
        else:
            lines += ["        Task t = %s;" % anon, "        return t;"]
        lines.append("    }")
        direct = r.randrange(2) == 1
        if direct:
            tw, fw = self.plain_expr(["k"], 1)
            td, fd = self.plain_expr(["n", "k", "w"] + static, 2)
            td, fd = "%s + w * 3 + k" % td, (lambda env, f=fd: wrap(f(env) + env["w"] * 3 + env["k"]))
            lines += ["    public static int direct(int k) {",
                      "        int w = %s;" % tw,
                      "        Task t = new Task() { public int run(int n) override { return %s; } };" % td,
                      "        return t.run(k + 1);",
                      "    }"]
        lines.append("};")
        use = ["Task c1 = Util.maker(x, y);", "Task c2 = Util.maker(y, x + 1);",
               "int a1 = c1.run(x);", "int a2 = c2.run(y);", "int a3 = c1.run(y + 2);",
               "int a4 = %s;" % ("Util.direct(y)" if direct else "0"),
               "return a1 * 3 + a2 * 5 + a3 * 7 + a4 * 11;"]
        if r.randrange(2):
            # Called from a method: this is a Holder there, not a Util.
            lines += ["class Holder {", "    public int h = %d;" % r.randrange(-9, 9),
                      "    public int use(int x, int y) {"] + ["        " + t for t in use] + ["    }", "};",
                      "int ncStatic(int x, int y) { Holder hd = new Holder(); return hd.use(x, y); }"]
        else:
            lines += ["int ncStatic(int x, int y) {"] + ["    " + t for t in use] + ["}"]

        def maker(k, j):
            return {"k": k, "j": j, "loc": fl({"k": k, "j": j}), "own": own, "us": us}

        def run(task, n):
            env = dict(task, n=n)
            if grows:
                task["own"] = env["own"] = wrap(env["own"] + fg(env))
            return fb(env)

        def fn(x, y):
            c1, c2 = maker(x, y), maker(y, wrap(x + 1))
            a1, a2, a3 = run(c1, x), run(c2, y), run(c1, wrap(y + 2))
            a4 = 0
            if direct:
                env = {"k": y, "us": us}
                env["w"] = fw(env)
                env["n"] = wrap(y + 1)
                a4 = fd(env)
            return wrap(a1 * 3 + a2 * 5 + a3 * 7 + a4 * 11)
        return lines, "ncStatic", fn

    def chain(self, serial, kinds, reach):
        """capN(p, q): an anonymous Task made in the function, and inside it
        classes one or two levels further in: an anonymous Task made in the
        method of the level around it, or a named class declared in its body
        and made in that method. Level i has a field f<i> and a method with
        the parameter k<i>, the local m<i> and the value r<i> of the next
        level. With reach, a level reads the fields of the levels around it
        and the locals it captures, and the innermost one of the function's;
        without, a named level reads its own names only."""
        r = self.r
        count = len(kinds)

        def level(i, outer_fields, captured):
            """(declaration in the body around, lines making and running it
            in the method around, run(state)); state holds every field and
            local by its own name, as each level is made and run once."""
            kind = kinds[i - 1]
            field, param, local, result = "f%d" % i, "k%d" % i, "m%d" % i, "r%d" % i
            sees_out = reach or kind == "anon"
            fields = (outer_fields if sees_out else []) + [field]
            names = fields + (captured if sees_out else []) + [param]
            init = r.randrange(-20, 20)
            tm, fm = self.plain_expr(names, 1)
            stores, fs = self.plain_stores(fields, names + [local], r.randrange(0, 3))
            body = ["int %s = %s;" % (local, tm)] + stores
            decl, run_child = [], None
            if i < count:
                inner = captured + [param, local] if kinds[i] == "anon" else captured
                decl, make_child, run_child = level(i + 1, fields, inner)
                body += make_child
            tr, fr = self.plain_expr(names + [local] + ([result] if run_child else []), 2)
            # The value shows the level's field, the next level's value and,
            # innermost with reach, one of the function's locals.
            shown = [field] + ([result] if run_child else [])
            if reach and i == count:
                shown.append(r.choice(["p", "q", "loc"]))
            tr = " + ".join([tr] + ["%s * %d" % (n, 2 * j + 3) for j, n in enumerate(shown)])
            fr = (lambda env, f=fr, shown=shown:
                  wrap(f(env) + sum(env[n] * (2 * j + 3) for j, n in enumerate(shown))))
            body.append("return %s;" % tr)
            ta, fa = self.plain_expr(["p", "q", "loc"] if i == 1 else ["k%d" % (i - 1), "m%d" % (i - 1)], 1)
            members = ["public int %s = %d;" % (field, init)] + decl
            if kind == "anon":
                members += ["public int run(int %s) override {" % param] + ["    " + t for t in body] + ["}"]
                declaration = []
                make = (["Task t%d = new Task() {" % i] + ["    " + t for t in members]
                        + ["};", "int r%d = t%d.run(%s);" % (i - 1, i, ta)])
            else:
                name = "P%d_%d" % (serial, i)
                members += ["public int get(int %s) {" % param] + ["    " + t for t in body] + ["}"]
                declaration = ["class %s {" % name] + ["    " + t for t in members] + ["};"]
                make = ["%s c%d = new %s();" % (name, i, name), "int r%d = c%d.get(%s);" % (i - 1, i, ta)]

            def run(state):
                arg = fa(state)
                state[field], state[param] = init, arg
                state[local] = fm(state)
                fs(state)
                if run_child:
                    state[result] = run_child(state)
                return fr(state)
            return declaration, make, run

        tl, fl = self.plain_expr(["p", "q"], 1)
        _, make, run = level(1, [], ["p", "q", "loc"])
        name = "cap%d" % serial
        lines = (["int %s(int p, int q) {" % name, "    int loc = %s;" % tl] + ["    " + t for t in make]
                 + ["    return r0 * 3 + loc;", "}"])

        def fn(x, y):
            state = {"p": x, "q": y}
            state["loc"] = fl(state)
            return wrap(run(state) * 3 + state["loc"])
        return lines, name, fn

    def derived_nested(self, serial):
        """Block<s> derives from a class nested beside it (in Town<s> or one
        level in, in Street<s>), from Census<s> of Town<s> while nested in
        City<s> : Town<s>, from Rate<s>, a static class of Town<s>, or from
        the top-level Meter<s>; the base's methods read the names around the
        base by their simple names. Each class is made once, each method run
        once, so one state holds every field by its own name."""
        r = self.r
        shape = r.choice(["sibling", "derived-outer", "static", "top"])
        depth = 1 if shape == "derived-outer" else r.randrange(1, 3)
        town, street, block = "Town%d" % serial, "Street%d" % serial, "Block%d" % serial
        base = {"sibling": "Census", "derived-outer": "Census", "static": "Rate", "top": "Meter"}[shape] + str(serial)
        init = {"pop": r.randrange(-30, 30), "st": r.randrange(-30, 30), "hs": r.randrange(-9, 9),
                "area": r.randrange(-9, 9), "bv": r.randrange(-9, 9), "own": r.randrange(-9, 9)}
        factor = r.randrange(2, 6)
        tw = ("tw", lambda env, v: wrap(env["pop"] * factor - v))
        static = shape == "static"
        # The names around each class, innermost last.
        town_names = ["pop"] + (["st"] if static else [])
        around = town_names + (["hs"] if depth == 2 else []) + (["area"] if shape == "derived-outer" else [])
        if shape in ("sibling", "derived-outer"):
            base_around, base_call = town_names + (["hs"] if depth == 2 and shape == "sibling" else []), tw
        else:
            base_around, base_call = (["st"] if static else []), None
        b_stores, fbs = self.plain_stores(base_around + ["bv"], base_around + ["bv", "k"], r.randrange(0, 2),
                                          base_call)
        tt, ft = self.plain_expr(base_around + ["bv", "k"], 2, base_call)
        # City's Block sees Town's nested classes that are not private.
        modifier = {"static": "static ", "derived-outer": "protected "}.get(shape, "")
        base_lines = (["%sclass %s {" % (modifier, base), "    public int bv = %d;" % init["bv"],
                       "    public int total(int k) {"] + ["        " + t for t in b_stores]
                      + ["        return %s;" % tt, "    }", "};"])
        built = r.randrange(2) == 1
        overrides = r.randrange(2) == 1
        block_lines = ["class %s : %s {" % (block, base), "    public int own = %d;" % init["own"]]
        if built:
            tc, fc = self.plain_expr(["v"], 1)
            block_lines.append("    public %s(int v) { bv = %s; }" % (block, tc))
        if overrides:
            to, fo = self.plain_expr(["own", "k"], 1)
            block_lines.append("    public int total(int k) override { return super.total(k) + %s; }" % to)
        s_stores, fss = self.plain_stores(around + ["own", "bv"], around + ["own", "bv", "k"], r.randrange(0, 3),
                                          tw)
        ts, fsum = self.plain_expr(around + ["own", "bv", "k"], 2, tw)
        ts, fsum = "%s + own * 5 + bv * 7" % ts, (lambda env, f=fsum: wrap(f(env) + env["own"] * 5 + env["bv"] * 7))
        block_lines += (["    public int sum(int k) {"] + ["        " + t for t in s_stores]
                        + ["        int t = total(k);", "        return t * 3 + %s;" % ts, "    }", "};"])
        make = ["%s b = new %s(%s);" % (block, block, "k + 1" if built else ""), "int g = b.sum(k);"]
        lines = []
        if shape == "top":
            lines += base_lines
        lines += ["class %s {" % town, "    public int pop = %d;" % init["pop"]]
        if static:
            lines.append("    public static int st = %d;" % init["st"])
        lines.append("    public int tw(int v) { return pop * %d - v; }" % factor)
        if shape in ("derived-outer", "static") or shape == "sibling" and depth == 1:
            lines += ["    " + t for t in base_lines]
        ran = ["pop", "area"] if shape == "derived-outer" else town_names
        r_stores, frs = self.plain_stores(ran, ran + ["k"], r.randrange(0, 2))
        if depth == 2:
            g_stores, fgs = self.plain_stores(["hs", "pop"], ["hs", "pop", "k"], r.randrange(0, 2))
            lines += ["    class %s {" % street, "        public int hs = %d;" % init["hs"]]
            if shape == "sibling":
                lines += ["        " + t for t in base_lines]
            lines += ["        " + t for t in block_lines]
            lines += (["        public int go(int k) {"] + ["            " + t for t in g_stores + make]
                      + ["            return g * 3 + hs;", "        }", "    };"])
            inner = ["%s s = new %s();" % (street, street), "int g = s.go(k);"]
        elif shape != "derived-outer":
            lines += ["    " + t for t in block_lines]
            inner = make
        outer = town
        if shape == "derived-outer":
            lines += ["};", "class City%d : %s {" % (serial, town), "    public int area = %d;" % init["area"]]
            lines += ["    " + t for t in block_lines]
            inner, outer = make, "City%d" % serial
        lines += (["    public int run(int k) {"] + ["        " + t for t in r_stores + inner]
                  + ["        return g * 3 + pop;", "    }", "};",
                     "int ncDerived%d(int x, int y) { %s t = new %s(); return t.run(x) * 7 + y; }"
                     % (serial, outer, outer)])

        def fn(x, y):
            env = dict(init, k=x)
            frs(env)

            def made_and_summed():
                env["bv"], env["own"] = init["bv"], init["own"]
                if built:
                    env["bv"] = fc({"v": wrap(x + 1)})
                fss(env)
                fbs(env)
                total = ft(env)
                if overrides:
                    total = wrap(total + fo(env))
                return wrap(total * 3 + fsum(env))
            if depth == 2:
                env["hs"] = init["hs"]
                fgs(env)
                g = wrap(made_and_summed() * 3 + env["hs"])
            else:
                g = made_and_summed()
            return wrap(wrap(g * 3 + env["pop"]) * 7 + y)
        return lines, "ncDerived%d" % serial, fn

    def nearer_global(self):
        """Gate's field lim and method tally share their names with a global
        and a global function; in Gate's nested classes (and an anonymous
        class made in its method) Gate's members are the nearer names."""
        r = self.r
        glob, add, gate, factor = r.randrange(-30, 30), r.randrange(-9, 9), r.randrange(-30, 30), r.randrange(2, 6)
        init = {"c": r.randrange(-9, 9), "d": r.randrange(-9, 9)}
        tally = ("tally", lambda env, v: wrap(v * factor - env["lim"]))
        c_stores, fcs = self.plain_stores(["lim", "c"], ["lim", "c", "k"], r.randrange(0, 3), tally)
        deep = r.randrange(2) == 1
        if deep:
            d_stores, fds = self.plain_stores(["lim", "d"], ["lim", "c", "d", "k"], r.randrange(0, 3), tally)
            td, fd = self.plain_expr(["lim", "c", "d", "k"], 2, tally)
        tc, fc = self.plain_expr(["lim", "c", "k"] + (["e"] if deep else []), 2, tally)
        seen = ["c", "lim"] + (["e"] if deep else [])
        tc = " + ".join([tc] + ["%s * %d" % (n, 2 * j + 3) for j, n in enumerate(seen)])
        fc = (lambda env, f=fc: wrap(f(env) + sum(env[n] * (2 * j + 3) for j, n in enumerate(seen))))
        probe = r.randrange(2) == 1
        if probe:
            tp, fp = self.plain_expr(["lim", "n", "k"], 2, tally)
        lines = ["int lim = %d;" % glob,
                 "int tally(int v) { return v * 3 + (%d); }" % add,
                 "class Gate {",
                 "    public int lim = %d;" % gate,
                 "    public int tally(int v) { return v * %d - lim; }" % factor,
                 "    class Check {",
                 "        public int c = %d;" % init["c"]]
        if deep:
            lines += (["        class Far {", "            public int d = %d;" % init["d"],
                       "            public int get(int k) {"] + ["                " + t for t in d_stores]
                      + ["                return %s;" % td, "            }", "        };"])
        lines += ["        public int get(int k) {"] + ["            " + t for t in c_stores]
        if deep:
            lines += ["            Far dp = new Far();", "            int e = dp.get(k + 1);"]
        lines += ["            return %s;" % tc, "        }", "    };"]
        if probe:
            lines += ["    public int probe(int k) {",
                      "        Task t = new Task() { public int run(int n) override { return %s; } };" % tp,
                      "        return t.run(k + 1);", "    }"]
        lines += ["    public int run(int k) {", "        Check ch = new Check();", "        int g = ch.get(k);",
                  "        int a = %s;" % ("probe(k)" if probe else "0"),
                  "        return g * 3 + a * 5 + lim + tally(k);", "    }", "};",
                  "int ncNear(int x, int y) {", "    lim += y;", "    Gate g = new Gate();", "    int a = g.run(x);",
                  "    return a * 3 + lim * 5 + tally(y);", "}"]

        def fn(x, y):
            top = wrap(glob + y)
            env = dict(init, lim=gate, k=x)
            fcs(env)
            if deep:
                inner = dict(env, k=wrap(x + 1))
                fds(inner)
                env["lim"] = inner["lim"]
                env["e"] = fd(inner)
            g = fc(env)
            a = fp(dict(env, k=x, n=wrap(x + 1))) if probe else 0
            run = wrap(g * 3 + a * 5 + env["lim"] + tally[1](env, x))
            return wrap(run * 3 + top * 5 + wrap(y * 3 + add))
        return lines, "ncNear", fn

    def shadowing_local(self):
        """A local named as a field of the class, or of the class around, is
        the one ++, --, and compound assignments change. (A parameter so
        named is not: a store ranks a parameter behind a field.)"""
        r = self.r
        field = r.randrange(-30, 30)

        def steps(names):
            lines, runs = [], []
            for _ in range(r.randrange(1, 5)):
                kind = r.randrange(6)
                if kind < 4:
                    op = ["++", "--"][kind % 2]
                    lines.append(("%stotal;" if kind < 2 else "total%s;") % op)
                    runs.append(lambda env, d=(1 if op == "++" else -1):
                                env.__setitem__("total", wrap(env["total"] + d)))
                else:
                    more, fm = self.plain_stores(["total"], names, 1)
                    lines += more
                    runs.append(fm)
            if not any(t.endswith(("++;", "--;")) or t[:2] in ("++", "--") for t in lines):
                lines.append("total++;")
                runs.append(lambda env: env.__setitem__("total", wrap(env["total"] + 1)))

            def run(env):
                for f in runs:
                    f(env)
            return lines, run
        tl, fl = self.plain_expr(["k"], 1)
        run_steps, frun = steps(["total", "k"])
        own = r.randrange(2) == 1
        lines = ["class Acc {", "    public int total = %d;" % field, "    public int run(int k) {",
                 "        int total = %s;" % tl] + ["        " + t for t in run_steps]
        if own:
            lines.append("        this.total += k;")
        lines += ["        return total * 3 + this.total;", "    }"]
        nested = r.randrange(2) == 1
        if nested:
            tn, fn_init = self.plain_expr(["k"], 1)
            nested_steps, fnested = steps(["total", "k"])
            lines += (["    class Inner {", "        public int work(int k) {", "            int total = %s;" % tn]
                      + ["            " + t for t in nested_steps]
                      + ["            return total;", "        }", "    };",
                         "    public int inner(int k) { Inner i = new Inner(); return i.work(k); }"])
        lines += ["};", "int ncShadow(int x, int y) {", "    Acc a = new Acc();", "    int r1 = a.run(x);",
                  "    int r3 = %s;" % ("a.inner(x + y)" if nested else "0"),
                  "    return r1 * 3 + r3 * 7 + a.total * 11 + y * 0;", "}"]

        def fn(x, y):
            env = {"k": x}
            env["total"] = fl(env)
            frun(env)
            kept = wrap(field + x) if own else field
            r1 = wrap(env["total"] * 3 + kept)
            r3 = 0
            if nested:
                env = {"k": wrap(x + y)}
                env["total"] = fn_init(env)
                fnested(env)
                r3 = env["total"]
            return wrap(r1 * 3 + r3 * 7 + kept * 11)
        return lines, "ncShadow", fn

    # Whole program ----------------------------------------------------------
    def helper(self, index):
        name, params = "h%d" % index, ["p", "q"][:self.r.randrange(1, 3)]
        names = params + ["t"]
        te, fe = self.int_expr(params, 2)
        body, fb = self.block(names, names, 1, (), self.r.randrange(1, 4))
        tr, fr = self.int_expr(names, 2)
        def call(args):
            env = dict(zip(params, args))
            env["t"] = fe(env)
            fb(env)
            return fr(env)
        lines = (["int %s(%s) {" % (name, ", ".join("int " + p for p in params)),
                  "    int t = %s;" % te] + ["    " + t for t in body] + ["    return %s;" % tr, "}"])
        return name, len(params), call, lines

    def recursive(self):
        """rec(n, k): n levels down, each mixing in an expression of n and k."""
        (t0, f0), (t1, f1), (t2, f2) = (self.int_expr(["k"], 1), self.int_expr(["n", "k"], 2),
                                         self.int_expr(["n", "k"], 2))
        op = self.r.choice(["+", "-", "^"])

        def rec(n, k):
            if n <= 0:
                return f0({"k": k})
            env = {"n": n, "k": k}
            return wrap(BINARY[op](rec(n - 1, f1(env)), f2(env)))
        lines = ["int rec(int n, int k) {", "    if (n <= 0) return %s;" % t0,
                 "    return rec(n - 1, %s) %s %s;" % (t1, op, t2), "}"]
        return rec, lines

    def program(self):
        r = self.r
        out = ["class Obj {", "    public int a;", "    public int b;",
               "    public Obj(int x, int y) { a = x; b = y; }",
               "    public int mix(int k) { return a * k + b; }",
               "    public void add(int k) { a += k; b ^= k; }"]
        if "c" in self.fields:
            out.append("    public int c = 7;")
        if self.this_values:
            out.append("    public Obj self() { return this; }")
        sub_mix = "a - k * b + super.mix(k & 7)" if self.super_calls else "a - k * b"
        out += ["};",
                "class Sub : Obj {", "    public Sub(int x, int y) { super(x, y); }",
                "    public int mix(int k) override { return %s; }" % sub_mix]
        if self.super_calls:
            out.append("    public void add(int k) override { super.add(k); a += 1; }")
        out += ["};",
                "class Ex : Exception { public int code; public Ex(int c) { code = c; } };",
                "class Stat {",
                "    public static int early = late * 2 + 1;",
                "    public static int late = 9;",
                "    public static int count = 3;",
                "    public static long total = 0;",
                "    public static Obj held = new Obj(5, 6);",
                "    public static int scale(int x) { return x * 3 + count; }",
                "    public static void bump(int k) { count += k; total += (long)k * 5; }",
                "};",
                "int pair(Obj x, Obj y, int k) { return x.mix(k) - y.mix(k + 1); }",
                "int ov(int x) { return x * 3 + 1; }",
                "int ov(long x) { return (int)(x ^ (x >> 29)); }",
                "int ov(double x) { return (int)(x * 0.5); }",
                "int ov(int x, int y) { return x - y * 2; }",
                "int risky(int x, int limit) throws Ex { if (x > limit) throw new Ex(x - limit); return x + 1; }",
                "int relay(int n, int x, int limit) throws Ex {",
                "    if (n <= 0) return risky(x, limit);",
                "    return relay(n - 1, x + n, limit) * 2;",
                "}"]
        self.in_helper = True
        self.rec, lines = self.recursive()
        out += lines
        for i in range(r.randrange(0, 4)):
            name, arity, call, lines = self.helper(i)
            out += lines
            self.helpers.append((name, arity, call))
        self.in_helper = False
        enc = None
        if self.enclosing_names:
            lines, enc = self.enclosing()
            out += lines
        names = ["v0", "v1", "v2", "v3"]
        init = [r.randrange(-50, 50) for _ in names]
        third_sub = r.randrange(2) == 1
        body, fb = self.block(names, names, 3, (), r.randrange(1, self.size))
        nest = None
        if self.nesting_corners:
            # Drawn after main's body, which stays as the other switches make it.
            lines, nest = self.corners()
            out += lines
        out += ["int main(String[] args) {"]
        out += ["    int %s = %d;" % (n, v) for n, v in zip(names, init)]
        out += ["    long big = 3;", "    double dv = 1.5;", "    bool flag = false;", "    byte bt = 200;",
                "    short sh = -300;",
                "    Obj o = new %s(%d, %d);" % ("Sub" if self.sub else "Obj", init[0], init[1]),
                "    Obj p = new Obj(%d, %d);" % (init[2], init[3]),
                "    int[] arr = new int[4];", "    arr[1] = 5;", "    arr[3] = -9;",
                "    long[] la = new long[4];", "    la[1] = 7;", "    la[3] = -5000000000L;",
                "    double[] da = new double[4];", "    da[2] = 0.5;",
                "    byte[] ba = new byte[4];", "    ba[3] = 250;",
                "    short[] sa = new short[4];", "    sa[0] = -7;",
                "    String s1 = \"k1\";", "    String s2 = \"ab\";", "    String[] sn = new String[4];",
                "    sn[0] = \"a\";", "    sn[1] = \"k2\";", "    sn[2] = \"\";", "    sn[3] = \"xyz\";",
                "    Obj[] objs = new Obj[3];", "    objs[0] = o;", "    objs[1] = p;",
                "    objs[2] = new %s(%d, %d);" % ("Sub" if third_sub else "Obj", init[1], init[2])]
        if enc:
            out.append("    int enc = encTest(v0, v1);")
        if nest:
            out.append("    int nest = nestTest(v0, v1);")
        out += ["    " + t for t in body] + ["    if (flag) arr[0] += 1000;"]
        out += ["    long lsum = la[0] + la[1] * 3 + la[2] * 5 + la[3] * 7;",
                "    return v0 + v1 * 3 + v2 * 7 + v3 * 11 + o.a * 13 + o.b * 17 + arr[0] + arr[1] * 19"
                " + arr[2] * 23 + arr[3] * 29 + (int)(big ^ (big >> 32)) * 31 + (int)(dv * 4) * 37"
                " + bt * 41 + sh * 43"
                " + p.a * 47 + p.b * 53%s" % (" + o.c * 59 + p.c * 61" if "c" in self.fields else ""),
                "        + (int)(lsum ^ (lsum >> 32)) * 67 + (int)(da[0] * 4 + da[1] * 8 + da[2] * 16 + da[3] * 32) * 71"
                " + (ba[0] + ba[1] * 3 + ba[2] * 5 + ba[3] * 7) * 73 + (sa[0] + sa[1] * 3 + sa[2] * 5 + sa[3] * 7) * 79"
                " + objs[0].a * 83 + objs[1].b * 89 + objs[2].a * 97 + objs[2].b * 101"
                " + Stat.count * 103 + (int)(Stat.total ^ (Stat.total >> 32)) * 107 + Stat.early * 109"
                " + Stat.held.a * 113 + Stat.held.b * 127",
                "        + s1.length() * 131 + s2.length() * 137"
                " + (sn[0].length() + sn[1].length() * 3 + sn[2].length() * 5 + sn[3].length() * 7) * 139%s%s;"
                % (" + enc * 149" if enc else "", " + nest * 151" if nest else ""), "}"]
        env = dict(zip(names, init))
        obj = lambda a, b, sub: {"a": a, "b": b, "c": 7, "sub": sub}  # noqa: E731
        env.update(big=3, dv=1.5, flag=False, bt=200, sh=-300, o=obj(init[0], init[1], self.sub),
                   p=obj(init[2], init[3], False), arr=[0, 5, 0, -9], la=[0, 7, 0, -5000000000],
                   da=[0.0, 0.0, 0.5, 0.0], ba=[0, 0, 0, 250], sa=[-7, 0, 0, 0],
                   s1="k1", s2="ab", sn=["a", "k2", "", "xyz"])
        env["objs"] = [env["o"], env["p"], obj(init[1], init[2], third_sub)]
        self.stat.update(early=1, late=9, count=3, total=0, held=obj(5, 6, False))
        try:
            fb(env)
        except Raised as raised:
            return "\n".join(out) + "\n", ("throw", raised.name)
        if env["flag"]:
            env["arr"][0] = wrap(env["arr"][0] + 1000)
        la, da, ba, sa, objs, stat = env["la"], env["da"], env["ba"], env["sa"], env["objs"], self.stat
        sn = env["sn"]
        lsum = wrap(la[0] + la[1] * 3 + la[2] * 5 + la[3] * 7, 64)
        total = stat["total"]
        result = wrap(env["v0"] + env["v1"] * 3 + env["v2"] * 7 + env["v3"] * 11 + env["o"]["a"] * 13
                      + env["o"]["b"] * 17 + env["arr"][0] + env["arr"][1] * 19 + env["arr"][2] * 23
                      + env["arr"][3] * 29 + wrap(wrap(env["big"] ^ (env["big"] >> 32), 64)) * 31
                      + int(env["dv"] * 4) * 37 + env["bt"] * 41 + env["sh"] * 43
                      + env["p"]["a"] * 47 + env["p"]["b"] * 53
                      + ((env["o"]["c"] * 59 + env["p"]["c"] * 61) if "c" in self.fields else 0)
                      + wrap(lsum ^ (lsum >> 32)) * 67 + wrap(int(da[0] * 4 + da[1] * 8 + da[2] * 16 + da[3] * 32)) * 71
                      + (ba[0] + ba[1] * 3 + ba[2] * 5 + ba[3] * 7) * 73 + (sa[0] + sa[1] * 3 + sa[2] * 5 + sa[3] * 7) * 79
                      + objs[0]["a"] * 83 + objs[1]["b"] * 89 + objs[2]["a"] * 97 + objs[2]["b"] * 101
                      + stat["count"] * 103 + wrap(total ^ (total >> 32)) * 107 + stat["early"] * 109
                      + stat["held"]["a"] * 113 + stat["held"]["b"] * 127
                      + len(env["s1"]) * 131 + len(env["s2"]) * 137
                      + (len(sn[0]) + len(sn[1]) * 3 + len(sn[2]) * 5 + len(sn[3]) * 7) * 139
                      + (enc(init[0], init[1]) * 149 if enc else 0)
                      + (nest(init[0], init[1]) * 151 if nest else 0))
        return "\n".join(out) + "\n", ("result", result)


FEATURES = ("conditional-operands", "field-initialisers", "this-values", "super-calls", "mixed-choices",
            "enclosing-names", "nesting-corners")


def make(seed, features, size=12):
    source, (how, value) = Gen(seed, features, size).program()
    return "// expect-%s: %s\n// generated by random_programs.py, seed %d\n%s" % (how, value, seed, source)


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--bin")
    parser.add_argument("--seeds", default="1-40", help="A-B, inclusive")
    parser.add_argument("--forever", action="store_true")
    parser.add_argument("--from", dest="start", type=int, default=1000)
    parser.add_argument("--show", type=int)
    for feature in FEATURES:
        parser.add_argument("--with-" + feature, action="store_true")
    parser.add_argument("--keep", default=".")
    parser.add_argument("--size", type=int, default=12, help="at most this many statements in main")
    args = parser.parse_args()
    features = {f for f in FEATURES if getattr(args, "with_" + f.replace("-", "_"))}
    if args.show is not None:
        sys.stdout.write(make(args.show, features, args.size))
        return 0
    if not args.bin:
        parser.error("--bin is needed unless --show")
    korvo = os.path.join(os.path.abspath(args.bin), "korvo")
    if args.forever:
        seeds = itertools.count(args.start)
    else:
        low, high = (int(x) for x in args.seeds.split("-"))
        seeds = range(low, high + 1)
    failed = 0
    with tempfile.TemporaryDirectory(prefix="korvo-random-") as work:
        for seed in seeds:
            text = make(seed, features, args.size)
            path = os.path.join(work, "random_%d.k" % seed)
            open(path, "w").write(text)
            want = run_program.expectation(text)
            got = run_program.compile_and_run(korvo, path)
            if got != want:
                failed += 1
                kept = os.path.join(args.keep, "random_%d.k" % seed)
                open(kept, "w").write(text)
                print("FAIL seed %d: expected %s %s, got %s %s (kept in %s)" % (seed, *want, *got, kept))
            elif args.forever and seed % 50 == 0:
                print("seed %d ok, %d failed so far" % (seed, failed), flush=True)
    if not args.forever:
        print("random programs: %d of %d differ" % (failed, len(seeds)))
    return 1 if failed else 0


if __name__ == "__main__":
    sys.exit(main())
