#!/usr/bin/env python3
"""Checks the README and the guides in docs/ as their readers use them.

  check_docs.py SOURCE_DIR [--emulator RUNNER] PROGRAM=EXE...

Every relative link and image must name a file of the tree, and every anchor
a heading of its file. Every command line shown for one of the project's
programs (in a code block or a code span) may name only options that the
program accepts: for an .exe, the options its own help text names (`EXE help`,
run through RUNNER, e.g. the build's wine-run); for a script in scripts/, the
options its argument loop matches. The deployment guide's synopsis of
velto1cli must be the usage lines of its help; its exit-code table must hold
exactly the codes of the outcome table (appcore/outcome_table.h) and of
velto1cli's own (cli/outcomes.h), each row with the W and E codes of that
code's outcomes, and velto1cli's help must list the same codes. A guide that
scripts/package.sh ships alone in a zip links only within itself. Prints one
line per fault and exits 1 when there is any.
"""
import pathlib
import re
import subprocess
import sys

OPTION = re.compile(r"(?<![\w-])(--[A-Za-z0-9][A-Za-z0-9-]*)")
LINK = re.compile(r"!?\[(?:[^\]]*)\]\(([^)\s]+)(?:\s+\"[^\"]*\")?\)")
HEADING = re.compile(r"^(#{1,6})\s+(.*?)\s*#*\s*$")
FENCE = re.compile(r"^\s*(```|~~~)")
CODE_SPAN = re.compile(r"(`+)(.+?)\1")
# Where a shell command line ends: the options after it belong to another program.
COMMAND_END = re.compile(r";|&&|\|\||\s\|\s|\s#|\s>|\s<|\)")


def slug(heading):
    """The anchor a Markdown renderer (GitHub's rule) gives a heading."""
    text = CODE_SPAN.sub(lambda m: m.group(2), heading)
    text = re.sub(r"\[([^\]]*)\]\([^)]*\)", r"\1", text)
    return re.sub(r"[^\w\- ]", "", text.lower()).replace(" ", "-")


def split_blocks(text):
    """(prose lines, code lines), each as (line number, text)."""
    prose, code, fenced = [], [], False
    for number, line in enumerate(text.splitlines(), 1):
        if FENCE.match(line):
            fenced = not fenced
            continue
        if fenced or line.startswith("    ") or line.startswith("\t"):
            code.append((number, line))
        else:
            prose.append((number, line))
    return prose, code


def anchors_of(path, cache={}):
    if path not in cache:
        prose, _ = split_blocks(path.read_text(encoding="utf-8"))
        seen, anchors = {}, set()
        for _, line in prose:
            match = HEADING.match(line)
            if match:
                base = slug(match.group(2))
                count = seen.get(base, 0)
                seen[base] = count + 1
                anchors.add(base if count == 0 else "%s-%d" % (base, count))
        cache[path] = anchors
    return cache[path]


def paragraphs(prose):
    """(first line number, text) of each paragraph: a code span may wrap."""
    result = []
    for number, line in prose:
        if result and line.strip() and result[-1][2] == number - 1:
            result[-1] = (result[-1][0], result[-1][1] + " " + line, number)
        elif line.strip():
            result.append((number, line, number))
    return [(first, text) for first, text, _ in result]


def check_links(path, prose, faults, shipped_alone=False):
    for number, line in prose:
        for target in LINK.findall(CODE_SPAN.sub("", line)):
            if re.match(r"[a-z][a-z0-9+.-]*:", target):
                continue  # http:, https:, mailto: are not ours to check
            file_part, _, anchor = target.partition("#")
            linked = (path.parent / file_part).resolve() if file_part else path
            where = "%s:%d: %s" % (path.name, number, target)
            if shipped_alone and file_part:
                faults.append("%s: a zip carries %s without it (scripts/package.sh)" % (where, path.name))
            elif not linked.exists():
                faults.append("%s: no such file" % where)
            elif anchor and (linked.suffix != ".md" or anchor not in anchors_of(linked)):
                faults.append("%s: no heading with the anchor #%s" % (where, anchor))


def script_options(script):
    """The options a script's argument loop matches (case patterns like --arch) or --arch=*))."""
    options = set()
    for line in script.read_text(encoding="utf-8").splitlines():
        match = re.match(r"\s*((?:--[\w-]+(?:=\*)?\|?)+)\)", line)
        if match:
            options.update(o.split("=")[0] for o in match.group(1).split("|") if o)
    return options


def program_of(token, programs):
    name = token.lstrip("$").strip("\"'`")
    name = name.rsplit("/", 1)[-1].rsplit("\\", 1)[-1]
    if name.endswith(".exe"):
        name = name[:-4]
    return name if name in programs else None


def check_commands(path, lines, programs, faults):
    for number, line in lines:
        words = line.split()
        for index, word in enumerate(words):
            program = program_of(word, programs)
            if program is None or "=" in word:
                continue
            rest = " " + " ".join(words[index + 1:])
            end = COMMAND_END.search(rest)
            for option in OPTION.findall(rest[: end.start()] if end else rest):
                if option not in programs[program]:
                    faults.append("%s:%d: %s does not accept %s" % (path.name, number, program, option))


def shipped_alone(source):
    """The guides that scripts/package.sh copies into a zip by themselves."""
    script = (source / "scripts" / "package.sh").read_text(encoding="utf-8")
    return set(re.findall(r'\bcp\s+"\$root/docs/([\w.-]+\.md)"', script))


def synopsis_lines(text):
    """(line number, text) of the guide's first code block of velto1cli command lines."""
    _, code = split_blocks(text)
    lines = []
    for number, line in code:
        if lines and number != lines[-1][0] + 1:
            break
        if line.split()[:1] == ["velto1cli"]:
            lines.append((number, line))
        elif lines:
            break
    return lines


def check_synopsis(guide, help_text, faults):
    """The guide's synopsis of velto1cli against the usage lines of its help."""
    usage = []
    for line in help_text.splitlines():
        if not usage and not line.startswith("usage:"):
            continue
        if not line.strip():
            break
        usage.append(" ".join(line.replace("usage:", "", 1).split()))
    shown = [(n, " ".join(line.split())) for n, line in synopsis_lines(guide.read_text(encoding="utf-8"))]
    if not usage:
        faults.append("velto1cli help has no usage lines")
    elif not shown:
        faults.append("%s: no synopsis of velto1cli (a code block of velto1cli lines)" % guide.name)
    for index in range(max(len(usage), len(shown))):
        said = usage[index] if index < len(usage) else None
        number, line = shown[index] if index < len(shown) else (shown[-1][0] if shown else 0, None)
        if line != said:
            faults.append("%s:%d: the synopsis says %r where velto1cli help says %r" % (guide.name, number, line, said))


EXIT_CODE_LINE = re.compile(r"^\s+(\d+)\s+(.*\S)\s*$")
WARNING_OR_ERROR = re.compile(r"\b[WE]\d{3}\b")
OUTCOME_ROW = re.compile(
    r"\{\s*UpdateOutcome::(\w+)\s*,\s*(nullptr|\"([^\"]*)\")\s*,.*?\bOutcomeDetail::\w+\s*,\s*(\d+)\s*\}", re.S)
OWN_EXIT_CODE = re.compile(r"constexpr\s+int\s+kExit\w*\s*=\s*(\d+)\s*;")


def exit_codes_in_source(source, faults):
    """{exit code: its W and E codes} from the outcome table and velto1cli's own codes."""
    table = re.sub(r"//[^\n]*", "", (source / "appcore" / "include" / "appcore" / "outcome_table.h").read_text(encoding="utf-8"))
    body = table[table.find("kOutcomeTable[]"):]
    body = body[: body.find("};")]
    rows = OUTCOME_ROW.findall(body)
    if not rows or len(rows) != body.count("UpdateOutcome::"):
        faults.append("check_docs: appcore/outcome_table.h: %d rows read of %d outcomes" % (
            len(rows), body.count("UpdateOutcome::")))
    codes = {}
    for _, _, code, exit_code in rows:
        codes.setdefault(int(exit_code), set()).update([code] if code else [])
    own = (source / "cli" / "include" / "cli" / "outcomes.h").read_text(encoding="utf-8")
    for exit_code in OWN_EXIT_CODE.findall(re.sub(r"//[^\n]*", "", own)):
        codes.setdefault(int(exit_code), set())
    return codes


def check_exit_codes(guide, source, help_text, faults):
    """The guide's exit-code table against the program's codes and their W/E codes, and velto1cli's help."""
    listed = exit_codes_in_source(source, faults)
    helped = set()
    lines = help_text.splitlines()
    start = next((i for i, line in enumerate(lines) if line.startswith("Exit code")), None)
    for line in lines[start + 1:] if start is not None else []:
        match = EXIT_CODE_LINE.match(line)
        if match:
            helped.add(int(match.group(1)))
    for code in sorted(helped ^ set(listed)):
        faults.append("velto1cli help %s exit code %d, which the program %s" % (
            "lists" if code in helped else "leaves out", code, "does not give" if code in helped else "gives"))
    documented = {}
    for number, line in enumerate(guide.read_text(encoding="utf-8").splitlines(), 1):
        cells = [cell.strip() for cell in line.strip().strip("|").split("|")]
        if line.startswith("|") and len(cells) == 3 and cells[0].isdigit():
            documented[int(cells[0])] = (number, set(WARNING_OR_ERROR.findall(cells[1])))
    for code in sorted(set(listed) | set(documented)):
        if code not in documented:
            faults.append("%s: exit code %d (the outcome table) is not in the table" % (guide.name, code))
        elif code not in listed:
            faults.append("%s:%d: exit code %d is not one velto1cli gives" % (guide.name, documented[code][0], code))
        elif documented[code][1] != listed[code]:
            faults.append("%s:%d: exit code %d is %s in the outcome table" % (
                guide.name, documented[code][0], code, "/".join(sorted(listed[code])) or "without a W or E code"))


def main():
    source = pathlib.Path(sys.argv[1]).resolve()
    programs = {}
    for script in (source / "scripts").glob("*.sh"):
        programs[script.name] = script_options(script)
    arguments, runner, helps = sys.argv[2:], [], {}
    if arguments[:1] == ["--emulator"]:
        runner, arguments = [arguments[1]], arguments[2:]
    for argument in arguments:
        name, _, exe = argument.partition("=")
        try:  # a loaded machine starts Wine slowly: a generous time-out
            run = subprocess.run(runner + [exe, "help"], capture_output=True, timeout=300)
        except subprocess.TimeoutExpired:
            sys.exit("check_docs: %s help did not end within 300 s" % exe)
        helps[name] = run.stdout.decode("utf-8", "replace")
        programs[name] = set(OPTION.findall(helps[name]))
        if run.returncode != 0 or not programs[name]:
            sys.exit("check_docs: %s help ended with %d and named no option" % (exe, run.returncode))
    faults, files = [], [source / "README.md"] + sorted((source / "docs").glob("*.md"))
    alone = shipped_alone(source)
    for path in files:
        prose, code = split_blocks(path.read_text(encoding="utf-8"))
        check_links(path, prose, faults, path.parent.name == "docs" and path.name in alone)
        spans = [(n, m.group(2)) for n, paragraph in paragraphs(prose) for m in CODE_SPAN.finditer(paragraph)]
        # A command continued with a backslash is one line.
        joined, pending = [], None
        for number, line in code:
            if pending:
                pending = (pending[0], pending[1] + " " + line)
            else:
                pending = (number, line)
            if not line.rstrip().endswith("\\"):
                joined.append(pending)
                pending = None
        check_commands(path, joined + spans, programs, faults)
    if "velto1cli" in helps:
        check_synopsis(source / "docs" / "deploying.md", helps["velto1cli"], faults)
        check_exit_codes(source / "docs" / "deploying.md", source, helps["velto1cli"], faults)
    for fault in faults:
        print(fault)
    print("check_docs: %d files, %d faults" % (len(files), len(faults)))
    return 1 if faults else 0


if __name__ == "__main__":
    sys.exit(main())
