#!/usr/bin/env python3
"""Writes the small seed corpora of the fuzz harnesses into fuzz/corpus/<harness>/."""
import os
import struct

HERE = os.path.dirname(os.path.abspath(__file__))
RECORD = 1884


def record(k, path=b""):
    r = bytearray(RECORD)
    r[0:len(path)] = path
    struct.pack_into("<10f", r, 1024, 0, 0, 1, 0, 0, 0, 3, 10, 1, 5)
    struct.pack_into("<20f", r, 1064, *([4444.0] * 20))
    struct.pack_into("<5fi6f", r, 1144, 0.5, 1.0, 0.43089432, 0, 0, k % 16, 10, 0, 0, 0, 0, 0)
    struct.pack_into("<16f16f16f16f", r, 1192, *([0.8] * 16 + [1.0] * 16 + [0.5] * 16 + [1.0] * 16))
    struct.pack_into("<ff", r, 1448, 0.0, float(k % 16))
    r[1456] = 1
    struct.pack_into("<100f", r, 1460, *([5555.0] * 100))
    name = b"Init"
    r[1860:1860 + len(name)] = name
    return bytes(r)


def records(paths=None):
    return b"".join(record(k, (paths or {}).get(k, b"")) for k in range(16))


def bank(blocks, count=None, version=3, sub=4):
    head = b"GRB " + struct.pack("<hhii", version, sub, 16, len(blocks) if count is None else count) + b"PROG"
    body = b""
    for frames in blocks:
        body += b"WAVE" + struct.pack("<i", len(frames))
        body += b"".join(struct.pack("<f", l) for l, _ in frames)
        body += b"".join(struct.pack("<f", r) for _, r in frames)
    return head + records() + body


def wave(channels, samples, rate=44100, bits=16, tag=1, extra=b"", data_len=None, fmt_len=16):
    data = struct.pack("<%dh" % len(samples), *samples)
    fmt = struct.pack("<hhiihh", tag, channels, rate, rate * channels * 2, channels * 2, bits)
    fmt += b"\0" * max(0, fmt_len - 16)
    body = b"WAVE" + b"fmt " + struct.pack("<i", fmt_len) + fmt + extra
    body += b"data" + struct.pack("<I", len(data) if data_len is None else data_len) + data
    return b"RIFF" + struct.pack("<I", len(body)) + body


def chunk(cid, n):
    return cid + struct.pack("<I", n) + b"\x55" * n


def write(harness, name, data):
    folder = os.path.join(HERE, "corpus", harness)
    os.makedirs(folder, exist_ok=True)
    with open(os.path.join(folder, name), "wb") as f:
        f.write(data)


def main():
    tri = [(i / 64.0 - 0.5, 0.5 - i / 64.0) for i in range(64)]
    write("bank_reader", "empty_buffers", bank([[]] * 16))
    write("bank_reader", "two_buffers", bank([tri, tri[:10]] + [[]] * 14))
    write("bank_reader", "count_17", bank([[(0.1, 0.2)]] * 16, count=17))
    write("bank_reader", "bad_block", bank([[]] * 2)[:-16] + b"WAVX" + b"\0" * 12)
    write("bank_reader", "cut_records", bank([])[:5000])

    full = bank([tri] + [[]] * 15)
    write("bank_options", "valid_head", full[:20 + 1024 + 40])
    write("bank_options", "version_3_5", full[:4] + struct.pack("<hh", 3, 5) + full[8:1200])
    write("bank_options", "short_path", full[:600])

    ramp = [((i * 997) % 65536) - 32768 for i in range(400)]
    write("wave_reader", "mono", wave(1, ramp))
    write("wave_reader", "stereo", wave(2, ramp))
    write("wave_reader", "fmt18_smpl_inst_pad", wave(2, ramp[:100], fmt_len=18,
          extra=chunk(b"smpl", 36) + chunk(b"inst", 7) + chunk(b"PAD ", 4)))
    write("wave_reader", "list_chunk", wave(1, ramp[:50], extra=chunk(b"LIST", 12)))
    write("wave_reader", "short_data", wave(1, ramp[:50], data_len=4000))
    write("wave_reader", "top_bit_length", wave(2, ramp[:80], data_len=0xFFFFFFFF))
    write("wave_reader", "bits8", wave(1, ramp[:20], bits=8))
    write("wave_reader", "rate48k", wave(1, ramp[:20], rate=48000))
    write("wave_reader", "float_tag", wave(2, ramp[:20], tag=3))

    write("host_chunk", "program", record(3, b"/audio/take.wav"))
    write("host_chunk", "bank", records({0: b"/audio/a.wav", 5: b"/audio/b.wav"}))
    write("host_chunk", "bank_long_path", b"p" * 1024 + records()[1024:])
    hostile = bytearray(record(0))
    struct.pack_into("<16f", hostile, 1320, *([1e30] * 16))  # pitch
    struct.pack_into("<16f", hostile, 1384, *([float("nan")] * 16))  # cutoff
    struct.pack_into("<f", hostile, 1144, float("inf"))  # main level
    struct.pack_into("<f", hostile, 1452, 1.0)  # a buffer of two frames in the harness
    write("host_chunk", "program_hostile", bytes(hostile))

    write("recent_list", "two", b"/banks/a.grb#/banks/b.grb#")
    write("recent_list", "full", b"".join(b"/b/%02d.grb#" % i for i in range(22)))
    write("recent_list", "long_entry", b"x" * 1100 + b"#short#" + b"#" * 18)
    write("recent_list", "partial", b"one#two#thr")


if __name__ == "__main__":
    main()
