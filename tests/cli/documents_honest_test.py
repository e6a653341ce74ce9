#!/usr/bin/env python3
"""The documents tell the truth about the options: for every mode of segweld
and segweld-info, the options that the parser accepts are exactly those that
--help, the man page and the bash completion offer for that mode.

What the parser accepts is found by running the program with each name that
any document, or a decoy, offers; nothing is taken from the option table.

Usage: documents_honest_test.py SEGWELD SEGWELD_INFO MAN_PAGE... COMPLETION...
"""
import os
import re
import subprocess
import sys
import tempfile

NAME = re.compile(r"(?<![\w-])(--[a-z][a-z0-9-]*|-[a-zA-Z])(?![\w])")
DECOYS = ["--verbose", "-q", "-v", "--quiet", "--output", "--jobs-count"]

# Each program's modes: the arguments that choose one (none for the first),
# and its title as the documents write it.
PROGRAMS = {
    "segweld": [[], ["--geotiff"], ["--netcdf"], ["--batch"], ["--watch"]],
    "segweld-info": [[], ["--series"], ["--preview", "probe.png"]],
}


def run(command, cwd):
    return subprocess.run(command, capture_output=True, text=True, cwd=cwd, timeout=60)


def names(text):
    return set(NAME.findall(text))


def selector(mode):
    return mode[0] if mode else None


def modes_of_titles(titles, modes):
    """The modes that "--batch or --watch" or "the header dump or --series" name."""
    found = set()
    for title in re.split(r", | or ", titles):
        found |= {i for i, mode in enumerate(modes) if selector(mode) == title}
        if not title.startswith("-"):
            found.add(0)
    return found


def default_modes(name, modes):
    """An entry without "with ...": a mode's chooser is taken in the first mode and its own;
    anything else in every mode."""
    chosen = [i for i, mode in enumerate(modes) if selector(mode) == name]
    return {0, *chosen} if chosen else set(range(len(modes)))


def help_sets(program, modes, cwd):
    """Per mode, the names of the options that --help lists (whole help for the first mode,
    the mode's own for the others), and the names its usage lines give."""
    sets, usage = [], []
    for index, mode in enumerate(modes):
        text = run([program, *mode, "--help"], cwd).stdout
        head, options = text.split("\nOptions:\n")
        usage.append(names(head.split("\n\n")[0]))
        entries = re.split(r"\n(?=  -\w, --|      --)", options.split("\n\n")[0])
        listed = set()
        for entry in entries:
            label, _, about = entry.strip().partition("  ")
            marked = re.search(r"\(with (.+)\)$", " ".join(about.split()))
            for name in names(label):
                in_modes = (modes_of_titles(marked.group(1), modes) if marked
                            else default_modes(names(label).pop(), modes))
                if index > 0 or 0 in in_modes:
                    listed.add(name)
        sets.append(listed)
    return sets, usage


def roff_text(line):
    return re.sub(r"\\f[BIR]|\\&", "", line)


def manual_sets(page, modes):
    """Per mode, the options of the OPTIONS section ("With X or Y:" names their modes), and
    the names of each SYNOPSIS paragraph by the mode it shows."""
    with open(page) as source:
        lines = [roff_text(line.rstrip("\n")) for line in source]
    sections, current = {}, None
    for line in lines:
        if line.startswith(".SH "):
            current = line[4:].strip('"')
            sections[current] = []
        elif current:
            sections[current].append(line)
    listed = [set() for _ in modes]
    options = sections["OPTIONS"]
    for at, line in enumerate(options):
        if at + 1 < len(options) and options[at + 1].startswith(".RS"):
            # "With X or Y:" names the modes; "Alone, or with X or Y:" adds them to a
            # mode's chooser's own.
            prefix = re.match(r"(Alone, or with|With) (.+?):( |$)", options[at + 2])
            for name in names(line):
                in_modes = (modes_of_titles(prefix.group(2), modes) if prefix
                            else default_modes(names(line).pop(), modes))
                if prefix and prefix.group(1).startswith("Alone"):
                    in_modes |= default_modes(names(line).pop(), modes)
                for index in in_modes:
                    listed[index].add(name)
    synopsis = [set() for _ in modes]
    for paragraph in " ".join(sections["SYNOPSIS"]).split(".P"):
        found = names(paragraph)
        # The mode whose chooser the paragraph names first.
        places = {i: paragraph.find(mode[0]) for i, mode in enumerate(modes)
                  if mode and NAME.search(paragraph) and mode[0] in found}
        index = min(places, key=places.get) if places else 0
        synopsis[index] |= found
    return listed, synopsis


def completion_set(script, program, mode, cwd):
    words = [program, *mode, "-"]
    command = ('source /usr/share/bash-completion/bash_completion && source "$1" && shift; '
               'COMP_WORDS=("$@"); COMP_CWORD=$(($# - 1)); COMP_LINE="$*"; '
               'COMP_POINT=${#COMP_LINE}; "_${1//-/_}"; printf "%s\\n" "${COMPREPLY[@]}"')
    result = run(["bash", "-c", command, "_", script, *words], cwd)
    return set(result.stdout.split())


def accepted(program, mode, name, cwd):
    """Whether the parser takes `name` in `mode`: it is refused by name when it is not, and
    a name that chooses another mode instead (the help then shows that mode's usage) is not
    one of this mode's. The paths lead nowhere, so nothing is joined or watched."""
    result = run([program, *mode, name, "absent-a", "absent-b"], cwd)
    refusals = [f"unknown option '{name}", f"{name} belongs to", f"{name} does not go with",
                "cannot be combined"]
    if any(refusal in result.stderr for refusal in refusals):
        return False
    choosers = {m[0] for modes in PROGRAMS.values() for m in modes if m}
    if not mode or name not in choosers or name == mode[0]:
        return True
    usage = run([program, *mode, name, "--help"], cwd).stdout.split("\n")[0]
    return usage.startswith(f"Usage: {os.path.basename(program)} {mode[0]}")


def main(segweld, info, *documents):
    documents = [os.path.abspath(d) for d in documents]
    pages = {os.path.basename(d)[:-2]: d for d in documents if d.endswith(".1")}
    scripts = {os.path.basename(d): d for d in documents if not d.endswith(".1")}
    binaries = {"segweld": segweld, "segweld-info": info}
    failures = []
    with tempfile.TemporaryDirectory() as cwd:
        seen = {}
        for name, modes in PROGRAMS.items():
            helps, usage = help_sets(binaries[name], modes, cwd)
            manual, synopsis = manual_sets(pages[name], modes)
            completions = [completion_set(scripts[name], name, mode, cwd) for mode in modes]
            seen[name] = (helps, usage, manual, synopsis, completions)
        candidates = set(DECOYS)
        for documents_of_program in seen.values():
            for sets in documents_of_program:
                candidates |= set().union(*sets)
        for name, modes in PROGRAMS.items():
            helps, usage, manual, synopsis, completions = seen[name]
            everything = set()
            for index, mode in enumerate(modes):
                parser = {c for c in candidates if accepted(binaries[name], mode, c, cwd)}
                where = f"{name} {' '.join(mode) or '(no mode option)'}"
                for document, offered in [("--help", helps[index]), ("man page", manual[index]),
                                          ("completion", completions[index])]:
                    if offered != parser:
                        failures.append(f"{where}: {document} offers {sorted(offered - parser)} "
                                        f"that the parser refuses, and leaves out "
                                        f"{sorted(parser - offered)}")
                # The whole help's usage shows every mode; each mode's own shows that mode.
                for document, offered in [("usage", usage[index]), ("synopsis", synopsis[index])]:
                    if index > 0 and not offered <= parser:
                        failures.append(f"{where}: {document} names {sorted(offered - parser)}")
                everything |= parser
                print(f"{where}: the parser takes {' '.join(sorted(parser))}")
            if not usage[0] <= everything:
                failures.append(f"{name} --help: usage names {sorted(usage[0] - everything)}")
    for failure in failures:
        print("FAIL", failure)
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main(*sys.argv[1:]))
