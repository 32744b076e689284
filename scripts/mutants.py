#!/usr/bin/env python3
"""Plants small faults, one at a time, in a copy of the repository and runs the native tests
against each; prints the faults the tests missed.

    scripts/mutants.py [--seed N] [--count N] [--jobs N] [--keep DIR] [--rev COMMIT]

The faults: a flipped comparison, an off-by-one constant, && swapped for ||, a negated
condition, a dropped statement, true turned to false. They are drawn from the product code
that the native tests build (the Win32 glue, *_win32.*, is out of reach). A fault that does
not compile is not counted; the next one drawn takes its place. The same seed plants the same
faults in the same code, so two versions of the tests compare fault for fault.

The copy is built (Release, without sanitizers) and tested as uid 65534, never as root, so
that nothing outside it can be changed.
"""
import argparse
import os
import random
import re
import resource
import shutil
import subprocess
import sys
import tempfile

ROOT = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
PRODUCT_DIRS = ("setup", "payload", "ui", "shell", "tools", "uninstall")
NOBODY = 65534

COMPARISONS = {" == ": " != ", " != ": " == ", " < ": " <= ", " <= ": " < ", " > ": " >= ",
               " >= ": " > "}
NUMBER = re.compile(r"(?<![\w.])(0x[0-9a-fA-F]+|\d+)(?=[uUlL]*(?![\w.]))")
CONDITION = re.compile(r"\b(if|while) \(")
STATEMENT = re.compile(r"^\s+(?!return\b|case\b|default\b|break\b|else\b|for\b|do\b)"
                       r"[\w:*&(][^;{}]*;\s*$")
DECLARATION = re.compile(r"\s*(const|constexpr|static|auto|unsigned|signed|int|char|bool|size_t|"
                         r"u?int\d+_t|[A-Z]\w*|std::\w+)\b[\w:<>*&\s]*\s[*&]?\w+( =|\(|\{|;|\[)")


def product_files():
    listed = subprocess.run(["git", "ls-files", *PRODUCT_DIRS], cwd=ROOT, check=True,
                            capture_output=True, text=True).stdout.split()
    return sorted(f for f in listed if re.search(r"\.(cpp|h)$", f) and "_win32" not in f)


def code_part(line):
    """The line without its comment and with string and character texts blanked out."""
    out, quote, i = [], None, 0
    while i < len(line):
        c = line[i]
        if quote:
            if c == "\\":
                out.append("__")
                i += 2
                continue
            out.append("_" if c != quote else c)
            if c == quote:
                quote = None
        elif c in "\"'":
            quote = c
            out.append(c)
        elif line.startswith("//", i):
            break
        else:
            out.append(c)
        i += 1
    return "".join(out)


def closing_paren(text, start):
    depth = 0
    for i in range(start, len(text)):
        depth += {"(": 1, ")": -1}.get(text[i], 0)
        if depth == 0:
            return i
    return -1


def sites(path, lines):
    """Every fault this file offers: (path, line index, description, new line)."""
    found = []
    for n, line in enumerate(lines):
        code = code_part(line)
        stripped = code.strip()
        if not stripped or stripped.startswith(("#", "static_assert", "*", "/*")):
            continue
        for old, new in COMPARISONS.items():
            for m in re.finditer(re.escape(old), code):
                found.append((path, n, f"'{old.strip()}' -> '{new.strip()}'",
                              line[:m.start()] + new + line[m.end():]))
        for old, new in ((" && ", " || "), (" || ", " && "), ("true", "false")):
            for m in re.finditer(r"\btrue\b" if old == "true" else re.escape(old), code):
                found.append((path, n, f"'{old.strip()}' -> '{new.strip()}'",
                              line[:m.start()] + new + line[m.end():]))
        for m in NUMBER.finditer(code):
            text = m.group(1)
            value = int(text, 16 if text.startswith("0x") else 8 if len(text) > 1 and text[0] == "0" else 10) + 1
            new = hex(value) if text.startswith("0x") else oct(value).replace("0o", "0") if text[0] == "0" and len(text) > 1 else str(value)
            found.append((path, n, f"{text} -> {new}", line[:m.start()] + new + line[m.end():]))
        for m in CONDITION.finditer(code):
            end = closing_paren(code, m.end() - 1)
            if end > 0:
                cond = line[m.end():end]
                found.append((path, n, f"condition '{cond}' negated",
                              line[:m.end()] + "!(" + cond + ")" + line[end:]))
        if (STATEMENT.match(code) and not DECLARATION.match(code) and
                code.count("(") == code.count(")")):
            found.append((path, n, "statement dropped", re.match(r"\s*", line).group(0) + ";\n"))
    return found


def limit_file_size():
    # A planted fault can make a test write without end, faster than any timeout: once 55 GB,
    # until the disk was full. No file of a build or a test comes near 1 GiB; a test that
    # writes past it is stopped (SIGXFSZ) and fails, so the fault counts as caught.
    resource.setrlimit(resource.RLIMIT_FSIZE, (1 << 30, 1 << 30))


def as_nobody(cmd, cwd, log, timeout):
    env = {"PATH": os.environ["PATH"], "HOME": cwd, "TSARIN_SANDBOX": "off", "LANG": "C"}
    prefix = [] if os.getuid() != 0 else [
        "setpriv", f"--reuid={NOBODY}", f"--regid={NOBODY}", "--clear-groups", "--"]
    try:
        return subprocess.run(prefix + cmd, cwd=cwd, env=env, stdout=log, stderr=log,
                              timeout=timeout, preexec_fn=limit_file_size).returncode
    except subprocess.TimeoutExpired:
        return -1


def main():
    parser = argparse.ArgumentParser(description=__doc__.split("\n")[0])
    parser.add_argument("--seed", type=int, default=1)
    parser.add_argument("--count", type=int, default=60)
    parser.add_argument("--jobs", type=int, default=os.cpu_count())
    parser.add_argument("--keep", help="work folder to keep (default: a new one, removed)")
    parser.add_argument("--rev", help="test this commit (default: the tracked files as they are)")
    args = parser.parse_args()

    work = args.keep or tempfile.mkdtemp(prefix="mutants-")
    src, build = os.path.join(work, "src"), os.path.join(work, "build")
    os.makedirs(work, exist_ok=True)
    if os.getuid() == 0:
        os.chmod(work, 0o755)
    # By default the tracked files as they are in the working tree, so that uncommitted tests
    # count.
    shutil.rmtree(src, ignore_errors=True)
    os.makedirs(src)
    copy = (f"git archive '{args.rev}'" if args.rev else
            "git ls-files -z | tar --null -T - -cf -")
    subprocess.run(f"{copy} | tar -xf - -C '{src}'", shell=True, cwd=ROOT, check=True)
    if os.getuid() == 0:
        subprocess.run(["chown", "-R", f"{NOBODY}:{NOBODY}", work], check=True)

    log = open(os.path.join(work, "mutants.log"), "w")
    build_cmd = ["cmake", "--build", build, f"-j{args.jobs}"]
    test_cmd = ["ctest", "--test-dir", build, f"-j{args.jobs}", "--timeout", "300", "-L", "native"]
    if (as_nobody(["cmake", "-S", src, "-B", build, "-DCMAKE_BUILD_TYPE=Release",
                   "-DTSARIN_BENCH=OFF", "-DTSARIN_FUZZ=OFF"], work, log, 900) or
            as_nobody(build_cmd, work, log, 3600) or as_nobody(test_cmd, work, log, 1800)):
        sys.exit(f"the unchanged copy does not build or pass its tests: see {log.name}")

    candidates = []
    for path in product_files():
        with open(os.path.join(src, path)) as f:
            candidates += sites(path, f.readlines())
    random.Random(args.seed).shuffle(candidates)

    caught, missed, tried = 0, [], 0
    for path, n, what, new_line in candidates:
        if caught + len(missed) == args.count:
            break
        full = os.path.join(src, path)
        with open(full) as f:
            original = f.readlines()
        changed = original[:n] + [new_line] + original[n + 1:]
        with open(full, "w") as f:
            f.writelines(changed)
        tried += 1
        where = f"{path}:{n + 1}: {what}"
        print(f"[{caught + len(missed) + 1}/{args.count}] {where}", file=log, flush=True)
        if as_nobody(build_cmd, work, log, 1800) == 0:
            if as_nobody(test_cmd, work, log, 1800) != 0:
                caught += 1
                print(f"caught   {where}", flush=True)
            else:
                missed.append(where)
                print(f"MISSED   {where}", flush=True)
        with open(full, "w") as f:
            f.writelines(original)

    total = caught + len(missed)
    print(f"\nseed {args.seed}: caught {caught} of {total}"
          f" ({100 * caught // max(total, 1)} %); {tried - total} did not compile")
    for where in missed:
        print(f"  missed: {where}")
    log.close()
    if not args.keep:
        shutil.rmtree(work, ignore_errors=True)


if __name__ == "__main__":
    main()
