#!/usr/bin/env python3
"""Runs a compiled program image: reads the file korvo wrote and executes the
part of the instruction set whole-program tests use (integer, long, bool and
double arithmetic, moves, compares and jumps, switch tables, JLOOP, calls of
source methods, fields, arrays, throw/catch/finally). Any other opcode stops the run with a
message naming it.

    image_eval.py IMAGE [--trace]
prints "result: N" (the value main returned) or "throw: CLASS" (an exception
nobody caught) and exits 0; a program the evaluator cannot run exits 2 with
"eval error: ...".

Conventions the images leave to the machine that runs them, as taken here:
binary operators leave their result in eax and keep their operands; compound
forms store into their first operand and leave the new value in eax; a call
moves its argument count of pushed values into the callee's first stack
slots; pushar saves the four registers and popar restores them (argument
code runs between them, `new` keeps its object in eax across it); alloc runs
the class's instance code, whose `ret this` gives `this` back; a catch
handler finds the caught object in the first slot it reads that the function
had not touched before the handler (the catch variable), and in the
exception register.
"""
import argparse
import lzma
import os
import re
import struct
import sys

HERE = os.path.dirname(os.path.abspath(__file__))
OPCODES_DEF = os.path.join(HERE, "..", "..", "model", "opcodes.def")


class EvalError(Exception):
    pass


class Thrown(Exception):
    def __init__(self, obj):
        super().__init__(obj)
        self.obj = obj


def load_opcodes():
    table = {}
    for number, name, shape in re.findall(r'^OPCODE\((\d+), (\w+), "[^"]*", (\w+)\)', open(OPCODES_DEF).read(), re.M):
        table[int(number)] = (name, None if shape == "RECORD" else int(shape))
    return table


OPCODES = load_opcodes()
# Type codes of operands: 1 byte, 2 char, 3 short, 4 int, 5 long, 6 float, 7 double, 8 bool;
# byte and char are unsigned.
NUMERIC = {1, 2, 3, 4, 5, 6, 7}
# Built-in class numbers (a cast's target) to type codes: bool, byte, char,
# short, int, long, float, double.
SYSCLASS_TYPE = {1: 8, 2: 1, 3: 2, 4: 3, 5: 4, 6: 5, 7: 6, 8: 7}
UNSET = object()
INT_OPS = {"add": lambda x, y: x + y, "sub": lambda x, y: x - y, "mul": lambda x, y: x * y,
           "shl": lambda x, y: x << y, "shr": lambda x, y: x >> y, "and": lambda x, y: x & y,
           "or": lambda x, y: x | y, "xor": lambda x, y: x ^ y}


def wrap(value, bits):
    value &= (1 << bits) - 1
    return value - (1 << bits) if value >> (bits - 1) else value


def convert(value, dtype):
    """The value as the operand's data type reads it."""
    if value is UNSET:
        raise EvalError("read of a slot never written")
    if dtype in (6, 7):
        if isinstance(value, (int, float)):
            return float(value) if dtype == 7 else struct.unpack("<f", struct.pack("<f", float(value)))[0]
    elif dtype in (1, 2, 3, 4, 5, 8):
        if isinstance(value, float):
            value = int(value)  # truncation toward zero
        if isinstance(value, int):
            value = int(value)
            if dtype == 8:
                return 1 if value else 0
            if dtype in (1, 2):  # byte and char are unsigned
                return value & (0xFF if dtype == 1 else 0xFFFF)
            return wrap(value, {3: 16, 4: 32, 5: 64}[dtype])
    return value


class Obj:
    def __init__(self, klass, nfields):
        self.klass = klass
        self.fields = [UNSET] * nfields

    def __repr__(self):
        return "an object of class %s" % self.klass.name


class Arr:
    def __init__(self, items):
        self.items = items

    def __repr__(self):
        return "an array of %d" % len(self.items)


class Klass:
    def __init__(self, name, base, dynamic, static, nfields):
        self.name, self.base, self.dynamic, self.static, self.nfields = name, base, dynamic, static, nfields


class Frame:
    def __init__(self, code, args, ret):
        self.code, self.slots, self.nargs, self.ret = code, list(args), len(args), ret


class Image:
    def __init__(self, data):
        if data[:4] != b"KB! ":
            raise EvalError("not a program image")
        if struct.unpack_from("<Q", data, 28)[0] & 1:
            raw = struct.unpack_from("<Q", data, 72)[0]
            data = data[:136] + lzma.decompress(data[136 + raw:], format=lzma.FORMAT_ALONE)
        self.data = data
        self.cache = {}
        self.classes = None

    def u32(self, at):
        return struct.unpack_from("<I", self.data, at)[0]

    def decode(self, at):
        """(opcode name, operands [(kind, dtype, value)], next position)."""
        if at in self.cache:
            return self.cache[at]
        if not 0 <= at <= len(self.data) - 4:
            raise EvalError("jump outside the image: %d" % at)
        number = self.u32(at)
        name, count = OPCODES.get(number, ("opcode %d" % number, None))
        if count is None:
            raise EvalError("%s at 0x%X is outside the evaluated subset" % (name, at))
        operands = []
        for i in range(count):
            word, value = struct.unpack_from("<Iq", self.data, at + 4 + 12 * i)
            operands.append((word & 0xFFFFFF, word >> 24, value))
        self.cache[at] = result = (name, operands, at + 4 + 12 * count)
        return result

    def text_ref(self, field):
        rel, length = struct.unpack_from("<qI", self.data, field)
        start = field + rel - 12
        return self.data[start:start + length].decode("utf-8", "replace")

    def resource_text(self, at):
        length = struct.unpack_from("<q", self.data, at + 20)[0]
        return self.data[at + 28:at + 28 + length].decode("utf-8", "replace")

    def container(self, at):
        """(kind, [(tag, body position)], end) of a member container."""
        kind, count = struct.unpack_from("<II", self.data, at)
        entries, at = [], at + 8
        for _ in range(count):
            tag = self.u32(at)
            body = at + 32
            size = 32
            if tag == 23:
                size = 64 if self.u32(body) != 3 else 96
            entries.append((tag, body))
            at = body + size
        return kind, entries, at

    def find_classes(self):
        """Class records by the code address their first operand names."""
        self.classes = {}
        for match in re.finditer(re.escape(struct.pack("<I", 154)), self.data):
            at = match.start()
            try:
                words = [struct.unpack_from("<Iq", self.data, at + 4 + 12 * i) for i in range(9)]
                if words[2][0] & 0xFFFFFF != 30 or words[6][0] & 0xFFFFFF != 30:
                    continue
                tables, pos = [], at + 116
                for want in (16, 34, 14, 15, 13):
                    kind, entries, pos = self.container(pos)
                    if kind != want:
                        raise ValueError
                    tables.append(entries)
            except (struct.error, ValueError):
                continue
            end = pos
            holder = end + words[0][1]
            base_kind, base_value = words[5][0] & 0xFFFFFF, words[5][1]
            base = ("sys", base_value) if base_kind == 31 else (end + base_value if base_kind in (19, 39) else None)
            name = self.resource_text(end + words[2][1])
            instance = end + words[3][1] if words[3][0] & 0xFFFFFF == 19 and words[3][1] != 0 else None
            klass = Klass(name, base, [b for _, b in tables[0]], [b for _, b in tables[1]], len(tables[2]))
            klass.instance, klass.holder = instance, holder
            self.classes[holder] = klass

    def klass(self, holder):
        if self.classes is None:
            self.find_classes()
        if holder not in self.classes:
            raise EvalError("no class record for the class at 0x%X" % holder)
        return self.classes[holder]


class Machine:
    STEP_LIMIT = 20_000_000

    def __init__(self, image, trace=False):
        self.img = image
        self.trace = trace
        self.regs = [0, 0, 0, 0]
        self.special = {"exc": None}
        self.stack = []
        self.this = None
        self.this_stack = []
        self.saved_regs = []  # pushar .. popar
        self.frames = []
        self.flags = 0
        self.statics = {}
        self.seh = []          # installed protected regions
        self.pending_catch = []  # mapseh entries waiting for their inst seh
        self.exit_code = 0
        self.finally_stack = []
        self.loops = {}
        self.pc = 192
        self.result = None

    # Operands -------------------------------------------------------------
    def field_object(self):
        if not isinstance(self.this, Obj):
            raise EvalError("field of `this` without an object")
        return self.this

    def read(self, op, next_pc):
        kind, dtype, value = op
        if 1 <= kind <= 8:
            if kind == 7:
                return struct.unpack("<d", struct.pack("<q", value))[0]
            if kind == 6:
                return struct.unpack("<f", struct.pack("<I", value & 0xFFFFFFFF))[0]
            return convert(value, kind if kind != 8 else 8)
        if kind == 0 and dtype == 11:
            return None  # nilptr
        if kind == 12:
            # The object `this` names, counted outward from the method (0 the
            # method's own object, 1 its class); enclosing objects are not run.
            if value > 1:
                raise EvalError("the object %d steps out of `this` is outside the evaluated subset" % value)
            return self.field_object()
        box, key = self.cell(op, next_pc)
        if box[key] is UNSET:
            where = {9: "stack[%d]", 14: "field %d of this", 21: "register %d"}
            raise EvalError("read of %s before any store" % (where.get(kind, "address 0x%X") % (
                value if kind in where else next_pc + value)))
        return convert(box[key], dtype)

    def read_index(self, op, next_pc):
        return self.read((op[0], 4, op[2]), next_pc)

    def cell(self, op, next_pc):
        """(container, key) of a writable operand."""
        kind, dtype, value = op
        if kind == 9:
            frame = self.frames[-1]
            if value >= len(frame.slots):
                raise EvalError("stack[%d] outside the frame of %d slots" % (value, len(frame.slots)))
            return frame.slots, value
        if kind == 21:
            return self.regs, value
        if kind == 14:
            obj = self.field_object()
            return obj.fields, value
        if kind in (19, 39):
            where = next_pc + value
            if not 192 <= where < len(self.img.data):
                raise EvalError("operand names 0x%X, outside the image" % (where & 0xFFFFFFFFFFFFFFFF))
            self.statics.setdefault(where, UNSET)
            return self.statics, where
        if kind == 20:
            return self.special, "exc"
        raise EvalError("operand kind %d is outside the evaluated subset" % kind)

    def write(self, op, value, next_pc):
        box, key = self.cell(op, next_pc)
        box[key] = convert(value, op[1]) if op[1] in (1, 2, 3, 4, 5, 6, 7, 8) else value

    def member_cell(self, obj, field_op):
        if obj is None:
            raise Thrown(("sys", "NullPointerException"))
        if not isinstance(obj, Obj):
            raise EvalError("field access on %r" % (obj,))
        if field_op[0] != 14:
            raise EvalError("member operand of kind %d" % field_op[0])
        return obj.fields, field_op[2]

    def element_cell(self, arr, index):
        if arr is None:
            raise Thrown(("sys", "NullPointerException"))
        if not isinstance(arr, Arr):
            raise EvalError("element of %r" % (arr,))
        if not 0 <= index < len(arr.items):
            raise Thrown(("sys", "IndexOutOfBoundsException"))
        return arr.items, index

    # Arithmetic -----------------------------------------------------------
    @staticmethod
    def result_type(a, b):
        """The type of a binary result: the wider operand, at least int."""
        if a in NUMERIC and b in NUMERIC:
            return max(a, b, 4)
        return a if a in NUMERIC else b if b in NUMERIC else a or b

    @staticmethod
    def arith(name, x, y, dtype):
        if name in ("div", "mod") and dtype not in (6, 7) and y == 0:
            raise Thrown(("sys", "DivByZeroException"))
        if dtype in (6, 7):
            x, y = float(x), float(y)
            ops = {"add": x + y, "sub": x - y, "mul": x * y}
            if name in ops:
                return ops[name]
            if name == "div":
                if y == 0:
                    raise EvalError("double division by zero")
                return x / y
            raise EvalError("%s on doubles" % name)
        bits = 64 if dtype == 5 else 32
        if name in ("shl", "shr"):
            y &= bits - 1
        if name == "div":
            q = abs(x) // abs(y)
            return q if (x < 0) == (y < 0) else -q
        if name == "mod":
            r = abs(x) % abs(y)
            return r if x >= 0 else -r
        return INT_OPS[name](x, y)

    # Control --------------------------------------------------------------
    def call(self, target_op, nargs, at, next_pc):
        kind, _, value = target_op
        if kind in (19, 37, 39):
            record = next_pc + value
        elif kind in (16, 34):
            klass = self.klass_of(self.this)
            table = klass.dynamic if kind == 16 else klass.static
            slot = value & 0xFFFFFFFF
            if slot >= len(table):
                raise EvalError("method slot %d of %s" % (slot, klass.name))
            record = table[slot]
        else:
            raise EvalError("call through operand kind %d" % kind)
        args = self.stack[len(self.stack) - nargs:] if nargs else []
        del self.stack[len(self.stack) - nargs:]
        number = self.img.u32(record)
        if number == 2:  # a catalogue method
            link = self.img.text_ref(record - 16)
            # A parameterless catalogue constructor sets nothing up that the
            # subset reads; the object being made stays where it was (eax
            # after a default construction, `this` inside a constructor).
            if re.fullmatch(r"/(\w+)@/\1/\1\(\)", link):
                return next_pc
            raise EvalError("call of the catalogue method %s" % link)
        # A function's record is a jmp to its code; a base class's instance
        # code is called at its first instruction.
        name, ops, after = self.img.decode(record)
        code = after + ops[0][2] if name == "Jmp" and ops[0][0] == 19 else record
        self.frames.append(Frame(code, args, next_pc))
        if len(self.frames) > 2000:
            raise EvalError("call depth above 2000")
        return code

    def klass_of(self, obj):
        if not isinstance(obj, Obj):
            raise EvalError("virtual call without an object")
        return obj.klass

    def derives(self, klass, want):
        while klass is not None:
            if want == ("holder", klass.holder):
                return True
            base = klass.base
            if isinstance(base, tuple):
                return want == base
            klass = self.img.klass(base) if base is not None else None
        return False

    def throw(self, obj):
        """Unwinds to the innermost region that takes obj; returns the next pc."""
        while self.seh:
            region = self.seh[-1]
            while len(self.frames) > region["frames"]:
                self.frames.pop()
            del self.stack[region["stack"]:]
            del self.this_stack[region["this"]:]
            del self.saved_regs[region["saved"]:]
            self.this = region["self"]
            del self.finally_stack[region["finally"]:]
            if not region["handling"]:
                for want, handler in region["catches"]:
                    if isinstance(obj, Obj) and self.derives(obj.klass, want):
                        region["handling"] = True
                        self.special["exc"] = obj
                        self.store_catch_variable(handler, obj)
                        return handler
            self.seh.pop()
            if region["finally_pc"] is not None:
                self.stack.append(self.regs[0])
                self.finally_stack.append(("throw", obj, self.exit_code))
                return region["finally_pc"]
        raise Thrown(obj)

    def store_catch_variable(self, handler, obj):
        frame = self.frames[-1]
        touched, at = set(), frame.code
        while at < handler:
            _, ops, at = self.img.decode(at)
            touched.update(v for k, _, v in ops if k == 9)
        written, at = set(), handler
        for _ in range(64):
            name, ops, nxt = self.img.decode(at)
            for index, (k, _, v) in enumerate(ops):
                if k != 9 or v in written or v in touched or v < frame.nargs:
                    continue
                if index == 0 and name.startswith("Mov") and not name.startswith(("MovElem", "MovProp")):
                    written.add(v)
                    continue
                while len(frame.slots) <= v:
                    frame.slots.append(UNSET)
                frame.slots[v] = obj
                return
            if name in ("Jmp", "Ret", "RetDelesp", "Throw"):
                return
            at = nxt

    # The loop ---------------------------------------------------------------
    def run(self):
        steps = 0
        while self.result is None:
            steps += 1
            if steps > self.STEP_LIMIT:
                raise EvalError("step limit reached (a loop that does not end?)")
            at = self.pc
            name, ops, next_pc = self.img.decode(at)
            if self.trace:
                print("0x%06X %-14s %s" % (at, name, ops), file=sys.stderr)
            handler = HANDLERS.get(name)
            if handler is None:
                raise EvalError("%s at 0x%X is outside the evaluated subset" % (name, at))
            try:
                self.pc = handler(self, ops, at, next_pc)
            except Thrown as thrown:
                self.pc = self.throw(thrown.obj)
            except (TypeError, ValueError, IndexError, KeyError, AttributeError, struct.error) as error:
                raise EvalError("%s at 0x%X: %s: %s" % (name, at, type(error).__name__, error)) from None
        return self.result


def binary(name):
    def op(m, ops, at, nxt):
        dtype = m.result_type(ops[0][1], ops[1][1])
        m.regs[0] = convert(m.arith(name, m.read(ops[0], nxt), m.read(ops[1], nxt), dtype), dtype)
        return nxt
    return op


def compound(name):
    def op(m, ops, at, nxt):
        dtype = ops[0][1]
        value = convert(m.arith(name, m.read(ops[0], nxt), m.read(ops[1], nxt), m.result_type(dtype, ops[1][1])), dtype)
        m.write(ops[0], value, nxt)
        m.regs[0] = value
        return nxt
    return op


def move(m, ops, at, nxt):
    m.write(ops[0], m.read(ops[1], nxt), nxt)
    m.regs[0] = m.read(ops[0], nxt)
    return nxt


def step(delta, prefix):
    def op(m, ops, at, nxt):
        old = m.read(ops[0], nxt)
        m.write(ops[0], old + delta, nxt)
        m.regs[0] = m.read(ops[0], nxt) if prefix else old
        return nxt
    return op


def store_in(box, key, value, dtype, op_name):
    old = box[key]
    if op_name is None:
        new = value
    else:
        if old is UNSET:
            raise EvalError("compound store into a slot never written")
        new = Machine.arith(op_name, old, value, Machine.result_type(dtype, dtype))
    box[key] = convert(new, dtype) if dtype in (1, 2, 3, 4, 5, 6, 7, 8) else new
    return box[key]


def element(op_name, stepper=None):
    def op(m, ops, at, nxt):
        box, key = m.element_cell(m.read(ops[0], nxt), m.read_index(ops[1], nxt))
        dtype = ops[1][1] if ops[1][1] != 11 else None
        if stepper is not None:
            old = box[key]
            box[key] = convert(old + stepper[0], dtype) if dtype else old + stepper[0]
            m.regs[0] = box[key] if stepper[1] else old
        else:
            value = m.read(ops[2], nxt)
            m.regs[0] = store_in(box, key, value, dtype or ops[2][1], op_name)
        return nxt
    return op


def prop(op_name, stepper=None):
    def op(m, ops, at, nxt):
        box, key = m.member_cell(m.read(ops[0], nxt), ops[1])
        dtype = ops[1][1]
        if stepper is not None:
            old = box[key]
            box[key] = convert(old + stepper[0], dtype)
            result = box[key] if stepper[1] else old
        else:
            result = store_in(box, key, m.read(ops[3], nxt), dtype, op_name)
        m.write(ops[2], result, nxt)
        return nxt
    return op


def jump_if(test):
    def op(m, ops, at, nxt):
        return nxt + ops[0][2] if test(m.flags) else nxt
    return op


def op_cmp(m, ops, at, nxt):
    a, b = m.read(ops[0], nxt), m.read(ops[1], nxt)
    if isinstance(a, (int, float)) and isinstance(b, (int, float)):
        m.flags = (a > b) - (a < b)
    else:
        m.flags = 0 if a is b else 1
    return nxt


def op_push(m, ops, at, nxt):
    kind = ops[0][0]
    if kind == 23 or kind == 31:
        m.stack.append(("type", kind, ops[0][2]))
    elif kind in (19, 39) and ops[0][1] == 0:
        m.stack.append(("class", nxt + ops[0][2]))
    else:
        m.stack.append(m.read(ops[0], nxt))
    return nxt


def op_pop(m, ops, at, nxt):
    if not m.stack:
        raise EvalError("pop from an empty stack")
    m.write(ops[0], m.stack.pop(), nxt)
    return nxt


def op_call(m, ops, at, nxt):
    return m.call(ops[0], ops[1][2], at, nxt)


def op_ret(m, ops, at, nxt):
    frame = m.frames.pop()
    if frame.ret is None:
        if not isinstance(m.regs[0], int):
            raise EvalError("main returned %s, not an int" % (m.regs[0],))
        m.result = ("result", convert(m.regs[0], 4))
        return nxt
    return frame.ret


def op_ret_this(m, ops, at, nxt):
    """The end of instance code: this goes back to what it was before the code."""
    m.regs[0] = m.this
    m.this = m.this_stack.pop()
    return op_ret(m, ops, at, nxt)


def op_push_this(m, ops, at, nxt):
    m.this_stack.append(m.this)
    return nxt


def op_allocesp(m, ops, at, nxt):
    frame = m.frames[-1]
    frame.slots.extend([UNSET] * (ops[0][2] - len(frame.slots)))
    return nxt


def op_pushload_this(m, ops, at, nxt):
    m.this_stack.append(m.this)
    kind = ops[0][0]
    m.this = ("class", nxt + ops[0][2]) if kind in (19, 39) else m.read(ops[0], nxt)
    return nxt


def op_pop_this(m, ops, at, nxt):
    m.this = m.this_stack.pop()
    return nxt


def op_this_to_eax(m, ops, at, nxt):
    m.regs[0] = m.this
    return nxt


def op_alloc(m, ops, at, nxt):
    kind, _, value = ops[0]
    if kind == 31:
        raise EvalError("new of the catalogue class %d" % value)
    klass = m.img.klass(nxt + value)
    obj = Obj(klass, klass.nfields)
    m.regs[0] = obj
    if klass.instance is None:
        return nxt
    m.this_stack.append(m.this)
    m.this = obj
    m.frames.append(Frame(klass.instance, [], nxt))
    return klass.instance


def op_alloc_array(m, ops, at, nxt):
    """Pushed before it: the element class, its type id, then one size per
    dimension; every dimension is made."""
    sizes = []
    while m.stack and not (isinstance(m.stack[-1], tuple) and m.stack[-1][:2] == ("type", 23)):
        sizes.insert(0, m.stack.pop())
    if not m.stack or not sizes:
        raise EvalError("alloc array without its type id and sizes")
    code = m.stack.pop()[2]
    m.stack.pop()  # the element class
    default = 0.0 if code in (6, 7) else 0 if code in (1, 2, 3, 4, 5, 8) else None

    def make(level):
        size = sizes[level]
        if not isinstance(size, int) or size < 0:
            raise EvalError("array size %r" % (size,))
        return Arr([make(level + 1) if level + 1 < len(sizes) else default for _ in range(size)])
    m.regs[0] = make(0)
    if ops:  # alloc array N: the N values pushed before the class are the first elements
        count = ops[0][2]
        values = m.stack[len(m.stack) - count:] if count else []
        del m.stack[len(m.stack) - count:]
        if count > len(m.regs[0].items):
            raise EvalError("%d initial values for %d elements" % (count, len(m.regs[0].items)))
        m.regs[0].items[:count] = [convert(v, code) for v in values]
    return nxt


# Layouts of the element values an array initialiser's resource holds, by type id.
ELEMENT_FORMATS = {1: "B", 2: "H", 3: "h", 4: "i", 5: "q", 6: "f", 7: "d", 8: "?"}


def op_initarray(m, ops, at, nxt):
    code, size = ops[0][2], ops[1][2]
    if ops[0][0] != 23 or code not in ELEMENT_FORMATS or ops[2][0] != 30:
        raise EvalError("initarray of type id %d (operand kinds %d, %d)" % (code, ops[0][0], ops[2][0]))
    resource = nxt + ops[2][2]
    payload = m.img.data[resource + 28:resource + 28 + size]
    fmt = ELEMENT_FORMATS[code]
    values = [v for (v,) in struct.iter_unpack("<" + fmt, payload)]
    m.regs[0] = Arr([int(v) if fmt == "?" else v for v in values])
    return nxt


def op_load_element(m, ops, at, nxt):
    box, key = m.element_cell(m.read(ops[0], nxt), m.read_index(ops[1], nxt))
    m.regs[0] = box[key]
    return nxt


def op_member(m, ops, at, nxt):
    box, key = m.member_cell(m.read(ops[0], nxt), ops[1])
    if box[key] is UNSET:
        raise EvalError("read of field %d of a %s before any store" % (key, m.read(ops[0], nxt).klass.name))
    m.write(ops[2], convert(box[key], ops[1][1]), nxt)
    return nxt


def op_cast(m, ops, at, nxt):
    kind, _, value = ops[0]
    if kind != 31 or value not in SYSCLASS_TYPE:
        raise EvalError("cast to a class (operand kind %d)" % kind)
    m.regs[0] = convert(m.read(ops[1], nxt), SYSCLASS_TYPE[value])
    return nxt


def op_complement(m, ops, at, nxt):
    """`~` compiles to not, `!` to cpl: both flip a bool, complement an integer."""
    value = m.read(ops[0], nxt)
    m.regs[0] = (0 if value else 1) if ops[0][1] == 8 else convert(~value, m.result_type(ops[0][1], ops[0][1]))
    return nxt


def op_entry(m, ops, at, nxt):
    m.stack.append(None)  # main's String[] args
    target = m.call((19, 0, ops[0][2]), 1, at, nxt)
    m.frames[-1].ret = None
    return target


def op_exit(m, ops, at, nxt):
    raise EvalError("program ended without returning from main")


def op_throw(m, ops, at, nxt):
    raise Thrown(m.read(ops[0], nxt))


def op_mapseh(m, ops, at, nxt):
    kind, _, value = ops[0]
    want = ("sys", value) if kind == 31 else ("holder", nxt + value)
    m.pending_catch.append((want, nxt + ops[1][2]))
    return nxt


def op_inst_seh(m, ops, at, nxt):
    count = ops[0][2]
    catches = m.pending_catch[len(m.pending_catch) - count:] if count else []
    del m.pending_catch[len(m.pending_catch) - count:]
    finally_pc = nxt + ops[1][2] if ops[1][0] in (19, 39) else None
    m.seh.append({"catches": catches, "finally_pc": finally_pc, "handling": False, "frames": len(m.frames),
                  "stack": len(m.stack), "this": len(m.this_stack), "saved": len(m.saved_regs), "self": m.this,
                  "finally": len(m.finally_stack)})
    return nxt


def op_uist_seh(m, ops, at, nxt):
    if not m.seh or m.seh[-1]["frames"] != len(m.frames):
        raise EvalError("uist seh without its region")
    region = m.seh.pop()
    m.exit_code = ops[0][2]
    if region["finally_pc"] is not None:
        m.stack.append(m.regs[0])
        m.finally_stack.append(("resume", nxt, m.exit_code))
        return region["finally_pc"]
    return nxt


def op_exit_finally(m, ops, at, nxt):
    how, where, code = m.finally_stack.pop()
    m.regs[0] = m.stack.pop()
    m.exit_code = code
    if how == "throw":
        raise Thrown(where)
    return where


def op_jex(m, ops, at, nxt):
    return nxt + ops[1][2] if m.exit_code == ops[0][2] else nxt


def op_setef(m, ops, at, nxt):
    return nxt


def loop_holds(m, ops, nxt):
    a, b = m.read(ops[0], nxt), m.read(ops[1], nxt)
    return [a == b, a != b, a < b, a > b, a <= b, a >= b][ops[2][2]]


def op_jloop(m, ops, at, nxt):
    end = nxt + ops[5][2]
    m.loops[end] = (at, ops, nxt)
    return nxt if loop_holds(m, ops, nxt) else end


def loop_trailer(offset, action):
    def op(m, ops, at, nxt):
        end = at + offset
        if end not in m.loops:
            raise EvalError("loop trailer without its JLOOP")
        start, loop, body = m.loops[end]
        if action == "step":
            step(1 if loop[4][2] == 1 else -1, True)(m, [loop[3]], start, body)
            return body if loop_holds(m, loop, body) else end
        if action == "break":
            return end
        return body + loop[6][2]
    return op


def op_pushar(m, ops, at, nxt):
    m.saved_regs.append(list(m.regs))
    return nxt


def op_popar(m, ops, at, nxt):
    if not m.saved_regs:
        raise EvalError("popar without pushar")
    m.regs = m.saved_regs.pop()
    return nxt


def op_jump_table(m, ops, at, nxt):
    """Dense switch: the operand is the byte offset of a jmp in the table behind."""
    return nxt + (m.read(ops[0], nxt) if ops[0][0] != 19 else ops[0][2])


def op_lookup(m, ops, at, nxt):
    """Sparse switch: the cjmp entries behind hold the case values; none
    taken goes to the default at the third operand."""
    value = m.read(ops[0], nxt)
    entry = nxt
    for _ in range(ops[1][2]):
        name, case, after = m.img.decode(entry)
        if name != "Cjmp":
            raise EvalError("lookup at 0x%X without its cjmp entries" % at)
        if m.read(case[0], after) == value:
            return after + case[1][2]
        entry = after
    return nxt + ops[2][2]


def op_nop(m, ops, at, nxt):
    return nxt


HANDLERS = {
    "Cmp": op_cmp, "Jmp": lambda m, ops, at, nxt: nxt + ops[0][2],
    "Push": op_push, "PushDouble": op_push, "PushInt": op_push, "PushLong": op_push, "PushChar": op_push,
    "PushByte": op_push, "PushShort": op_push, "PushPtr": op_push, "PushFloat": op_push, "Pop": op_pop,
    "Pushar": op_pushar, "Popar": op_popar, "Checkesp": op_nop, "Checketp": op_nop,
    "Call": op_call, "Ret": op_ret, "RetDelesp": op_ret, "RetThis": op_ret_this, "Allocesp": op_allocesp,
    "PushloadThis": op_push_this, "PushloadThisOperand": op_pushload_this, "PushloadThisCall": op_pushload_this, "PopThis": op_pop_this,
    "ThisToEax": op_this_to_eax, "Alloc": op_alloc, "AllocArray": op_alloc_array, "AllocArrayN": op_alloc_array, "Initarray": op_initarray,
    "LoadElement": op_load_element, "Member": op_member, "Cast": op_cast, "Not": op_complement, "Cpl": op_complement,
    "Entry": op_entry, "Exit": op_exit, "Throw": op_throw, "Mapseh": op_mapseh, "InstSeh": op_inst_seh,
    "UistSeh": op_uist_seh, "ExitFinally": op_exit_finally, "Jex": op_jex, "Setef": op_setef,
    "JLoop": op_jloop, "JmpTable": op_jump_table, "Lookup": op_lookup, "Jspin": loop_trailer(16, "step"), "Jbreak": loop_trailer(12, "break"),
    "Jcontinue": loop_trailer(8, "step"), "Jret": loop_trailer(4, "return"),
    "Finc": step(1, True), "Fdec": step(-1, True), "Binc": step(1, False), "Bdec": step(-1, False),
}
for _names, _test in ((("Je", "Je92"), lambda f: f == 0), (("Jne", "Jne93"), lambda f: f != 0),
                      (("Jg", "Jg89"), lambda f: f > 0), (("Jng", "Jng91"), lambda f: f <= 0),
                      (("Jb", "Jb88"), lambda f: f < 0), (("Jnb", "Jnb90"), lambda f: f >= 0)):
    for _name in _names:
        HANDLERS[_name] = jump_if(_test)
for _op in ("Shl", "Shr", "Add", "Sub", "Mul", "Div", "Mod", "And", "Or", "Xor"):
    HANDLERS[_op] = binary(_op.lower())
    HANDLERS[_op + "m" if _op != "Xor" else "Xorm"] = compound(_op.lower())
for _name in ("Mov", "MovDouble", "MovInt", "MovLong", "MovChar", "MovBool", "MovShort", "MovByte", "MovString",
              "MovObject", "MovFloat", "Movbox"):
    HANDLERS[_name] = move
for _name in ("MovElem", "MovElemDouble", "MovElemInt", "MovElemLong", "MovElemChar", "MovElemBool",
              "MovElemShort", "MovElemByte", "MovElemString", "MovElemObject", "MovElemFloat", "MovElemBox"):
    HANDLERS[_name] = element(None)
for _name in ("MovProp", "MovPropf", "MovPropi", "MovPropl", "MovPropc", "MovPropb", "MovProps", "MovPropt",
              "MovPropa", "MovProp200", "MovPropsf", "MovPropBox"):
    HANDLERS[_name] = prop(None)
for _stem, _op in (("Shl", "shl"), ("Shr", "shr"), ("Add", "add"), ("Sub", "sub"), ("Mul", "mul"), ("Div", "div"),
                   ("Mod", "mod"), ("Bitand", "and"), ("Bitor", "or"), ("Bitxor", "xor")):
    HANDLERS[_stem + "Elem"] = element(_op)
    HANDLERS[_stem + "Prop"] = prop(_op)
for _stem, _delta in (("Finc", (1, True)), ("Fdec", (-1, True)), ("Binc", (1, False)), ("Bdec", (-1, False))):
    HANDLERS[_stem + "Elem"] = element(None, _delta)
    HANDLERS[_stem + "Prop"] = prop(None, _delta)


def evaluate(path, trace=False):
    """("result", n) or ("throw", class name)."""
    machine = Machine(Image(open(path, "rb").read()), trace)
    try:
        return machine.run()
    except Thrown as thrown:
        obj = thrown.obj
        return ("throw", obj.klass.name if isinstance(obj, Obj) else obj[1] if isinstance(obj, tuple) else repr(obj))


def main():
    parser = argparse.ArgumentParser(description=__doc__.split("\n\n")[0])
    parser.add_argument("image")
    parser.add_argument("--trace", action="store_true", help="print every instruction to stderr")
    args = parser.parse_args()
    try:
        how, value = evaluate(args.image, args.trace)
    except EvalError as error:
        print("eval error:", error)
        return 2
    print("%s: %s" % (how, value))
    return 0


if __name__ == "__main__":
    sys.exit(main())
