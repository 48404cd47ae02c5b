#!/usr/bin/env python3
# --follow against the truth of programs built here with SDCC: the linker's .rst listings say
# which bytes are instructions, the map which names are code. The follow rules (sweep_model.py)
# must reach, from the reset address, the vectors and, with the map, its code symbols, only
# instructions that the listings hold, none of CONST, and opfreq must count exactly those. The
# library modules a program links are compiled here from SDCC's sources, so that every
# instruction has a listing. Then a hand-written program of AJMP, LJMP and SJMP tables.
#
# Usage: follow_test.py OPFREQ
import csv
import glob
import io
import json
import os
import re
import shutil
import subprocess
import sys
import tempfile
import unittest

from sweep_model import BRANCHES1, BRANCHES2, CALLS, HELPERS, JUMPS, Region, follow_sweep, intel_hex

OPFREQ = os.path.abspath(sys.argv.pop(1))
LIBRARY = "/usr/share/sdcc/lib/src"

PROGRAMS = {
    # printf_fast calls putchar; printf hands _print_format its output callback in DPTR.
    "pf.c": """#include <stdio.h>
#include <8051.h>
int putchar(int c) { SBUF = c; while (!TI); TI = 0; return c; }
void main(void) { printf_fast("%d %x %s\\n", 42, 0x1234, "hi"); printf("%u\\n", 7); while (1); }
""",
    # Tasks called through a table of pointers, one of them static, and an interrupt handler.
    "tasks.c": """#include <stdint.h>
volatile uint8_t x;
static void t0(void) { x += 1; }
void t1(void) { x += 2; }
void t2(void) { x ^= 0x55; }
typedef void (*task)(void);
__code const task tasks[] = {t0, t1, t2};
void tick(void) __interrupt(1) { x++; }
void main(void) { for (;;) for (uint8_t i = 0; i < 3; i++) tasks[i](); }
""",
}
# A tail call, a static helper that only a tail jump reaches, an interrupt handler whose early
# return jumps to the shared epilogue, a jump table; then a build with one function grown, one
# added and one removed.
OWN = """#include <stdint.h>
volatile uint8_t x, y;
static uint8_t helper(uint8_t a) { return a + x; }
void leaf(uint8_t a) { y = a; }
void tail(uint8_t a) { x = a; leaf(a + 1); }
uint8_t exits(uint8_t a) {
  if (a == 1) return 3;
  if (a == 2) return helper(a);
  if (a == 5) return 9;
  return 0;
}
void act(uint8_t k) {
  switch (k) {
    case 0: y = 1; break;
    case 1: y = 7; break;
    case 2: y = 9; x = 3; break;
    case 3: y = 4; break;
    case 4: x = 2; break;
    case 5: y = 5; x = 5; break;
    case 6: y = 6; GROWN break;
  }
}
void isr(void) __interrupt(1) { if (x == 3) return; x++; y = x * 3; }
void FUNCTION(void) { x ^= y; }
void main(void) { while (x != 0x55) { tail(x); act(exits(y)); FUNCTION(); } }
"""
PROGRAMS["own.c"] = OWN.replace("GROWN", "").replace("FUNCTION", "removed")
# Arithmetic of the library, then the same with main grown: every library routine moves.
MATH = """#include <stdint.h>
volatile float f, g; volatile int16_t i, j;
void main(void) { f = f * g + 1.5f; i = i / j + i % j; g = f / g - f; GROWN while (1); }
"""
PROGRAMS["math.c"] = MATH.replace("GROWN", "")
PROGRAMS["math2.c"] = MATH.replace("GROWN", "i ^= 0x55; j += 3;")
# Switches of 3, 8, 20 and 150 cases (compare chains, then SDCC's two MOVC tables, read by
# MOVC A,@A+PC and by MOVC A,@A+DPTR), statics that only a switch's case, a pointer table and a
# call reach; and a call through a pointer that --stack-auto makes a trampoline.
SWITCH = "void sw%d(uint8_t k) { switch (k) { %s case %d: by_switch(); break; } }\n"
PROGRAMS["cases.c"] = """#include <stdint.h>
volatile uint8_t x, y;
static void by_switch(void) { y ^= 0x5A; x++; }
static uint8_t by_call(uint8_t a) { return a + x; }
static void by_pointer(void) { x += 2; }
void other(void) { x ^= y; }
typedef void (*task)(void);
__code const task tasks[] = {by_pointer, other};
typedef uint8_t (*math)(uint8_t);
static uint8_t twice(uint8_t a) { return a + a; }
__code const math maths[] = {twice, by_call};
uint8_t apply(uint8_t i, uint8_t v) { return maths[i & 1](v); }
""" + "".join(SWITCH % (n, "".join("case %d: y = %d; x ^= %d; break; " % (i, i * 7 & 255, i)
                                    for i in range(n - 1)), n - 1) for n in (3, 8, 20, 150)) + """
void main(void) { while (x != 0x55) { sw3(x); sw8(x); sw20(x); sw150(x); y = apply(y, x); tasks[x & 1](); } }
"""
PROGRAMS["own2.c"] = OWN.replace("GROWN", "x = y + 7; y = x ^ 3;").replace("FUNCTION", "added")
ABSORBED = {"exits": "helper"}  # a static function that a tail jump reaches goes with the jump
BUILDS = [  # (program, output, SDCC options, opfreq options)
    ("own.c", "own.ihx", [], []),
    ("own2.c", "own2.ihx", [], []),
    ("pf.c", "pf.ihx", [], []),
    ("math.c", "math.ihx", [], []),
    ("math2.c", "math2.ihx", [], []),
    ("tasks.c", "tasks.ihx", [], []),
    ("own.c", "owna.ihx", ["--acall-ajmp"], []),
    ("tasks.c", "high.ihx", ["--code-loc", "0x2000"], ["--vectors", "2000", "--written"]),
    ("cases.c", "cases.ihx", ["--debug"], []),
    ("cases.c", "casess.ihx", ["--debug", "--stack-auto"], []),
    ("own.c", "ownd.ihx", ["--debug"], []),
    ("own.c", "ownad.ihx", ["--debug", "--acall-ajmp"], []),
]
def run(*args, cwd, input=None):
    return subprocess.run([OPFREQ, *args], capture_output=True, cwd=cwd, input=input, timeout=60)


def listing(paths):
    """Each instruction of the listings (a line with a cycle count): address -> its bytes, and
    the function SDCC assembled it in (its "; function NAME" mark), or None."""
    starts = {}
    line = re.compile(r"\s+([0-9A-F]{6}) ((?:[0-9A-F]{2} )+)\s*\[\s*\d+\]")
    for path in paths:
        function = None
        with open(path) as f:
            for text in f:
                if m := line.match(text):
                    starts[int(m[1], 16)] = (bytes.fromhex(m[2]), function)
                elif m := re.search(r";\s+function (\S+)$", text):
                    function = m[1]
    return starts


def image_of(path):
    """The bytes an Intel HEX file writes, FFh between them, and the offsets written."""
    image, written = bytearray(), set()
    with open(path) as f:
        records = [bytes.fromhex(r[1:]) for r in f.read().split()]
    for data in records:
        if data[3] == 0:
            at = data[1] << 8 | data[2]
            image.extend(b"\xff" * max(0, at + data[0] - len(image)))
            image[at:at + data[0]] = data[4:-1]
            written.update(range(at, at + data[0]))
    return bytes(image), written


# What a debug map names that is no code symbol: lines of assembler and C, and the marks of a
# global function's start and of any function's end.
DEBUG_MARK = re.compile(r"^(A\$|C\$|G\$[^$]*\$[^$]*\$|X[GF][^$]*\$[^$]*\$[^$]*\$)")


def got_address(analysis, name):
    """The two bytes of the address of the function `name` in a JSON analysis, if it has one."""
    address = [f["address"] for f in analysis["functions"] if f.get("name") == name]
    return bytes([address[0] >> 8, address[0] & 0xFF]) if address else None


def areas(map_path):
    """The map's code symbols (globals under a CODE area but CONST, XINIT, CABS) and the
    address range of CONST."""
    symbols, const, area, code = set(), range(0), None, False
    with open(map_path) as f:
        text = f.read()
    for m in re.finditer(r"^(\S+)\s+([0-9A-F]{8})\s+([0-9A-F]{8}) =\s+\d+\. bytes \(([^)]*)\)", text, re.M):
        if m[1] == "CONST":
            const = range(int(m[2], 16), int(m[2], 16) + int(m[3], 16))
    for line in text.splitlines():
        if m := re.match(r"^(\S+)\s+[0-9A-F]{8}\s+[0-9A-F]{8} =.*\(([^)]*)\)", line):
            area, code = m[1], "CODE" in m[2].split(",")
        elif (m := re.match(r"^C:\s+([0-9A-F]{8})\s+(\S+)", line)) and code and \
                area not in ("CONST", "XINIT", "CABS") and not DEBUG_MARK.match(m[2]):
            symbols.add(int(m[1], 16))
    return sorted(symbols), const


class SdccBuilds(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        cls.work = tempfile.mkdtemp()
        for name, text in PROGRAMS.items():
            with open(os.path.join(cls.work, name), "w") as f:
                f.write(text)
        for program, output, options, _ in BUILDS:
            cls.build(program, output, options)

    @classmethod
    def build(cls, program, output, options):
        """Links `program`, compiling each library module it needs from SDCC's sources, until
        the map names no library module: then every module has its listing."""
        # Each set of options its own library: --stack-auto changes how functions are called.
        lib, modules = os.path.join(cls.work, "lib" + "".join(options)), []
        os.makedirs(lib, exist_ok=True)
        while True:
            subprocess.run(["sdcc", *options, "-o", output, program, *modules], cwd=cls.work,
                           check=True, capture_output=True)
            with open(os.path.join(cls.work, output[:-4] + ".map")) as f:
                libraries = f.read().partition("Libraries Linked")[2]
            linked = re.findall(r"^\s+\[ (\S+)\.rel \]", libraries, re.M)
            if not linked:  # the library's listings as this link placed them, kept
                os.mkdir(os.path.join(cls.work, output + ".lib"))
                for rel in modules:
                    shutil.copy(rel[:-4] + ".rst", os.path.join(cls.work, output + ".lib"))
                return
            for module in linked:
                modules.append(os.path.join(lib, module + ".rel"))
                if os.path.exists(modules[-1]):
                    continue
                asm, c = LIBRARY + "/mcs51/%s.asm" % module, LIBRARY + "/%s.c" % module
                source = asm if os.path.exists(asm) else c
                shutil.copy(source, lib)
                compile = ["sdas8051", "-plosgff", module + ".rel", module + ".asm"] \
                    if source == asm else ["sdcc", *options, "-c", module + ".c"]
                subprocess.run(compile, cwd=lib, check=True, capture_output=True)

    @classmethod
    def tearDownClass(cls):
        shutil.rmtree(cls.work)

    def test_follow_counts_what_the_listing_reaches(self):
        demo = json.loads(run("--json", "-", cwd=self.work, input=b"\x02").stdout)
        lengths = [row["length"] for row in demo["opcodes"]]
        for program, output, _, options in BUILDS:
            stem = output[:-4]
            listed = listing(glob.glob(os.path.join(self.work, output + ".lib", "*.rst")) +
                             [os.path.join(self.work, stem + ".rst")])
            image, written = image_of(os.path.join(self.work, output))
            region = Region(image, written if "--written" in options else None, 0,
                            min(len(image), 65536) - 1, 0)
            symbols, const = areas(os.path.join(self.work, stem + ".map"))
            reset = int(options[1], 16) if options else 0
            for late, extra in (([], []), (symbols, ["--entry-symbols", "--symbols", stem + ".map"])):
                what = "%s %s" % (output, " ".join(extra))
                model, _, tables = follow_sweep(region, lengths, [], reset, late)
                self.assertEqual({a: image[a] for a in model.starts},
                                 {a: listed[a][0][0] if a in listed else None
                                  for a in model.starts}, what)
                self.assertFalse(any(a in const for a in model.starts), what)
                got = json.loads(run("--json", "--follow", *options, *extra, output,
                                     cwd=self.work).stdout)
                self.assertEqual([row["count"] for row in got["opcodes"]], model.counts, what)
                self.assertEqual(got["sweep"]["tables"], tables, what)
            if program == "own.c":  # its switch of seven cases: SJMP, or AJMP with --acall-ajmp
                self.assertNotEqual(tables, [], output)

    def functions_of(self, output):
        """What SDCC assembled under each function's mark: its bytes, and its opcode counts."""
        code = listing(glob.glob(os.path.join(self.work, output + ".lib", "*.rst")) +
                       [os.path.join(self.work, output[:-4] + ".rst")])
        functions = {}
        self.callers = {}  # LCALLs and ACALLs by target
        for address, (data, function) in code.items():
            if data[0] == 0x12 or data[0] & 0x1F == 0x11:
                target = data[1] << 8 | data[2] if data[0] == 0x12 else \
                    (address + 2) & 0xF800 | (data[0] >> 5) << 8 | data[1]
                self.callers[target] = self.callers.get(target, 0) + 1
            got = functions.setdefault(function, [0, {}])
            got[0] += len(data)
            got[1][data[0]] = got[1].get(data[0], 0) + 1
        for function, absorbed in ABSORBED.items():
            if absorbed in functions and function in functions:
                size, counts = functions.pop(absorbed)
                functions[function][0] += size
                for op, n in counts.items():
                    functions[function][1][op] = functions[function][1].get(op, 0) + n
        return functions

    def test_each_function_owns_what_was_assembled_under_its_mark(self):
        for output in ("own.ihx", "owna.ihx"):
            truth = self.functions_of(output)
            result = run("--json", "--functions", "--entry-symbols", "--maps", output,
                         cwd=self.work)
            got = json.loads(result.stdout)["functions"]
            named = [f for f in got if f.get("name", "")[1:] in truth]
            self.assertGreater(len(named), 3, output)
            for f in named:
                size, counts = truth[f["name"][1:]]
                self.assertEqual((f["bytes"], dict(f["opcodes"]), f["callers"]),
                                 (size, counts, self.callers.get(f["address"], 0)), f["name"])
            # Every instruction counted is in one function.
            self.assertEqual(sum(f["bytes"] for f in got), json.loads(
                run("--json", "--follow", "--entry-symbols", "--maps", output,
                    cwd=self.work).stdout)["sweep"]["bytes"], output)
            rows = list(csv.DictReader(io.StringIO(run(
                "--csv=functions", "--entry-symbols", "--maps", output, cwd=self.work).stdout.decode())))
            self.assertEqual([(int(r["address"], 16), r["name"], r["kind"], int(r["bytes"]),
                               int(r["callers"])) for r in rows],
                             [(f["address"], f.get("name", ""), f["kind"], f["bytes"], f["callers"])
                              for f in got], output)
            text = run("--functions", "--entry-symbols", "--maps", output, cwd=self.work).stdout
            lines = text.decode().split("\r\n")
            header = lines.index("functions by size:") + 1
            self.assertEqual(lines[header].split(),
                             ["bytes", "instrs", "calls", "callers", "address", "name"])
            shown = [line.split() for line in lines[header + 1:-1]]
            self.assertEqual(shown, [[str(f[k]) for k in ("bytes", "instructions", "calls", "callers")]
                                     + ["%04X" % f["address"]] + ([f["name"]] if "name" in f else [])
                                     for f in sorted(got, key=lambda f: (-f["bytes"], f["address"]))])

    def test_two_builds_compared_function_by_function(self):
        old, new = self.functions_of("own.ihx"), self.functions_of("own2.ihx")
        result = run("--json", "--compare", "--entry-symbols", "--maps", "own.ihx", "own2.ihx",
                     cwd=self.work)
        got = json.loads(result.stdout)
        changes = [(c["name"], c["old_bytes"], c["new_bytes"], c["delta"])
                   for c in got["functions"]]
        size = lambda functions, name: functions[name][0] if name in functions else None
        want = [("_" + n, size(old, n), size(new, n)) for n in ("act", "added", "removed")]
        self.assertEqual(sorted(changes), sorted((n, o, w, (w or 0) - (o or 0)) for n, o, w in want))
        self.assertEqual([abs(c[3]) for c in changes], sorted((abs(c[3]) for c in changes),
                                                               reverse=True))
        rows = list(csv.reader(io.StringIO(run("--csv=compare", "--entry-symbols", "--maps",
                                               "own.ihx", "own2.ihx", cwd=self.work).stdout.decode())))
        self.assertEqual([(r[2], r[5], r[6], r[7]) for r in rows[1:]],
                         [(n, str(o or ""), str(w or ""), str(d)) for n, o, w, d in changes])
        failed = run("--compare", "--maps", "own.ihx", "nosuch.ihx", cwd=self.work)
        self.assertEqual((failed.returncode, failed.stdout), (1, b""))
        self.assertEqual(run("--compare", "own.ihx", cwd=self.work).returncode, 2)
        text = run("--compare", "--entry-symbols", "--maps", "own.ihx", "own2.ihx",
                   cwd=self.work).stdout.decode().split("\r\n")
        self.assertEqual(text[0], "own.ihx -> own2.ihx")
        self.assertEqual([line.split() for line in text[4:4 + len(changes)]],
                         [[str(o or "-"), str(w or "-"), "%+d" % d if d else "0", n]
                          for n, o, w, d in changes])

    def marked(self, output):
        """What the listings assemble under each function's mark, by its name: its bytes, its
        opcode counts and its call instructions; the calls of each address; and the names of the
        program's own functions."""
        rst = os.path.join(self.work, output[:-4] + ".rst")
        functions, callers = {}, {}
        for address, (data, function) in listing(
                glob.glob(os.path.join(self.work, output + ".lib", "*.rst")) + [rst]).items():
            call = data[0] == 0x12 or data[0] & 0x1F == 0x11
            if call:
                target = data[1] << 8 | data[2] if data[0] == 0x12 else \
                    (address + 2) & 0xF800 | (data[0] >> 5) << 8 | data[1]
                callers[target] = callers.get(target, 0) + 1
            got = functions.setdefault(function, [0, {}, 0])
            got[0] += len(data)
            got[1][data[0]] = got[1].get(data[0], 0) + 1
            got[2] += call
        return functions, callers, set(f for _, f in listing([rst]).values()) - {None}

    def test_a_debug_map_gives_each_function_as_the_listing_has_it(self):
        for output in ("cases.ihx", "casess.ihx", "ownd.ihx", "ownad.ihx"):
            truth, callers, own = self.marked(output)
            got = json.loads(run("--json", "--functions", "--entry-symbols", "--maps", output,
                                 cwd=self.work).stdout)
            # _name for a global, module:name for a static
            named = {re.sub(r"^_|^[^:]*:", "", f["name"]): f for f in got["functions"]
                     if "name" in f}
            self.assertLessEqual(own, set(named), output)
            for name in set(named) & set(truth):
                f = named[name]
                self.assertEqual((f["bytes"], dict(f["opcodes"]), f["calls"], f["callers"]),
                                 (truth[name][0], truth[name][1], truth[name][2],
                                  callers.get(f["address"], 0)), "%s %s" % (output, name))
            self.assertEqual(got["sweep"]["unresolved"], [
                {"address": a, "kind": "indirect call"} for a, (data, _) in sorted(listing(
                    [os.path.join(self.work, output[:-4] + ".rst")]).items())
                if data[:1] == b"\x12" and data[1:] == got_address(got, "__sdcc_call_dptr")],
                output)

    def test_a_build_with_acall_ajmp_compares_as_the_listings_differ(self):
        old, new = self.marked("ownd.ihx")[0], self.marked("ownad.ihx")[0]
        got = json.loads(run("--json", "--compare", "--entry-symbols", "--maps", "ownd.ihx",
                             "ownad.ihx", cwd=self.work).stdout)
        named = {re.sub(r"^_|^[^:]*:", "", c["name"]): c["delta"] for c in got["functions"]
                 if c["name"]}
        want = {name: new[name][0] - old[name][0] for name in set(old) & set(new) - {None}
                if new[name][0] != old[name][0]}
        self.assertGreaterEqual(len(want), 3)
        self.assertEqual({n: d for n, d in named.items() if n in old or n in new}, want)

    def test_the_call_graph_is_the_listings(self):
        for output in ("ownd.ihx", "cases.ihx"):
            got = json.loads(run("--json", "--functions", "--entry-symbols", "--maps", output,
                                 cwd=self.work).stdout)["functions"]
            starts = {f["address"] for f in got}
            calls, jumps = {}, {}  # by the listing's function: each target with its count
            for address, (data, function) in listing(
                    glob.glob(os.path.join(self.work, output + ".lib", "*.rst")) +
                    [os.path.join(self.work, output[:-4] + ".rst")]).items():
                op, after = data[0], address + len(data)
                if op in (0x02, 0x12):
                    target = data[1] << 8 | data[2]
                elif op & 0x1F in (0x01, 0x11):
                    target = after & 0xF800 | (op >> 5) << 8 | data[1]
                elif op in JUMPS | BRANCHES1 | BRANCHES2:
                    target = (after + (data[-1] ^ 0x80) - 0x80) & 0xFFFF
                else:
                    continue
                edges = calls if op in CALLS else jumps
                edges.setdefault(function, {}).setdefault(target, 0)
                edges[function][target] += 1
            for f in got:
                name = re.sub(r"^_|^[^:]*:", "", f.get("name", ""))
                if name not in calls and name not in jumps:
                    continue
                tail = {t: n for t, n in jumps.get(name, {}).items()
                        if t in starts and t != f["address"]}
                self.assertEqual((dict(f["calls_to"]), dict(f["jumps_to"])),
                                 (calls.get(name, {}), tail), "%s %s" % (output, name))
                for kind, back in (("calls_to", "called_from"), ("jumps_to", "jumped_from")):
                    self.assertEqual(f[back], [[g["address"], dict(g[kind])[f["address"]]]
                                               for g in got if f["address"] in dict(g[kind])])

    def test_moved_code_is_no_change_and_ci_can_read_the_comparison(self):
        sizes = [self.marked(b)[0]["act"][0] for b in ("own.ihx", "own2.ihx")]
        got = json.loads(run("--json", "--compare", "own.ihx", "own2.ihx", cwd=self.work).stdout)
        # Stripped, every function is unnamed: those that only moved match by their content.
        self.assertEqual([(c["old_bytes"], c["new_bytes"]) for c in got["functions"]], [tuple(sizes)])
        self.assertEqual((got["code"]["delta"], got["image"]["delta"]), (sizes[1] - sizes[0],) * 2)
        delta = got["code"]["delta"]
        for budget in (delta - 1, delta):
            result = run("--compare", "--max-growth", str(budget), "own.ihx", "own2.ihx",
                         cwd=self.work)
            over = budget < delta
            self.assertEqual((result.returncode, result.stderr.decode()),
                             (3, "opfreq: the code grew by %d bytes, more than --max-growth %d\n"
                              % (delta, budget)) if over else (0, ""))
            self.assertTrue(result.stdout.startswith(b"own.ihx -> own2.ihx\r\nimage"))
        # A grown main moves the library: only the function that holds main changed.
        moved = json.loads(run("--json", "--compare", "math.ihx", "math2.ihx", cwd=self.work).stdout)
        self.assertEqual([c["new_address"] for c in moved["functions"]], [0], moved["functions"])
        both = ["--compare", "--entry-symbols", "--maps", "ownd.ihx", "ownad.ihx"]
        changes = json.loads(run("--json", *both, cwd=self.work).stdout)["functions"]
        rows = [line.split(" | ")[0][3:-1] for line in run("--markdown", *both, cwd=self.work)
                .stdout.decode().splitlines() if line.startswith("| `")]
        self.assertEqual(rows, [c["name"] or "%04X" % (c["new_address"] if c["new_address"] is not
                                                       None else c["old_address"])
                                for c in changes][:50])

    def test_the_dot_graph_holds_the_json_edges(self):
        options = ["--functions", "--entry-symbols", "--maps", "cases.ihx"]
        got = json.loads(run("--json", *options, cwd=self.work).stdout)["functions"]
        dot = run("--dot", *options, cwd=self.work).stdout.decode()
        edges = re.findall(r"^f(\w{4}) -> f(\w{4})(?: \[(style=dashed|label=\"(\d+)\")\])?;$", dot, re.M)
        self.assertEqual(sorted((int(a, 16), int(b, 16), "jump" if kind == "style=dashed" else "call",
                                 int(count or 1)) for a, b, kind, count in edges),
                         sorted((f["address"], t, kind, n) for f in got
                                for kind in ("call", "jump") for t, n in f[kind + "s_to"]))
        if shutil.which("dot"):
            rendered = subprocess.run(["dot", "-Tsvg"], input=dot.encode(), capture_output=True)
            self.assertEqual((rendered.returncode, rendered.stderr), (0, b""))

    def test_code_linked_high_without_its_vectors_reaches_nothing(self):
        result = run("--follow", "--written", "high.ihx", cwd=self.work)
        self.assertEqual((result.returncode, result.stdout), (1, b""))
        self.assertEqual(result.stderr.decode(), "opfreq: high.ihx: --follow reached nothing: no "
                         "byte at 0000h; the lowest written address is 2000h (try --vectors 2000)\n")


class Helpers(unittest.TestCase):
    # Images by hand: 0000h LJMP 0040h; 0040h LCALL 0100h and the data after it; the helper's own
    # first bytes at 0100h; the cases at 0080h (RR A; RET), 0084h (RRC A; RET) and 0088h (SWAP A;
    # RET), RR A; RET again right after a constant.
    CASES = {  # the data after the call, low bytes first where IAR writes them
        "ccase": "00 80 01 00 84 02 00 00 00 88",
        "icase": "00 80 00 01 00 84 00 02 00 00 00 88",
        "uc_dense": "01 01 88 00 80 00 84 00",
        "uc_sparse": "01 01 02 80 00 01 05 84 00 88 00",
        "us_sparse": "01 00 01 00 02 00 80 00 01 00 05 00 84 00 88 00",
        "constant": "12 34 56 78 03 22",
    }
    CASE_CODE = {0x80: "03 22", 0x84: "13 22", 0x88: "C4 22"}

    @staticmethod
    def image(helper, data, end=0x200, more=()):
        image = bytearray(end)
        image[0:3], image[0x40:0x43] = bytes.fromhex("02 00 40"), bytes.fromhex("12 01 00")
        for at, code in [(0x43, data), (0x100, helper), *more] + list(Helpers.CASE_CODE.items()):
            code = bytes.fromhex(code)
            image[at:at + len(code)] = code
        return bytes(image[:end])

    def follow(self, image):
        with tempfile.NamedTemporaryFile(suffix=".bin") as f:
            f.write(image)
            f.flush()
            got = json.loads(run("--json", "--functions", f.name, cwd="/").stdout)
        reached = {op: got["opcodes"][op]["count"] for op in (0x03, 0x13, 0xC4)}
        return got["sweep"]["inline"], got["sweep"]["unresolved"], reached, got["functions"][0]

    def test_each_helper_reads_the_data_after_its_call(self):
        for name, helper, layout, _ in HELPERS[:9]:
            data = self.CASES[name]
            more = [(0x140, HELPERS[5][1])] if layout == "optr" else []
            if layout == "optr":
                helper += " 01 40"
            inline, unresolved, reached, main = self.follow(self.image(helper, data, more=more))
            constant = layout in ("constant", "optr")
            self.assertEqual(inline, [{"address": 0x43, "length": 4 if constant else
                                       len(bytes.fromhex(data)), "helper": name}], helper)
            self.assertEqual((unresolved, reached),
                             ([], {0x03: 1, 0x13: 0, 0xC4: 0} if constant else
                              {0x03: 1, 0x13: 1, 0xC4: 1}), helper)
            # The cases belong to the function that calls the helper: LJMP, LCALL and theirs.
            self.assertEqual(main["instructions"], 4 if constant else 8, helper)

    def test_what_cannot_be_read_or_known(self):
        ccase = HELPERS[0][1]
        # The data of a switch cut off at the image's end: its whole first entry, which leads to
        # 0003h; the helper before its call.
        cut = bytearray(0x48)
        cut[0:5], cut[8:8 + 38] = bytes.fromhex("02 00 40 03 22"), bytes.fromhex(ccase)
        cut[0x40:0x48] = bytes.fromhex("12 00 08 00 03 01 00 05")
        rows = [  # image: inline, unresolved, reached
            (bytes(cut), [{"address": 0x43, "length": 3, "helper": "ccase"}], [],
             {0x03: 1, 0x13: 0, 0xC4: 0}),
            # A routine that pops its return address, and is no known helper: nothing after it.
            (self.image("C0 E0 D0 83 D0 82 22", "03 22"), [],
             [{"address": 0x40, "kind": "inline"}], {0x03: 0, 0x13: 0, 0xC4: 0}),
            # A call through a pointer: it returns.
            (self.image("E4 73", "03 22"), [], [{"address": 0x40, "kind": "indirect call"}],
             {0x03: 1, 0x13: 0, 0xC4: 0}),
        ]
        for image, inline, unresolved, reached in rows:
            self.assertEqual(self.follow(image)[:3], (inline, unresolved, reached))


class WhatIsNoCode(unittest.TestCase):
    def follow(self, name, data, *options):
        with tempfile.TemporaryDirectory() as work:
            with open(os.path.join(work, name), "wb" if isinstance(data, bytes) else "w") as f:
                f.write(data)
            return json.loads(run("--json", "--follow", *options, name, cwd=work).stdout)

    def test_erased_fill_and_unwritten_bytes_are_never_read(self):
        # 0000h LJMP 2010h; 0003h MOV A,#1 and then 8 KiB of fill; 2010h LCALL 0003h, SJMP $.
        image = bytes.fromhex("02 20 10 74 01") + b"\xff" * 0x200B + bytes.fromhex("12 00 03 80 FE")
        got = self.follow("fill.bin", image)
        self.assertEqual((got["sweep"]["bytes"], got["opcodes"][0xFF]["count"]), (10, 0))
        # 0000h LJMP 0100h; 0100h MOV A,#1, then bytes no record writes, then 0110h RET.
        text = intel_hex([(0, bytes.fromhex("02 01 00")), (0x100, bytes.fromhex("74 01")),
                          (0x110, bytes.fromhex("22"))])
        for options in ([], ["--written"]):
            got = self.follow("gap.hex", text, *options)
            self.assertEqual((got["sweep"]["bytes"], got["opcodes"][0xFF]["count"]), (5, 0))

    def test_a_keil_build_is_reached_segment_by_segment(self):
        keil = os.path.join(os.path.dirname(os.path.abspath(__file__)), "data", "keil")
        with open(os.path.join(keil, "envmon.m51")) as f:
            segments = [(int(m[1], 16), int(m[2], 16), m[3]) for m in re.finditer(
                r"^\s+CODE\s+([0-9A-F]{4})H\s+([0-9A-F]{4})H\s+\S+\s+(\S+)$", f.read(), re.M)]
        code = [s for s in segments if not s[2].startswith(("?CO?", "?C_INITSEG"))]
        total = sum(length for _, length, _ in code)
        got = json.loads(run("--json", "--functions", "--entry-symbols", "--maps", "envmon.hex",
                             cwd=keil).stdout)
        for base, length, name in segments:
            inside = sum(f["bytes"] for f in got["functions"] if base <= f["address"] < base + length)
            if name.startswith("?PR?"):
                self.assertEqual(inside, length, name)
            elif name not in [s[2] for s in code]:
                self.assertEqual(inside, 0, name)  # constants and initial values are data
        self.assertGreaterEqual(got["sweep"]["bytes"], total * 0.99)
        stripped = json.loads(run("--json", "--follow", "envmon.hex", cwd=keil).stdout)
        self.assertGreaterEqual(stripped["sweep"]["bytes"], total * 0.90)


class HandWritten(unittest.TestCase):
    # A jump table of each kind, as a monitor dispatches commands: reached exactly as built.
    ASSEMBLY = """
	.area CODE (ABS)
	.org 0x0000
	ajmp start
	.org 0x0003
	ljmp 0x8003		; a vector into RAM, not code of the image: not taken
	.org 0x000B
	reti			; a vector taken
	.org 0x0030
start:	mov a, r7
	mov dptr, #long		; MOV DPTR, then plain code on to the JMP
	rl a
	add a, r7
	jmp @a+dptr
long:	ljmp one
	ljmp two
	.db 0x75, 0x00, 0x00	; MOV direct,#data: the table ends here
one:	mov dptr, #long		; the nearest MOV DPTR is the one that counts
	mov dptr, #page
	jmp @a+dptr
page:	ajmp two
	ajmp three
two:	mov dptr, #short
	jz skip			; not plain code: no table for the JMP after it
	jmp @a+dptr
skip:	mov dptr, #short
	jmp @a+dptr
short:	sjmp three
	sjmp four
	sjmp past
three:	ret
past:	mov dptr, #0x1000	; a table that lies past the image
	jmp @a+dptr
four:	mov dptr, #far
	jmp @a+dptr
far:	.rept 87		; the 86th entry starts 255 bytes past the base, the 87th 258
	ljmp three
	.endm
"""
    REACHED = {0x01: 3, 0x32: 1, 0xEF: 1, 0x90: 7, 0x23: 1, 0x2F: 1, 0x73: 6, 0x02: 2 + 86, 0x60: 1,
               0x80: 3, 0x22: 1}

    def test_each_kind_of_table_is_followed(self):
        work = tempfile.mkdtemp()
        self.addCleanup(shutil.rmtree, work)
        with open(os.path.join(work, "t.asm"), "w") as f:
            f.write(self.ASSEMBLY)
        subprocess.run(["sdas8051", "-o", "t.rel", "t.asm"], cwd=work, check=True)
        subprocess.run(["sdld", "-i", "t.ihx", "t.rel"], cwd=work, check=True, capture_output=True)
        got = json.loads(run("--follow", "--json", "t.ihx", cwd=work).stdout)
        self.assertEqual({r["opcode"]: r["count"] for r in got["opcodes"] if r["count"]},
                         self.REACHED)
        self.assertEqual((got["sweep"]["entries"], got["sweep"]["tables"]),
                         ([0x0000, 0x000B], [0x0037, 0x0047, 0x0055, 0x0064]))


if __name__ == "__main__":
    unittest.main(verbosity=1)
