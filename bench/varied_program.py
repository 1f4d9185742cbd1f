#!/usr/bin/env python3
"""A generated program shaped like written code, in korvo, Java and C#.

The program of bench/generated_program.h repeats one class with the same
expressions, which a compiler meets again and again in the same order. This
one is drawn from a seeded random generator so that no two expressions are
alike: families of an interface, an enum, an exception class, a base class
that implements the interface and a derived class that overrides it; methods
of six parameters; expressions of four to six operator levels mixing
+ - * / % & | ^ << >> with parentheses; long string concatenations; nested
loops and branches; switches over the enum; throws caught with finally; a
List and a Map from the runtime library. Every piece is built once and
written in each language's words, so the three programs hold the same
classes, methods, statements and expressions, line for line.

Each family calls into the one before it, so that nothing is left unused.
Every binary operator has a variable on at least one side: no constant is
folded (mcs refuses a constant that overflows or divides by zero).

Usage: varied_program.py LANGUAGE LINES [--seed N]  (LANGUAGE: korvo, java, cs)
"""
import argparse
import random
import sys

LANGUAGES = ("korvo", "java", "cs")


class Text:
    """One piece of program in each language."""

    def __init__(self, korvo, java=None, cs=None):
        self.words = {"korvo": korvo, "java": korvo if java is None else java, "cs": korvo if cs is None else cs}

    def __add__(self, other):
        other = other if isinstance(other, Text) else Text(other)
        return Text(*(self.words[lang] + other.words[lang] for lang in LANGUAGES))

    def __radd__(self, other):
        return Text(other) + self


def join(pieces, separator=""):
    out = Text("")
    for i, piece in enumerate(pieces):
        out = out + (separator if i else "") + piece
    return out


STRING = Text("String", "String", "string")
LIST = Text("List<String>", "List<String>", "List<string>")
NEW_LIST = Text("new List<String>()", "new ArrayList<String>()", "new List<string>()")
MAP = Text("Map<String, int>", "HashMap<String, Integer>", "Dictionary<string, int>")
NEW_MAP = Text("new Map<String, int>()", "new HashMap<String, Integer>()", "new Dictionary<string, int>()")

# Operator levels, loosest first, as the three languages rank them.
LEVELS = [["|"], ["^"], ["&"], ["<<", ">>"], ["+", "-"], ["*", "/", "%"]]
LEVEL_OF = {op: level for level, ops in enumerate(LEVELS) for op in ops}
WORDS = ["count", "width", "depth", "total", "limit", "offset", "index", "weight", "score", "level", "span",
         "mark", "delta", "bias", "rank", "size", "step", "gain", "tally", "shift", "mask", "spread", "peak"]
PHRASES = ["alpha", "beta", "gamma", "delta", "north", "south", "amber", "cobalt", "ivory", "onyx", "ruby", "slate",
           "left", "right", "upper", "lower", "first", "last", "inner", "outer", "quick", "slow", "warm", "cold"]


class Node:
    """An int expression: a leaf text, or an operator over two nodes."""

    def __init__(self, text=None, op=None, left=None, right=None, variable=False):
        self.text, self.op, self.left, self.right = text, op, left, right
        self.variable = variable if op is None else True

    def render(self, rng):
        """Its text: parentheses where the operator levels need them, and at
        random where they do not, as people write them."""
        if self.op is None:
            return self.text
        level = LEVEL_OF[self.op]

        def side(node, right):
            inner = node.render(rng)
            if node.op is not None:
                child = LEVEL_OF[node.op]
                if child < level or (right and child == level) or rng.random() < 0.15:
                    inner = "(" + inner + ")"
            return inner

        return side(self.left, False) + " " + self.op + " " + side(self.right, True)


class Method:
    """What a body may name: the int variables in scope and the string ones."""

    def __init__(self, rng, ints, strings):
        self.rng = rng
        self.scopes = [[(name, int) for name in ints] + [(name, str) for name in strings]]
        self.serial = 0
        self.used = set()

    def fresh(self, stem):
        self.serial += 1
        return "%s%d" % (stem, self.serial)

    def declare(self, name, kind=int):
        self.scopes[-1].append((name, kind))

    def names(self, kind):
        return [name for scope in self.scopes for name, of in scope if of is kind]

    def ints(self):
        return self.names(int)

    def pick(self, names):
        name = self.rng.choice(names)
        self.used.add(name)
        return name

    def close(self, pad, out, total):
        """Ends a scope, folding what it declared and nothing read into `total`."""
        for name, kind in self.scopes.pop():
            if name not in self.used and name != total:
                out.append(pad + Text("%s += %s;\n" % (total, name)) if kind is int else
                           pad + Text("%s += %s.length();\n" % (total, name), None, "%s += %s.Length;\n" % (total, name)))

    @property
    def strings(self):
        return self.names(str)

    def leaf(self, variable):
        rng = self.rng
        if not variable and rng.random() < 0.35:
            return Node(Text(str(rng.randint(1, 999)) if rng.random() < 0.8 else "0x%X" % rng.randint(1, 4095)))
        roll = rng.random()
        if roll < 0.08 and self.strings:
            s = self.pick(self.strings)
            return Node(Text(s + ".length()", s + ".length()", s + ".Length"), variable=True)
        if roll < 0.13:
            return Node(Text("names.size()", "names.size()", "names.Count"), variable=True)
        name = self.pick(self.ints())
        if roll < 0.2:
            return Node(Text(rng.choice("-~") + name), variable=True)
        return Node(Text(name), variable=True)

    def tree(self, ops, variable):
        """A random binary tree over `ops`; `variable`: it must name a variable."""
        rng = self.rng
        if not ops:
            return self.leaf(variable)
        op = ops[0]
        rest = ops[1:]
        cut = rng.randint(0, len(rest))
        left_variable = rng.random() < 0.5
        left = self.tree(rest[:cut], left_variable)
        right = self.tree(rest[cut:], not left.variable)
        if op in ("/", "%") and right.op is None and not right.variable and right.text.words["korvo"] == "0":
            right = Node(Text("7"))
        return Node(op=op, left=left, right=right)

    def expr(self, low=4, high=6, compared=False):
        """An int expression over `low` to `high` operator levels; `compared`:
        it stands beside a comparison, which binds tighter than & ^ |."""
        rng = self.rng
        levels = rng.sample(range(len(LEVELS)), rng.randint(low, high))
        ops = [rng.choice(LEVELS[level]) for level in levels]
        ops += [rng.choice(rng.choice(LEVELS)) for _ in range(rng.randint(0, 2))]
        rng.shuffle(ops)
        tree = self.tree(ops, True)
        text = tree.render(rng)
        # In korvo, i < n >> 2 reads as the generic type i<n> before a ">".
        wrap = compared and (LEVEL_OF[tree.op] < LEVEL_OF["+"] or ">>" in text.words["korvo"])
        return "(" + text + ")" if wrap else text

    def small(self, compared=False):
        return self.expr(1, 2, compared)

    def condition(self):
        rng = self.rng
        left, right = self.expr(1, 3), self.expr(1, 2)
        text = "(" + left + ") " + rng.choice([">", "<", ">=", "<=", "==", "!="]) + " (" + right + ")"
        if rng.random() < 0.3:
            more = "(" + self.small() + ") " + rng.choice([">", "<", "!="]) + " " + str(rng.randint(0, 99))
            text = text + rng.choice([" && ", " || "]) + ("!(" + more + ")" if rng.random() < 0.3 else more)
        return text

    def concatenation(self):
        rng = self.rng
        parts = [Text('"%s %s "' % (rng.choice(PHRASES), rng.choice(PHRASES)))]
        for _ in range(rng.randint(4, 9)):
            roll = rng.random()
            if roll < 0.4:
                parts.append(Text('"%s:"' % rng.choice(PHRASES)))
            elif roll < 0.7:
                parts.append(Text(self.pick(self.ints())))
            elif roll < 0.85:
                parts.append("(" + self.small() + ")")
            elif self.strings:
                parts.append(Text(self.pick(self.strings)))
            else:
                parts.append(Text('"%s"' % rng.choice(PHRASES)))
        return join(parts, " + ")


def indent(depth):
    return "    " * depth


class Family:
    """One family of types: interface, enum, exception, base and derived."""

    def __init__(self, rng, k):
        self.rng, self.k = rng, k
        self.fields = rng.sample(WORDS, rng.randint(3, 5))
        self.tones = ["%s%d" % (p.upper(), k) for p in rng.sample(PHRASES, rng.randint(3, 6))]
        self.helpers = rng.randint(2, 4)

    def params(self, rng):
        names = rng.sample(WORDS, 5)
        return [n + "P" for n in names]

    def body(self, method, depth, budget, out, final_return):
        """A method body: an accumulator, `budget` statements and the return
        that `final_return` makes of the accumulator."""
        total = method.fresh("acc")
        out.append(indent(depth) + Text("int ") + total + " = " + method.expr() + ";\n")
        method.scopes.append([])
        method.declare(total)
        for _ in range(budget):
            self.statement(method, depth, out, total, 2)
        method.close(indent(depth), out, total)
        out.append(indent(depth) + Text("return ") + final_return(total) + ";\n")

    def block(self, method, depth, out, total, nesting):
        method.scopes.append([])
        for _ in range(self.rng.randint(1, 3)):
            self.statement(method, depth, out, total, nesting - 1)
        method.close(indent(depth), out, total)

    def statement(self, method, depth, out, total, nesting):
        rng, k = self.rng, self.k
        pad = indent(depth)
        kinds = ["assign", "local", "assign", "concat", "collect", "call"]
        if nesting > 0:
            kinds += ["if", "loops", "while", "switch", "try"]
        kind = rng.choice(kinds)
        if kind == "assign":
            target = rng.choice(method.ints())
            out.append(pad + Text(target) + " " + rng.choice(["=", "+=", "-=", "^=", "|=", "&="]) + " " +
                       method.expr() + ";\n")
        elif kind == "local":
            name = method.fresh(rng.choice(WORDS))
            out.append(pad + Text("int ") + name + " = " + method.expr() + ";\n")
            method.declare(name)
        elif kind == "concat":
            name = method.fresh("text")
            out.append(pad + STRING + " " + name + " = " + method.concatenation() + ";\n")
            method.declare(name, str)
            out.append(pad + Text("names.add(%s);\n" % name, "names.add(%s);\n" % name, "names.Add(%s);\n" % name))
        elif kind == "collect":
            s = method.pick(method.strings)
            value = method.small()
            out.append(pad + Text("seen.put(%s, " % s, "seen.put(%s, " % s, "seen[%s] = " % s) + value +
                       Text(");\n", ");\n", ";\n"))
            out.append(pad + Text("if (seen.containsKey(%s)) %s += seen.get(%s);\n" % (s, total, s),
                                  "if (seen.containsKey(%s)) %s += seen.get(%s);\n" % (s, total, s),
                                  "if (seen.ContainsKey(%s)) %s += seen[%s];\n" % (s, total, s)))
            if rng.random() < 0.5:
                item = method.fresh("item")
                tail = " %s %d; }\n" % (rng.choice("+-^"), rng.randint(1, 9))
                out.append(pad + Text("for (String %s : names) { %s += %s.length()" % (item, total, item),
                                      "for (String %s : names) { %s += %s.length()" % (item, total, item),
                                      "foreach (string %s in names) { %s += %s.Length" % (item, total, item)) + tail)
        elif kind == "call":
            out.append(pad + Text(total) + " += " + self.call(method, rng.randrange(self.helpers)) + ";\n")
        elif kind == "if":
            out.append(pad + "if (" + method.condition() + ") {\n")
            self.block(method, depth + 1, out, total, nesting)
            for _ in range(rng.randint(0, 2)):
                out.append(pad + "} else if (" + method.condition() + ") {\n")
                self.block(method, depth + 1, out, total, nesting)
            if rng.random() < 0.6:
                out.append(pad + Text("} else {\n"))
                self.block(method, depth + 1, out, total, nesting)
            out.append(pad + Text("}\n"))
        elif kind == "loops":
            i, j = method.fresh("i"), method.fresh("j")
            out.append(pad + Text("for (int %s = 0; %s < " % (i, i)) + method.small(True) + Text("; %s++) {\n" % i))
            method.scopes.append([(i, int)])
            out.append(indent(depth + 1) + Text("for (int %s = %s; %s < " % (j, i, j)) + method.small(True) +
                       Text("; %s += %d) {\n" % (j, rng.randint(1, 4))))
            method.scopes.append([(j, int)])
            method.used.update((i, j))
            self.block(method, depth + 2, out, total, nesting)
            method.scopes.pop()
            out.append(indent(depth + 1) + Text("}\n"))
            if rng.random() < 0.5:
                self.statement(method, depth + 1, out, total, 0)
            method.close(indent(depth + 1), out, total)
            out.append(pad + Text("}\n"))
        elif kind == "while":
            out.append(pad + Text("while (%s > %d) {\n" % (total, rng.randint(100, 100000))))
            out.append(indent(depth + 1) + Text("%s = %s >> %d;\n" % (total, total, rng.randint(1, 5))))
            self.block(method, depth + 1, out, total, nesting - 1)
            out.append(pad + Text("}\n"))
        elif kind == "switch":
            enum = "Tone%d" % k
            out.append(pad + Text("switch (tone) {\n"))
            cases = rng.sample(self.tones, rng.randint(2, len(self.tones)))
            sections = [[c] for c in cases]
            if rng.random() < 0.5:
                sections.append(None)  # default
            for n, section in enumerate(sections):
                label = (Text("default:\n") if section is None else
                         Text("case %s.%s:\n" % (enum, section[0]), "case %s:\n" % section[0],
                              "case %s.%s:\n" % (enum, section[0])))
                out.append(pad + label)
                out.append(indent(depth + 1) + Text(total) + " " + rng.choice(["+=", "-=", "^="]) + " " +
                           method.expr(2, 4) + ";\n")
                if rng.random() < 0.4:
                    out.append(indent(depth + 1) + Text("tone = %s.%s;\n" % (enum, rng.choice(self.tones))))
                last = n == len(sections) - 1
                # The last section of a korvo or Java switch needs no break; C# asks for one.
                out.append(Text("", "", indent(depth + 1) + "break;\n") if last else
                           indent(depth + 1) + Text("break;\n"))
            out.append(pad + Text("}\n"))
        elif kind == "try":
            fault = "Fault%d" % k
            out.append(pad + Text("try {\n"))
            out.append(indent(depth + 1) + Text("check%d(" % k) + method.small() + ");\n")
            self.block(method, depth + 1, out, total, nesting)
            name = method.fresh("fault")
            out.append(pad + Text("} catch (%s %s) {\n" % (fault, name)))
            out.append(indent(depth + 1) + Text("%s -= %s.code;\n" % (total, name)))
            if rng.random() < 0.6:
                out.append(pad + Text("} finally {\n"))
                out.append(indent(depth + 1) + Text(rng.choice(self.fields)) + " += " + method.small() + ";\n")
            out.append(pad + Text("}\n"))

    def call(self, method, helper):
        args = [method.expr(1, 3) for _ in range(5)] + [Text(method.pick(method.strings))]
        return Text("this.help%d_%d(" % (self.k, helper)) + join(args, ", ") + ")"

    def throws(self):
        return Text(" throws Fault%d" % self.k, " throws Fault%d" % self.k, "")

    def write(self, out, previous):
        rng, k = self.rng, self.k
        fields = self.fields
        iface, enum, fault, base, derived = ("Shape%d" % k, "Tone%d" % k, "Fault%d" % k, "Common%d" % k,
                                             "Special%d" % k)
        six = lambda names: join([Text("int " + n) for n in names] + [STRING + " label"], ", ")
        # The interface and the enum.
        out.append(Text("interface %s {\n" % iface))
        out.append(Text("    int measure%d(int a, int b, int c, int d, int e, " % k) + STRING + " s);\n")
        out.append(Text("    ") + STRING + Text(" describe%d(int x);\n" % k))
        out.append(Text("};\n\n", "}\n\n", "}\n\n"))
        items = ", ".join(self.tones)
        out.append(Text("enum %s { %s };\n\n" % (enum, items), *["enum %s { %s }\n\n" % (enum, items)] * 2))
        out.append(Text("class %s : Exception {\n" % fault, "class %s extends Exception {\n" % fault) +
                   Text("    public int code;\n") +
                   Text("    public %s(int c) { code = c; }\n" % fault) + Text("};\n\n", "}\n\n", "}\n\n"))
        # The base class.
        out.append(Text("class %s : %s {\n" % (base, iface), "class %s implements %s {\n" % (base, iface)))
        for name in fields:
            out.append(Text("    protected int %s = %d;\n" % (name, rng.randint(0, 99))))
        out.append(Text("    protected ") + LIST + " names = " + NEW_LIST + ";\n")
        out.append(Text("    protected ") + MAP + " seen = " + NEW_MAP + ";\n")
        out.append(Text("    protected %s tone = %s.%s;\n\n" % (enum, enum, self.tones[0])))
        out.append(Text("    public %s(int seed, " % base) + STRING + " tag) {\n")
        ctor = Method(rng, ["seed"], ["tag"])
        for name in fields:
            out.append(Text("        %s = " % name) + ctor.expr(1, 3) + ";\n")
        out.append(Text("        names.add(tag);\n", "        names.add(tag);\n", "        names.Add(tag);\n"))
        out.append(Text("    }\n\n"))
        virtual = Text("public ", "public ", "public virtual ")
        override = Text(" override", "", "")
        out.append(Text("    ") + virtual + Text("int measure%d(int a, int b, int c, int d, int e, " % k) + STRING +
                   " s)" + override + " {\n")
        method = Method(rng, ["a", "b", "c", "d", "e"] + fields, ["s"])
        self.body(method, 2, rng.randint(4, 7), out, lambda total: total + " + " + self.call(method, 0))
        out.append(Text("    }\n\n"))
        out.append(Text("    ") + virtual + STRING + Text(" describe%d(int x)" % k) + override + " {\n")
        method = Method(rng, ["x"] + fields, [])
        out.append(Text("        ") + STRING + Text(" tag%d = " % k) + method.concatenation() + ";\n")
        method.declare("tag%d" % k, str)
        out.append(Text("        return tag%d + " % k) + method.concatenation() + ";\n")
        out.append(Text("    }\n\n"))
        for h in range(self.helpers):
            params = self.params(rng)
            out.append(Text("    public int help%d_%d(" % (k, h)) + six(params) + ") {\n")
            method = Method(rng, params + fields, ["label"])
            if h + 1 < self.helpers:
                finish = lambda total, h=h, method=method: total + " + " + self.call(method, h + 1)
            elif previous is not None:
                def finish(total, method=method, p=previous.k):
                    out.append(Text("        Shape%d other = new Special%d(" % (p, p)) + method.small() + ", label);\n")
                    return (total + Text(" + other.measure%d(" % p) + join([method.small() for _ in range(5)], ", ") +
                            ", label) + other.describe%d(" % p + method.small() +
                            Text(").length()", None, ").Length"))
            else:
                finish = lambda total: Text(total)
            self.body(method, 2, rng.randint(3, 6), out, finish)
            out.append(Text("    }\n\n"))
        out.append(Text("    public void check%d(int v)" % k) + self.throws() +
                   Text(" { if (v > %d) throw new %s(v); }\n" % (rng.randint(10, 5000), fault)))
        out.append(Text("};\n\n", "}\n\n", "}\n\n"))
        # The derived class.
        out.append(Text("class %s : %s {\n" % (derived, base), "class %s extends %s {\n" % (derived, base)))
        out.append(Text("    public %s(int seed, " % derived) + STRING +
                   Text(" tag) { super(seed, tag); }\n", " tag) { super(seed, tag); }\n", " tag) : base(seed, tag) { }\n"))
        out.append(Text("    public ", "public ", "public override ") + Text("int measure%d(int a, int b, int c, int d, int e, " % k) +
                   STRING + " s)" + override + " {\n")
        method = Method(rng, ["a", "b", "c", "d", "e"] + fields, ["s"])
        sup = Text("super", "super", "base")
        self.body(method, 2, rng.randint(2, 4), out, lambda total: total + " + " + sup +
                  (".measure%d(" % k) + join([method.small() for _ in range(5)], ", ") + ", s)")
        out.append(Text("    }\n\n"))
        out.append(Text("    public ", "public ", "public override ") + STRING + Text(" describe%d(int x)" % k) +
                   override + " {\n")
        method = Method(rng, ["x"] + fields, [])
        out.append(Text("        ") + STRING + " prefix = " + sup + ".describe%d(" % k + method.small() + ");\n")
        method.declare("prefix", str)
        out.append(Text("        return prefix + ") + method.concatenation() + ";\n")
        out.append(Text("    }\n"))
        out.append(Text("};\n\n", "}\n\n", "}\n\n"))


HEADERS = {
    "korvo": "",
    "java": "import java.util.ArrayList;\nimport java.util.HashMap;\nimport java.util.List;\n\n",
    "cs": "using System;\nusing System.Collections.Generic;\n\n",
}


def generate(lines, seed=1):
    """The program of about `lines` lines in each language: {language: text}."""
    rng = random.Random(seed)
    out = []
    written = 0
    previous = None
    k = 0
    while True:
        family = Family(rng, k)
        start = len(out)
        family.write(out, previous)
        written += sum(piece.words["korvo"].count("\n") for piece in out[start:])
        previous = family
        k += 1
        if written + 8 >= lines:
            break
    last = previous.k
    out.append(Text("class Entry {\n"))
    out.append(Text("    public static int main(String[] args) {\n", "    public static void main(String[] args) {\n",
                    "    public static int Main(string[] args) {\n"))
    out.append(Text("        Shape%d shape = new Special%d(3, args[0]);\n" % (last, last)))
    out.append(Text("        int r = shape.measure%d(1, 2, 3, 4, 5, args[0]) + shape.describe%d(7).length();\n" %
                    (last, last),
                    "        int r = shape.measure%d(1, 2, 3, 4, 5, args[0]) + shape.describe%d(7).length();\n" %
                    (last, last),
                    "        int r = shape.measure%d(1, 2, 3, 4, 5, args[0]) + shape.describe%d(7).Length;\n" %
                    (last, last)))
    out.append(Text("        return r;\n", "        System.exit(r);\n", "        return r;\n"))
    out.append(Text("    }\n};\n", "    }\n}\n", "    }\n}\n"))
    return {lang: HEADERS[lang] + "".join(piece.words[lang] for piece in out) for lang in LANGUAGES}


def main():
    parser = argparse.ArgumentParser(description=__doc__, formatter_class=argparse.RawDescriptionHelpFormatter)
    parser.add_argument("language", choices=LANGUAGES)
    parser.add_argument("lines", type=int)
    parser.add_argument("--seed", type=int, default=1)
    args = parser.parse_args()
    sys.stdout.write(generate(args.lines, args.seed)[args.language])
    return 0


if __name__ == "__main__":
    sys.exit(main())
