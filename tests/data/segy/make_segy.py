#!/usr/bin/python3
"""Writes the SEG-Y test files of this folder (see README.md).

Run from anywhere: /usr/bin/python3 tests/data/segy/make_segy.py
Needs Debian's python3-segyio and python3-numpy (scripts/install-deps).
"""
import math
import os
import struct
import warnings

import numpy as np
import segyio

warnings.simplefilter("ignore")  # segyio warns on every float -> int narrowing
here = os.path.dirname(os.path.abspath(__file__))
TRACES, SAMPLES, DT = 12, 48, 4000   # 48: segyio 1.8.3 writes 1-byte traces right only for ns % 4 == 0
TF = segyio.TraceField


def samples(t):
    return np.array([round(100 * math.sin(2 * math.pi * i / 16 + t / 3) * math.exp(-i / 60))
                     for i in range(SAMPLES)], dtype=np.float32)


def headers(t):
    return {TF.TRACE_SEQUENCE_LINE: t + 1, TF.EnergySourcePoint: 200 + t, TF.CDP: 40001 + t,
            TF.TraceIdentificationCode: 1, TF.NStackedTraces: 1 + t % 6,
            TF.ReceiverGroupElevation: 12000 + 50 * t, TF.ReceiverDatumElevation: 11000,
            TF.SourceDatumElevation: 11000, TF.ElevationScalar: -10, TF.SourceX: 1000 + 25 * t,
            TF.GroupX: 2000 + 25 * t, TF.TotalStaticApplied: 4 * (t % 5) - 8,
            # SEG-Y's own words where SU keeps d1, the trace interval and its 232 word
            TF.CDP_X: 123456, TF.INLINE_3D: 777, TF.UnassignedInt1: 55}


TEXT = {1: "CLIENT TAVELO TEST DATA    LINE SEGY-1", 2: "WRITTEN BY SEGYIO (MAKE_SEGY.PY)",
        3: "12 TRACES OF 48 SAMPLES AT 4 MS", 4: "PROCESSING: SUNMO VNMO=1500 | SUSTACK",
        40: "END EBCDIC"}


def path(name):
    return os.path.join(here, name)


def write_segyio(name, fmt, endian, ascii_text=False, ext_headers=0):
    spec = segyio.spec()
    spec.format, spec.samples, spec.tracecount, spec.endian = fmt, list(range(SAMPLES)), TRACES, endian
    spec.sorting, spec.iline, spec.xline = None, 189, 193
    spec.ext_headers = ext_headers
    with segyio.create(path(name), spec) as f:
        f.text[0] = segyio.tools.create_text_header(TEXT)
        for k in range(ext_headers):
            f.text[k + 1] = segyio.tools.create_text_header({1: "EXTENDED HEADER %d" % (k + 1)})
        f.bin.update({segyio.BinField.Interval: DT, segyio.BinField.Samples: SAMPLES,
                      segyio.BinField.SEGYRevision: 0x0100 if ext_headers else 0,
                      segyio.BinField.ExtendedHeaders: ext_headers})
        for t in range(TRACES):
            f.header[t] = {**headers(t), TF.TRACE_SAMPLE_COUNT: SAMPLES, TF.TRACE_SAMPLE_INTERVAL: DT}
            f.trace[t] = samples(t)
    packed_here = endian == "little" and fmt in (3, 8)
    if packed_here:
        # segyio 1.8.3 turns little-endian 1- and 2-byte samples around in
        # groups of four bytes (as if they were 32-bit words), writing and
        # reading alike: pack them here.
        kind = {3: "<i2", 8: "i1"}[fmt]
        size = {3: 2, 8: 1}[fmt]
        with open(path(name), "r+b") as f:
            for t in range(TRACES):
                f.seek(3600 + ext_headers * 3200 + t * (240 + size * SAMPLES) + 240)
                f.write(samples(t).astype(kind).tobytes())
    if ascii_text:  # the textual header in ASCII, as many little-endian writers do
        text = b"".join(("C%2d %s" % (n, TEXT.get(n, ""))).ljust(80).encode() for n in range(1, 41))
        with open(path(name), "r+b") as f:
            f.write(text)
    # What segyio reads back is what the plot must show.
    with segyio.open(path(name), ignore_geometry=True, endian=endian) as f:
        for t in range(TRACES):
            if not packed_here:
                assert np.array_equal(f.trace[t], samples(t)), name
            assert f.header[t][TF.CDP] == 40001 + t, name
    if packed_here:
        with open(path(name), "rb") as f:
            data = f.read()
        for t in range(TRACES):
            at = 3600 + ext_headers * 3200 + t * (240 + size * SAMPLES) + 240
            assert np.array_equal(np.frombuffer(data[at:at + size * SAMPLES], dtype=kind), samples(t)), name


def write_su_reference(name, source, offset=0.0):
    """The traces of a segyio-read file as an SU file (little-endian)."""
    words = [(0, "i", TF.TRACE_SEQUENCE_LINE), (16, "i", TF.EnergySourcePoint), (20, "i", TF.CDP),
             (28, "h", TF.TraceIdentificationCode), (32, "h", TF.NStackedTraces),
             (40, "i", TF.ReceiverGroupElevation), (52, "i", TF.ReceiverDatumElevation),
             (56, "i", TF.SourceDatumElevation), (68, "h", TF.ElevationScalar), (72, "i", TF.SourceX),
             (80, "i", TF.GroupX), (102, "h", TF.TotalStaticApplied), (114, "h", TF.TRACE_SAMPLE_COUNT),
             (116, "h", TF.TRACE_SAMPLE_INTERVAL)]
    out = bytearray()
    with segyio.open(path(source), ignore_geometry=True) as f:
        for t in range(TRACES):
            header = bytearray(240)
            for at, kind, field in words:
                struct.pack_into("<" + kind, header, at, f.header[t][field])
            out += header + (f.trace[t] + np.float32(offset)).astype("<f4").tobytes()
    with open(path(name), "wb") as f:
        f.write(out)


def write_by_hand(name, fmt, offset=0):
    """Formats segyio 1.8.3 cannot write: the same file, big-endian, packed here."""
    packing = {6: ">d", 7: None, 9: ">q", 10: ">I", 11: ">H", 12: ">Q", 15: None, 16: ">B"}[fmt]
    with open(path("f5-be.sgy"), "rb") as f:
        model = f.read()
    out = bytearray(model[:3600])
    struct.pack_into(">h", out, 3224, fmt)
    step = 240 + 4 * SAMPLES
    for t in range(TRACES):
        out += model[3600 + t * step: 3600 + t * step + 240]
        for v in samples(t):
            v = int(v) + offset
            out += (v & 0xFFFFFF).to_bytes(3, "big") if packing is None else struct.pack(packing, v)
    with open(path(name), "wb") as f:
        f.write(out)


def patched(name, source, cut=None, **words):
    """A copy of `source` with binary-header words (name: (position, format, value)) changed."""
    with open(path(source), "rb") as f:
        data = bytearray(f.read())
    for at, kind, value in words.values():
        struct.pack_into(kind, data, at, value)
    with open(path(name), "wb") as f:
        f.write(data[:cut] if cut is not None else data)


def main():
    for fmt in (1, 2, 3, 5, 8):
        write_segyio("f%d-be.sgy" % fmt, fmt, "big")
        write_segyio("f%d-le.sgy" % fmt, fmt, "little", ascii_text=True)
    write_su_reference("reference.su", "f1-be.sgy")
    write_su_reference("reference-unsigned.su", "f1-be.sgy", offset=128)
    for fmt in (6, 7, 9):
        write_by_hand("f%d-be.sgy" % fmt, fmt)
    for fmt in (10, 11, 12, 15, 16):
        write_by_hand("f%d-be.sgy" % fmt, fmt, offset=128)
    write_segyio("rev1-exthead.sgy", 5, "big", ext_headers=1)
    # ns and dt only in the trace headers
    patched("trace-ns.sgy", "f3-be.sgy", ns=(3220, ">h", 0), dt=(3216, ">h", 0))
    # broken files
    patched("broken-truncated.sgy", "f1-be.sgy", cut=3600 + 100)
    patched("broken-text-only.sgy", "f1-be.sgy", cut=3200)
    patched("broken-format.sgy", "f1-be.sgy", cut=3600 + 2 * (240 + 4 * SAMPLES), fmt=(3224, ">h", 4))
    patched("broken-negative-ns.sgy", "f1-be.sgy", cut=3600 + 2 * (240 + 4 * SAMPLES), ns=(3220, ">h", -48))
    with open(path("f1-be.sgy"), "rb") as f:
        data = bytearray(f.read()[:3600 + 2 * (240 + 4 * SAMPLES)])
    struct.pack_into(">h", data, 3220, 0)
    for t in range(2):
        struct.pack_into(">h", data, 3600 + t * (240 + 4 * SAMPLES) + 114, 0)
    with open(path("broken-zero-ns.sgy"), "wb") as f:
        f.write(data)


if __name__ == "__main__":
    main()
