#!/usr/bin/env python3
# The JSON and CSV views and every sweep, checked against a model written here from the rules
# (not from opfreq's code): the byte-by-byte legacy sweep, the linear sweep over runs of readable
# offsets, and the follow rules. Inputs are the samples, random images as binaries and as Intel
# HEX with gaps, and SDCC builds.
#
# Usage: views_test.py OPFREQ SAMPLES_DIR
import csv
import io
import json
import os
import random
import re
import shutil
import subprocess
import sys
import tempfile
import unittest

from sweep_model import HELPERS, Region, follow_sweep, intel_hex, legacy_sweep, linear_sweep

OPFREQ, SAMPLES = os.path.abspath(sys.argv.pop(1)), os.path.abspath(sys.argv.pop(1))
SAMPLE_NAMES = sorted(f for f in os.listdir(SAMPLES) if f.endswith(".bin"))


def run(*args, cwd=None):
    # subprocess restores SIGPIPE's default action, as a shell does.
    return subprocess.run([OPFREQ, *args], capture_output=True, cwd=cwd, timeout=60)


def read(path):
    with open(path, "rb") as f:
        return f.read()


class Views(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        cls.work = tempfile.mkdtemp()
        # The mnemonics and lengths as the JSON gives them; the unit tests check the table.
        demo = json.loads(run("--json", os.path.join(SAMPLES, "demo.bin")).stdout)
        cls.mnemonics = [row["mnemonic"] for row in demo["opcodes"]]
        cls.lengths = [row["length"] for row in demo["opcodes"]]

    @classmethod
    def tearDownClass(cls):
        shutil.rmtree(cls.work)

    def write(self, name, data):
        path = os.path.join(self.work, name)
        with open(path, "wb" if isinstance(data, bytes) else "w") as f:
            f.write(data)
        return path

    def assertMatches(self, got, model, what):
        """A JSON object against a model Tally, every count and the order of the calls."""
        counts = [row["count"] for row in got["opcodes"]]
        self.assertEqual(counts, model.counts, what)
        self.assertEqual([row["bytes"] for row in got["opcodes"]],
                         [c * n for c, n in zip(counts, self.lengths)], what)
        calls = {c["address"]: [c["lcall"], c["acall"]] for c in got["calls"]}
        self.assertEqual(calls, model.calls, what)
        self.assertEqual([(-c["count"], c["address"]) for c in got["calls"]],
                         sorted((-sum(v), a) for a, v in model.calls.items()), what)
        self.assertTrue(all(c["count"] == c["lcall"] + c["acall"] for c in got["calls"]), what)
        self.assertEqual(got["acall_count"], model.acalls, what)
        self.assertEqual(got["subroutines"], len(model.calls), what)
        self.assertEqual(got["sweep"]["bytes"], model.bytes, what)
        self.assertEqual(got["sweep"]["instructions"], sum(model.counts), what)

    def test_the_opcode_table_as_the_json_gives_it(self):
        # Every mnemonic that a stored report shows is the JSON's for that opcode.
        for name in SAMPLE_NAMES:
            with open(os.path.join(SAMPLES, name[:-4] + ".expected"), "rb") as f:
                for row in re.findall(rb"^([0-9A-F]{2})  (.{24})(\d)", f.read(), re.M):
                    op = int(row[0], 16)
                    self.assertEqual(row[1].decode().rstrip(), self.mnemonics[op])
                    self.assertEqual(int(row[2]), self.lengths[op])

    def test_json_of_every_sample_in_one_run_is_the_legacy_sweep(self):
        paths = [os.path.join(SAMPLES, n) for n in SAMPLE_NAMES]
        result = run("--json", *paths)
        self.assertEqual(result.returncode, 0, result.stderr)
        lines = result.stdout.decode().split("\n")
        self.assertEqual(lines[-1], "")
        self.assertEqual(len(lines) - 1, len(paths))
        for path, line in zip(paths, lines):
            got = json.loads(line)
            image = read(path)
            self.assertEqual((got["file"], got["format"], got["image_size"]),
                             (path, "binary", len(image)))
            last = min(len(image), 65536) - 1
            self.assertEqual(got["sweep"], {"mode": "linear", "from": 0, "to": last, "at": 0,
                                            "bytes": last + 1,
                                            "instructions": got["sweep"]["instructions"]})
            self.assertMatches(got, legacy_sweep(image, self.lengths), path)

    def test_csv_agrees_with_json_and_quotes_what_it_must(self):
        name = self.write('a "b", c.bin', read(os.path.join(SAMPLES, "demo.bin")))
        symbols = self.write("names.txt", "10100 past-FFFFh\n0x0048 one,two\n0040h three\n")
        got = json.loads(run("--json", "--symbols", symbols, name).stdout)
        for table, key in (("opcodes", "opcodes"), ("calls", "calls")):
            result = run("--csv=" + table, "--symbols", symbols, name, name)
            rows = list(csv.reader(io.StringIO(result.stdout.decode(), newline="")))
            self.assertEqual(result.stdout.count(b"\r"), 0)
            self.assertEqual(rows[0][0], "file")
            self.assertEqual(len(rows), 1 + 2 * len(got[key]))  # one header for the run
            for row, want in zip(rows[1:], got[key] * 2):
                self.assertEqual(row[0], name)
                if table == "opcodes":
                    self.assertEqual(row[1:], ["%02X" % want["opcode"], want["mnemonic"],
                                               str(want["length"]), str(want["count"]),
                                               str(want["bytes"])])
                else:
                    self.assertEqual(row[1:], ["%04X" % want["address"], str(want["lcall"]),
                                               str(want["acall"]), str(want["count"]),
                                               want.get("name", "")])
        self.assertEqual([c.get("name") for c in got["calls"]], ["one,two", "three", None])

    def test_names_that_are_not_utf8_and_files_that_fail(self):
        odd = self.write("\udcff\x01.bin".encode("utf-8", "surrogateescape").decode(
            "utf-8", "surrogateescape"), read(os.path.join(SAMPLES, "demo.bin")))
        empty = self.write("empty.bin", b"")
        result = run("--json", odd, "nosuch.bin", empty, cwd=self.work)
        self.assertEqual(result.returncode, 1)
        self.assertEqual(result.stderr.decode("utf-8", "replace").splitlines(),
                         ["opfreq: nosuch.bin: No such file or directory",
                          "opfreq: %s: file is empty" % empty])
        lines = [json.loads(line) for line in result.stdout.decode("utf-8").splitlines()]
        self.assertEqual(lines[0]["file"], odd.encode("utf-8", "surrogateescape").decode(
            "utf-8", "replace"))
        self.assertEqual(lines[1:], [{"file": "nosuch.bin", "error": "No such file or directory"},
                                     {"file": empty, "error": "file is empty"}])
        # A name longer than the view's own buffer comes out whole.
        long = "d" * 20000
        result = run("--json", long, cwd=self.work)
        self.assertEqual(json.loads(result.stdout), {"file": long, "error": "File name too long"})

    def test_written_and_ranges_are_the_linear_sweep_of_their_region(self):
        rng = random.Random(19)
        cases = []  # (path, options, image, written, first, last, at)
        for trial in range(40):
            size = rng.choice([rng.randrange(1, 300), rng.randrange(1, 140000)])
            image = bytes(rng.choice([rng.randrange(256), 0x11, 0x12, 0x31, 0x00]) for _ in range(size))
            chunks, at = [], 0
            while at < size:
                n = rng.randrange(1, 3000)
                if rng.random() < 0.7:
                    chunks.append((at, image[at:at + n]))
                at += n
            if not chunks:
                chunks = [(0, image)]
            written = {a + i for a, data in chunks for i in range(len(data))}
            end = max(written) + 1
            filled = bytearray(b"\xff" * end)
            for a, data in chunks:
                filled[a:a + len(data)] = data
            hex_path = self.write("w%d.hex" % trial, intel_hex(chunks))
            cases.append((hex_path, ["--written"], bytes(filled), written, 0, min(end, 65536) - 1, 0))
            first = rng.randrange(end)
            last = min(end - 1, first + rng.randrange(65536))
            inside = [o for o in range(first, last) if o in written and o + 1 in written]
            last = rng.choice(inside) if inside and trial % 2 else last  # a run goes on past it
            at = rng.randrange(65536)
            options = ["--range", "%X-0x%x" % (first, last), "--at", "%Xh" % at]
            cases.append((hex_path, options + ["--written"], bytes(filled), written, first, last, at))
            cases.append((hex_path, options, bytes(filled), None, first, last, at))
        cases.append((os.path.join(SAMPLES, "banked256_portlatch.bin"), ["--range", "18000-1FFFF",
                      "--at", "8000"], None, None, 0x18000, 0x1FFFF, 0x8000))
        cases.append((os.path.join(SAMPLES, "banked128_dump_own.bin"), ["--range", "10000-1ffff"],
                      None, None, 0x10000, 0x1FFFF, 0))
        for path, options, image, written, first, last, at in cases:
            if image is None:
                image = read(path)
            result = run("--json", *options, path)
            got = json.loads(result.stdout)
            mode = "written" if "--written" in options else "range"
            self.assertEqual({k: got["sweep"][k] for k in ("mode", "from", "to", "at")},
                             {"mode": mode, "from": first, "to": last, "at": at}, options)
            model = linear_sweep(Region(image, written, first, last, at), self.lengths)
            self.assertMatches(got, model, "%s %s" % (path, options))

    @staticmethod
    def plant_compiled_code(rng, image, region, starts):
        """What compilers leave in firmware, in the region (FIRST, LAST, AT), reached from the
        addresses `starts` and at random places: helpers that read data after their call, called
        with data of random length, SDCC's MOVC switch, routines that pop their return address,
        and erased fill."""
        first, last, at = region
        size = len(image)
        offset = lambda address: first + ((address - at) & 0xFFFF)
        address = lambda: (at + rng.randrange(last - first + 1)) & 0xFFFF
        def put(where, data):
            o = offset(where)
            image[o:o + len(data)] = data[:max(0, size - o)]
        places = lambda: rng.choice(starts + [address()])
        for _ in range(rng.randrange(6)):
            name, signature, layout, width = rng.choice(HELPERS)
            helper = address()
            put(helper, bytes(int(h, 16) for h in signature.split()))
            if layout == "optr":  # it goes on in an XDATA one
                xdata = address()
                put(helper + 14, bytes([xdata >> 8 & 0xFF, xdata & 0xFF]))
                put(xdata, bytes(int(h, 16) for h in HELPERS[5][1].split()))
            for _ in range(rng.randrange(1, 4)):
                data = bytes(rng.randrange(256) for _ in range(rng.randrange(12)))
                if layout == "keil":
                    data = bytes([0x00, rng.randrange(256), 0x01] * rng.randrange(3) + [0, 0]) + data
                elif layout in ("dense", "sparse"):
                    data = bytes([0, rng.randrange(3)]) + data
                put(places(), bytes([0x12, helper >> 8 & 0xFF, helper & 0xFF]) + data)
        for _ in range(rng.randrange(3)):  # a switch of SDCC: the MOVC A,@A+PC form
            cases = rng.randrange(1, 20)
            put(places(), bytes([0xEF, 0x24, 10, 0x83, 0xF5, 0x82, 0xEF, 0x24, 10 + cases - 4,
                                 0x83, 0xF5, 0x83, 0xE4, 0x73]) +
                bytes(rng.randrange(256) for _ in range(2 * cases)))
        for _ in range(rng.randrange(3)):  # a pop of the return address, a call of it
            routine = address()
            put(routine, bytes([0xE5, 0x30, 0xD0, 0x83, 0xD0, 0x82, 0x22]))
            put(places(), bytes([0x12, routine >> 8 & 0xFF, routine & 0xFF]))
        for _ in range(rng.randrange(3)):
            put(address(), b"\xff" * rng.randrange(12, 40))

    def test_follow_is_the_code_reached_from_the_entries(self):
        rng = random.Random(2019)
        for trial in range(150):
            size = rng.randrange(1, 70000)
            # Mostly code-like bytes: jumps, branches, calls and the makings of jump tables.
            pool = [0x02, 0x12, 0x01, 0x11, 0x80, 0x40, 0xD8, 0xB4, 0x10, 0x22, 0x32, 0x73, 0xA5,
                    0x90, 0x90, 0x73, 0x73, 0x21]
            image = bytearray(rng.choice(pool) if rng.random() < 0.3 else rng.randrange(256)
                              for _ in range(size))
            for k in range(rng.randrange(4)):  # MOV DPTR,#T; MOV A,R7; JMP @A+DPTR; and a table
                at, base = rng.randrange(size) if k else 0, rng.randrange(size)
                image[at:at + 5] = bytes([0x90, base >> 8 & 0xFF, base & 0xFF, 0xEF, 0x73])
                image[base:base + 9] = bytes([0x02, 0x00, rng.randrange(256), 0x80, 0x10, 0xE1,
                                              0x05, 0x01, 0xFF])
            first = rng.randrange(size)
            last = min(size - 1, first + rng.randrange(65536))
            at = rng.randrange(65536) if trial % 2 else first & 0xFFFF  # the default
            inside = lambda: (at + rng.randrange(last - first + 1)) & 0xFFFF
            entries = [inside() for _ in range(rng.randrange(3))]
            reset = inside() if trial % 3 == 0 else 0
            self.plant_compiled_code(rng, image, (first, last, at), entries + [reset])
            image = bytes(image[:size])
            path = self.write("f.bin", image)
            options = ["--follow", "--range", "%x-%x" % (first, last)] + trial % 2 * ["--at", "%x" % at]
            options += ["--vectors", "%x" % reset] if trial % 3 == 0 else []
            for e in entries:
                options += ["--entry", "0x%04X" % e]
            got = json.loads(run("--json", *options, path).stdout)
            model, used, tables = follow_sweep(Region(image, None, first, last, at), self.lengths,
                                               entries, reset)
            if model.bytes == 0:
                self.assertTrue(got["error"].startswith("--follow reached nothing"), options)
                continue
            self.assertEqual((got["sweep"]["entries"], got["sweep"]["tables"]), (used, tables),
                             options)
            self.assertEqual((got["sweep"]["mode"], got["sweep"]["overlap"]), ("follow", model.overlap))
            self.assertEqual((got["sweep"]["inline"], got["sweep"]["unresolved"]),
                             (model.inline, model.unresolved), options)
            self.assertMatches(got, model, options)


class Builds(unittest.TestCase):
    # Each path that --follow must take, and what it must not count, by construction.
    ASSEMBLY = """
	.area CODE (ABS)
	.org 0x0000
	ljmp main
	.org 0x0003
	reti			; vector 0003h: RETI, taken
	.org 0x000B
	ajmp timer		; vector 000Bh: AJMP, taken
	.org 0x0013
	.db 0x75		; vector 0013h: no jump, left out
	.org 0x001B
	ljmp 0x0000		; vector 001Bh: LJMP, taken, to code already counted
	.org 0x0030
main:	mov a, #1
	jz done			; relative (operand byte 1) and next
	acall sub		; in the page, and next
	lcall 0x7000		; outside the image, and next
	jb 0x20, done		; relative (operand byte 2) and next
	cjne a, #5, loop
loop:	djnz r0, loop		; a loop
md:	mov dptr, #0x0322
	sjmp md+1		; into the middle of MOV DPTR: 03 22 are RR A, RET
done:	ret
timer:	jmp @a+dptr
sub:	inc a
	ret
	.db 0x12, 0x12, 0x12	; never reached
"""
    REACHED = {0x02: 2, 0x74: 1, 0x60: 1, 0x11: 1, 0x12: 1, 0x20: 1, 0xB4: 1, 0xD8: 1, 0x90: 1,
               0x80: 1, 0x03: 1, 0x22: 3, 0x32: 1, 0x01: 1, 0x73: 1, 0x04: 1}

    PROGRAM = """#include <stdint.h>
volatile uint8_t x;
void f(uint8_t a){ x+=a; }
uint8_t g(uint8_t a){ f(a); return a*3; }
void isr(void) __interrupt(1) { x++; }
void main(void){ for(uint8_t i=0;i<10;i++){ f(i); g(i); } while(1); }
"""

    @classmethod
    def setUpClass(cls):
        cls.work = tempfile.mkdtemp()
        with open(os.path.join(cls.work, "m.c"), "w") as f:
            f.write(cls.PROGRAM)
        with open(os.path.join(cls.work, "p.asm"), "w") as f:
            f.write(cls.ASSEMBLY)
        subprocess.run(["sdas8051", "-o", "p.rel", "p.asm"], cwd=cls.work, check=True)
        subprocess.run(["sdld", "-i", "p.ihx", "p.rel"], cwd=cls.work, check=True,
                       capture_output=True)
        for options in ([], ["--code-loc", "0x2000", "-o", "high.ihx"]):
            subprocess.run(["sdcc", *options, "m.c"], cwd=cls.work, check=True, capture_output=True)

    @classmethod
    def tearDownClass(cls):
        shutil.rmtree(cls.work)

    def test_follow_takes_every_path_and_nothing_else(self):
        got = json.loads(run("--follow", "--json", "p.ihx", cwd=self.work).stdout)
        self.assertEqual({r["opcode"]: r["count"] for r in got["opcodes"] if r["count"]},
                         self.REACHED)
        self.assertEqual(got["sweep"]["entries"], [0x00, 0x03, 0x0B, 0x1B])
        self.assertEqual(got["calls"], [{"address": 0x48, "lcall": 0, "acall": 1, "count": 1},
                                        {"address": 0x7000, "lcall": 1, "acall": 0, "count": 1}])

    def test_follow_with_the_linkers_names(self):
        result = run("--follow", "--symbols", "m.map", "m.ihx", cwd=self.work)
        lines = result.stdout.decode().split("\r\n")
        self.assertEqual(result.returncode, 0)
        self.assertEqual(lines[0], "m.ihx")
        self.assertTrue(lines[1].startswith("Swept:"))
        self.assertEqual(lines[2:7], ["unresolved: 0", "Total size of code: 170", "16 most popular codes:",
                                      "cop memonic            cmdlen found  size % of total",
                                      "75  MOV direct,#data        3     6    18 10.59%"])
        self.assertEqual(lines[22:], ["first 3 opcodes: 26.47%", "ACALL found        0",
                                      "Subroutines found: 3", "most popular calls are:",
                                      "    2 times to address 006D _f",
                                      "    1 times to address 0074 _g",
                                      "    1 times to address 00AD __sdcc_external_startup", ""])
        got = json.loads(run("--follow", "--json", "m.ihx", cwd=self.work).stdout)
        self.assertEqual(got["sweep"], {"mode": "follow", "from": 0, "to": 176, "at": 0,
                                        "bytes": 170, "instructions": 88, "overlap": 0,
                                        "entries": [0, 3, 11], "tables": [], "inline": [],
                                        "unresolved": []})

    def test_written_leaves_out_the_fill_below_code_linked_high(self):
        subprocess.run(["objcopy", "-I", "ihex", "-O", "ihex", "--change-addresses", "0x1000",
                        "m.ihx", "moved.hex"], cwd=self.work, check=True)
        low = json.loads(run("--written", "--json", "m.ihx", cwd=self.work).stdout)
        for name in ("high.ihx", "moved.hex"):
            got = json.loads(run("--written", "--json", name, cwd=self.work).stdout)
            self.assertEqual(got["opcodes"][0xFF]["count"], 0, name)
            # Only the jump targets differ: the same instructions, byte for byte.
            self.assertEqual([r["count"] for r in got["opcodes"]],
                             [r["count"] for r in low["opcodes"]], name)
            legacy = json.loads(run("--json", name, cwd=self.work).stdout)
            self.assertGreater(legacy["opcodes"][0xFF]["count"], 4000, name)


if __name__ == "__main__":
    unittest.main(verbosity=1)
