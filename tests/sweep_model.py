# The sweeps as the rules say them, written here and not from opfreq's code: the byte-by-byte
# legacy sweep, the linear sweep over runs of readable offsets, and the follow rules with their
# vectors and jump tables. Opcode lengths come from the caller (the JSON view, which the unit
# tests hold against the mnemonics).


class Tally:
    def __init__(self):
        self.counts, self.calls, self.acalls, self.bytes = [0] * 256, {}, 0, 0

    def count(self, op, operand, after):
        """The instruction `op` whose operand bytes are `operand`; `after` is the code address
        that follows it."""
        self.counts[op] += 1
        if op == 0x12:
            self.call(operand[0] << 8 | operand[1], 0)
        elif op & 0x1F == 0x11:
            self.acalls += 1
            self.call((after & 0xF800) | (op >> 5) << 8 | operand[0], 1)

    def call(self, target, form):
        self.calls.setdefault(target, [0, 0])[form] += 1


def legacy_sweep(image, lengths):
    t, pos, last = Tally(), 0, min(len(image), 65536) - 1
    at = lambda i: image[i] if i < len(image) else 0
    while pos <= last:
        op = at(pos)
        n = lengths[op]
        t.count(op, [at(pos + 1), at(pos + 2)], pos + n)
        pos += n
    t.bytes = last + 1
    return t


class Region:
    def __init__(self, image, written, first, last, at):
        self.image, self.written, self.first, self.last, self.at = image, written, first, last, at

    def readable(self, offset):
        return self.first <= offset <= self.last and (self.written is None or offset in self.written)

    def offset_of(self, address):
        return self.first + ((address - self.at) & 0xFFFF)

    def address_of(self, offset):
        return (self.at + offset - self.first) & 0xFFFF


def linear_sweep(r, lengths):
    t, offset = Tally(), r.first
    while offset <= r.last:
        if not r.readable(offset):
            offset += 1
            continue
        while r.readable(offset):  # one run of readable offsets
            n = lengths[r.image[offset]]
            if not all(r.readable(offset + k) for k in range(n)):
                break
            t.count(r.image[offset], r.image[offset + 1:offset + 3], r.address_of(offset) + n)
            t.bytes += n
            offset += n
        while r.readable(offset):  # the rest of a run that ended in an instruction cut short
            offset += 1
    return t


JUMPS, CALLS, ENDS = {0x02, 0x80} | {op for op in range(256) if op & 0x1F == 0x01}, \
    {0x12} | {op for op in range(256) if op & 0x1F == 0x11}, {0x22, 0x32, 0x73, 0xA5}
BRANCHES1 = {0x40, 0x50, 0x60, 0x70} | set(range(0xD8, 0xE0))  # relative offset in byte 1
BRANCHES2 = {0x10, 0x20, 0x30, 0xD5} | set(range(0xB4, 0xC0))  # relative offset in byte 2


# Routines that read data after their call: (helper, first bytes, the data's layout, width).
HELPERS = [
    ("ccase", "D0 83 D0 82 F8 E4 93 70 12 74 01 93 70 0D A3 A3 93 F8 74 01 93 F5 82 88 83 E4 73 "
              "74 02 93 68 60 EF A3 A3 A3 80 DF", "keil", 3),
    ("icase", "D0 83 D0 82 F8 E4 93 70 12 74 01 93 70 0D A3 A3 93 F8 74 01 93 F5 82 88 83 E4 73 "
              "74 02 93 B5 F0 06 74 03 93 68 60 E9", "keil", 4),
    ("uc_dense", "D0 83 D0 82 C5 F0 E4 93 A3 C5 F0 C3 95 F0 F5 F0 E4 93 A3 C3 95 F0 40 05 E5 F0 "
                 "04 80 01 E4 75 F0 02 A4 25 82 F5 82 E5 F0 35 83 F5 83 E4 93 A3 C0 E0 E4 93 C0 "
                 "E0 22", "dense", 1),
    ("uc_sparse", "D0 83 D0 82 CC C0 E0 E4 93 A3 60 06 12", "sparse", 1),
    ("us_sparse", "D0 83 D0 82 EC C0 E0 ED C0 E0 E4 93 A3 FC E4 93 A3 FD ED 4C 60 0D 12",
     "sparse", 2),
    ("constant", "A8 82 85 83 F0 D0 83 D0 82 12", "constant", 4),
    ("constant", "D0 83 D0 82 E4 93 F6 08 74 01 93 F6 08 74 02 93 F6 08 74 03", "constant", 4),
    ("constant", "D0 83 D0 82 E4 93 F2 08 74 01 93 F2 08 74 02 93 F2 08 74 03", "constant", 4),
    ("constant", "BB 01 0D E5 82 29 F5 82 E5 83 3A F5 83 02", "optr", 4),
    ("", "E4 73", "indirect", 0),
    ("", "8A 83 89 82 E4 73", "indirect", 0),
]


def follow_sweep(r, lengths, extra_entries, reset=0, late=()):
    """The follow rules: the reset address, each --entry, each vector after the reset address
    that holds LJMP, AJMP or RETI that fits, whose target can be read and that nothing counted
    covers, then the late entries. Unwritten bytes and runs of 16 FFh or more are never read.
    JMP @A+DPTR reads SDCC's two MOVC tables, else the table of the nearest MOV DPTR,#T from which
    code runs straight on to it. A call of a known helper goes on where its data says; one of a
    routine that pops its return address goes nowhere."""
    t, starts, covered, used, tables = Tally(), set(), {}, [], set()
    inline, unresolved, jumps = set(), set(), set()
    fill = set()
    o = r.first
    while o <= r.last:  # runs of written FFh bytes
        n = 0
        while o + n <= r.last and r.readable(o + n) and r.image[o + n] == 0xFF:
            n += 1
        if n >= 16:
            fill.update(range(o, o + n))
        o += max(n, 1)
    can = lambda o: r.readable(o) and o not in fill
    fits = lambda o, n: all(can(o + k) for k in range(n))
    at_address = lambda a: r.image[r.offset_of(a)]
    operands = lambda o: (r.image[o + 1:o + 3] + bytes(2))[:2]
    straight = lambda op: op not in JUMPS | CALLS | ENDS | BRANCHES1 | BRANCHES2

    def target(op, o, nxt):
        b1, b2 = operands(o)
        if op in (0x02, 0x12):
            return b1 << 8 | b2
        if op & 0x1F in (0x01, 0x11):
            return (nxt & 0xF800) | (op >> 5) << 8 | b1
        rel = b2 if op in BRANCHES2 else b1
        return (nxt + (rel - 256 if rel > 127 else rel)) & 0xFFFF

    def signature_at(a, row):
        sig = HELPERS[row][1].split()
        if not fits(r.offset_of(a), len(sig)) or \
                any(h != ".." and at_address(a + k) != int(h, 16) for k, h in enumerate(sig)):
            return False
        if HELPERS[row][2] != "optr":
            return True
        end = a + len(sig)  # then the address of an XDATA constant helper
        return fits(r.offset_of(end), 2) and signature_at(at_address(end) << 8 | at_address(end + 1), 5)

    def pops(a):
        k = 0
        while k + 4 <= 12 and can(r.offset_of(a + k)):
            if fits(r.offset_of(a + k), 4) and [at_address(a + k + i) for i in range(4)] == \
                    [0xD0, 0x83, 0xD0, 0x82]:
                return True
            if not straight(at_address(a + k)):
                return False
            k += lengths[at_address(a + k)]
        return False

    def data_after(a, layout, width):
        """The targets and the length of the whole entries read from a, and whether it ended."""
        got, length, k = [], [0], [0]

        def take(n, high_first=False):
            if not fits(r.offset_of(a + k[0]), n):
                raise EOFError
            values = [at_address(a + k[0] + i) for i in range(n)]
            k[0] += n
            return int.from_bytes(bytes(values), "big" if high_first else "little")

        def whole():
            length[0] = k[0]
        try:
            if layout == "keil":
                while True:
                    tgt = take(2, True)
                    if tgt == 0:
                        whole()
                        got.append(take(2, True))
                        whole()
                        break
                    take(width - 2)
                    got.append(tgt)
                    whole()
            elif layout == "dense":
                take(1)
                n = take(1)
                whole()
                for _ in range(n + 2):
                    got.append(take(2))
                    whole()
            elif layout == "sparse":
                for bounds in (2, 1):
                    n = take(width)
                    whole()
                    for _ in range(n):
                        take(width * bounds)
                        got.append(take(2))
                        whole()
                got.append(take(2))
                whole()
            else:  # a constant
                take(width)
                whole()
                return got, length[0], True
        except EOFError:
            pass
        return got, length[0], False

    def movc_tables(jump):
        if jump < 1 or at_address(jump - 1) != 0xE4:
            return None
        for d in range(2, 25):
            o = r.offset_of(jump - d)
            if not fits(o, d + 1):
                continue
            found, a, previous = [], jump - d, None
            while a < jump and straight(at_address(a)):
                op, after = at_address(a), [at_address(a + 1), at_address(a + 2)]
                moves = after in ([0xF5, 0x82], [0xF5, 0x83], [0xC0, 0xE0])
                if op == 0x83 and moves and previous == a - 2 and at_address(previous) == 0x24:
                    found.append((previous + 3 + at_address(previous + 1)) & 0xFFFF)
                elif op == 0x93 and moves and previous == a - 3 and at_address(previous) == 0x90:
                    found.append(at_address(previous + 1) << 8 | at_address(previous + 2))
                previous, a = a, a + lengths[op]
            if a != jump or previous != jump - 1 or len(found) != 2:
                continue
            low, high = min(found), max(found)
            if not 1 <= high - low <= 256:
                return None
            entries = []
            for i in range(high - low):
                if not (can(r.offset_of(low + i)) and can(r.offset_of(high + i))):
                    break
                entries.append(at_address(low + i) | at_address(high + i) << 8)
            return (low, entries) if entries else None
        return None

    def dptr_table(jump):
        jo = r.offset_of(jump)
        for d in range(3, 17):
            o = jo - d
            if o < r.first or not fits(o, d) or r.image[o] != 0x90:
                continue
            at = o
            while at < jo and straight(r.image[at]):
                at += lengths[r.image[at]]
            if at != jo:
                continue
            base, entries, k = r.image[o + 1] << 8 | r.image[o + 2], [], 0
            while k < 256:
                a = (base + k) & 0xFFFF
                e = r.offset_of(a)
                if not can(e) or r.image[e] not in JUMPS or not fits(e, lengths[r.image[e]]):
                    break
                entries.append(a)
                k += lengths[r.image[e]]
            return (base, entries) if entries else None
        return None

    def in_called_helper(jump):
        """Whether a helper that a counted call calls holds the jump in its own first bytes."""
        return any(signature_at(jump - i, row) and (jump - i) & 0xFFFF in t.calls
                   for row, h in enumerate(HELPERS)
                   for i, byte in enumerate(h[1].split()) if byte == "73")

    def trace(entry):
        pending = [entry]
        while pending:
            address = pending.pop()
            o = r.offset_of(address)
            if not can(o) or o in starts:
                continue
            op = r.image[o]
            n = lengths[op]
            if not fits(o, n):
                continue
            starts.add(o)
            for k in range(o, o + n):
                covered[k] = covered.get(k, 0) + 1
            nxt = (address + n) & 0xFFFF
            t.count(op, operands(o), nxt)
            if op in JUMPS:
                pending += [target(op, o, nxt)]
            elif op in BRANCHES1 | BRANCHES2:
                pending += [target(op, o, nxt), nxt]
            elif op in CALLS:
                callee = target(op, o, nxt)
                pending.append(callee)
                row = next((i for i in range(len(HELPERS)) if signature_at(callee, i)), None)
                if row is None:
                    if pops(callee):
                        unresolved.add((address, "inline"))
                    else:
                        pending.append(nxt)
                elif HELPERS[row][2] == "indirect":
                    unresolved.add((address, "indirect call"))
                    pending.append(nxt)
                else:
                    got, length, returns = data_after(nxt, HELPERS[row][2], HELPERS[row][3])
                    inline.add((nxt, length, HELPERS[row][0]))
                    pending += got
                    if returns:
                        pending.append((nxt + length) & 0xFFFF)
            elif op == 0x73:
                table = movc_tables(address) or dptr_table(address)
                if table:
                    tables.add(table[0])
                    pending += table[1]
                else:
                    jumps.add(address)
            elif op not in ENDS:
                pending += [nxt]

    for entry in [reset] + extra_entries:
        if can(r.offset_of(entry)):
            used.append(entry)
            trace(entry)
    for vector in ((reset + 3 + 8 * k) & 0xFFFF for k in range(20)):
        o = r.offset_of(vector)
        if not can(o) or o in covered:
            continue
        op = r.image[o]
        if op == 0x32 or (op in JUMPS and op != 0x80 and fits(o, lengths[op]) and
                          can(r.offset_of(target(op, o, (vector + lengths[op]) & 0xFFFF)))):
            used.append(vector)
            trace(vector)
    for entry in late:
        if can(r.offset_of(entry)):
            used.append(entry)
            trace(entry)
    unresolved |= {(a, "jump") for a in jumps if not in_called_helper(a)}
    t.starts = starts  # the offsets of the instructions counted
    # Each byte once, however many instructions cover it; those that more than one covers.
    t.bytes, t.overlap = len(covered), sum(1 for n in covered.values() if n > 1)
    t.inline = [{"address": a, "length": n, "helper": h} for a, n, h in sorted(inline)]
    t.unresolved = [{"address": a, "kind": k} for a, k in sorted(unresolved)]
    return t, sorted(set(used)), sorted(tables)


def intel_hex(chunks):
    """Intel HEX of (address, bytes) chunks, 16 bytes a record, linear addresses past 64 KiB."""
    lines, base = [], 0
    record = lambda kind, address, data: ":" + (
        bytes([len(data), address >> 8 & 0xFF, address & 0xFF, kind]) + data +
        bytes([-sum(bytes([len(data), address >> 8 & 0xFF, address & 0xFF, kind]) + data) & 0xFF])
    ).hex().upper()
    for address, data in chunks:
        for at in range(0, len(data), 16):
            a = address + at
            if a >> 16 != base:
                base = a >> 16
                lines.append(record(4, 0, bytes([base >> 8, base & 0xFF])))
            piece = data[at:at + 16][:0x10000 - (a & 0xFFFF)]
            lines.append(record(0, a & 0xFFFF, piece))
            if len(piece) < len(data[at:at + 16]):
                base = (a >> 16) + 1
                lines.append(record(4, 0, bytes([base >> 8, base & 0xFF])))
                lines.append(record(0, 0, data[at + len(piece):at + 16]))
    return "\n".join(lines + [":00000001FF", ""])
