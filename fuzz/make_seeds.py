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


GUID_TAIL = bytes([0, 0, 0, 0, 0x10, 0, 0x80, 0, 0, 0xAA, 0, 0x38, 0x9B, 0x71])


def fmt_block(kind, bits, channels, rate, extensible=False, valid=None, sub=None):
    """A format block for PCM ("pcm") or IEEE float ("float") samples."""
    tag = 3 if kind == "float" else 1
    align = channels * bits // 8
    body = struct.pack("<HHIIHH", 0xFFFE if extensible else tag, channels, rate, rate * align, align, bits)
    if extensible:
        body += struct.pack("<HHI", 22, bits if valid is None else valid, 0x3F)
        body += struct.pack("<H", tag if sub is None else sub) + GUID_TAIL
    elif kind == "float":
        body += struct.pack("<H", 0)
    return body


def riff_chunk(cid, body, pad=True):
    return cid + struct.pack("<I", len(body)) + body + (b"\0" if pad and len(body) % 2 else b"")


def riff(*chunks):
    body = b"WAVE" + b"".join(chunks)
    return b"RIFF" + struct.pack("<I", len(body)) + body


def samples(kind, bits, channels, frames):
    out = b""
    for i in range(frames * channels):
        x = ((i * 2654435761) % 65536) / 32768.0 - 1.0
        if kind == "float":
            out += struct.pack("<f" if bits == 32 else "<d", x * 1.25)
        elif bits == 8:
            out += bytes([int((x + 1.0) * 127.5)])
        else:
            v = int(x * (2 ** (bits - 1) - 1))
            out += v.to_bytes(bits // 8, "little", signed=True)
    return out


def wave_seeds():
    """Seeds for each depth, format, layout and chunk order the reader knows."""
    for kind, bits in (("pcm", 8), ("pcm", 24), ("pcm", 32), ("float", 32), ("float", 64)):
        for ext in (False, True):
            name = "%s%d%s" % (kind, bits, "_ext" if ext else "")
            yield name, riff(riff_chunk(b"fmt ", fmt_block(kind, bits, 2, 48000, ext)),
                             riff_chunk(b"data", samples(kind, bits, 2, 40)))
    yield "pcm24_mono_96k", riff(riff_chunk(b"fmt ", fmt_block("pcm", 24, 1, 96000)),
                                 riff_chunk(b"data", samples("pcm", 24, 1, 33)))
    yield "pcm16_8ch_ext", riff(riff_chunk(b"fmt ", fmt_block("pcm", 16, 8, 44100, True)),
                                riff_chunk(b"data", samples("pcm", 16, 8, 20)))
    yield "float32_3ch_384k", riff(riff_chunk(b"fmt ", fmt_block("float", 32, 3, 384000)),
                                   riff_chunk(b"data", samples("float", 32, 3, 20)))
    yield "pcm8_rate8000", riff(riff_chunk(b"fmt ", fmt_block("pcm", 8, 1, 8000)),
                                riff_chunk(b"data", samples("pcm", 8, 1, 51)))
    yield "ext_valid20_in24", riff(riff_chunk(b"fmt ", fmt_block("pcm", 24, 2, 44100, True, valid=20)),
                                   riff_chunk(b"data", samples("pcm", 24, 2, 16)))
    yield "ext_adpcm_sub", riff(riff_chunk(b"fmt ", fmt_block("pcm", 16, 2, 44100, True, sub=2)),
                                riff_chunk(b"data", samples("pcm", 16, 2, 16)))
    yield "fmt_after_data", riff(riff_chunk(b"LIST", b"INFOxy"), riff_chunk(b"data", samples("pcm", 24, 3, 7)),
                                 riff_chunk(b"JUNK", b"abc"), riff_chunk(b"fmt ", fmt_block("pcm", 24, 3, 22050)))
    yield "odd_chunks_padded", riff(riff_chunk(b"bext", b"12345"), riff_chunk(b"fmt ", fmt_block("pcm", 8, 1, 11025)),
                                    riff_chunk(b"cue ", b"x"), riff_chunk(b"data", samples("pcm", 8, 1, 9)),
                                    riff_chunk(b"LIST", b"abc"))
    yield "odd_chunks_unpadded", riff(riff_chunk(b"JUNK", b"12345", pad=False),
                                      riff_chunk(b"data", samples("pcm", 8, 1, 9), pad=False),
                                      riff_chunk(b"fmt ", fmt_block("pcm", 8, 1, 11025)))
    nonfinite = struct.pack("<4d", float("nan"), float("inf"), 1e300, -0.5)
    yield "float64_nonfinite", riff(riff_chunk(b"fmt ", fmt_block("float", 64, 1, 44100)), riff_chunk(b"data", nonfinite))


def float_wave(frames):
    """A stereo 32-bit float WAV image as the plug-in's VST 3 state embeds it."""
    data = b"".join(struct.pack("<ff", l, r) for l, r in frames)
    fmt = struct.pack("<hhiihhh", 3, 2, 44100, 44100 * 8, 8, 32, 0)
    body = b"WAVE" + b"fmt " + struct.pack("<i", 18) + fmt + b"fact" + struct.pack("<iI", 4, len(frames))
    body += b"data" + struct.pack("<I", len(data)) + data
    return b"RIFF" + struct.pack("<I", len(body)) + body


def vst3_state(sources, bypass=0, paths=None):
    """A VST 3 state: sources[k] is 0 (empty), 1 (by path) or a list of frames (embedded)."""
    out = b"GWS3" + struct.pack("<I", 1) + records(paths)
    for src in sources:
        if isinstance(src, list):
            image = float_wave(src)
            out += struct.pack("<III", 2, len(src) * 2, len(image)) + image
        else:
            out += struct.pack("<I", src)
    return out + struct.pack("<I", bypass)


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
    for name, data in wave_seeds():
        write("wave_reader", name, data)

    write("host_chunk", "program", record(3, b"/audio/take.wav"))
    write("host_chunk", "bank", records({0: b"/audio/a.wav", 5: b"/audio/b.wav"}))
    write("host_chunk", "bank_long_path", b"p" * 1024 + records()[1024:])
    hostile = bytearray(record(0))
    struct.pack_into("<16f", hostile, 1320, *([1e30] * 16))  # pitch
    struct.pack_into("<16f", hostile, 1384, *([float("nan")] * 16))  # cutoff
    struct.pack_into("<f", hostile, 1144, float("inf"))  # main level
    struct.pack_into("<f", hostile, 1452, 1.0)  # a buffer of two frames in the harness
    write("host_chunk", "program_hostile", bytes(hostile))

    tri_take = [(i / 64.0 - 0.5, 0.5 - i / 64.0) for i in range(64)]
    write("vst3_state", "empty", vst3_state([0] * 16))
    write("vst3_state", "take_and_file", vst3_state([tri_take, 1] + [0] * 14, bypass=1, paths={1: b"/audio/b.wav"}))
    write("vst3_state", "cut_image", vst3_state([tri_take] + [0] * 15)[:30152 + 8 + 40])
    # The CLAP stream's: the most a read delivers (less one), then the state.
    write("clap_state", "empty_whole_reads", b"\xff" + vst3_state([0] * 16))
    write("clap_state", "take_and_file_short_reads", b"\x06" + vst3_state([tri_take, 1] + [0] * 14, paths={1: b"/audio/b.wav"}))
    write("clap_state", "byte_reads_trailing", b"\x00" + vst3_state([0] * 16) + b"\x00")

    write("recent_list", "two", b"/banks/a.grb#/banks/b.grb#")
    write("recent_list", "full", b"".join(b"/b/%02d.grb#" % i for i in range(22)))
    write("recent_list", "long_entry", b"x" * 1100 + b"#short#" + b"#" * 18)
    write("recent_list", "partial", b"one#two#thr")


if __name__ == "__main__":
    main()
