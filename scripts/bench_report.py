#!/usr/bin/env python3
"""Reads the JSON results of every benchmark executable (one folder, <name>.json each, plus machine.txt) and
prints one table: each figure next to its peer or limit from the same run, as a ratio, and whether it meets its
target. Figures no row claims are listed after the table, so a new benchmark is never silently left out."""
import json
import pathlib
import re
import sys

FRAME_60HZ_NS = 1e9 / 60
UNIT_NS = {"ns": 1.0, "us": 1e3, "ms": 1e6, "s": 1e9}


def load(folder):
    """{executable: {benchmark name without iteration/time suffixes: entry}}"""
    runs = {}
    for path in sorted(folder.glob("*.json")):
        data = json.loads(path.read_text())
        entries = {}
        for b in data.get("benchmarks", []):
            if b.get("run_type") == "aggregate" and b.get("aggregate_name") != "median":
                continue
            name = re.sub(r"/(iterations:\d+|manual_time|real_time|repeats:\d+)", "", b["name"])
            name = re.sub(r"_median$", "", name)
            entries[name] = b
        runs[path.stem.removeprefix("bench_")] = entries
    return runs


class Figures:
    def __init__(self, runs):
        self.runs = runs
        self.used = set()

    def entry(self, exe, name):
        e = self.runs.get(exe, {}).get(name)
        if e is not None:
            self.used.add((exe, name))
            if "error_message" in e:
                return None
        return e

    def time_ns(self, exe, name):
        e = self.entry(exe, name)
        return None if e is None else e["real_time"] * UNIT_NS[e.get("time_unit", "ns")]

    def counter(self, exe, name, key, scale=1.0):
        e = self.entry(exe, name)
        return None if e is None or key not in e else e[key] * scale


def fmt_time(ns):
    if ns is None:
        return "-"
    for unit, size in (("s", 1e9), ("ms", 1e6), ("us", 1e3)):
        if ns >= size:
            return f"{ns / size:.3g} {unit}"
    return f"{ns:.3g} ns"


def fmt_rate(v, unit):
    return "-" if v is None else f"{v:.4g} {unit}"


def rows(f):
    """(section, figure, value text, peer or limit, its text, ratio, target text, met or None)"""
    out = []

    def add(section, figure, value, value_text, peer, peer_value, peer_text, target, meets, higher_better=False):
        ratio = None
        if value is not None and peer_value:
            ratio = value / peer_value
        met = None if ratio is None or meets is None else meets(ratio)
        out.append((section, figure, value_text, peer, peer_text,
                    "-" if ratio is None else f"{ratio:.3g}x", target, met))

    # Frame mirror against a plain copy of the same frame.
    for size in ("640/480", "1920/1080", "3840/2160"):
        label = size.replace("/", "x")
        m = f.time_ns("mirror", f"BM_Mirror/{size}")
        c = f.time_ns("mirror", f"BM_Memcpy/{size}")
        r = f.time_ns("mirror", f"BM_MirrorReference/{size}")
        add("frame callback", f"mirror {label}", m, fmt_time(m), "memcpy of the frame", c, fmt_time(c),
            "<= 1.0x", lambda x: x <= 1.0)
        add("frame callback", f"byte-by-byte mirror {label}", r, fmt_time(r), "memcpy of the frame", c, fmt_time(c),
            "(reference)", None)

    # Console event handling against its limit: the window stays responsive through floods of events.
    limit = 20e3
    for name, what in (("BM_PropertyOptionAdded", "per option added"), ("BM_PropertyValueChanged", "per value changed")):
        v = f.counter("console_events", name, "per_event", 1e9)
        add("console events", what, v, fmt_time(v), "limit", limit, fmt_time(limit), "< 1.0x", lambda x: x < 1.0)
    over = f.counter("hover", "BM_HoverOverTakePhoto", "per_move", 1e9)
    elsewhere = f.counter("hover", "BM_MoveElsewhere", "per_move", 1e9)
    add("console events", "mouse move over Take photo (half-press)", over, fmt_time(over), "limit", limit,
        fmt_time(limit), "< 1.0x", lambda x: x < 1.0)
    add("console events", "mouse move over Take photo (half-press)", over, fmt_time(over),
        "mouse move elsewhere", elsewhere, fmt_time(elsewhere), "<= 2x", lambda x: x <= 2.0)

    # Capture: the window's thread is held for moments only; a shot costs little beyond its own work.
    ret = f.time_ns("capture", "BM_TakePictureReturn")
    add("capture", "TakePicture returns (RAW + Large Fine)", ret, fmt_time(ret), "limit", 2e6, fmt_time(2e6),
        "< 1.0x", lambda x: x < 1.0)
    for q, label in (("raw_large_fine", "RAW + Large Fine"), ("large_fine", "Large Fine"), ("small_3", "Small 3")):
        shot = f.counter("capture", f"BM_ShotNextToBare/{q}", "shot_ms", 1e6)
        bare = f.counter("capture", f"BM_ShotNextToBare/{q}", "bare_ms", 1e6)
        add("capture", f"shot to DownloadComplete, {label}", shot, fmt_time(shot),
            "draw + encode + durable write alone", bare, fmt_time(bare), "<= 1.10x", lambda x: x <= 1.10)

    # Live view at 1080p60 through the whole pipeline.
    for arg, label in (("0", "plain"), ("1", "every option")):
        name = f"BM_LiveViewPipeline/options:{arg}"
        delivered = f.counter("liveview", name, "delivered_fps")
        produced = f.counter("liveview", name, "produced_fps")
        add("live view 1080p60", f"frames delivered to the view, {label}", delivered, fmt_rate(delivered, "fps"),
            "frames produced", produced, fmt_rate(produced, "fps"), ">= 0.99x", lambda x: x >= 0.99)
        dropped = f.counter("liveview", name, "dropped_pct")
        add("live view 1080p60", f"frames dropped, {label}", dropped,
            "-" if dropped is None else f"{dropped:.3g} %", "limit", 0.1, "0.1 %", "<= 1.0x", lambda x: x <= 1.0)
        ui = f.counter("liveview", name, "ui_cpu_ms_per_frame", 1e6)
        add("live view 1080p60", f"window-thread CPU per frame, {label}", ui, fmt_time(ui),
            "one 60 Hz frame", FRAME_60HZ_NS, fmt_time(FRAME_60HZ_NS), "<= 0.25x", lambda x: x <= 0.25)
        cb = f.counter("liveview", name, "callback_ms", 1e6)
        add("live view 1080p60", f"frame callback, {label}", cb, fmt_time(cb),
            "one 60 Hz frame", FRAME_60HZ_NS, fmt_time(FRAME_60HZ_NS), "<= 0.1x", lambda x: x <= 0.1)

    # Live-view aids on one 1080p frame of the simulated scene, against a memcpy of the same frame.
    copy = f.time_ns("aids", "BM_AidMemcpy")
    for case, label in (("histogram", "histogram alone"), ("zebra", "zebra alone"), ("peaking", "peaking alone")):
        v = f.time_ns("aids", f"BM_Aids/{case}")
        add("live-view aids 1920x1080", label, v, fmt_time(v), "memcpy of the frame", copy, fmt_time(copy),
            "(reference)", None)
    v = f.time_ns("aids", "BM_Aids/all")
    add("live-view aids 1920x1080", "histogram + zebra + peaking", v, fmt_time(v), "memcpy of the frame", copy,
        fmt_time(copy), "<= 2x", lambda x: x <= 2.0)

    # Live view at 1080p60 through the whole pipeline with every aid on.
    name = "BM_LiveViewAids"
    delivered = f.counter("liveview", name, "delivered_fps")
    produced = f.counter("liveview", name, "produced_fps")
    add("live view 1080p60, every aid", "frames delivered to the view", delivered, fmt_rate(delivered, "fps"),
        "frames produced", produced, fmt_rate(produced, "fps"), ">= 0.99x", lambda x: x >= 0.99)
    dropped = f.counter("liveview", name, "dropped")
    seconds = f.counter("liveview", name, "seconds")
    add("live view 1080p60, every aid", "frames dropped", dropped,
        "-" if dropped is None else f"{dropped:.0f} in {seconds:.0f} s", "frames produced",
        None if produced is None or seconds is None else produced * seconds,
        "-" if produced is None or seconds is None else f"{produced * seconds:.0f}", "0", lambda x: x == 0)
    ui = f.counter("liveview", name, "ui_cpu_ms_per_frame", 1e6)
    add("live view 1080p60, every aid", "window-thread CPU per frame", ui, fmt_time(ui), "one 60 Hz frame",
        FRAME_60HZ_NS, fmt_time(FRAME_60HZ_NS), "<= 0.24x (4 ms)", lambda x: x <= 4e6 / FRAME_60HZ_NS)
    aid = f.counter("liveview", name, "aid_ms_per_frame", 1e6)
    copy = f.counter("liveview", name, "memcpy_ms", 1e6)
    add("live view 1080p60, every aid", "aids per frame on the live-view thread", aid, fmt_time(aid),
        "memcpy of the frame", copy, fmt_time(copy), "<= 2x", lambda x: x <= 2.0)

    # A real camera's path (libgphoto2 over PTP/IP to the stand-in body) against the library's own bare loops,
    # both sides putting photos durably on disk.
    sec = "real camera (stand-in body)"
    for arg, label, target, low in (("0", "the body unpaced", ">= 0.95x", 0.95), ("25", "the body at 25 fps", ">= 0.99x", 0.99),
                                    ("60", "the body at 60 fps", ">= 0.99x", 0.99)):
        pipe = f.counter("gphoto", f"BM_PipelineLiveView/fps:{arg}", "decoded_fps")
        bare = f.counter("gphoto", f"BM_BarePreviewLoop/fps:{arg}", "fps")
        add(sec, f"live-view frames through the pipeline, {label}", pipe, fmt_rate(pipe, "fps"),
            "bare gp_camera_capture_preview loop", bare, fmt_rate(bare, "fps"), target, lambda x, low=low: x >= low)
    shot = f.counter("gphoto", "BM_ComponentShotToFile", "ms_per_shot", 1e6)
    bare_shot = f.counter("gphoto", "BM_BareShot", "ms_per_shot", 1e6)
    add(sec, "shot to file", shot, fmt_time(shot), "bare capture + download into a file + fsync", bare_shot,
        fmt_time(bare_shot), "<= 1.05x", lambda x: x <= 1.05)
    series = f.counter("gphoto", "BM_ComponentSeries", "fps")
    bare_series = f.counter("gphoto", "BM_BareSeries", "fps")
    add(sec, "series of 20 at the body's pace", series, fmt_rate(series, "fps"),
        "bare wait-for-event loop + download + fsync", bare_series, fmt_rate(bare_series, "fps"), ">= 0.95x",
        lambda x: x >= 0.95)
    limit_mb = 8.0
    for arg, label, target, meets in (("1", "from the card (streamed)", "<= 1.0x", lambda x: x <= 1.0),
                                      ("2", "from the body's memory (whole inside libgphoto2)", "(reference)", None)):
        mb = f.counter("gphoto_peers", f"BM_LargePhotoMemory/saveto:{arg}", "peak_mb_above_idle")
        add(sec, f"50 MB photo, peak memory above idle, {label}", mb, fmt_rate(mb, "MB"), "limit", limit_mb,
            fmt_rate(limit_mb, "MB"), target, meets)

    # The same body through the gphoto2 command line, which users run today.
    sec = "real camera next to the gphoto2 command line"
    # At the body's own pace both sides get every frame it makes: neither can be faster than the body.
    for arg, label, target, low in (("0", "the body unpaced", ">= 1.0x", 1.0),
                                    ("25", "the body at 25 fps", ">= 0.99x (the body's rate)", 0.99)):
        pipe = f.counter("gphoto", f"BM_PipelineLiveView/fps:{arg}", "decoded_fps")
        cli = f.counter("gphoto_peers", f"BM_CliMovie/fps:{arg}", "fps")
        add(sec, f"live-view frames, {label}", pipe, fmt_rate(pipe, "fps"), "gphoto2 --capture-movie", cli,
            fmt_rate(cli, "fps"), target, lambda x, low=low: x >= low)
    cli_shot = f.counter("gphoto_peers", "BM_CliShot", "ms_per_shot", 1e6)
    add(sec, "shot to file", shot, fmt_time(shot), "gphoto2 --capture-image-and-download", cli_shot,
        fmt_time(cli_shot), "< 1.0x", lambda x: x < 1.0)
    # The end of the process after the console's window closes, against its limit; an open on a stalled body.
    limit = 300e6
    for arg, label in (("0", "idle"), ("1", "live view, simulated camera"), ("2", "live view, stand-in body"),
                       ("3", "stalled body")):
        v = f.time_ns("exit", f"BM_ExitAfterWindowCloses/case:{arg}")
        add("end of the process", f"exit after the window closes, {label}", v, fmt_time(v), "limit", limit,
            fmt_time(limit), "< 1.0x", lambda x: x < 1.0)
    gap = f.time_ns("exit", "BM_OpenOnStalledBody")
    add("end of the process", "longest event-loop gap while an open waits for a stalled body", gap, fmt_time(gap),
        "three 60 Hz frames", 3 * FRAME_60HZ_NS, fmt_time(3 * FRAME_60HZ_NS), "< 1.0x", lambda x: x < 1.0)
    # Rows whose benchmarks did not run at all are left out.
    return [r for r in out if r[2] != "-" or r[4] != "-"]


def main():
    folder = pathlib.Path(sys.argv[1] if len(sys.argv) > 1 else "build-bench/bench-results")
    runs = load(folder)
    f = Figures(runs)
    table = rows(f)
    machine = folder / "machine.txt"
    if machine.exists():
        print(machine.read_text().rstrip())
        print()
    head = ("figure", "value", "peer or limit (same run)", "its value", "ratio", "target", "")
    widths = [max(len(str(r[i])) for r in [head] + [(r[1], r[2], r[3], r[4], r[5], r[6], "") for r in table])
              for i in range(6)]
    section = None
    failed = 0
    for r in table:
        if r[0] != section:
            section = r[0]
            print(f"\n## {section}")
            print("  ".join(h.ljust(w) for h, w in zip(head, widths)))
        mark = "" if r[7] is None else ("ok" if r[7] else "MISSED")
        failed += r[7] is False
        cells = (r[1], r[2], r[3], r[4], r[5], r[6])
        print("  ".join(str(c).ljust(w) for c, w in zip(cells, widths)) + "  " + mark)
    others = [(exe, name) for exe, entries in runs.items() for name in entries if (exe, name) not in f.used]
    if others:
        print("\n## other figures")
        for exe, name in others:
            e = runs[exe][name]
            print(f"{exe}: {name}  {fmt_time(e['real_time'] * UNIT_NS[e.get('time_unit', 'ns')])}")
    print(f"\n{sum(r[7] is True for r in table)} targets met, {failed} missed")


if __name__ == "__main__":
    main()
