#!/usr/bin/env python3
"""Runs the commands that README.md and docs/*.md show, as a reader would.

Every fenced block names what it holds. Blocks of `sh` (or `bash`) run in bash
with -e, -u and pipefail, and `python` blocks in python3, each in a process of
its own inside a folder per page, after the README's `sh preamble` block
(which sets PATH and writes the demo's product into the README's folder; the
other pages find it there already) and with `build` linked to the build under
test, as in a checkout after scripts/demo. A block that cannot run
here says so in its info string: `sh not-run: WHY`. Windows' shells must say
so. A `text output` block right after a block that ran shows lines that its
output (standard output and error) must hold, `...` standing for any text.
Relative links and pictures must lead to a file, and anchors to a heading.

Usage: commands_run_test.py SOURCE_DIR BUILD_DIR WORK_DIR [CXXFLAG...]
"""
import os
import re
import shutil
import subprocess
import sys
from pathlib import Path

RUNNERS = {"sh": ["bash", "-euo", "pipefail", "-c"], "bash": ["bash", "-euo", "pipefail", "-c"],
           "python": None}
NEVER_HERE = {"shell", "console", "bat", "cmd", "powershell", "ps1", "pwsh"}
FENCE = re.compile(r"^(\s*)(`{3,}|~{3,})(.*)$")


def blocks(path):
    """(line, info, text) of each fenced block of a Markdown file."""
    lines = path.read_text(encoding="utf-8").split("\n")
    i = 0
    while i < len(lines):
        match = FENCE.match(lines[i])
        if not match:
            i += 1
            continue
        indent, fence, info = len(match.group(1)), match.group(2), match.group(3).strip()
        start, body = i + 1, []
        i += 1
        while i < len(lines) and not lines[i].strip().startswith(fence):
            body.append(lines[i][indent:] if lines[i][:indent].isspace() else lines[i].lstrip())
            i += 1
        yield start, info, "\n".join(body) + "\n"
        i += 1


def missing_lines(expected, output):
    """The lines of `expected` that no line of `output` matches."""
    got = [line.strip() for line in output.split("\n")]
    for line in filter(None, (line.strip() for line in expected.split("\n"))):
        pattern = re.compile(".*".join(map(re.escape, line.split("..."))))
        if not any(pattern.fullmatch(have) for have in got):
            yield line


def slug(heading, seen):
    text = re.sub(r"[`*_]|<[^>]*>", "", heading).strip().lower()
    text = re.sub(r"[^\w\- ]", "", text).replace(" ", "-")
    count = seen.get(text, 0)
    seen[text] = count + 1
    return text if count == 0 else f"{text}-{count}"


def anchors(path):
    seen, inside = {}, False
    found = set()
    for line in path.read_text(encoding="utf-8").split("\n"):
        if FENCE.match(line):
            inside = not inside
        elif not inside and re.match(r"#{1,6} ", line):
            found.add(slug(line.lstrip("#"), seen))
    return found


def broken_links(page):
    text = re.sub(r"```.*?```", "", page.read_text(encoding="utf-8"), flags=re.S)
    targets = re.findall(r"\]\(([^)\s]+)\)", text) + re.findall(r'<img src="([^"]+)"', text)
    for target in targets:
        if re.match(r"[a-z]+:", target):
            continue
        file, _, anchor = target.partition("#")
        resolved = (page.parent / file).resolve() if file else page
        if not resolved.exists():
            yield f"{page.name}: {target}: no such file"
        elif anchor and resolved.suffix == ".md" and anchor not in anchors(resolved):
            yield f"{page.name}: {target}: no such heading"


def run(command, folder, env):
    """Exit status and output of a block, run in a process group of its own
    that is ended afterwards, so that nothing it started in the background
    outlives it."""
    block = subprocess.Popen(command, cwd=folder, env=env, stdout=subprocess.PIPE,
                             stderr=subprocess.STDOUT, text=True, start_new_session=True)
    try:
        output, _ = block.communicate(timeout=60)
        status = block.returncode
    except subprocess.TimeoutExpired:
        status, output = "timeout", "(no end within 60 s)"
    try:
        os.killpg(block.pid, 9)
    except ProcessLookupError:
        pass
    block.wait()
    return status, output


def main():
    source, build, work = (Path(arg).resolve() for arg in sys.argv[1:4])
    cxxflags = sys.argv[4:]
    shutil.rmtree(work, ignore_errors=True)
    tools = work / "tools"
    tools.mkdir(parents=True)
    # The compiler a snippet calls builds as the library under test was built.
    compiler = shutil.which("c++")
    (tools / "c++").write_text(f'#!/bin/sh\nexec {compiler} {" ".join(cxxflags)} "$@"\n')
    (tools / "c++").chmod(0o755)
    env = dict(os.environ, HOME=str(work / "home"), PATH=f"{tools}:{os.environ['PATH']}")
    (work / "home").mkdir()

    pages = [source / "README.md"] + sorted((source / "docs").glob("*.md"))
    preambles = [text for _, info, text in blocks(pages[0]) if info.split()[1:2] == ["preamble"]]
    if len(preambles) != 1:
        sys.exit("README.md must hold exactly one `sh preamble` block")
    failures = list(bad for page in pages for bad in broken_links(page))
    ran, not_run = 0, []
    for page in pages:
        folder = work / page.stem
        folder.mkdir()
        (folder / "build").symlink_to(build)
        # The product the README's preamble wrote, as scripts/demo leaves it.
        if (work / "README" / "demo-product").is_dir():
            shutil.copytree(work / "README" / "demo-product", folder / "demo-product",
                            copy_function=os.link)
        last_output = None
        for line, info, text in blocks(page):
            where = f"{page.relative_to(source)}:{line}"
            words = info.split()
            language = words[0] if words else ""
            if words == ["text", "output"]:
                if last_output is None:
                    failures.append(f"{where}: output shown for no block that ran")
                for absent in missing_lines(text, last_output or ""):
                    failures.append(f"{where}: not in the output: {absent}\n--\n{last_output}")
            last_output = None
            if not language:
                failures.append(f"{where}: a block without an info string (text, sh, ...)")
                continue
            if "not-run:" in info:
                reason = info.split("not-run:", 1)[1].strip()
                if not reason:
                    failures.append(f"{where}: not-run without a reason")
                not_run.append(f"{where}: {reason}")
                continue
            if language in NEVER_HERE:
                failures.append(f"{where}: a {language} block cannot run here: mark it not-run")
                continue
            if language not in RUNNERS or "preamble" in words:
                continue
            if language == "python":
                command = ["bash", "-euo", "pipefail", "-c", preambles[0] + 'exec python3 -c "$1"',
                           "python", text]
            else:
                command = RUNNERS[language] + [preambles[0] + text]
            ran += 1
            status, output = run(command, folder, env)
            last_output = output
            if status != 0:
                failures.append(f"{where}: exit status {status}\n{text}--\n{output[-2000:]}")
    print(f"{ran} blocks run, {len(not_run)} marked not run:")
    for entry in not_run:
        print(f"  {entry}")
    for failure in failures:
        print(f"FAIL {failure}", file=sys.stderr)
    return 1 if failures or ran == 0 else 0


if __name__ == "__main__":
    sys.exit(main())
