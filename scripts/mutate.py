#!/usr/bin/env python3
"""Plants faults in src/ one at a time and reports which ones the suites catch.

The faults come from a fixed, seeded draw over the sources as they stand, so
two runs on the same src/ plant the same faults whatever happened to tests/:
that is what makes a kill rate before and after a change to the suites
comparable. Each fault is planted in a private copy of the tree, built
without sanitizers, and judged by the suites that cover its folder.
"""

import argparse
import os
import random
import re
import shutil
import subprocess
import sys
import time
from pathlib import Path

ROOT = Path(__file__).resolve().parent.parent
SKIP_DIRS = {"resources"}
END_TO_END = ["tst_entrypoint"]

# Each operator finds places in one code line and gives the line with the
# fault planted there. Lines are chosen so the fault still compiles.
COMPARISONS = [("==", "!="), ("!=", "=="), ("<=", ">"), (">=", "<"),
               (" < ", " >= "), (" > ", " <= ")]


def code_part(line):
    """The line without a trailing // comment and with string literals blanked,
    so operators are only found in code."""
    blanked = re.sub(r'"(?:[^"\\]|\\.)*"', lambda m: '"' + "_" * (len(m.group(0)) - 2) + '"', line)
    cut = blanked.find("//")
    return blanked if cut < 0 else blanked[:cut]


def flip_comparison(line, code):
    out = []
    for old, new in COMPARISONS:
        for m in re.finditer(re.escape(old), code):
            start = m.start()
            # Not part of <<, >>, ->, template brackets or operator declarations.
            before = code[start - 1] if start > 0 else " "
            after = code[m.end()] if m.end() < len(code) else " "
            if old.strip() in ("<", ">") and ("template" in code or "<<" in code or ">>" in code):
                continue
            if before in "<>-=!" or after in "<>=" or "operator" in code:
                continue
            out.append(("comparison flipped", line[:start] + new + line[m.end():]))
    return out


def off_by_one(line, code):
    out = []
    if re.search(r"\b(case|enum|#)", code) or "[" in code and "]" in code and "=" not in code:
        return out
    for m in re.finditer(r"(?<![\w.])(\d+)(?![\w.x])", code):
        value = int(m.group(1))
        if value > 100000:
            continue
        out.append(("constant off by one", line[:m.start()] + str(value + 1) + line[m.end():]))
    return out


def drop_statement(line, code):
    stripped = code.strip()
    # A call or an assignment standing alone; declarations would not compile.
    if not stripped.endswith(";") or stripped.startswith(("return", "break", "continue", "}", "case", "default")):
        return []
    if re.match(r"^(emit\s+)?[\w:.>\-\[\]()]+\s*(\(|=[^=]|\+=|-=|<<)", stripped) and not re.match(
            r"^(const\s+)?[\w:<>]+\s+[\w*&]+\s*(=|\(|\{)", stripped):
        indent = line[: len(line) - len(line.lstrip())]
        return [("statement dropped", indent + ";\n")]
    return []


def invert_condition(line, code):
    m = re.search(r"\b(if|while)\s*\((.*)\)\s*(\{|return|$)", code)
    if not m or code.count("(") != code.count(")"):
        return []
    cond = m.group(2)
    start, end = m.start(2), m.end(2)
    return [("condition inverted", line[:start] + "!(" + cond + ")" + line[end:])]


def swap_arguments(line, code):
    out = []
    for m in re.finditer(r"\b(\w+)\(\s*([\w.:>\-]+)\s*,\s*([\w.:>\-]+)\s*\)", code):
        a, b = m.group(2), m.group(3)
        if a == b or m.group(1) in ("if", "while", "for", "switch", "connect", "qMin", "qMax", "qBound",
                                    "QT_TRANSLATE_NOOP", "Q_UNUSED"):
            continue
        out.append(("arguments swapped", line[:m.start(2)] + b + line[m.end(2):m.start(3)] + a + line[m.end(3):]))
    return out


def change_return(line, code):
    swaps = {"return true;": "return false;", "return false;": "return true;"}
    for old, new in swaps.items():
        if old in code:
            return [("return value changed", line.replace(old, new, 1))]
    m = re.search(r"return\s+(\w+)\s*;", code)
    if m and m.group(1) not in ("true", "false", "nullptr") and not m.group(1)[0].isdigit():
        return [("return value changed", line[:m.start(1)] + "{}" + line[m.end(1):])]
    return []


OPERATORS = [flip_comparison, off_by_one, drop_statement, invert_condition, swap_arguments, change_return]


def candidates(path):
    """Every fault an operator can plant in one source file, by line."""
    found = []
    in_block_comment = False
    lines = path.read_text(encoding="utf-8").splitlines(keepends=True)
    for number, line in enumerate(lines):
        stripped = line.strip()
        if in_block_comment:
            in_block_comment = "*/" not in stripped
            continue
        if stripped.startswith("/*"):
            in_block_comment = "*/" not in stripped
            continue
        if not stripped or stripped.startswith(("//", "#", "Q_", "static_assert")):
            continue
        code = code_part(line)
        for operator in OPERATORS:
            for kind, mutated in operator(line, code):
                if mutated != line:
                    if not mutated.endswith("\n"):
                        mutated += "\n"
                    found.append((number, kind, mutated))
    return found


def folder_of(path):
    rel = path.relative_to(ROOT / "src")
    parts = rel.parts[:-1]
    if parts[:1] in (("data",), ("ui",)) and len(parts) > 1:
        return "/".join(parts[:2])
    return parts[0] if parts else "."


def draw_faults(seed, count):
    """A seeded draw, spread over every folder of src/ by its size, and over
    the kinds of fault within a folder."""
    by_folder = {}
    for path in sorted((ROOT / "src").rglob("*.cpp")):
        if path.name == "main.cpp" or set(path.relative_to(ROOT / "src").parts) & SKIP_DIRS:
            continue
        for number, kind, mutated in candidates(path):
            by_folder.setdefault(folder_of(path), []).append((path, number, kind, mutated))
    rng = random.Random(seed)
    total = sum(len(v) for v in by_folder.values())
    quota = {f: max(2, round(count * len(v) / total)) for f, v in by_folder.items()}
    faults = []
    for folder in sorted(by_folder):
        pool = by_folder[folder]
        kinds = sorted({c[2] for c in pool})
        picked = []
        while len(picked) < min(quota[folder], len(pool)):
            kind = kinds[len(picked) % len(kinds)]
            choices = [c for c in pool if c[2] == kind and c not in picked] or [c for c in pool if c not in picked]
            picked.append(rng.choice(choices))
        faults += [(folder,) + c for c in picked]
    return faults


def suites_for(folder, source, tree):
    """The suites in the mirror of the folder (or the end-to-end suite when it
    has none), and any suite that includes the planted file's header (directly
    or through a test helper)."""
    tests = tree / "tests"
    header = str(source.relative_to(ROOT / "src").with_suffix(".h"))
    helpers = [h.stem for h in (tests / "support").glob("*.h") if header in h.read_text(encoding="utf-8")]
    found = set()
    mirror = tests / folder
    if mirror.is_dir():
        found |= {p.stem for p in mirror.glob("tst_*.cpp")}
    else:
        # A layer with no suite of its own (the window-less measurement) is
        # judged by the runs of the built program.
        found |= set(END_TO_END)
    for suite in tests.rglob("tst_*.cpp"):
        text = suite.read_text(encoding="utf-8")
        if header in text or any(f'"{h}.h"' in text for h in helpers):
            found.add(suite.stem)
    return sorted(found)


def sync_tree(source, tree):
    """Makes tree a copy of source, writing only the files that differ.

    A file left as an earlier run restored it keeps its newer time, so the
    build takes it up again; a fresh copy with the source's times would leave
    that run's last fault compiled into every later one."""
    skip = shutil.ignore_patterns("build*", ".git", "run-data")
    wanted = set()
    for folder, dirs, files in os.walk(source):
        rel = Path(folder).relative_to(source)
        dirs[:] = [d for d in dirs if d not in skip(folder, dirs)]
        for name in set(files) - skip(folder, files):
            wanted.add(rel / name)
            target = tree / rel / name
            data = (Path(folder) / name).read_bytes()
            if not target.exists() or target.read_bytes() != data:
                target.parent.mkdir(parents=True, exist_ok=True)
                target.write_bytes(data)
                shutil.copymode(Path(folder) / name, target)
    if tree.exists():
        for path in sorted(tree.rglob("*"), reverse=True):
            if path.is_file() and path.relative_to(tree) not in wanted:
                path.unlink()


def run(cmd, cwd, timeout, env=None):
    try:
        return subprocess.run(cmd, cwd=cwd, env=env, timeout=timeout, stdout=subprocess.DEVNULL,
                              stderr=subprocess.DEVNULL).returncode
    except subprocess.TimeoutExpired:
        return "timeout"


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--seed", type=int, default=2026)
    parser.add_argument("--count", type=int, default=60, help="about this many faults")
    parser.add_argument("--list", action="store_true", help="print the faults and stop")
    parser.add_argument("--only", type=int, nargs="*", help="plant only these fault numbers")
    parser.add_argument("--build", default=str(ROOT / "build-mutate"))
    parser.add_argument("--suite-timeout", type=int, default=120)
    args = parser.parse_args()

    faults = draw_faults(args.seed, args.count)
    if args.list:
        for n, (folder, path, number, kind, mutated) in enumerate(faults, 1):
            print(f"{n:3} {path.relative_to(ROOT)}:{number + 1} {kind}: {mutated.strip()}")
        return 0

    work = Path(args.build)
    tree = work / "tree"
    build = work / "build"
    # A private copy, so that a planted fault never touches the working tree.
    sync_tree(ROOT, tree)
    env = dict(os.environ, QT_QPA_PLATFORM="offscreen", MERO_SOAK_SECONDS="20")
    subprocess.run(["cmake", "-S", str(tree), "-B", str(build), "-G", "Ninja", "-DCMAKE_BUILD_TYPE=Debug"],
                   check=True, stdout=subprocess.DEVNULL)
    # Twice: a form whose generated header changes is rewritten during the
    # first pass, after ninja has judged the sources that include it clean.
    for _ in range(2):
        subprocess.run(["cmake", "--build", str(build), "--parallel", str(os.cpu_count())], check=True,
                       stdout=subprocess.DEVNULL)
    env["MERO_SIM_BIN"] = str(build / "tools/mero-sim/mero-sim")
    env["MERO_APP_BIN"] = str(build / "src/oskiro-mero")

    # A suite that fails with nothing planted would count every fault it
    # judges as killed.
    chosen = [f for n, f in enumerate(faults, 1) if not args.only or n in args.only]
    for suite in sorted({s for f in chosen for s in suites_for(f[0], f[1], tree)}):
        exe = next(build.joinpath("tests").rglob(suite), None)
        if exe is None or run([str(exe)], build, args.suite_timeout, env) != 0:
            sys.exit(f"mutate: {suite} fails with no fault planted; fix it first")

    killed = survived = invalid = 0
    started = time.time()
    for n, (folder, path, number, kind, mutated) in enumerate(faults, 1):
        if args.only and n not in args.only:
            continue
        target = tree / path.relative_to(ROOT)
        original = target.read_text(encoding="utf-8")
        lines = original.splitlines(keepends=True)
        lines[number] = mutated
        suites = suites_for(folder, path, tree)
        where = f"{path.relative_to(ROOT)}:{number + 1}"
        try:
            target.write_text("".join(lines), encoding="utf-8")
            built = run(["cmake", "--build", str(build), "--target", *suites, "oskiro-mero", "mero-sim"],
                        tree, 900)
            if built != 0:
                verdict = "invalid"
            else:
                verdict = "survived"
                for suite in suites:
                    exe = next(build.joinpath("tests").rglob(suite), None)
                    if exe is None or run([str(exe)], build, args.suite_timeout, env) != 0:
                        verdict = f"killed by {suite}"
                        break
        finally:
            target.write_text(original, encoding="utf-8")
        if verdict == "invalid":
            invalid += 1
        elif verdict == "survived":
            survived += 1
        else:
            killed += 1
        print(f"{n:3} {where} {kind}: {verdict}", flush=True)
    judged = killed + survived
    rate = 100.0 * killed / judged if judged else 0.0
    print(f"mutate: {killed} killed, {survived} survived, {invalid} did not build; "
          f"kill rate {rate:.1f} % in {(time.time() - started) / 60:.1f} min (seed {args.seed})")
    return 0


if __name__ == "__main__":
    sys.exit(main())
