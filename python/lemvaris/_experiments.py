"""The experiments the help suggests and the lesson page offers
(data/experiments.json, installed with the module): run one by its id over
seeds, and check its claim, the one rule by which the project's own check
judges the claims too."""
import dataclasses
import functools
import json
import os

from .sweeps import RUN, sweep

_FILE = os.path.join(os.path.dirname(os.path.abspath(__file__)), "experiments.json")
_COMPARE = {">=": lambda a, b: a >= b, "<=": lambda a, b: a <= b}


@functools.lru_cache(maxsize=1)
def _loaded():
    with open(_FILE, encoding="utf-8") as f:
        return json.load(f)


def experiments():
    """The experiments, as the file holds them: a list of dicts, each with
    its id, its Hungarian and English texts (hu, en), its params and its
    claim ({measure, at, compare, value, relative_to_start}). A copy: change
    it freely."""
    return json.loads(json.dumps(_loaded()))


def experiment(id):
    """The experiment of this id; ValueError listing the ids otherwise."""
    for e in experiments():
        if e["id"] == id:
            return e
    raise ValueError(f"no experiment is named {id!r} "
                     f"({', '.join(e['id'] for e in experiments())})")


def sweep_experiment(id, seeds=(0,), steps=None, **options):
    """The experiment's runs from each seed for `steps` moves (by default up
    to its claim's T), as lemvaris.sweep gives them; `options` go to sweep."""
    e = experiment(id)
    return sweep(e["params"], e["claim"]["at"] if steps is None else steps, seeds=seeds,
                 **options)


def claim_text(e):
    """The claim in a line: "interface / start at T=20000 <= 0.5"."""
    c = e["claim"]
    ratio = " / start" if c["relative_to_start"] else ""
    return f"{c['measure']}{ratio} at T={c['at']} {c['compare']} {c['value']!r}"


@dataclasses.dataclass
class ClaimCheck:
    """A claim judged on a table's seeds: each seed's value, or the reason it
    has none (the run ended before the claim's T); holds when every seed has
    a value that bears the claim out."""
    id: str
    claim: str
    values: dict      # seed -> the measure at T (over its start when relative), or None
    problems: dict    # seed -> why there is no value
    failing: list     # seeds whose value contradicts the claim

    @property
    def holds(self):
        """True when every seed has a value and none goes against the claim."""
        return not self.problems and not self.failing and bool(self.values)

    def __str__(self):
        shown = " ".join("-" if v is None else f"{v:.3f}" for v in self.values.values())
        verdict = "holds" if self.holds else "does not hold"
        lines = [f"{self.id}: {self.claim}: {verdict} on seeds {', '.join(map(str, self.values))}"
                 f" ({shown})"]
        lines += [f"  seed {seed}: {problem}" for seed, problem in self.problems.items()]
        lines += [f"  seed {seed}: {self.values[seed]:.4f}" for seed in self.failing]
        return "\n".join(lines)


def _value_at(c, run):
    """The claim's measure on one run's rows at T = at (a run frozen earlier
    stays as it was), over its value at T = 0 when relative; or the reason
    there is none."""
    import pandas as pd

    first, last = run.iloc[0], run.iloc[-1]
    if first["T"] != 0:
        return None, f"its first sample is at T={first['T']}, not 0"
    at = run[run["T"] == c["at"]]
    if len(at):
        row = at.iloc[0]
    elif pd.notna(last["frozen_at"]) and last["frozen_at"] <= c["at"]:
        row = last
    else:
        return None, f"the run has no sample at T={c['at']} (its samples end at T={last['T']})"
    value = float(row[c["measure"]])
    if c["relative_to_start"]:
        start = float(first[c["measure"]])
        if start == 0:
            return None, f"{c['measure']} is 0 at T=0: no ratio"
        value /= start
    return value, None


def check_claim(e, table):
    """Whether experiment e's claim holds on every run of table (a sweep of
    e, or the batch runner's rows of it read with pandas), seed by seed."""
    c = e["claim"]
    if c["compare"] not in _COMPARE:
        raise ValueError(f"{e['id']}: claim.compare must be >= or <=, not {c['compare']!r}")
    params = table[list(RUN[:-1])].drop_duplicates()
    if len(params) != 1 or any(params[name].iloc[0] != value
                               for name, value in e["params"].items()):
        raise ValueError(f"the table is not of {e['id']}'s parameters {e['params']}")
    check = ClaimCheck(e["id"], claim_text(e), {}, {}, [])
    for seed, run in table.groupby("seed", sort=True):
        value, problem = _value_at(c, run.sort_values("T", kind="stable"))
        check.values[int(seed)] = value
        if problem:
            check.problems[int(seed)] = problem
        elif not _COMPARE[c["compare"]](value, c["value"]):
            check.failing.append(int(seed))
    return check
