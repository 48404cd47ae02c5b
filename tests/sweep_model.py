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


def follow_sweep(r, lengths, extra_entries, reset=0, late=()):
    """The follow rules: the reset address, each --entry, each vector after the reset address
    that holds LJMP, AJMP or RETI that fits, whose target can be read and that nothing counted
    covers, then the late entries; JMP @A+DPTR reads the table of the nearest MOV DPTR,#T from
    which code runs straight on to it."""
    t, starts, covered, used, tables = Tally(), set(), {}, [], set()
    fits = lambda o, n: all(r.readable(o + k) for k in range(n))
    operands = lambda o: (r.image[o + 1:o + 3] + bytes(2))[:2]

    def target(op, o, nxt):
        b1, b2 = operands(o)
        if op in (0x02, 0x12):
            return b1 << 8 | b2
        if op & 0x1F in (0x01, 0x11):
            return (nxt & 0xF800) | (op >> 5) << 8 | b1
        rel = b2 if op in BRANCHES2 else b1
        return (nxt + (rel - 256 if rel > 127 else rel)) & 0xFFFF

    def table_entries(jump):
        for d in range(3, 17):
            o = jump - d
            if o < r.first or not fits(o, d) or r.image[o] != 0x90:
                continue
            at = o
            while at < jump and r.image[at] not in JUMPS | CALLS | ENDS | BRANCHES1 | BRANCHES2:
                at += lengths[r.image[at]]
            if at != jump:
                continue
            base, entries, k = r.image[o + 1] << 8 | r.image[o + 2], [], 0
            while k < 256:
                a = (base + k) & 0xFFFF
                e = r.offset_of(a)
                if not r.readable(e) or r.image[e] not in JUMPS or not fits(e, lengths[r.image[e]]):
                    break
                entries.append(a)
                k += lengths[r.image[e]]
            if entries:
                tables.add(base)
            return entries
        return []

    def trace(entry):
        pending = [entry]
        while pending:
            address = pending.pop()
            o = r.offset_of(address)
            if not r.readable(o) or o in starts:
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
            elif op in CALLS | BRANCHES1 | BRANCHES2:
                pending += [target(op, o, nxt), nxt]
            elif op == 0x73:
                pending += table_entries(o)
            elif op not in ENDS:
                pending += [nxt]

    for entry in [reset] + extra_entries:
        if r.readable(r.offset_of(entry)):
            used.append(entry)
            trace(entry)
    for vector in ((reset + 3 + 8 * k) & 0xFFFF for k in range(20)):
        o = r.offset_of(vector)
        if not r.readable(o) or o in covered:
            continue
        op = r.image[o]
        if op == 0x32 or (op in JUMPS and op != 0x80 and fits(o, lengths[op]) and
                          r.readable(r.offset_of(target(op, o, (vector + lengths[op]) & 0xFFFF)))):
            used.append(vector)
            trace(vector)
    for entry in late:
        if r.readable(r.offset_of(entry)):
            used.append(entry)
            trace(entry)
    t.starts = starts  # the offsets of the instructions counted
    # Each byte once, however many instructions cover it; those that more than one covers.
    t.bytes, t.overlap = len(covered), sum(1 for n in covered.values() if n > 1)
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
