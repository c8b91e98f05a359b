#!/usr/bin/env bash
# Fuzzes the code that reads outside input (recordings, command lines, logs,
# the driver's answers): a native clang build of the same sources
# (tests/fuzz/, preset fuzz) under AddressSanitizer, UndefinedBehaviorSanitizer
# and libFuzzer. Each target runs for N seconds, one after the other, from
# seeds made of the project's own files (tests/recordings, the docs' command
# lines and log lines) and the regression inputs in tests/fuzz/regressions.
# Prints each target's final figures; exits 1 when any target found something
# (the input is kept in build/fuzz/findings).
#
#   scripts/fuzz.sh [--seconds N] [TARGET...]    (default: 10 s, every target)
set -euo pipefail
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
seconds=10
targets=()
while [ $# -gt 0 ]; do
    case "$1" in
        --seconds) seconds="$2"; shift 2 ;;
        -h|--help) sed -n '2,12p' "$0"; exit 0 ;;
        *) targets+=("$1"); shift ;;
    esac
done
"$root/scripts/setup.sh" fuzz
cd "$root"
cmake --preset fuzz >/dev/null
cmake --build build/fuzz --parallel 2 >/dev/null
out=build/fuzz
bin=$out/tests/fuzz
[ ${#targets[@]} -gt 0 ] ||
    mapfile -t targets < <(ls "$bin" | sed -n 's/^fuzz_//p' | sort)

# Seeds, made again on every run from the tree's files.
rm -rf "$out/seeds"
python3 - "$out/seeds" <<'PY'
import glob, os, re, shlex, sys
seeds = sys.argv[1]
def put(target, name, data):
    os.makedirs(os.path.join(seeds, target), exist_ok=True)
    with open(os.path.join(seeds, target, name), "wb") as f:
        f.write(data)
for path in glob.glob("tests/recordings/*.rec"):
    for target in ("recording_reader", "replay_driver"):
        put(target, os.path.basename(path), open(path, "rb").read())
docs = "".join(open(p, encoding="utf-8").read() for p in glob.glob("docs/*.md") + ["README.md"])
numbers = b"\xff\xff\xff\xff\x04"  # the readers' limit (the most) and byte count first
for i, line in enumerate(sorted(set(re.findall(r"(velto1cli|chipctl|simdevctl) ([-a-z][^`|;\n]*)", docs)))):
    try:
        words = shlex.split(line[1])
    except ValueError:
        continue
    if line[0] == "simdevctl" and words[:1] == ["add"]:
        words = words[1:]
    text = "\n".join(words).encode()
    put(line[0] + "_arguments", str(i), numbers + text if line[0] == "chipctl" else text)
for i, number in enumerate(sorted(set(re.findall(r"\b(?:0x)?[0-9A-Fa-f]{1,8}\b", docs)))[:200]):
    put("hex_readers", str(i), numbers + number.encode())
logs = [l for l in docs.splitlines() if re.match(r"\d{4}-\d\d-\d\dT.*\t", l)]
put("rollout_report", "docs", ("\r\n".join(logs) + "\r\n#@LAB-PC-07\n#@LAB-PC-99\n").encode())
put("hostile_driver", "empty", b"")
PY

failed=0
# Inputs too large to keep in the tree: a recording-sized file of line ends
# is refused at its first line, in little memory and time.
big=$out/generated/line-ends-64MiB
mkdir -p "$out/generated"
[ -f "$big" ] || head -c $((64 << 20)) /dev/zero | tr '\0' '\n' >"$big"
for target in recording_reader replay_driver; do
    case " ${targets[*]} " in *" $target "*) ;; *) continue ;; esac
    if ! "$bin/fuzz_$target" -rss_limit_mb=2048 -malloc_limit_mb=256 "$big" \
        >"$out/generated/$target.log" 2>&1; then
        echo "== fuzz $target FOUND SOMETHING on $big: $out/generated/$target.log"
        failed=1
    fi
done
for target in "${targets[@]}"; do
    [ -x "$bin/fuzz_$target" ] || { echo "fuzz: no target $target" >&2; exit 2; }
    corpus=$out/corpus/$target
    mkdir -p "$corpus" "$out/findings"
    dirs=("$corpus")
    for d in "$out/seeds/$target" "tests/fuzz/regressions/$target"; do [ -d "$d" ] && dirs+=("$d"); done
    log=$out/findings/$target.log
    echo "== fuzz $target (${seconds} s)"
    if "$bin/fuzz_$target" -max_total_time="$seconds" -timeout=10 -rss_limit_mb=2048 \
        -print_final_stats=1 -artifact_prefix="$out/findings/$target-" "${dirs[@]}" >"$log" 2>&1; then
        grep -E '^#[0-9]+[[:space:]]+DONE' "$log" | tail -1 || true
        grep -E '^stat::(number_of_executed_units|peak_rss_mb)' "$log" || true
    else
        echo "== fuzz $target FOUND SOMETHING: $log"
        grep -E 'ERROR|runtime error|check failed|Test unit written' "$log" | head -5
        failed=1
    fi
done
exit $failed
