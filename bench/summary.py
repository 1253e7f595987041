"""Prints the benchmark figures next to the yardstick's and checks the targets.

Usage: summary.py BENCH_JSON YARDSTICK_RESULTS
YARDSTICK_RESULTS has lines "N links ns_per_step ns_per_spring_step" (fastest of each run).
"""
import json
import sys


def load_bench(path):
    fastest = {}
    with open(path) as f:
        for b in json.load(f)["benchmarks"]:
            if b.get("aggregate_name") != "min":
                continue
            name = b["run_name"].replace("/real_time", "").replace("/iterations:4000", "")
            scale = {"ns": 1.0, "us": 1e3, "ms": 1e6, "s": 1e9}[b["time_unit"]]
            fastest[name] = (b["real_time"] * scale, b.get("springs", 0.0))
    return fastest


def load_yardstick(path):
    best = {}
    with open(path) as f:
        for line in f:
            n, links, step, per_spring = line.split()
            n = int(n)
            if n not in best or float(per_spring) < best[n][1]:
                best[n] = (float(step), float(per_spring), int(links))
    return best


def main():
    bench = load_bench(sys.argv[1])
    yard = load_yardstick(sys.argv[2])
    # Which yardstick row each benchmark is held against (the 's' scene has as many springs as 20 cubes).
    against = {"BM_StepScene/s": 20, "BM_StepRows/100": 100, "BM_StepRows/1000": 1000, "BM_StepRows/10000": 10000}
    print()
    print(f"{'step':<26}{'springs':>9}{'ns/step':>12}{'ns/spring/step':>16}{'yardstick':>11}{'ratio':>8}")
    for name, (ns, springs) in bench.items():
        if not name.startswith("BM_Step"):
            continue
        per_spring = ns / springs
        line = f"{name[3:]:<26}{springs:>9.0f}{ns:>12.0f}{per_spring:>16.2f}"
        n = against.get(name)
        if n in yard:
            line += f"{yard[n][1]:>11.2f}{per_spring / yard[n][1]:>8.2f}"
        print(line)
    print()
    print(f"{'build':<26}{'springs':>9}{'ms':>12}")
    for name, (ns, springs) in bench.items():
        if name.startswith("BM_Build"):
            print(f"{name[3:]:<26}{springs:>9.0f}{ns / 1e6:>12.3f}")
    if yard:
        print()
        print("yardstick (fastest run): " + ", ".join(f"N={n}: {v[1]:.2f} ns/spring/step" for n, v in sorted(yard.items())))

    def per_spring(name):
        ns, springs = bench[name]
        return ns / springs

    print()
    checks = []
    for name, n, limit in [("BM_StepScene/s", 20, 1.15), ("BM_StepRows/1000", 1000, 1.15), ("BM_StepRows/10000", 10000, 1.25)]:
        if n in yard and name in bench:
            ratio = per_spring(name) / yard[n][1]
            checks.append((f"{name[3:]} <= {limit} x yardstick", ratio <= limit, f"{ratio:.2f} x"))
    if "BM_StepRows/100" in bench and "BM_StepRows/10000" in bench:
        ratio = per_spring("BM_StepRows/10000") / per_spring("BM_StepRows/100")
        checks.append(("per spring at N=10000 <= 1.15 x N=100", ratio <= 1.15, f"{ratio:.2f} x"))
    # Contact between cubes on against off, in the same sitting.
    contact = [("BM_StepRows/1000", "BM_StepRowsContact/1000", 1.25), ("BM_StepRows/10000", "BM_StepRowsContact/10000", 1.25),
               ("BM_StepSlab", "BM_StepSlabContact", 2.0)]
    contact = [c for c in contact if c[0] in bench and c[1] in bench]
    if contact:
        print(f"{'contact on / off':<26}{'off ns/step':>12}{'on ns/step':>12}{'ratio':>8}")
        for off, on, limit in contact:
            ratio = bench[on][0] / bench[off][0]
            print(f"{off[3:]:<26}{bench[off][0]:>12.0f}{bench[on][0]:>12.0f}{ratio:>8.2f}")
            checks.append((f"{on[3:]} <= {limit} x contact off", ratio <= limit, f"{ratio:.2f} x"))
        print()
    if "BM_BuildRows/10000" in bench:
        ms = bench["BM_BuildRows/10000"][0] / 1e6
        checks.append(("10000 cubes built in under a second", ms < 1000.0, f"{ms:.0f} ms"))
    for text, ok, value in checks:
        print(f"{'met    ' if ok else 'NOT met'}  {text}: {value}")


if __name__ == "__main__":
    main()
