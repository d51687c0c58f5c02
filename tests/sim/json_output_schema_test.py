#!/usr/bin/env python3
"""Every line `quorvel-sim --json` prints meets docs/events.schema.json, checked with a
well-kept validator (python3-jsonschema). Plays every example (with --explain, so decisions are
in), the built-in scenario, a scenario that restarts the home screen, and random days with
--check (the summary's check object). Then runs the jq one-liners README.md and
docs/scenarios.md show, so they keep working. Run by CTest:
    tests/sim/json_output_schema_test.py build/quorvel-sim .
"""
import json
import os
import re
import subprocess
import sys
import tempfile

try:
    import jsonschema
except ImportError:
    sys.exit("json_output_schema_test: python3-jsonschema is missing (./scripts/setup.sh installs it)")

RESPRING = {
    "name": "a restart of the home screen loses its reminders",
    "device": {"ios": "9.3"},
    "settings": {"showStatus": True, "otherEnabled": True, "otherApplications": ["com.example.Chat"]},
    "apps": [{"bundleId": "com.example.Chat", "name": "Chat"}],
    "actions": [
        {"at": "+20s", "do": "notification", "event": "sms"},
        {"at": "+25s", "do": "notification", "event": "app-notification", "app": "com.example.Chat"},
        {"at": "+2m", "do": "respring"},
    ],
    "run": "4m",
}


def lines_of(simulator, args):
    run = subprocess.run([simulator, *args], capture_output=True, text=True)
    if run.returncode not in (0, 1):
        sys.exit("quorvel-sim %s: exit status %d\n%s" % (" ".join(args), run.returncode, run.stderr))
    return run.stdout.splitlines()


def check_jq_lines(simulator, source):
    """The documents' jq one-liners, on an example: each must run and answer something."""
    problems, found = 0, 0
    example = os.path.join(source, "examples", "repeat-limits.json")
    for document in ("README.md", os.path.join("docs", "scenarios.md")):
        with open(os.path.join(source, document)) as f:
            for line in f:
                match = re.match(r"^(\./build/)?quorvel-sim --json (\S+) (\| jq .*)$", line.strip())
                if not match:
                    continue
                found += 1
                command = "'%s' --json '%s' %s" % (simulator, example, match.group(3))
                run = subprocess.run(command, shell=True, capture_output=True, text=True)
                if run.returncode != 0 or not run.stdout.strip():
                    problems += 1
                    print("%s: %s\n  exit %d: %s" % (document, line.strip(), run.returncode, run.stderr.strip()))
    if found < 4:
        print("json_output_schema_test: expected the two jq one-liners in README.md and docs/scenarios.md")
        problems += 1
    return problems


def main():
    simulator, source = sys.argv[1], sys.argv[2]
    with open(os.path.join(source, "docs", "events.schema.json")) as f:
        schema = json.load(f)
    jsonschema.Draft202012Validator.check_schema(schema)
    whole = jsonschema.Draft202012Validator(schema)
    # The schema is "kind is one of these" and, per kind, "if kind is K then its shape": each line
    # is checked against its kind's shape (fast), the first lines of each kind against the whole.
    by_kind = {case["if"]["properties"]["kind"]["const"]: jsonschema.Draft202012Validator(case["then"])
               for case in schema["allOf"]}
    wholly_checked = {}
    examples = sorted(os.path.join(source, "examples", n) for n in os.listdir(os.path.join(source, "examples"))
                      if n.endswith(".json"))
    with tempfile.NamedTemporaryFile("w", suffix=".json", delete=False) as f:
        json.dump(RESPRING, f)
        respring = f.name
    runs = [["--json", "--explain", path] for path in examples]
    runs += [["--json", "--explain"], ["--json", respring], ["--json", "--check", respring]]
    runs += [["--json", "--random", "--seed", str(seed), "--check"] for seed in (1, 2, 3)]
    runs += [["--json", "--matrix", os.path.join(source, "examples", "across-releases.json")]]
    failures, lines, kinds = 0, 0, set()
    try:
        for args in runs:
            output = lines_of(simulator, args)
            last = "matrix" if "--matrix" in args else "summary"
            if not output or json.loads(output[-1]).get("kind") != last:
                print("%s: the last line is not the %s" % (" ".join(args), last))
                failures += 1
            for number, line in enumerate(output, 1):
                lines += 1
                event = json.loads(line)
                kinds.add(event.get("kind"))
                kind = event.get("kind")
                validator = by_kind.get(kind, whole)
                if wholly_checked.get(kind, 0) < 3:
                    wholly_checked[kind] = wholly_checked.get(kind, 0) + 1
                    validator = whole
                for error in validator.iter_errors(event):
                    failures += 1
                    if failures <= 20:
                        print("%s, line %d: %s\n  %s" % (" ".join(args), number, error.message, line[:300]))
    finally:
        os.unlink(respring)
    failures += check_jq_lines(simulator, source)
    print("json_output_schema_test: %d lines of %d runs, %d kinds seen, %d problems" %
          (lines, len(runs), len(kinds), failures))
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main())
