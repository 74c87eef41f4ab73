"""The experiments of data/experiments.json, as the help, the lesson page,
the worksheets and the teacher's guide offer them: each has its texts in
both languages (the worksheet's three questions filled in only from values
the file has), a seed among those checked and a time within a lesson; every
claim holds through the batch runner on seeds 0 to 4 (by the Python module's
rule, lemvaris.check_claim), and the help's "Amit érdemes kipróbálni" part
lists exactly these experiments, each by its Hungarian name with its
parameters and what to watch.

Usage: experiments_check.py BUILD_DIR (called by experiments.sh)
"""
import concurrent.futures
import difflib
import io
import json
import os
import re
import subprocess
import sys

import pandas as pd

TOP = os.path.dirname(os.path.dirname(os.path.dirname(os.path.abspath(__file__))))
SEEDS = range(5)
PARAMETERS = ("N", "M", "K", "Ah", "Kh", "G", "rSz")
WHOLE = ("N", "M", "K", "rSz")
MEASURES = ("bottom", "wall_contacts", "interface", "mean_row")
COMPARE = (">=", "<=")  # what lemvaris.check_claim compares by
FROZEN = 3              # the runner's exit code for a reactor that can never move again
HELP_HEADING = "Amit érdemes kipróbálni"
HELP_WIDTH = 75         # the pager's window is 76 columns; a full line would wrap
# A worksheet's questions, and the values their braces may name.
QUESTIONS = ("predict", "observe", "explain")
PLACEHOLDERS = {"at", "measure"} | set(PARAMETERS)
LESSON_MINUTES = 45

failures = []


def fail(message):
    failures.append(message)
    print("FAIL: " + message)


def number(value):
    """A parameter as the help shows it and the runner reads it."""
    return str(value) if isinstance(value, int) else repr(value)


def check_schema(experiments):
    """Each experiment has the fields the help, the pages and this test read."""
    if not isinstance(experiments, list) or len(experiments) < 5:
        fail("experiments.json must be a list of at least five experiments")
        return False
    ids, names = set(), set()
    for e in experiments:
        where = "experiment %r" % e.get("id")
        try:
            for lang in ("hu", "en"):
                t = e[lang]
                for field in ("name", "watch", "aim", "see"):
                    assert t[field].strip(), "%s.%s empty" % (lang, field)
                assert sorted(t["questions"]) == sorted(QUESTIONS), \
                    lang + ".questions must be " + ", ".join(QUESTIONS)
                for kind, question in t["questions"].items():
                    assert question.strip(), "%s.questions.%s empty" % (lang, kind)
                    used = set(re.findall(r"\{(\w*)\}", question))
                    assert used <= PLACEHOLDERS, "%s.questions.%s: no value for %s" % (
                        lang, kind, ", ".join(sorted(used - PLACEHOLDERS)))
                # The observation is of the claim's numbers: its measure at its T.
                observe = set(re.findall(r"\{(\w*)\}", t["questions"]["observe"]))
                assert {"at", "measure"} <= observe, \
                    lang + ".questions.observe must name {at} and {measure}"
            assert e["seed"] in SEEDS and not isinstance(e["seed"], bool), \
                "seed must be one of the seeds the claims are checked on"
            assert isinstance(e["minutes"], int) and 0 < e["minutes"] <= LESSON_MINUTES, \
                "minutes must be a whole number within a lesson"
            assert sorted(e["params"]) == sorted(PARAMETERS), \
                "params must be " + ", ".join(PARAMETERS)
            for name, value in e["params"].items():
                kinds = (int,) if name in WHOLE else (int, float)
                assert isinstance(value, kinds) and not isinstance(value, bool), "params." + name
            c = e["claim"]
            assert sorted(c) == [
                "at", "compare", "measure", "relative_to_start", "value"], "claim fields"
            assert c["measure"] in MEASURES, "claim.measure %r" % c["measure"]
            assert c["compare"] in COMPARE, "claim.compare %r" % c["compare"]
            assert isinstance(c["at"], int) and c["at"] > 0, "claim.at"
            assert isinstance(c["value"], (int, float)) and not isinstance(c["value"], bool), \
                "claim.value"
            assert isinstance(c["relative_to_start"], bool), "claim.relative_to_start"
            assert e["id"] not in ids and e["hu"]["name"] not in names, "id or name used twice"
        except (AssertionError, KeyError, TypeError, AttributeError) as problem:
            fail("%s: %s" % (where, problem or "malformed"))
            return False
        ids.add(e["id"])
        names.add(e["hu"]["name"])
    return True


def batch_rows(batch, e, seed):
    """The batch runner's table of the experiment on this seed up to the
    claim's T, or a message saying why there is none."""
    command = [batch] + [arg for name in PARAMETERS
                         for arg in ("--" + name, number(e["params"][name]))]
    command += ["--steps", str(e["claim"]["at"]), "--seed", str(seed)]
    run = subprocess.run(command, capture_output=True, text=True, timeout=120)
    if run.returncode not in (0, FROZEN) or run.stdout.count("\n") < 2:
        return None, "exit %d: %s" % (run.returncode, run.stderr.strip())
    return pd.read_csv(io.StringIO(run.stdout)), None


def check_claims(batch, experiments):
    import lemvaris
    with concurrent.futures.ThreadPoolExecutor(max_workers=2) as pool:
        futures = {(e["id"], seed): pool.submit(batch_rows, batch, e, seed)
                   for e in experiments for seed in SEEDS}
        for e in experiments:
            tables = []
            for seed in SEEDS:
                table, problem = futures[e["id"], seed].result()
                if problem:
                    fail("%s, seed %d: %s" % (e["id"], seed, problem))
                else:
                    tables.append(table)
            if not tables:
                continue
            check = lemvaris.check_claim(e, pd.concat(tables, ignore_index=True))
            for seed, problem in check.problems.items():
                fail("%s, seed %d: %s" % (e["id"], seed, problem))
            for seed in check.failing:
                fail("%s, seed %d: %s, but it is %.4f" % (e["id"], seed, check.claim,
                                                           check.values[seed]))
            shown = " ".join("-" if v is None else "%.3f" % v for v in check.values.values())
            print("%-14s %-42s seeds 0-4: %s" % (e["id"], check.claim, shown))


def help_lines(experiments):
    """The part as the help must have it: a heading with the size all share,
    then one line per experiment, nothing else."""
    sizes = {tuple(e["params"][name] for name in ("N", "M", "K")) for e in experiments}
    if len(sizes) != 1:
        fail("the help states one N, M, K for all experiments, but they use %s" % sorted(sizes))
        return None
    n, m, k = sizes.pop()
    lines = ["%s (mindegyiknél N=%d M=%d K=%d):" % (HELP_HEADING, n, m, k)]
    for e in experiments:
        p = " ".join("%s=%s" % (name, number(e["params"][name]))
                     for name in ("Ah", "Kh", "G", "rSz"))
        lines.append("  %s (%s): %s" % (e["hu"]["name"], p, e["hu"]["watch"]))
    return lines


def check_help(experiments):
    with open(os.path.join(TOP, "data", "kervatin.hlp"), encoding="cp852", newline="") as f:
        text = f.read().split("\n")
    starts = [i for i, line in enumerate(text) if line.startswith(HELP_HEADING)]
    if len(starts) != 1:
        fail("the help has %d lines starting %r, not one" % (len(starts), HELP_HEADING))
        return
    part = []
    for line in text[starts[0]:]:
        if not line.strip():
            break
        part.append(line)
    expected = help_lines(experiments)
    if expected is None:
        return
    if part != expected:
        diff = difflib.unified_diff(part, expected, "kervatin.hlp", "from experiments.json",
                                    lineterm="")
        fail("the help's part is not the experiments' list:\n" + "\n".join(diff))
    for line in part:
        if len(line) > HELP_WIDTH:
            fail("help line wider than %d columns: %r" % (HELP_WIDTH, line))


def main():
    build = os.path.abspath(sys.argv[1])
    batch = os.path.join(build, "tools", "lemvaris-batch")
    sys.path.insert(0, os.path.join(build, "python"))  # the module's claim rule
    with open(os.path.join(TOP, "data", "experiments.json"), encoding="utf-8") as f:
        experiments = json.load(f)
    if check_schema(experiments):
        check_help(experiments)
        check_claims(batch, experiments)
    verdict = "%d check(s) failed" % len(failures) if failures else "all checks passed"
    print("experiments: " + verdict)
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main())
