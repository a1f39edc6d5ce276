#!/usr/bin/env python3
"""The same section plotted the way a geophysicist would script it with
numpy + matplotlib: wiggles with filled positive lobes, or a grey image.

    mpl_section.py wiggle|grey IN.su OUT.pdf [WIDTH_MM HEIGHT_MM]

Prints the seconds spent (reading, plotting and saving) on standard output.
"""
import sys
import time

start = time.perf_counter()
import matplotlib

matplotlib.use("Agg")
import matplotlib.pyplot as plt  # noqa: E402
import numpy as np  # noqa: E402


def read_su(path):
    head = np.fromfile(path, dtype="<i2", count=120)
    ns = int(head[57])  # ns at byte 114
    trace = np.dtype([("header", "V240"), ("data", "<f4", (ns,))])
    return np.fromfile(path, dtype=trace)["data"]


def main():
    kind, src, out = sys.argv[1:4]
    width_mm = float(sys.argv[4]) if len(sys.argv) > 4 else 1100
    height_mm = float(sys.argv[5]) if len(sys.argv) > 5 else 800
    data = np.nan_to_num(read_su(src))
    ntr, ns = data.shape
    fig = plt.figure(figsize=(width_mm / 25.4 + 2, height_mm / 25.4 + 2))
    ax = fig.add_axes([0.05, 0.05, 0.9, 0.9])
    if kind == "wiggle":
        peak = max(float(np.max(data[::3, ::3])), 1e-6)
        scale = 1.0 / peak
        t = np.arange(ns, dtype=np.float64)
        for i in range(ntr):
            x = i + data[i] * scale
            ax.plot(x, t, color="k", linewidth=0.1)
            ax.fill_betweenx(t, i, x, where=x > i, color="k", linewidth=0)
        ax.set_xlim(-1, ntr)
        ax.set_ylim(ns, 0)
    else:
        ax.imshow(data.T, cmap="gray", aspect="auto", interpolation="nearest")
    fig.savefig(out)
    print(f"{time.perf_counter() - start:.3f}")


if __name__ == "__main__":
    main()
