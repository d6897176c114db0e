#!/usr/bin/env python3
"""Writes the hand-made seed inputs of the arbitrary fuzz target into corpus/.

Each seed is a short program in the target's encoding (see arbitrary_model.h)
aimed at one family of corner cases. Rerun after changing the encoding:
    python3 fuzz/make_seeds.py
Inputs found by fuzzing are kept beside the seeds under their own names.
"""
import os
import struct

HERE = os.path.dirname(os.path.abspath(__file__))
CORPUS = os.path.join(HERE, "corpus")

INTS = [0, 1, -1, 2, -2, 9, 10, -10,
        0x7FFF, 0x8000, -0x8000, -0x8001, 0xFFFF, 0x10000, -0xFFFF, -0x10000,
        0x3FFFFFFE, 0x3FFFFFFF, 0x40000000, -0x3FFFFFFF, -0x40000000, -0x40000001, 2**31 - 1, -2**31,
        -2**31 + 1, 100000, -100000, 327679, 327680, 46340, 46341, 2147395600]
DIVISORS = [10, 2, 3, 7, 1, 9, 16, 255, 256, 1000, 10000, 32768, 65535, 65534, 65536, 65537,
            100000, 0x7FFFFFFF, 0x80000000, 0xFFFFFFFF]
TEXT_BYTES = ("01234567890123456789012345678901234567890123456789"
              "-+ \t\n\v\f\r,.a/:").encode() + b"\x80\xA4\xFF"

(TEXT, COPY, MOVE, ASSIGN, ASSIGN_INT, ADD, SUB, MUL, ADD_INT, SUB_INT, MUL_INT, COMPARE, DIVIDE,
 PRINT, NEGATE, GUARD, RAW, RESIZE, SET_MAG32, LOW32) = range(20)


class Program:
    def __init__(self):
        self.out = bytearray()

    def op(self, opcode, a=0, b=0):
        self.out += bytes([opcode, a | (b << 2)])
        return self

    def int_(self, v):
        if v in INTS:
            self.out.append(INTS.index(v))
        else:
            self.out.append(0x80)
            self.out += struct.pack("<i", v)
        return self

    def divisor(self, d):
        if d in DIVISORS:
            self.out.append(DIVISORS.index(d))
        else:
            self.out.append(0x80)
            self.out += struct.pack("<I", d)
        return self

    def text(self, a, t):
        data = t.encode("latin-1")
        if len(data) > 12:
            data += b"a" * (-len(data) % 8)  # long lengths step by 8; a trailing letter is skipped
        n = len(data)
        assert n <= 760, n
        self.op(TEXT, a).out.append(n if n <= 12 else 160 + n // 8)
        self.out += bytes(TEXT_BYTES.index(c) for c in data)
        return self

    def raw(self, a, limbs, negative=False):
        self.op(RAW, a).out += bytes([len(limbs) - 1, 1 if negative else 0])
        for limb in limbs:
            self.out += struct.pack("<H", limb)
        return self

    def binary(self, opcode, a, b):
        return self.op(opcode, a, b)

    def with_int(self, opcode, a, v):
        return self.op(opcode, a).int_(v)

    def compare(self, a, b, w):
        return self.op(COMPARE, a, b).int_(w)

    def divide(self, a, d):
        return self.op(DIVIDE, a).divisor(d)

    def print_(self, a):
        return self.op(PRINT, a)

    def guard(self, a, which):
        self.op(GUARD, a).out.append(which)
        return self

    def resize(self, a, code):
        self.op(RESIZE, a).out.append(code)
        return self


def seeds():
    s = {}

    p = Program()
    for t in ["12345678", "-1234567", " -123456", "", "a.a:", "+42", "\t7", "-", "1 2", "99999999"]:
        p.text(0, t).print_(0).compare(0, 1, 0)
    s["text-short"] = p

    p = Program()
    for t in ["123456789", "-123456789", "-000000001", "000000000327679", "000000000327680"]:
        p.text(1, t).print_(1)
    p.text(2, "12,345,678,901").print_(2)
    s["text-long"] = p

    p = Program()
    p.text(0, " -1234567").text(1, "12,345,678,901.").text(2, "-" + "7" * 39).print_(2)
    p.text(3, "2147483647" + "00" * 51).print_(3).divide(3, 10).print_(3)
    s["text-long-separators"] = p

    # The calculator's candidate step: square rootStrNew, subtract noScaled, test the sign.
    p = Program()
    for root, scaled in [("14", "200"), ("141", "20000"), ("46340", "2147483647"),
                         ("463404", "214748364700"), ("4634049", "21474836470000")]:
        p.text(0, root).text(1, root).binary(MUL, 0, 1).print_(0)
        p.text(2, scaled).with_int(ASSIGN_INT, 3, 0).binary(ASSIGN, 3, 0).binary(SUB, 3, 2)
        p.compare(3, 2, 0).print_(3)
    s["calculator-step"] = p

    p = Program()
    p.with_int(ASSIGN_INT, 0, 0x3FFFFFFE).with_int(SUB_INT, 0, 0x40000000).print_(0)
    p.with_int(ASSIGN_INT, 1, 0x3FFFFFFE).with_int(ADD_INT, 1, 1).with_int(ADD_INT, 1, 1).print_(1)
    p.with_int(ASSIGN_INT, 2, -0x3FFFFFFF).with_int(SUB_INT, 2, 1).with_int(SUB_INT, 2, 2**31 - 1).print_(2)
    p.with_int(ASSIGN_INT, 3, -2**31).with_int(SUB_INT, 3, -2**31).print_(3)
    p.with_int(ASSIGN_INT, 0, 2**31 - 1).with_int(ADD_INT, 0, 2**31 - 1).with_int(SUB_INT, 0, -2**31)
    p.with_int(ASSIGN_INT, 1, 3).raw(2, [0, 1]).binary(SUB, 1, 2).print_(1)
    p.raw(2, [0x8000, 0]).with_int(SUB_INT, 2, 40000).print_(2)
    p.raw(3, [0, 0, 1]).with_int(SUB_INT, 3, 1).print_(3).with_int(ADD_INT, 3, 1).print_(3)
    p.raw(0, [0xFFFF, 0xFFFF]).with_int(ADD_INT, 0, 1).raw(1, [0, 1]).with_int(ADD_INT, 1, -1)
    s["add-subtract-corners"] = p

    p = Program()
    p.with_int(ASSIGN_INT, 0, 0x8000).with_int(ASSIGN_INT, 1, 0x8000).binary(MUL, 0, 1).compare(0, 1, 0x40000000)
    p.with_int(ASSIGN_INT, 2, -0x8000).with_int(MUL_INT, 2, -0x8000).with_int(MUL_INT, 2, 10).print_(2)
    p.raw(3, [0xFFFF, 0xFFFF]).binary(MUL, 3, 3).print_(3)
    p.raw(3, [0xFFFF, 0xFFFF]).with_int(MUL_INT, 3, 0xFFFF).print_(3)
    p.raw(1, [0x1234, 0x5678]).with_int(MUL_INT, 1, 0x10000).print_(1)
    p.with_int(ASSIGN_INT, 0, 30000).with_int(MUL_INT, 0, -100000).print_(0)
    p.with_int(ASSIGN_INT, 0, 3).with_int(MUL_INT, 0, 100000).with_int(MUL_INT, 0, -2**31).print_(0)
    p.raw(2, [5, 0, 7], negative=True).with_int(MUL_INT, 2, 0).print_(2).compare(2, 1, 0).compare(2, 1, -1)
    p.raw(1, [1, 2, 3, 4, 5, 6], negative=True).binary(MUL, 1, 1).binary(MUL, 1, 1).print_(1)
    s["multiply-corners"] = p

    p = Program()
    p.with_int(ASSIGN_INT, 0, -2**31).divide(0, 10).print_(0)
    p.with_int(ASSIGN_INT, 0, -25).divide(0, 10).with_int(ASSIGN_INT, 0, -5).divide(0, 10)
    p.raw(1, [0, 0, 1]).divide(1, 10).print_(1)
    p.raw(1, [0, 0, 1], negative=True).divide(1, 10).print_(1)
    p.raw(2, [4096, 24414, 0]).divide(2, 10).print_(2)
    p.raw(3, [0, 0, 0]).divide(3, 10).raw(3, [0, 0]).divide(3, 10)
    p.raw(0, [0, 0x8000]).divide(0, 1).print_(0).divide(0, 0xFFFFFFFF)
    p.raw(1, [9, 8, 7, 6, 5]).divide(1, 0x80000000).raw(1, [9, 8, 7, 6, 5]).divide(1, 65537)
    p.raw(2, [0xFFFF, 0xFFFF, 0xFFFF], negative=True).divide(2, 65535).divide(2, 3).print_(2)
    s["divide-corners"] = p

    p = Program()
    p.raw(0, [0x1170, 1], negative=True)
    for w in [-70001, -69999, -70000, 0]:
        p.compare(0, 1, w)
    p.raw(1, [0, 0x8000], negative=True).compare(1, 0, -2**31)
    p.raw(2, [0, 0], negative=True).compare(2, 1, 0).compare(2, 0, -1).print_(2)
    p.raw(3, [0, 0x4000, 0]).compare(3, 2, 0x40000000).compare(3, 2, 0x3FFFFFFF)
    p.with_int(ASSIGN_INT, 1, 0x40000000).compare(1, 3, 0).compare(3, 1, 0)
    p.raw(0, [0, 0, 1]).raw(1, [0xFFFF, 0xFFFF]).compare(0, 1, 0).compare(1, 0, 0)
    p.op(NEGATE, 0).op(NEGATE, 1).compare(0, 1, 0).compare(1, 0, 0)
    s["compare-corners"] = p

    p = Program()
    p.with_int(ASSIGN_INT, 0, 123456).binary(ADD, 0, 0).binary(SUB, 0, 0).print_(0)
    p.raw(1, [7, 0, 3, 0], negative=True).binary(ADD, 1, 1).binary(MUL, 1, 1).binary(SUB, 1, 1).print_(1)
    p.with_int(ASSIGN_INT, 2, -2**31).op(NEGATE, 2).print_(2).op(NEGATE, 2).print_(2)
    p.op(COPY, 3, 1).op(MOVE, 0, 3).op(MOVE, 2, 2).op(COPY, 2, 2)
    s["self-copy-move"] = p

    p = Program()
    for v, which in [(0x3FFFFFFE, 0), (0x3FFFFFFF, 0), (-0x3FFFFFFF, 0), (-0x40000000, 0),
                     (0x7FFF, 1), (0x8000, 1), (-0x8000, 1), (-0x8001, 1)]:
        p.with_int(ASSIGN_INT, 0, v).guard(0, which).print_(0).op(LOW32, 0)
    p.raw(1, [5, 0, 0], negative=True).guard(1, 2).raw(1, [0, 0]).guard(1, 2).raw(1, [7, 0, 3, 0]).guard(1, 2)
    p.raw(2, [1, 2, 3]).resize(2, 2).print_(2).resize(2, 0x80 + 2).print_(2).resize(2, 0x80)
    p.op(SET_MAG32, 3).out += struct.pack("<I", 0x80000000)
    p.op(LOW32, 3).raw(3, [1, 2, 3, 4]).op(LOW32, 3)
    s["form-changes"] = p

    return s


def main():
    os.makedirs(CORPUS, exist_ok=True)
    for name, program in seeds().items():
        with open(os.path.join(CORPUS, "seed-" + name), "wb") as f:
            f.write(bytes(program.out))


if __name__ == "__main__":
    main()
