#!/usr/bin/env python3
"""The lean-engine benchmarks, two builds side by side: run.py [--runs N] BEFORE AFTER [NAME...]

BEFORE and AFTER are two kelvane programs (the yardstick and the build measured). Each
benchmark runs both, alternating, N times (default 5), and prints the medians and the ratio
before / after. Times are CPU seconds of the process (user + system, the frame writer's
thread included), which a machine shared with other work disturbs far less than wall time;
the wall time is printed beside them.

  idle      steps per second of an empty 640 x 480 room (30 000 steps)
  frames    milliseconds per 640 x 480 frame that `--frames` adds (then both builds' frames
            are decoded and compared pixel for pixel)
  load      loading a game of 100 sprites of 640 x 512 (98 MB of pixels): time and peak
            resident size of a run of one step, as measured and above a run of one step of
            the empty game
  collide   steps per second of 2 000 precise colliding balls in a 2048 x 1536 room
  collide4  the same in a room four times as large (4096 x 3072)
  movers    steps per second of 10 000 moving instances with a step event
"""
import json, os, resource, shutil, statistics, subprocess, sys, tempfile, time

here = os.path.dirname(os.path.abspath(__file__))
args = sys.argv[1:]
runs = 5
if args[:1] == ["--runs"]:
    runs, args = int(args[1]), args[2:]
before, after, names = os.path.abspath(args[0]), os.path.abspath(args[1]), args[2:]
all_names = ["idle", "frames", "load", "collide", "collide4", "movers"]
names = names or all_names
# LEAN_BENCH_GAMES names a folder that keeps the games between runs (making the big one
# takes minutes); by default they go with a temporary folder.
keep = os.environ.get("LEAN_BENCH_GAMES")
work = keep or tempfile.mkdtemp(prefix="kelvane-lean-")
os.makedirs(work, exist_ok=True)


def run(program, *rest):
    """CPU seconds, wall seconds and peak resident KiB of one run."""
    t0 = time.perf_counter()
    p = subprocess.Popen([program, *rest], stdout=subprocess.DEVNULL)
    _, status, use = os.wait4(p.pid, 0)
    wall = time.perf_counter() - t0
    if status != 0:
        sys.exit("%s %s failed (%d)" % (program, " ".join(rest), status))
    return use.ru_utime + use.ru_stime, wall, use.ru_maxrss


def game(kind, maker="lean", n=None, grow=1):
    path = os.path.join(work, "%s%s%s.kgame" % (kind, n or "", "x%d" % grow if grow > 1 else ""))
    if os.path.exists(path):
        return path
    folder = path + ".project"
    if maker == "lean":
        cmd = [sys.executable, os.path.join(here, "make_project.py"), kind, folder]
        if n:
            cmd.append(str(n))
    else:
        cmd = [sys.executable, os.path.join(here, "..", "engine", "make_project.py"), str(n), folder]
        if kind == "collide":
            cmd.append("collide")
    subprocess.run(cmd, check=True)
    if grow > 1:
        manifest_path = os.path.join(folder, "kelvane-project.json")
        with open(manifest_path) as f:
            manifest = json.load(f)
        for r in manifest["rooms"]:
            r["width"] *= grow
            r["height"] *= grow
            for i in r["instances"]:
                i["x"] *= grow
                i["y"] *= grow
        with open(manifest_path, "w") as f:
            json.dump(manifest, f)
    subprocess.run([after, "pack", folder, "-o", path], check=True, stdout=subprocess.DEVNULL)
    return path


def per_step(program, path, steps):
    """CPU and wall seconds per step: a run of `steps` minus a run of 1 (load, first room)."""
    c1, w1, _ = run(program, "run", "--headless", "--seed", "1", "--steps", "1", path)
    cn, wn, _ = run(program, "run", "--headless", "--seed", "1", "--steps", str(steps), path)
    return (cn - c1) / (steps - 1), (wn - w1) / (steps - 1)


def side_by_side(measure):
    """Medians of measure(program) over `runs` alternating runs, per program."""
    results = {before: [], after: []}
    for _ in range(runs):
        for program in (before, after):
            results[program].append(measure(program))
    return {p: [statistics.median(v[i] for v in r) for i in range(len(r[0]))]
            for p, r in results.items()}


def report(name, unit, b, a, invert=False):
    ratio = (a / b if invert else b / a) if a and b else float("nan")
    print("%-9s %-22s before %10.3f   after %10.3f   ratio %6.2f" % (name, unit, b, a, ratio))


def steps_bench(name, path, steps):
    m = side_by_side(lambda p: per_step(p, path, steps))
    report(name, "steps/s (CPU)", 1 / m[before][0], 1 / m[after][0], invert=True)
    report("", "steps/s (wall)", 1 / m[before][1], 1 / m[after][1], invert=True)


for name in names:
    if name == "idle":
        steps_bench(name, game("idle"), 30000)
    elif name == "collide":
        steps_bench(name, game("collide", "engine", 2000), 300)
    elif name == "collide4":
        steps_bench(name, game("collide", "engine", 2000, grow=2), 300)
    elif name == "movers":
        steps_bench(name, game("movers", "engine", 10000), 300)
    elif name == "frames":
        path, steps = game("frames"), 200
        dirs = {before: os.path.join(work, "frames-before"), after: os.path.join(work, "frames-after")}

        def frames_cost(program):
            shutil.rmtree(dirs[program], ignore_errors=True)
            c0, w0, _ = run(program, "run", "--headless", "--seed", "1", "--steps", str(steps), path)
            c1, w1, _ = run(program, "run", "--headless", "--seed", "1", "--steps", str(steps),
                            "--frames", dirs[program], path)
            return (c1 - c0) / steps * 1000, (w1 - w0) / steps * 1000
        m = side_by_side(frames_cost)
        report(name, "ms per frame (CPU)", m[before][0], m[after][0])
        report("", "ms per frame (wall)", m[before][1], m[after][1])
        tool = os.path.join(work, "png_same")
        if not os.path.exists(tool):
            subprocess.run(["c++", "-O2", "-std=c++17", os.path.join(here, "png_same.cpp"),
                            "-lpng", "-o", tool], check=True)
        sizes = [sum(os.path.getsize(os.path.join(d, f)) for f in os.listdir(d)) / len(os.listdir(d))
                 for d in (dirs[before], dirs[after])]
        print("%-9s %-22s before %10.0f   after %10.0f" % ("", "bytes per frame file", *sizes))
        subprocess.run([tool, dirs[before], dirs[after]], check=True)
    elif name == "load":
        path, empty = game("big"), game("idle")

        def load_and_empty(program):
            one = ("run", "--headless", "--seed", "1", "--steps", "1")
            return [*run(program, *one, path), *run(program, *one, empty)]
        m = side_by_side(load_and_empty)
        image_bytes = 100 * 640 * 512 * 3
        report(name, "seconds (CPU)", m[before][0], m[after][0])
        report("", "seconds (wall)", m[before][1], m[after][1])
        report("", "peak RSS, MiB", m[before][2] / 1024, m[after][2] / 1024)
        print("%-9s %-22s before %10.2f   after %10.2f   (file %.1f MB, pixels %.1f MB)" % (
            "", "peak RSS / pixels", m[before][2] * 1024 / image_bytes,
            m[after][2] * 1024 / image_bytes, os.path.getsize(path) / 1e6, image_bytes / 1e6))
        # What an empty game takes (start, libraries, one step) set apart.
        report("", "empty game, s (CPU)", m[before][3], m[after][3])
        report("", "empty game, MiB", m[before][5] / 1024, m[after][5] / 1024)
        report("", "above empty, s (CPU)", m[before][0] - m[before][3], m[after][0] - m[after][3])
        above = [(m[p][2] - m[p][5]) * 1024 / image_bytes for p in (before, after)]
        print("%-9s %-22s before %10.2f   after %10.2f" % ("", "above empty / pixels", *above))
    else:
        sys.exit("unknown benchmark " + name)

if not keep:
    shutil.rmtree(work, ignore_errors=True)
