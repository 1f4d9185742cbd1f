#!/usr/bin/env python3
"""Runs a compiled program image: reads the file korvo wrote and executes the
part of the instruction set whole-program tests use (integer, long, bool and
double arithmetic, moves, compares and jumps, switch tables, the loop
instructions, calls of source methods and of `==`/`!=` operator methods,
fields, arrays, classes nested in classes and anonymous classes, casts,
throw/catch/finally with the exception classes of the runtime catalogue
(their constructors, with a message or without, and getMessage), String
values: literals, joining by `+`, length(), equality, compare() and
switches over Strings).
Any other opcode stops the run with a message naming it.

    image_eval.py IMAGE [--trace]
prints "result: N" (the value main returned) or "throw: CLASS" (an exception
nobody caught) and exits 0; a program the evaluator cannot run, or an image
that breaks a rule of the machine, exits 2 with "eval error: ..." naming the
instruction and its address.

Conventions the images leave to the machine that runs them, as taken here:
binary operators leave their result in eax and keep their operands; compound
forms store into their first operand and leave the new value in eax; a call
moves its argument count of pushed values into the callee's first stack
slots, and at its return the pushed values, saved registers, `this` loads and
open protected regions are as they were at the call; pushar saves the four
registers and popar restores them (argument code runs between them, `new`
keeps its object in eax across it); alloc runs the class's instance code,
whose `ret this` gives `this` back. A class member of a class (a nested
class) is a field of each instance that holds the class bound to that
instance; an anonymous class is bound to the frame that makes it. `this[n]`
is the object n steps out: an instance's enclosing instance, or the frame
that made it and then that frame's `this`. `closesure[n]` is slot n of the
frame that made `this`, as its makeclosesure (the first step of the object's
initialiser) found the frame's values. A catch handler finds the caught
object in the exception register and in its catch variable, the first local
of the handler's block: the slot after every slot declared before the handler.
The machine raises the catalogue's DivByZeroException,
IndexOutOfBoundsException, NullPointerException and ClassCastException as
objects a catch takes like thrown ones. A static read before its initialiser
has run reads the type's zero; main's args is an empty array. A String is a
value (equal texts are one String); of compare() only the sign is known, and
texts beyond ASCII, whose length the runtime counts its own way, are not run.
An element store converts by the type its index operand carries, which must
be the array's element type. An operand of a value type (byte to bool) holds
a number, and so does every operand of arithmetic, increments, compares of
loops and complements: anything else there stops the run. The message of an
exception the machine raises is the runtime's own, and a read of it stops.
"""
import argparse
import collections
import json
import lzma
import math
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
RUNTIME_MESSAGE = object()  # the message of an exception the machine raises
TYPE_NAMES = {1: "a byte", 2: "a char", 3: "a short", 4: "an int", 5: "a long", 6: "a float", 7: "a double",
              8: "a bool", 9: "a String", 11: "an object"}
VALUE_TYPES = (1, 2, 3, 4, 5, 6, 7, 8)
INT_OPS = {"add": lambda x, y: x + y, "sub": lambda x, y: x - y, "mul": lambda x, y: x * y,
           "shl": lambda x, y: x << y, "shr": lambda x, y: x >> y, "and": lambda x, y: x & y,
           "or": lambda x, y: x | y, "xor": lambda x, y: x ^ y}


def wrap(value, bits):
    value &= (1 << bits) - 1
    return value - (1 << bits) if value >> (bits - 1) else value


def convert(value, dtype, where="the value is"):
    """The value as the operand's data type reads it; a value type's operand
    takes numbers only (`where` names it in the stop)."""
    if value is UNSET:
        raise EvalError("read of a slot never written")
    if value is RUNTIME_MESSAGE:
        raise EvalError("%s %s, outside the evaluated subset" % (where, describe(value)))
    if dtype not in VALUE_TYPES:
        return value
    numeric(value, where, TYPE_NAMES[dtype])
    if dtype == 7:
        return float(value)
    if dtype == 6:
        try:
            return struct.unpack("<f", struct.pack("<f", float(value)))[0]
        except OverflowError:
            raise EvalError("%s %s, beyond every float: its rounding is outside the evaluated subset"
                            % (where, describe(value))) from None
    if isinstance(value, float):
        if not math.isfinite(value):
            raise EvalError("%s %s: its conversion to %s is outside the evaluated subset"
                            % (where, describe(value), TYPE_NAMES[dtype]))
        value = int(value)  # truncation toward zero
    value = int(value)
    if dtype == 8:
        return 1 if value else 0
    if dtype in (1, 2):  # byte and char are unsigned
        return value & (0xFF if dtype == 1 else 0xFFFF)
    return wrap(value, {3: 16, 4: 32, 5: 64}[dtype])


def numeric(value, where, wanted="a number"):
    """The value, which the instruction needs to be a number."""
    if isinstance(value, (int, float)):
        return value
    raise EvalError("%s %s, not %s" % (where, describe(value), wanted))


class Coded(int):
    """An integral or bool value as a push passes it, with the data type of
    the pushed operand: a parameter of any type (String's `+`) is given the
    value and its type, and a character reads otherwise than its code."""

    def __new__(cls, value, code):
        obj = super().__new__(cls, value)
        obj.code = code
        return obj


class Obj:
    def __init__(self, klass, nfields, outer=None):
        self.klass = klass
        self.fields = [UNSET] * nfields
        self.outer = outer  # the enclosing instance, or the Closure that made it

    def __repr__(self):
        return "an object of class %s" % self.klass.name


class Arr:
    def __init__(self, items, code):
        self.items = items
        self.code = code  # the element type: a type code, 11 for objects and arrays

    def __repr__(self):
        return "an array of %d" % len(self.items)


class Closure:
    """The frame that made an object of an anonymous class, with its `this`."""

    def __init__(self, frame, this):
        self.frame, self.this = frame, this


class ClassRef:
    """A class bound to what its instances are made inside of."""

    def __init__(self, klass, outer):
        self.klass, self.outer = klass, outer

    def __repr__(self):
        return "the class %s" % self.klass.name


def describe(value):
    """A value as a stop names it."""
    if value is None:
        return "nilptr"
    if value is UNSET:
        return "nothing"
    if value is RUNTIME_MESSAGE:
        return "the runtime's own message of an exception it raised"
    if isinstance(value, str):
        return "the String %s" % json.dumps(value, ensure_ascii=False)
    if isinstance(value, float):
        return "the double %r" % value
    if isinstance(value, int):
        return "the integer %d" % value
    if isinstance(value, Closure):
        return "the frame of a method"
    if isinstance(value, tuple):
        return {"class": "a class (a static call's `this`)", "type": "a type id",
                "addr": "a code address"}.get(value[0], repr(value))
    return repr(value)


class Klass:
    def __init__(self, name, base, ident, dynamic=(), static=(), nfields=0):
        self.name, self.base, self.ident = name, base, ident
        self.dynamic, self.static, self.nfields = list(dynamic), list(static), nfields
        self.instance = self.holder = None
        self.class_fields = []  # (field index, holder of the nested class)
        self.anonymous = []     # holders of the anonymous classes, by index


# The exception classes of the runtime catalogue: number -> (name, base number).
CATALOGUE_EXCEPTIONS = {
    20: ("Exception", None), 21: ("Error", 20), 22: ("IOException", 20), 23: ("InterruptedException", 20),
    24: ("RuntimeException", 20), 25: ("RuntimeError", 21), 26: ("DivByZeroException", 20),
    27: ("IndexOutOfBoundsException", 20), 28: ("ArrayStoreException", 20), 29: ("ClassCastException", 20),
    30: ("IllegalArgumentException", 20), 31: ("NullPointerException", 20), 32: ("OutOfMemoryError", 21),
    33: ("InvalidIteratorException", 20), 34: ("StackOverflowException", 20), 35: ("TimeoutException", 20)}
OBJECT_CLASS = 9  # the root class every object derives from
EXCEPTION, DIV_BY_ZERO, INDEX_OUT_OF_BOUNDS, CLASS_CAST, NULL_POINTER = 20, 26, 27, 29, 31
# Exception's own fields, which every exception object starts with: message, errcode.
EXCEPTION_FIELDS = (None, 0)
MESSAGE = 0
# A catalogue method's link name: its result type's link name, "@", its
# class's, "/", its name ("#C" after the name of one that is not virtual),
# then its parameter types' link names in parentheses.
CATALOGUE_LINK = re.compile(r"(?P<result>[^@]*)@/(?P<owner>\w+)/(?P<name>\w+)(?:#C)?\((?P<params>.*)\)")
STATIC_CALL = 26  # the call kind of a static method's descriptor; 16 is an instance method's
CatalogueMethod = collections.namedtuple("CatalogueMethod", "number static link result owner name params")


def catalogue_method(number, static, link):
    """A catalogue method: the class its descriptor numbers, whether it is
    static, and what its link name declares."""
    found = CATALOGUE_LINK.fullmatch(link)
    if not found:
        raise EvalError("a catalogue method with the link name %r" % link)
    method = CatalogueMethod(number, static, link, **found.groupdict())
    if number in CATALOGUE_EXCEPTIONS and CATALOGUE_EXCEPTIONS[number][0] != method.owner:
        raise EvalError("the catalogue method %s, whose descriptor numbers the class %d" % (link, number))
    return method


def exception_methods(number, name):
    """The instance methods of a catalogue exception class by slot:
    Exception's, in the order it declares them, then the class's own two
    constructors (its base was set before they were declared, so a base's
    own constructors are not among them)."""
    methods = [catalogue_method(EXCEPTION, False, link) for link in (
        "/Exception@/Exception/Exception()", "/Exception@/Exception/Exception(/String)",
        "/String@/Exception/getMessage#C()", "/long@/Exception/getErrorCode#C()")]
    if number != EXCEPTION:
        methods += [catalogue_method(number, False, "/Exception@/{0}/{0}({1})".format(name, params))
                    for params in ("", "/String")]
    return methods


SYS_KLASS = {number: Klass(name, None if base is None else ("sys", base), ("sys", number),
                           dynamic=exception_methods(number, name), nfields=2)
             for number, (name, base) in CATALOGUE_EXCEPTIONS.items()}


def catalogue_klass(number):
    if number not in SYS_KLASS:
        raise EvalError("the catalogue class %d is outside the evaluated subset" % number)
    return SYS_KLASS[number]


def runtime_exception(number):
    """An exception object the machine raises itself, whose message is the
    runtime's own."""
    obj = Obj(SYS_KLASS[number], 2)
    obj.fields[:] = EXCEPTION_FIELDS
    obj.fields[MESSAGE] = RUNTIME_MESSAGE
    return obj


def zero_of(dtype):
    """What a variable of the data type holds before its first store."""
    if dtype in (1, 2, 3, 4, 5, 8):
        return 0
    if dtype in (6, 7):
        return 0.0
    if dtype in (9, 11, 12):
        return None
    return UNSET


class Frame:
    def __init__(self, code, args, ret, machine):
        self.code, self.slots, self.nargs, self.ret = code, list(args), len(args), ret
        self.loops = {}  # end of a loop's code -> its state while it runs
        # What a return must find as it was at the call.
        self.depths = machine.depths()


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

    def string_resource(self, at):
        """The text of a string literal's resource: a String value."""
        if self.u32(at) != 155:
            raise EvalError("resource operand names 0x%X, which holds no resource" % at)
        return self.resource_text(at)

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
            klass = Klass(name, base, ("holder", holder), [b for _, b in tables[0]], [b for _, b in tables[1]],
                          len(tables[2]))
            if words[3][0] & 0xFFFFFF == 19 and words[3][1] != 0:
                klass.instance = end + words[3][1]
            klass.holder = holder
            # A class entry's value leads from its body to the class's holder.
            klass.class_fields = [(i, b + struct.unpack_from("<q", self.data, b)[0])
                                  for i, (tag, b) in enumerate(tables[2]) if tag == 31]
            klass.anonymous = [b + struct.unpack_from("<q", self.data, b)[0] if tag == 31 else None
                               for tag, b in tables[4]]
            self.classes[holder] = klass

    def catalogue_method(self, record):
        """The catalogue method a record declares: its descriptor, then its
        link name."""
        _, ops, after = self.decode(record)
        if ops[1][0] != 30:
            raise EvalError("catalogue method record at 0x%X without its link name" % record)
        descriptor = ops[0][2]
        return catalogue_method(descriptor >> 48, (descriptor >> 32) & 0xFFFF == STATIC_CALL,
                                self.resource_text(after + ops[1][2]))

    def klass(self, holder):
        if self.classes is None:
            self.find_classes()
        if holder not in self.classes:
            raise EvalError("no class record for the class at 0x%X" % holder)
        return self.classes[holder]


# String's instance methods by slot, in the order the runtime's catalogue declares them.
STRING_METHODS = (["String"] * 7 + """length find find substring substring escape split split + startsWith endsWith
    indexOf indexOf indexOf indexOf lastIndexOf lastIndexOf lastIndexOf lastIndexOf append insert getBytes getBytes
    toCharArray isDigit parseLong parseHex parseInt parseBool parseFloat parseDouble replace replace lower upper equals
    equalsIgnoreCase countChar countString countStringIgnoreCase appendPath trim ltrim rtrim replaceExtension
    removeExtension replaceFilenameAndExtension replaceFilename findExtension findFilenameAndExtension findFilename
    findPathFilename findVolume findVolumePath isDot toRelativePath toAbsolutePath charAt decodeURI encodeURI charset
    compare == != parseMarkdown parseDate []""".split())
assert len(STRING_METHODS) == 74


def ascii_only(text):
    """Past ASCII, what a length or an order counts (bytes or characters) is
    the runtime's own; such texts stay outside the subset."""
    if not text.isascii():
        raise EvalError("a String beyond ASCII (%r) is outside the evaluated subset" % text)
    return text


def text_of(value):
    """What String's `+` appends for a value of the type it was pushed with."""
    if isinstance(value, str):
        return value
    code = value.code if isinstance(value, Coded) else None
    if code == 8:
        return "true" if value else "false"
    if code == 2:
        return ascii_only(chr(value))
    if code in (1, 3, 4, 5):
        return str(int(value))
    raise EvalError("String + %s is outside the evaluated subset" % describe(value))


def operand_name(op, next_pc):
    """The slot or value an operand names, as a stop names it."""
    kind, _, value = op
    names = {9: "stack[%d]", 11: "closesure[%d]", 14: "field %d of this", 21: "register %d",
             13: "class ptr [this + %d]"}
    if kind in names:
        return names[kind] % value
    if kind in (19, 39, 30):
        return "%s 0x%X" % ("the String literal at" if kind == 30 else "address",
                            (next_pc + value) & 0xFFFFFFFFFFFFFFFF)
    if kind == 12:
        return "this[%d]" % value if value else "this"
    if kind == 20:
        return "the exception register"
    if kind == 0 and op[1] == 11:
        return "the nilptr operand"
    return "the operand of kind %d" % kind


def holding(op, next_pc):
    """The start of a stop that names what an operand reads."""
    return operand_name(op, next_pc) + (" holds" if op[0] in (9, 11, 14, 19, 20, 21, 39) else " is")


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
        self.catch_slots = {}
        self.pc = 192
        self.result = None

    def depths(self):
        return (len(self.stack), len(self.saved_regs), len(self.this_stack), len(self.seh),
                len(self.pending_catch), len(self.finally_stack))

    # Operands -------------------------------------------------------------
    def field_object(self):
        if self.this is None:
            raise Thrown(runtime_exception(NULL_POINTER))
        if not isinstance(self.this, Obj):
            raise EvalError("field of `this` without an object (`this` is %s)" % describe(self.this))
        return self.this

    def outward(self, steps):
        """The object `steps` steps out of `this`."""
        here = self.this
        for _ in range(steps):
            if isinstance(here, Obj) and here.outer is not None:
                here = here.outer
            elif isinstance(here, Closure):
                here = here.this
            else:
                raise EvalError("this[%d]: %s has nothing around it" % (steps, describe(here)))
        if isinstance(here, Closure):
            raise EvalError("this[%d] names the frame of a method, not an object" % steps)
        return here

    def read(self, op, next_pc):
        kind, dtype, value = op
        if 1 <= kind <= 8:
            if kind == 7:
                return struct.unpack("<d", struct.pack("<q", value))[0]
            if kind == 6:
                return struct.unpack("<f", struct.pack("<I", value & 0xFFFFFFFF))[0]
            return convert(value, kind if kind != 8 else 8)
        if kind == 0 and dtype == 11:
            found = None  # nilptr
        elif kind == 12:
            found = self.field_object() if value == 0 else self.outward(value)
        elif kind == 13:
            found = self.anonymous_class(value)
        elif kind == 30:
            found = self.img.string_resource(next_pc + value)
        else:
            box, key = self.cell(op, next_pc)
            if box[key] is UNSET:
                raise EvalError("read of %s before any store" % operand_name(op, next_pc))
            found = box[key]
        return convert(found, dtype, holding(op, next_pc))

    def number(self, op, next_pc):
        """The operand's value, which the instruction needs to be a number
        whatever type the operand carries."""
        return numeric(self.read(op, next_pc), holding(op, next_pc))

    def anonymous_class(self, index):
        """class ptr [this + n]: an anonymous class of the class of `this`,
        bound to the frame that runs."""
        here = self.this
        klass = here.klass if isinstance(here, Obj) else (
            self.img.klass(here[1]) if isinstance(here, tuple) and here[0] == "class" else None)
        if klass is None or not 0 <= index < len(klass.anonymous) or klass.anonymous[index] is None:
            raise EvalError("class ptr [this + %d] of %s" % (index, describe(here)))
        target = self.img.klass(klass.anonymous[index])
        return ClassRef(target, Closure(self.frames[-1], here) if isinstance(here, Obj) else None)

    def read_index(self, op, next_pc):
        return self.read((op[0], 4, op[2]), next_pc)

    def cell(self, op, next_pc):
        """(container, key) of a writable operand."""
        kind, dtype, value = op
        if kind == 9:
            frame = self.frames[-1]
            if not 0 <= value < len(frame.slots):
                raise EvalError("stack[%d] outside the frame of %d slots" % (value, len(frame.slots)))
            return frame.slots, value
        if kind == 21:
            if not 0 <= value < len(self.regs):
                raise EvalError("register %d, of %d" % (value, len(self.regs)))
            return self.regs, value
        if kind == 14:
            obj = self.field_object()
            if not 0 <= value < len(obj.fields):
                raise EvalError("field %d of %r, which has %d" % (value, obj, len(obj.fields)))
            return obj.fields, value
        if kind in (19, 39):
            where = next_pc + value
            if not 192 <= where < len(self.img.data):
                raise EvalError("operand names 0x%X, outside the image" % (where & 0xFFFFFFFFFFFFFFFF))
            # The image's data is zero before any initialiser stores into it.
            if self.statics.get(where, UNSET) is UNSET:
                self.statics[where] = zero_of(dtype)
            return self.statics, where
        if kind == 20:
            return self.special, "exc"
        if kind == 11:
            return self.closure_cell(value)
        raise EvalError("operand kind %d is outside the evaluated subset" % kind)

    def closure_cell(self, index):
        """Slot `index` of the closure of `this`."""
        closure = getattr(self.this, "closure", None) if isinstance(self.this, Obj) else None
        if closure is None:
            raise EvalError("closesure[%d] where `this` (%s) has no closure" % (index, describe(self.this)))
        if not 0 <= index < len(closure):
            raise EvalError("closesure[%d] outside a closure of %d slots" % (index, len(closure)))
        return closure, index

    def write(self, op, value, next_pc):
        box, key = self.cell(op, next_pc)
        box[key] = convert(value, op[1], operand_name(op, next_pc) + " is given")

    def member_cell(self, obj, field_op):
        if obj is None:
            raise Thrown(runtime_exception(NULL_POINTER))
        if not isinstance(obj, Obj):
            raise EvalError("field access on %s" % describe(obj))
        if field_op[0] != 14:
            raise EvalError("member operand of kind %d" % field_op[0])
        if not 0 <= field_op[2] < len(obj.fields):
            raise EvalError("field %d of %r, which has %d" % (field_op[2], obj, len(obj.fields)))
        return obj.fields, field_op[2]

    def element_cell(self, arr, index):
        if arr is None:
            raise Thrown(runtime_exception(NULL_POINTER))
        if not isinstance(arr, Arr):
            raise EvalError("element of %s" % describe(arr))
        if not 0 <= index < len(arr.items):
            raise Thrown(runtime_exception(INDEX_OUT_OF_BOUNDS))
        return arr.items, index

    # Arithmetic -----------------------------------------------------------
    @staticmethod
    def result_type(a, b):
        """The type of a binary result: the wider operand, at least int."""
        if a in NUMERIC and b in NUMERIC:
            return max(a, b, 4)
        return a if a in NUMERIC else b if b in NUMERIC else a or b

    @staticmethod
    def operation_type(name, a, b):
        """A shift has its left operand's type (at least int); the others
        the wider operand's."""
        if name in ("shl", "shr"):
            return max(a, 4) if a in NUMERIC else a
        return Machine.result_type(a, b)

    @staticmethod
    def arith(name, x, y, dtype):
        numeric(x, "its first operand is")
        numeric(y, "its second operand is")
        if dtype not in (6, 7) and (isinstance(x, float) or isinstance(y, float)):
            raise EvalError("%s of %s and %s in integers" % (name, describe(x), describe(y)))
        if name in ("div", "mod") and dtype not in (6, 7) and y == 0:
            raise Thrown(runtime_exception(DIV_BY_ZERO))
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

    # Classes --------------------------------------------------------------
    def base_of(self, klass):
        base = klass.base
        if base is None:
            return None
        if isinstance(base, tuple):
            return catalogue_klass(base[1])
        return self.img.klass(base)

    def derives(self, klass, want):
        """Whether klass is the class want names, ("holder", address) or
        ("sys", number), or derives from it."""
        if want == ("sys", OBJECT_CLASS):
            return True
        while klass is not None:
            if klass.ident == want:
                return True
            klass = self.base_of(klass)
        return False

    def new_object(self, klass, outer):
        obj = Obj(klass, klass.nfields, outer)
        for index, holder in klass.class_fields:
            obj.fields[index] = ClassRef(self.img.klass(holder), obj)
        if self.derives(klass, ("sys", 20)):
            obj.fields[:2] = EXCEPTION_FIELDS
        return obj

    # Control --------------------------------------------------------------
    def enter(self, code, args, ret):
        self.frames.append(Frame(code, args, ret, self))
        if len(self.frames) > 2000:
            raise EvalError("call depth above 2000")
        return code

    def call(self, target_op, nargs, at, next_pc):
        kind, _, value = target_op
        if kind in (19, 37, 39):
            record = next_pc + value
        elif kind == 16 and isinstance(self.this, str):
            return self.string_call(value & 0xFFFFFFFF, self.pop_args(nargs), next_pc)
        elif kind in (16, 34):
            klass = self.klass_of(self.this)
            table = klass.dynamic if kind == 16 else klass.static
            slot = value & 0xFFFFFFFF
            if slot >= len(table):
                raise EvalError("method slot %d of %s" % (slot, klass.name))
            record = table[slot]
        else:
            raise EvalError("call through operand kind %d" % kind)
        args = self.pop_args(nargs)
        if isinstance(record, CatalogueMethod):  # a method of a catalogue class, by slot
            return self.catalogue_call(record, args, next_pc)
        number = self.img.u32(record)
        if number == 2:  # a catalogue method
            return self.catalogue_call(self.img.catalogue_method(record), args, next_pc)
        # A function's record is a jmp to its code; a base class's instance
        # code is called at its first instruction.
        name, ops, after = self.img.decode(record)
        code = after + ops[0][2] if name == "Jmp" and ops[0][0] == 19 else record
        return self.enter(code, args, next_pc)

    def catalogue_call(self, method, args, next_pc):
        """A catalogue method as its declaration means it. A constructor
        (named after its class) without parameters sets nothing up that the
        object does not already hold; an exception class's constructor with
        a message stores it as the object's message, which Exception's
        getMessage gives back. The object being made stays where it was
        (eax after a construction by new, `this` inside a constructor)."""
        if len(args) != (method.params.count(",") + 1 if method.params else 0):
            raise EvalError("call of %s with %d arguments" % (method.link, len(args)))
        constructor = method.name == method.owner and not method.static
        exception = method.number in CATALOGUE_EXCEPTIONS
        if constructor and not method.params and (exception or method.result == "/" + method.owner):
            return next_pc
        if constructor and exception and method.params == "/String":
            message = args[0]
            if message is not None and not isinstance(message, str):
                raise EvalError("%s given %s for its message" % (method.link, describe(message)))
            self.exception_fields(method)[MESSAGE] = message
            return next_pc
        if method.number == EXCEPTION and method.name == "getMessage" and not method.params:
            fields = self.exception_fields(method)
            self.regs[0] = convert(fields[MESSAGE], 9, "%s of %r is" % (method.name, self.this))
            return next_pc
        raise EvalError("call of the catalogue method %s is outside the evaluated subset" % method.link)

    def exception_fields(self, method):
        """The fields of the exception object a catalogue method is called on."""
        if self.this is None:
            raise Thrown(runtime_exception(NULL_POINTER))
        if not isinstance(self.this, Obj) or not self.derives(self.this.klass, ("sys", EXCEPTION)):
            raise EvalError("%s called on %s, not an exception object" % (method.link, describe(self.this)))
        return self.this.fields

    def pop_args(self, nargs):
        if nargs > len(self.stack):
            raise EvalError("call of %d arguments with %d pushed" % (nargs, len(self.stack)))
        args = self.stack[len(self.stack) - nargs:] if nargs else []
        del self.stack[len(self.stack) - nargs:]
        return args

    # Strings ----------------------------------------------------------------
    def string_call(self, slot, args, next_pc):
        """A String method: the runtime's member of String's instance table at
        the slot, as its declaration means it; the result is in eax."""
        text = self.this
        name = STRING_METHODS[slot] if slot < len(STRING_METHODS) else "#%d" % slot
        if slot not in (7, 15, 42, 68, 69, 70):
            raise EvalError("call of String's %s (slot %d) is outside the evaluated subset" % (name, slot))
        if len(args) != (0 if slot == 7 else 1):
            raise EvalError("call of String's %s (slot %d) with %d arguments" % (name, slot, len(args)))
        if slot == 7:
            self.regs[0] = len(ascii_only(text))
        elif slot == 15:
            self.regs[0] = text + text_of(args[0])
        elif slot in (42, 69, 70):
            other = args[0]
            if other is not None and not isinstance(other, str):
                raise EvalError("String's %s of %s" % (name, describe(other)))
            self.regs[0] = int((other == text) != (slot == 70))
        elif slot == 68:
            other = args[0]
            if not isinstance(other, str):
                raise EvalError("String's compare with %s" % describe(other))
            # Only the order is known of the runtime's answer: its sign.
            a, b = ascii_only(text).encode(), ascii_only(other).encode()
            self.regs[0] = (a > b) - (a < b)
        return next_pc

    def leave(self):
        """Pops the frame of a return, which must leave the machine as the call found it."""
        frame = self.frames[-1]
        now = self.depths()
        if now != frame.depths:
            parts = ("pushed values", "saved register sets", "`this` loads", "open protected regions",
                     "mapseh entries", "pending finally exits")
            diff = ["%d %s (%d at the call)" % (n, part, w) for part, n, w in zip(parts, now, frame.depths) if n != w]
            raise EvalError("return with %s: a fault in the image" % ", ".join(diff))
        self.frames.pop()
        return frame

    def klass_of(self, obj):
        if obj is None:
            raise Thrown(runtime_exception(NULL_POINTER))
        if not isinstance(obj, Obj):
            raise EvalError("virtual call on %s, not an object" % describe(obj))
        return obj.klass

    def throw(self, obj):
        """Unwinds to the innermost region that takes obj; returns the next pc."""
        while self.seh:
            region = self.seh[-1]
            while len(self.frames) > region["frames"]:
                self.frames.pop()
            del self.stack[region["stack"]:]
            del self.this_stack[region["this"]:]
            del self.saved_regs[region["saved"]:]
            del self.pending_catch[region["pending"]:]
            self.this = region["self"]
            del self.finally_stack[region["finally"]:]
            if not region["handling"]:
                for want, handler in region["catches"]:
                    if isinstance(obj, Obj) and self.derives(obj.klass, want):
                        region["handling"] = True
                        self.special["exc"] = obj
                        frame = self.frames[-1]
                        slot = self.catch_slot(frame.code, handler, frame.nargs)
                        frame.slots.extend([UNSET] * (slot + 1 - len(frame.slots)))
                        frame.slots[slot] = obj
                        return handler
            self.seh.pop()
            if region["finally_pc"] is not None:
                self.stack.append(self.regs[0])
                self.finally_stack.append(("throw", obj, self.exit_code))
                return region["finally_pc"]
        raise Thrown(obj)

    def catch_slot(self, code, handler, nargs):
        """The slot of a handler's catch variable. Locals take the frame's
        slots in the order they are declared and keep them; the catch variable
        is declared first in its handler's block. So its slot follows every
        slot the function's code before the handler names (each declared local
        has its initial value stored where it is declared) and the catch
        variable of every handler before it."""
        key = (code, handler)
        if key not in self.catch_slots:
            top, earlier, at = nargs - 1, [], code
            while at < handler:
                name, ops, at = self.img.decode(at)
                top = max([top] + [v for k, _, v in ops if k == 9])
                if name == "Mapseh" and at + ops[1][2] < handler:
                    earlier.append(at + ops[1][2])
            for other in earlier:
                top = max(top, self.catch_slot(code, other, nargs))
            self.catch_slots[key] = top + 1
        return self.catch_slots[key]

    # The loop ---------------------------------------------------------------
    def run(self):
        steps = 0
        name, at = "the start", self.pc
        while self.result is None:
            steps += 1
            if steps > self.STEP_LIMIT:
                raise EvalError("step limit reached at 0x%X (a loop that does not end?)" % self.pc)
            try:
                decoded = self.img.decode(self.pc)
            except EvalError as error:
                raise EvalError("after %s at 0x%X: %s" % (name, at, error)) from None
            at = self.pc
            name, ops, next_pc = decoded
            if self.trace:
                print("0x%06X %-14s %s" % (at, name, ops), file=sys.stderr)
            handler = HANDLERS.get(name)
            try:
                if handler is None:
                    raise EvalError("outside the evaluated subset")
                try:
                    self.pc = handler(self, ops, at, next_pc)
                except Thrown as thrown:
                    self.pc = self.throw(thrown.obj)
            except EvalError as error:
                raise EvalError("%s at 0x%X: %s" % (name, at, error)) from None
            except (ValueError, IndexError, KeyError, AttributeError, struct.error) as error:
                raise EvalError("%s at 0x%X: %s: %s" % (name, at, type(error).__name__, error)) from None
        return self.result


def binary(name):
    def op(m, ops, at, nxt):
        dtype = m.operation_type(name, ops[0][1], ops[1][1])
        m.regs[0] = convert(m.arith(name, m.number(ops[0], nxt), m.number(ops[1], nxt), dtype), dtype)
        return nxt
    return op


def compound(name):
    def op(m, ops, at, nxt):
        dtype = ops[0][1]
        value = convert(m.arith(name, m.number(ops[0], nxt), m.number(ops[1], nxt),
                                m.operation_type(name, dtype, ops[1][1])), dtype)
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
        old = m.number(ops[0], nxt)
        m.write(ops[0], old + delta, nxt)
        m.regs[0] = m.read(ops[0], nxt) if prefix else old
        return nxt
    return op


def store_in(box, key, value, dtype, op_name, where):
    """Stores value, or for a compound operation the result of it on the old
    value, into box[key], which `where` names."""
    old = box[key]
    if op_name is None:
        new = value
    else:
        if old is UNSET:
            raise EvalError("compound store into %s, never written" % where)
        new = Machine.arith(op_name, numeric(old, where + " holds"), value, Machine.result_type(dtype, dtype))
    box[key] = convert(new, dtype, where + " is given")
    return box[key]


def step_in(box, key, stepper, dtype, where):
    """++ or -- of box[key]: the value the instruction leaves in eax."""
    old = box[key]
    if old is UNSET:
        raise EvalError("increment of %s, never written" % where)
    box[key] = convert(numeric(old, where + " holds") + stepper[0], dtype, where + " is given")
    return box[key] if stepper[1] else old


def element_type(arr, dtype):
    """The type an element store converts by: the one its index operand
    carries, which must be the array's element type; None for references."""
    if dtype != arr.code:
        raise EvalError("element store typed %d into an array whose elements are typed %d" % (dtype, arr.code))
    return dtype if dtype in (1, 2, 3, 4, 5, 6, 7, 8) else None


def element(op_name, stepper=None):
    def op(m, ops, at, nxt):
        arr = m.read(ops[0], nxt)
        box, key = m.element_cell(arr, m.read_index(ops[1], nxt))
        dtype = element_type(arr, ops[1][1])
        where = "element %d of %r" % (key, arr)
        if stepper is not None:
            if dtype is None:
                raise EvalError("increment of an element of an array of %d" % arr.code)
            m.regs[0] = step_in(box, key, stepper, dtype, where)
        else:
            value = m.read(ops[2], nxt) if op_name is None else m.number(ops[2], nxt)
            m.regs[0] = store_in(box, key, value, dtype, op_name, where)
        return nxt
    return op


def prop(op_name, stepper=None):
    def op(m, ops, at, nxt):
        obj = m.read(ops[0], nxt)
        box, key = m.member_cell(obj, ops[1])
        dtype, where = ops[1][1], "field %d of %r" % (key, obj)
        if stepper is not None:
            result = step_in(box, key, stepper, dtype, where)
        else:
            value = m.read(ops[3], nxt) if op_name is None else m.number(ops[3], nxt)
            result = store_in(box, key, value, dtype, op_name, where)
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
        value = m.read(ops[0], nxt)
        m.stack.append(Coded(value, ops[0][1]) if isinstance(value, int) and ops[0][1] in (1, 2, 3, 4, 5, 8)
                       else value)
    return nxt


def op_push_addr(m, ops, at, nxt):
    m.stack.append(("addr", nxt + ops[0][2]))
    return nxt


def op_autoswitch(m, ops, at, nxt):
    """A compare chain: pushed before it, the address of its head, then each
    case's value and body; the first case equal to the selector is taken,
    else the default. Only a String selector (operand 4 = 2) is modelled."""
    mode, count = ops[4][2], ops[2][2]
    if mode != 2:
        raise EvalError("autoswitch of mode %d is outside the evaluated subset" % mode)
    if len(m.stack) < 2 * count + 1:
        raise EvalError("autoswitch of %d cases with %d values pushed" % (count, len(m.stack)))
    pushed = m.stack[len(m.stack) - 2 * count - 1:]
    del m.stack[len(m.stack) - 2 * count - 1:]
    if not all(isinstance(p, tuple) and p[0] == "addr" for p in pushed[0::2]):
        raise EvalError("autoswitch without its head's and bodies' addresses")
    selector = m.read(ops[1], nxt)
    if not isinstance(selector, str):
        raise EvalError("autoswitch over %s, not a String" % describe(selector))
    for value, (_, body) in zip(pushed[1::2], pushed[2::2]):
        if not isinstance(value, str):
            raise EvalError("autoswitch case %s, not a String" % describe(value))
        if value == selector:
            return body
    return nxt + ops[3][2]


def op_pop(m, ops, at, nxt):
    if not m.stack:
        raise EvalError("pop from an empty stack")
    m.write(ops[0], m.stack.pop(), nxt)
    return nxt


def op_call(m, ops, at, nxt):
    return m.call(ops[0], ops[1][2], at, nxt)


def op_ret(m, ops, at, nxt):
    frame = m.leave()
    if frame.ret is None:
        if not isinstance(m.regs[0], int):
            raise EvalError("main returned %s, not an int" % describe(m.regs[0]))
        m.result = ("result", convert(m.regs[0], 4))
        return nxt
    return frame.ret


def op_ret_this(m, ops, at, nxt):
    """The end of instance code: this goes back to what it was before the code."""
    m.regs[0] = m.this
    frame = m.leave()
    if not m.this_stack:
        raise EvalError("ret this without the `this` its code was entered with")
    m.this = m.this_stack.pop()
    return frame.ret


def op_push_this(m, ops, at, nxt):
    m.this_stack.append(m.this)
    return nxt


def op_allocesp(m, ops, at, nxt):
    frame = m.frames[-1]
    frame.slots.extend([UNSET] * (ops[0][2] - len(frame.slots)))
    return nxt


def op_pushload_this(m, ops, at, nxt):
    """Loads the object a method is called on: a call on nilptr raises."""
    kind, dtype, value = ops[0]
    # A class is named with no data type; a static object field has one.
    this = ("class", nxt + value) if kind in (19, 39) and dtype == 0 else m.read(ops[0], nxt)
    if this is None:
        raise Thrown(runtime_exception(NULL_POINTER))
    if isinstance(this, ClassRef):
        this = ("class", this.klass.holder)
    m.this_stack.append(m.this)
    m.this = this
    return nxt


def op_pop_this(m, ops, at, nxt):
    if len(m.this_stack) <= (m.frames[-1].depths[2] if m.frames else 0):
        raise EvalError("pop this without a `this` load in this frame")
    m.this = m.this_stack.pop()
    return nxt


def op_this_to_eax(m, ops, at, nxt):
    m.regs[0] = m.this
    return nxt


def op_makeclosesure(m, ops, at, nxt):
    """The object being made keeps the values of the frame that makes it
    (the one below its initialiser's) as its closure."""
    if not isinstance(m.this, Obj) or len(m.frames) < 2:
        raise EvalError("makeclosesure outside the initialiser of an object")
    m.this.closure = list(m.frames[-2].slots)
    return nxt


def op_alloc(m, ops, at, nxt):
    """A new object of a class named directly, of a catalogue exception
    class, of a nested class bound to `this` (a field of it) or of an
    anonymous class bound to the running frame."""
    kind, _, value = ops[0]
    if kind == 31:
        m.regs[0] = m.new_object(catalogue_klass(value), None)
        return nxt
    if kind in (19, 39):
        target = ClassRef(m.img.klass(nxt + value), None)
    else:
        target = m.read(ops[0], nxt)
        if isinstance(target, tuple) and target[:1] == ("class",):
            target = ClassRef(m.img.klass(target[1]), None)
        if not isinstance(target, ClassRef):
            raise EvalError("alloc of %s, not a class" % describe(target))
    obj = m.new_object(target.klass, target.outer)
    m.regs[0] = obj
    if target.klass.instance is None:
        return nxt
    m.this_stack.append(m.this)
    m.this = obj
    return m.enter(target.klass.instance, [], nxt)


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
            raise EvalError("array size %s" % describe(size))
        last = level + 1 == len(sizes)
        return Arr([default if last else make(level + 1) for _ in range(size)], code if last else 11)
    m.regs[0] = make(0)
    if ops:  # alloc array N: the N values pushed before the class are the first elements
        count = ops[0][2]
        values = m.stack[len(m.stack) - count:] if count else []
        del m.stack[len(m.stack) - count:]
        if count > len(m.regs[0].items):
            raise EvalError("%d initial values for %d elements" % (count, len(m.regs[0].items)))
        m.regs[0].items[:count] = [convert(v, code, "an initial element is") for v in values]
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
    m.regs[0] = Arr([int(v) if fmt == "?" else v for v in values], code)
    return nxt


def op_load_element(m, ops, at, nxt):
    box, key = m.element_cell(m.read(ops[0], nxt), m.read_index(ops[1], nxt))
    m.regs[0] = box[key]
    return nxt


def op_member(m, ops, at, nxt):
    owner = m.read(ops[0], nxt)
    if isinstance(owner, Arr) and ops[1][:1] == (14,) and ops[1][2] == 0:  # an array's length
        m.write(ops[2], len(owner.items), nxt)
        return nxt
    box, key = m.member_cell(owner, ops[1])
    if box[key] is UNSET:
        raise EvalError("read of field %d of a %s before any store" % (key, owner.klass.name))
    m.write(ops[2], convert(box[key], ops[1][1], "field %d of %r holds" % (key, owner)), nxt)
    return nxt


def op_cast(m, ops, at, nxt):
    """A cast to a built-in value type converts; a cast to a class passes
    nilptr and an object of the class, and raises ClassCastException for
    anything else."""
    kind, _, value = ops[0]
    if kind == 31 and value in SYSCLASS_TYPE:
        m.regs[0] = convert(m.read(ops[1], nxt), SYSCLASS_TYPE[value], operand_name(ops[1], nxt) + " holds")
        return nxt
    if kind == 31:
        if value != OBJECT_CLASS:
            catalogue_klass(value)
        want = ("sys", value)
    elif kind in (19, 39):
        want = m.img.klass(nxt + value).ident
    else:
        raise EvalError("cast to operand kind %d" % kind)
    obj = m.read(ops[1], nxt)
    if obj is not None and not (isinstance(obj, Obj) and m.derives(obj.klass, want)):
        raise Thrown(runtime_exception(CLASS_CAST))
    m.regs[0] = obj
    return nxt


def op_complement(m, ops, at, nxt):
    """`~` compiles to not, `!` to cpl: both flip a bool, complement an integer."""
    if ops[0][1] == 8:
        m.regs[0] = 0 if m.read(ops[0], nxt) else 1
        return nxt
    value = m.number(ops[0], nxt)
    if isinstance(value, float):
        raise EvalError("%s holds %s, not an integer" % (operand_name(ops[0], nxt), describe(value)))
    m.regs[0] = convert(~value, m.result_type(ops[0][1], ops[0][1]))
    return nxt


def op_entry(m, ops, at, nxt):
    m.stack.append(Arr([], 9))  # main's String[] args: no command-line arguments
    target = m.call((19, 0, ops[0][2]), 1, at, nxt)
    m.frames[-1].ret = None
    return target


def op_exit(m, ops, at, nxt):
    raise EvalError("program ended without returning from main")


def op_throw(m, ops, at, nxt):
    obj = m.read(ops[0], nxt)
    if obj is None:
        raise Thrown(runtime_exception(NULL_POINTER))
    if not isinstance(obj, Obj) or not m.derives(obj.klass, ("sys", 20)):
        raise EvalError("throw of %s, not an exception object" % describe(obj))
    raise Thrown(obj)


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
                  "finally": len(m.finally_stack), "pending": len(m.pending_catch)})
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


def op_jloop(m, ops, at, nxt):
    """A three-clause loop: the machine tests the condition before each pass
    and steps the stepped operand after it."""
    end = nxt + ops[5][2]
    m.frames[-1].loops[end] = ("counted", ops, nxt, None)
    return nxt if loop_holds(m, ops, nxt) else loop_done(m, end)


def op_jloop_each(m, ops, at, nxt):
    """A range loop (mode 0: from the start to the end value, both included)
    or a loop over an array's elements (mode 2); the machine keeps the count
    and assigns the loop variable before each pass. The source and the end
    value are read once, as the loop begins."""
    end, mode = nxt + ops[5][2], ops[2][2]
    if mode == 0:
        if ops[3][0] == 0:
            raise EvalError("a range loop whose start is not integral is outside the evaluated subset")
        first, last = m.number(ops[1], nxt), m.number(ops[3], nxt)
        if first > last:
            raise EvalError("range loop from %d down to %d: its direction is outside the evaluated subset"
                            % (first, last))
        state = {"next": first, "last": last, "items": None}
    elif mode == 2:
        arr = m.read(ops[1], nxt)
        if arr is None:
            raise Thrown(runtime_exception(NULL_POINTER))
        if not isinstance(arr, Arr):
            raise EvalError("loop over the elements of %s" % describe(arr))
        state = {"next": 0, "items": arr.items}
    else:
        raise EvalError("JLOOP mode %d is outside the evaluated subset" % mode)
    m.frames[-1].loops[end] = ("each", ops, nxt, state)
    return next_pass(m, ops, nxt, end, state)


def next_pass(m, ops, body, end, state):
    items, index = state["items"], state["next"]
    if (index >= len(items)) if items is not None else (index > state["last"]):
        return loop_done(m, end)
    m.write(ops[0], items[index] if items is not None else index, body)
    state["next"] = index + 1
    return body


def loop_done(m, end):
    del m.frames[-1].loops[end]
    return end


def loop_holds(m, ops, nxt):
    a, b = m.number(ops[0], nxt), m.number(ops[1], nxt)
    return [a == b, a != b, a < b, a > b, a <= b, a >= b][ops[2][2]]


def loop_trailer(offset, action):
    """jspin and jcontinue: the next pass; jbreak: out of the loop; jret: on
    to the function's way out."""
    def op(m, ops, at, nxt):
        end = at + offset
        loops = m.frames[-1].loops
        if end not in loops:
            raise EvalError("loop trailer without its running JLOOP")
        how, loop, body, state = loops[end]
        if action == "step":
            if how == "each":
                return next_pass(m, loop, body, end, state)
            m.write(loop[3], m.number(loop[3], body) + (1 if loop[4][2] == 1 else -1), body)
            return body if loop_holds(m, loop, body) else loop_done(m, end)
        loop_done(m, end)
        return end if action == "break" else body + loop[6][2]
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
    if ops[0][0] == 19:
        return nxt + ops[0][2]
    offset = m.number(ops[0], nxt)
    if not isinstance(offset, int):
        raise EvalError("%s holds %s, not a byte offset" % (operand_name(ops[0], nxt), describe(offset)))
    return nxt + offset


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
    "PushAddr": op_push_addr, "Autoswitch": op_autoswitch, "Push": op_push, "PushDouble": op_push, "PushInt": op_push, "PushLong": op_push, "PushChar": op_push,
    "PushByte": op_push, "PushShort": op_push, "PushPtr": op_push, "PushFloat": op_push, "Pop": op_pop,
    "Pushar": op_pushar, "Popar": op_popar, "Checkesp": op_nop, "Checketp": op_nop,
    "Call": op_call, "CallEqu": op_call, "CallNequ": op_call, "Ret": op_ret, "RetDelesp": op_ret,
    "RetThis": op_ret_this, "Allocesp": op_allocesp, "Makeclosesure": op_makeclosesure,
    "PushloadThis": op_push_this, "PushloadThisOperand": op_pushload_this, "PushloadThisCall": op_pushload_this, "PopThis": op_pop_this,
    "ThisToEax": op_this_to_eax, "Alloc": op_alloc, "AllocArray": op_alloc_array, "AllocArrayN": op_alloc_array, "Initarray": op_initarray,
    "LoadElement": op_load_element, "Member": op_member, "Cast": op_cast, "Not": op_complement, "Cpl": op_complement,
    "Entry": op_entry, "Exit": op_exit, "Throw": op_throw, "Mapseh": op_mapseh, "InstSeh": op_inst_seh,
    "UistSeh": op_uist_seh, "ExitFinally": op_exit_finally, "Jex": op_jex, "Setef": op_setef,
    "JLoop": op_jloop, "JLoop209": op_jloop_each, "JmpTable": op_jump_table, "Lookup": op_lookup, "Jspin": loop_trailer(16, "step"), "Jbreak": loop_trailer(12, "break"),
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
