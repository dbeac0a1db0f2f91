#!/usr/bin/env python3
"""Translates 7-Zip's x86-64 assembly LZMA decoder (LzmaDecOpt.asm with its macro file
7zAsm.asm, MASM syntax) into GNU as input in Intel syntax, for one of the two ABIs the
source supports: the Windows x64 one (our DLL) or the System V one (the native build).

It is a preprocessor for the MASM subset these two files use, not a general assembler:
  include, conditional assembly (if/elseif/else/endif, ifdef/ifndef, with MASM's
  operators), macros with parameters (`:req`, invoked with or without parentheses, with
  `@CatStr`), equ/textequ/`=` (a numeric value is evaluated where it is defined, as MASM
  does; anything else stays text and is expanded where it is used), struct/ends (fields
  become `<size> ptr [base + offset]`, `SIZEOF` the struct's size), proc/endp, .code and
  segments (an own text section with its alignment), align, `comment` blocks, `.err`,
  anonymous labels (`@@`, `@F`, `@B` become numbered local labels), the procedure's labels
  (made assembler-local), `short` and `near ptr` jumps, MASM's hexadecimal numbers.
Anything else it meets stops it with the line it could not translate, so a newer source
that uses more of MASM fails the build instead of assembling into something else.

Usage: masm_to_gas.py --abi {win64,sysv} INPUT.asm OUTPUT.s
"""
import argparse
import os
import re
import sys

IDENT = r"[A-Za-z_@$?][A-Za-z0-9_@$?]*"
IDENT_RE = re.compile(IDENT)
REGISTERS = {
    r.lower()
    for r in (
        "rax rcx rdx rbx rsp rbp rsi rdi eax ecx edx ebx esp ebp esi edi ax cx dx bx sp bp si di "
        "al cl dl bl ah ch dh bh spl bpl sil dil".split()
        + [f"r{i}{s}" for i in range(8, 16) for s in ("", "d", "w", "b")]
    )
}
SIZES = {"db": 1, "dw": 2, "dd": 4, "dq": 8}
PTR_NAMES = {1: "byte", 2: "word", 4: "dword", 8: "qword"}


class TranslateError(Exception):
    pass


class Macro:
    def __init__(self, name, params, body):
        self.name, self.params, self.body = name, params, body


class Struct:
    def __init__(self, name):
        self.name, self.fields, self.size = name, {}, 0


# ---- expressions --------------------------------------------------------------------

TOKEN_RE = re.compile(r"\s*(?:(?P<num>[0-9][0-9A-Fa-f]*[hH]?)|(?P<id>" + IDENT + r")|(?P<op><=|>=|[-+*/()]))")
BINARY = {  # MASM's precedence: higher binds tighter
    "*": 8, "/": 8, "mod": 8, "shl": 8, "shr": 8,
    "+": 7, "-": 7,
    "eq": 6, "ne": 6, "lt": 6, "le": 6, "gt": 6, "ge": 6,
    "and": 4, "or": 3, "xor": 3,
}


def parse_number(text):
    if text[-1] in "hH":
        return int(text[:-1], 16)
    return int(text, 10)


class Evaluator:
    """Evaluates a MASM constant expression; `lookup` gives an identifier's value or None."""

    def __init__(self, text, lookup):
        self.tokens, self.lookup, self.pos = [], lookup, 0
        text = text.strip()
        i = 0
        while i < len(text):
            m = TOKEN_RE.match(text, i)
            if not m or m.end() == i:
                raise TranslateError(f"not a constant expression: {text}")
            if m.group("num"):
                self.tokens.append(("num", parse_number(m.group("num"))))
            elif m.group("id"):
                word = m.group("id")
                if word.lower() in BINARY or word.lower() == "not":
                    self.tokens.append(("op", word.lower()))
                else:
                    self.tokens.append(("id", word))
            else:
                self.tokens.append(("op", m.group("op")))
            i = m.end()
            while i < len(text) and text[i].isspace():
                i += 1

    def value(self):
        result = self.binary(0)
        if self.pos != len(self.tokens):
            raise TranslateError("trailing tokens in expression")
        return result

    def peek(self):
        return self.tokens[self.pos] if self.pos < len(self.tokens) else (None, None)

    def binary(self, min_level):
        left = self.unary()
        while True:
            kind, op = self.peek()
            if kind != "op" or op not in BINARY or BINARY[op] < min_level:
                return left
            self.pos += 1
            right = self.binary(BINARY[op] + 1)
            left = apply(op, left, right)

    def unary(self):
        kind, tok = self.peek()
        if kind is None:
            raise TranslateError("expression ends early")
        self.pos += 1
        if kind == "num":
            return tok
        if kind == "id":
            value = self.lookup(tok)
            if value is None:
                raise TranslateError(f"unknown constant {tok}")
            return value
        if tok == "(":
            value = self.binary(0)
            if self.peek() != ("op", ")"):
                raise TranslateError("missing )")
            self.pos += 1
            return value
        if tok == "-":
            return -self.binary(8)
        if tok == "+":
            return self.binary(8)
        if tok == "not":
            return ~self.binary(5)
        raise TranslateError(f"unexpected {tok}")


def apply(op, a, b):
    if op == "/":
        if b == 0:
            raise TranslateError("division by zero")
        return int(a / b)
    table = {
        "*": lambda: a * b, "mod": lambda: a % b, "shl": lambda: a << b, "shr": lambda: a >> b,
        "+": lambda: a + b, "-": lambda: a - b,
        "eq": lambda: -(a == b), "ne": lambda: -(a != b), "lt": lambda: -(a < b),
        "le": lambda: -(a <= b), "gt": lambda: -(a > b), "ge": lambda: -(a >= b),
        "and": lambda: a & b, "or": lambda: a | b, "xor": lambda: a ^ b,
    }
    return table[op]()


# ---- the translator -----------------------------------------------------------------


def strip_comment(line):
    out, quote = [], None
    for ch in line:
        if quote:
            if ch == quote:
                quote = None
        elif ch in "'\"":
            quote = ch
        elif ch == ";":
            break
        out.append(ch)
    return "".join(out).rstrip()


def split_args(text):
    args, depth, cur = [], 0, []
    for ch in text:
        if ch in "([<":
            depth += 1
        elif ch in ")]>":
            depth -= 1
        if ch == "," and depth == 0:
            args.append("".join(cur).strip())
            cur = []
        else:
            cur.append(ch)
    if "".join(cur).strip() or args:
        args.append("".join(cur).strip())
    return args


class Translator:
    def __init__(self, abi, source_dir):
        self.abi, self.source_dir = abi, source_dir
        self.elf = abi == "sysv"
        self.equ = {}  # lower-case name -> ("num", int) or ("text", str)
        self.macros = {}
        self.structs = {}
        self.out = []
        self.cond = []  # stack of [active, taken_already, parent_active]
        self.capture = None  # macro being defined: (name, params, body, depth)
        self.struct = None
        self.comment_end = None
        self.segment = None
        self.proc = None
        self.labels_all = set()  # the procedures' labels, lower-case
        self.anon = 0  # number of the last anonymous label defined
        self.ended = False
        # What the command line of MASM's x64 build defines.
        self.equ["x64"] = ("num", 1)
        if abi == "sysv":
            self.equ["abi_linux"] = ("num", 1)
        self.where = ""

    # -- symbols
    def lookup_number(self, name):
        entry = self.equ.get(name.lower())
        if entry is None:
            return None
        if entry[0] == "num":
            return entry[1]
        return Evaluator(entry[1], self.lookup_number).value()

    def evaluate(self, text):
        return Evaluator(self.expand_text(text), self.lookup_number).value()

    def try_evaluate(self, text):
        try:
            return self.evaluate(text)
        except TranslateError:
            return None

    def expand_text(self, text, depth=0):
        """Replaces text and numeric equates and @CatStr, repeatedly."""
        if depth > 50:
            raise TranslateError(f"equates nest too deep: {text}")

        def catstr(m):
            return "".join(a.strip() for a in split_args(m.group(1)))

        text = re.sub(r"@CatStr\(([^()]*)\)", catstr, text, flags=re.I)
        changed = False

        def repl(m):
            nonlocal changed
            word = m.group(0)
            entry = self.equ.get(word.lower())
            if entry is None:
                return word
            changed = True
            if entry[0] == "num":
                return str(entry[1]) if entry[1] >= 0 else f"({entry[1]})"
            return entry[1]

        # Struct field names after "Struct." are not equates.
        result = re.sub(r"(?<![.\w@$?])" + IDENT, repl, text)
        return self.expand_text(result, depth + 1) if changed else result

    # -- output
    def emit(self, text):
        self.out.append(text)

    # -- lines
    def run_file(self, path):
        with open(path, encoding="latin-1") as f:
            lines = f.read().splitlines()
        name = os.path.basename(path)
        for number, line in enumerate(lines, 1):
            if self.ended:
                break
            self.where = f"{name}:{number}"
            try:
                self.line(line)
            except TranslateError as e:
                raise TranslateError(f"{self.where}: {e}\n    {line.strip()}") from None

    def line(self, raw):
        if self.comment_end is not None:
            if self.comment_end in raw:
                self.comment_end = None
            return
        line = strip_comment(raw)
        words = line.split()
        if not words:
            return
        first = words[0].lower()
        second = words[1].lower() if len(words) > 1 else ""

        if self.capture is not None:
            name, params, body, depth = self.capture
            if second == "macro":
                depth += 1
            if first == "endm":
                depth -= 1
                if depth == 0:
                    self.macros[name.lower()] = Macro(name, params, body)
                    self.capture = None
                    return
            body.append(line)
            self.capture = (name, params, body, depth)
            return

        # Conditional assembly is followed even in skipped parts.
        if first in ("if", "ifdef", "ifndef"):
            active = self.active()
            value = False
            if active:
                arg = line.split(None, 1)[1]
                if first == "if":
                    value = self.evaluate(arg) != 0
                else:
                    value = arg.strip().lower() in self.equ or arg.strip().lower() in self.macros
                    if first == "ifndef":
                        value = not value
            self.cond.append([active and value, value, active])
            return
        if first in ("elseif", "else"):
            if not self.cond:
                raise TranslateError(f"{first} without if")
            top = self.cond[-1]
            if first == "else":
                top[0] = top[2] and not top[1]
            else:
                value = top[2] and not top[1] and self.evaluate(line.split(None, 1)[1]) != 0
                top[0] = value
                top[1] = top[1] or value
            return
        if first == "endif":
            if not self.cond:
                raise TranslateError("endif without if")
            self.cond.pop()
            return
        if not self.active():
            return

        if first == "comment":
            delimiter = line.split(None, 1)[1].strip()[0]
            rest = line.split(None, 1)[1].strip()[1:]
            if delimiter not in rest:
                self.comment_end = delimiter
            return
        if second == "macro":
            params = [p.split(":")[0].strip() for p in split_args(line.split(None, 2)[2])] if len(words) > 2 else []
            self.capture = (words[0], params, [], 1)
            return
        if self.struct is not None:
            self.struct_line(words, line)
            return
        if second == "struct":
            self.struct = Struct(words[0])
            return
        if second in ("equ", "textequ") or (len(words) > 1 and words[1] == "="):
            self.define(words[0], line.split(None, 2)[2] if len(words) > 2 else "", second)
            return
        if first == "include":
            self.run_file(os.path.join(self.source_dir, words[1]))
            return
        if first == "option":
            return  # PROLOGUE/EPILOGUE:NONE: the procedures have no generated frame anyway
        if first == ".err":
            raise TranslateError(f".err in the source: {line}")
        if first == "end":
            self.ended = True
            return
        if first == ".code":
            self.emit("\t.text")
            return
        if second == "segment":
            self.segment_start(words[0], line)
            return
        if second == "ends" and self.segment is not None and words[0].lower() == self.segment.lower():
            self.segment = None
            self.emit("\t.text")
            return
        if first == "align":
            self.emit(f"\t.balign {self.evaluate(line.split(None, 1)[1])}")
            return

        if self.macro_call(line) is not None:
            return
        if second in ("proc", "endp"):
            name = self.expand_text(words[0])
            if second == "proc":
                self.proc_start(name)
            else:
                self.proc_end(name)
            return
        self.instruction(line)

    def active(self):
        return all(c[0] for c in self.cond)

    def define(self, name, value, kind):
        value = value.strip()
        if kind == "textequ":
            if value.startswith("<") and value.endswith(">"):
                value = value[1:-1]
            self.equ[name.lower()] = ("text", value)
            return
        number = self.try_evaluate(value)
        if number is not None:
            self.equ[name.lower()] = ("num", number)
        elif kind == "=":
            raise TranslateError(f"{name} = needs a constant: {value}")
        else:
            self.equ[name.lower()] = ("text", value)

    def struct_line(self, words, line):
        if len(words) >= 2 and words[1].lower() == "ends":
            if words[0].lower() != self.struct.name.lower():
                raise TranslateError("ends of another struct")
            self.structs[self.struct.name.lower()] = self.struct
            self.equ[f"sizeof {self.struct.name.lower()}"] = ("num", self.struct.size)
            self.struct = None
            return
        field = words[0]
        definition = self.expand_text(line.split(None, 1)[1]).split()
        kind = definition[0].lower()
        if kind not in SIZES or definition[1:] != ["?"]:
            raise TranslateError(f"unsupported struct field: {line.strip()}")
        self.struct.fields[field.lower()] = (self.struct.size, SIZES[kind])
        self.struct.size += SIZES[kind]

    def segment_start(self, name, line):
        m = re.search(r"\bALIGN\s*\(\s*(\d+)\s*\)", line, re.I)
        align = int(m.group(1)) if m else 16
        self.segment = name
        # 7-Zip names the section "_TEXT$..." for its own alignment: ours is a text section too.
        tag = re.sub(r"[^a-z0-9]", "", name.split("$")[-1].lower())
        if self.elf:
            self.emit(f'\t.section .text.{tag},"ax",@progbits')
        else:
            self.emit(f'\t.section .text${tag},"xr"')
        self.emit(f"\t.balign {align}")

    def macro_call(self, line):
        m = re.match(r"\s*(" + IDENT + r")\s*(.*)$", line)
        if not m:
            return None
        macro = self.macros.get(m.group(1).lower())
        if macro is None:
            return None
        rest = m.group(2).strip()
        if rest.startswith("(") and rest.endswith(")"):
            rest = rest[1:-1]
        args = split_args(rest) if rest else []
        if len(args) > len(macro.params):
            raise TranslateError(f"too many arguments for {macro.name}")
        args += [""] * (len(macro.params) - len(args))
        table = {p.lower(): a for p, a in zip(macro.params, args)}

        def substitute(text):
            if not table:
                return text
            pattern = r"(?<![\w@$?])(" + "|".join(re.escape(p) for p in macro.params) + r")(?![\w@$?])"
            return re.sub(pattern, lambda mm: table[mm.group(1).lower()], text, flags=re.I)

        for body_line in macro.body:
            self.line(substitute(body_line))
        return macro

    def proc_start(self, name):
        if self.proc is not None:
            raise TranslateError("nested proc")
        self.proc = name
        self.emit(f"\t.globl {name}")
        if self.elf:
            self.emit(f"\t.hidden {name}")
            self.emit(f"\t.type {name}, @function")
        else:
            self.emit(f"\t.def {name}; .scl 2; .type 32; .endef")
        self.emit(f"{name}:")

    def proc_end(self, name):
        if self.proc is None or self.proc.lower() != name.lower():
            raise TranslateError("endp without its proc")
        if self.elf:
            self.emit(f"\t.size {name}, .-{name}")
        self.proc = None

    # -- instructions
    def instruction(self, line):
        line = line.strip()
        m = re.match(r"(" + IDENT + r")\s*:\s*(.*)$", line)
        if m and m.group(1) != "@@":
            self.emit(f"{self.label(m.group(1))}:")
            if m.group(2):
                self.instruction(m.group(2))
            return
        if line.startswith("@@:"):
            self.anon += 1
            self.emit(f"{self.anon}:")
            if line[3:].strip():
                self.instruction(line[3:].strip())
            return
        parts = line.split(None, 1)
        mnemonic = parts[0].lower()
        if not re.fullmatch(r"[a-z][a-z0-9]*", mnemonic):
            raise TranslateError(f"not an instruction: {line}")
        operands = split_args(parts[1]) if len(parts) > 1 else []
        prefix = ""
        translated = []
        for operand in operands:
            op, near = self.operand(operand)
            if near:
                prefix = "{disp32} "
            translated.append(op)
        text = f"\t{prefix}{mnemonic}"
        if translated:
            text += "\t" + ", ".join(translated)
        self.emit(text)

    def label(self, name):
        return f".L{name.lower()}"

    def operand(self, text):
        near = False
        text = self.expand_text(text.strip())
        # Jump distances: "short" is the assembler's choice; "near ptr" asks for a 32-bit
        # displacement (7-Zip uses it to place the loop that follows).
        text, count = re.subn(r"^\s*short\s+", "", text, flags=re.I)
        text, count = re.subn(r"^\s*near\s+ptr\s+", "", text, flags=re.I)
        if count:
            near = True
        if re.fullmatch(r"\s*@[fF]\s*", text):
            return f"{self.anon + 1}f", near
        if re.fullmatch(r"\s*@[bB]\s*", text):
            return f"{self.anon}b", near
        # [base].Struct.field
        size_ptr = None
        m = re.search(r"\[\s*(" + IDENT + r")\s*\]\s*\.\s*(" + IDENT + r")\s*\.\s*(" + IDENT + r")", text)
        if m:
            struct = self.structs.get(m.group(2).lower())
            if struct is None:
                raise TranslateError(f"unknown struct {m.group(2)}")
            field = struct.fields.get(m.group(3).lower())
            if field is None:
                raise TranslateError(f"{m.group(2)} has no field {m.group(3)}")
            offset, size = field
            text = text[: m.start()] + f"[{m.group(1)} + {offset}]" + text[m.end() :]
            size_ptr = PTR_NAMES[size]
        # SIZEOF Struct
        text = re.sub(
            r"\bSIZEOF\s+(" + IDENT + r")",
            lambda mm: str(self.structs[mm.group(1).lower()].size),
            text,
            flags=re.I,
        )
        text = self.masm_numbers(text)
        number = self.try_evaluate(text) if "[" not in text else None
        if number is not None:
            return str(number), near
        # Anything else: registers, labels, memory operands with constant terms.
        words = [w for w in IDENT_RE.findall(re.sub(r"\b[0-9][0-9A-Fa-fxX]*\b", " ", text))]
        for w in words:
            lw = w.lower()
            if lw in REGISTERS or lw in ("byte", "word", "dword", "qword", "ptr") or lw in BINARY:
                continue
            if lw in self.labels_all:
                continue
            raise TranslateError(f"cannot translate {w!r} in operand {text!r}")
        text = re.sub(
            r"(?<![\w.@$?])" + IDENT,
            lambda mm: self.label(mm.group(0)) if mm.group(0).lower() in self.labels_all else mm.group(0).lower(),
            text,
        )
        text = re.sub(r"\s*\[\s*", " [", text).strip()
        text = re.sub(r"\s+", " ", text)
        if size_ptr and not re.search(r"\bptr\b", text):
            text = f"{size_ptr} ptr {text}"
        m = re.fullmatch(r"(byte|word|dword|qword) ptr \[(.*)\]", text)
        if m:
            text = f"{m.group(1)} ptr [{self.fold_address(m.group(2))}]"
        elif text.startswith("[") and text.endswith("]"):
            text = f"[{self.fold_address(text[1:-1])}]"
        return text, near

    def fold_address(self, inner):
        """Sums the constant terms of an address (GAS and MASM differ in precedence) and
        writes scaled registers as register * scale."""
        terms, depth, cur = [], 0, ""
        for ch in inner:
            if ch == "(":
                depth += 1
            elif ch == ")":
                depth -= 1
            if ch in "+-" and depth == 0 and cur.strip() and cur.strip()[-1] not in "*/(":
                terms.append(cur.strip())
                cur = ""
            cur += ch
        terms.append(cur.strip())
        registers, constant = [], 0
        for term in terms:
            sign = -1 if term.startswith("-") else 1
            body = (term[1:] if term[:1] in "+-" else term).strip()
            found = [w for w in IDENT_RE.findall(body) if w.lower() in REGISTERS]
            if found:
                factors = [f.strip() for f in body.split("*")]
                if sign < 0 or len(found) != 1 or len(factors) > 2:
                    raise TranslateError(f"unsupported address term {term} in [{inner}]")
                reg = found[0]
                scale = [f for f in factors if f != reg]
                registers.append(f"{reg}*{Evaluator(scale[0], lambda _n: None).value()}" if scale else reg)
            else:
                constant += sign * Evaluator(body, lambda _n: None).value()
        parts = " + ".join(registers)
        if constant:
            parts += f" + {constant}" if constant > 0 else f" - {-constant}"
        return parts

    @staticmethod
    def masm_numbers(text):
        return re.sub(r"\b([0-9][0-9A-Fa-f]*)[hH]\b", lambda m: str(int(m.group(1), 16)), text)

    def collect_labels(self, path):
        with open(path, encoding="latin-1") as f:
            for raw in f:
                line = strip_comment(raw)
                m = re.match(r"\s*include\s+(\S+)", line, re.I)
                if m:
                    self.collect_labels(os.path.join(self.source_dir, m.group(1)))
                    continue
                m = re.match(r"\s*(" + IDENT + r")\s*:(?!:)", line)
                if m and m.group(1) != "@@":
                    self.labels_all.add(m.group(1).lower())

    def translate(self, path):
        # The procedure's labels are local to it; find them all first (forward jumps).
        self.collect_labels(path)
        self.emit("\t.intel_syntax noprefix")
        self.run_file(path)
        if self.cond or self.capture or self.struct or self.proc:
            raise TranslateError("the source ends inside a block")
        if self.elf:
            self.emit('\t.section .note.GNU-stack,"",@progbits')
        return "\n".join(self.out) + "\n"


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--abi", choices=("win64", "sysv"), required=True)
    parser.add_argument("input")
    parser.add_argument("output")
    args = parser.parse_args()
    translator = Translator(args.abi, os.path.dirname(os.path.abspath(args.input)))
    try:
        text = translator.translate(args.input)
    except TranslateError as e:
        sys.exit(f"masm_to_gas: {e}")
    header = f"# Generated by tools/masm_to_gas.py --abi {args.abi} from {os.path.basename(args.input)}: do not edit.\n"
    tmp = args.output + ".tmp"
    with open(tmp, "w") as f:
        f.write(header + text)
    os.replace(tmp, args.output)


if __name__ == "__main__":
    main()
