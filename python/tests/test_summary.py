"""summarize against numpy and scipy on a real sweep over seeds, with runs
that freeze at different times."""
import numpy as np
import pandas as pd
import pytest
from scipy import stats

import lemvaris

SETS = [dict(N=40, M=40, K=400, Ah=0.0, Kh=0.0, G=-0.7, rSz=1),   # settles and freezes
        dict(N=30, M=30, K=300, Ah=0.5, Kh=0.8, G=0.2, rSz=3)]    # goes on
SEEDS = 5


@pytest.fixture(scope="module")
def table():
    return lemvaris.sweep(SETS, 20000, sample_every=2500, seeds=SEEDS, processes=2)


def expected_rows(table):
    """The summary worked out run by run: a frozen run's last sample stands
    for every later time; a time some run has no value at is left out."""
    rows = []
    for values, runs in table.groupby(list(lemvaris.PARAMETERS), sort=False):
        by_seed = {seed: run.set_index("T") for seed, run in runs.groupby("seed")}
        for T in sorted(runs["T"].unique()):
            samples = []
            for run in by_seed.values():
                frozen = run["frozen_at"].iloc[-1]
                if T in run.index:
                    samples.append(run.loc[T])
                elif not pd.isna(frozen) and frozen <= T:
                    samples.append(run.iloc[-1])
            if len(samples) < len(by_seed):
                continue
            row = dict(zip(lemvaris.PARAMETERS, values), T=T, n=len(samples))
            for name in lemvaris.MEASURES:
                x = np.array([s[name] for s in samples], dtype=float)
                spread = x.std(ddof=1)
                # scipy's interval of a spread of 0 is NaN; its half-width is 0.
                low, high = stats.t.interval(0.95, len(x) - 1, loc=x.mean(),
                                             scale=stats.sem(x)) if spread else (0, 0)
                row.update({f"{name}_mean": x.mean(), f"{name}_std": spread,
                            f"{name}_ci95": (high - low) / 2})
            rows.append(row)
    return pd.DataFrame(rows)


def test_summary_is_numpys_and_scipys_over_the_seeds(table):
    frozen = table.groupby(list(lemvaris.RUN)).tail(1)["frozen_at"].dropna()
    assert len(frozen) == SEEDS and (frozen % 2500 != 0).all()  # off the sampling times
    assert frozen.nunique() > 1
    summary = lemvaris.summarize(table)
    expected = expected_rows(table)
    assert list(summary.columns) == list(expected.columns)
    assert (summary["n"] == SEEDS).all()
    pd.testing.assert_frame_equal(summary, expected, check_dtype=False, rtol=1e-12)
    # Each set's frozen times but the last are left out, the last kept.
    first = summary[summary["K"] == 400]
    assert frozen.max() in set(first["T"]) and frozen.min() not in set(first["T"])


def test_one_seed_has_no_spread(table):
    alone = lemvaris.summarize(table[table["seed"] == 3])
    assert (alone["n"] == 1).all()
    assert alone["interface_std"].isna().all() and alone["interface_ci95"].isna().all()
    run = table[(table["seed"] == 3) & (table["K"] == 300)]
    np.testing.assert_array_equal(alone[alone["K"] == 300]["interface_mean"], run["interface"])


@pytest.mark.parametrize("spoil,message", [
    (lambda t: t.drop(columns="frozen_at"), "df is not a sweep's table: no frozen_at"),
    # A run twice would count as two runs of its set (or as none).
    (lambda t: pd.concat([t, t]), "df: the run N=40 M=40 K=400 Ah=0 Kh=0 G=-0.7 rSz=1 seed=0 "
                                  "has two rows at T=0"),
    (lambda t: t.astype({"bottom": str}), "df: column bottom holds object values"),
    (lambda t: t.assign(Kh="0.8"), "df: column Kh holds object values"),
    (lambda t: t.assign(interface=t["interface"].where(t.index != 5)),
     "df: column interface has an empty value \\(NaN\\) in row 5"),
    (lambda t: t.assign(Ah=t["Ah"].where(t.index != 7)), "df: column Ah has an empty value"),
])
def test_tables_that_cannot_be_summed_up_are_refused_by_name(table, spoil, message):
    with pytest.raises(ValueError, match=f"^{message}"):
        lemvaris.summarize(spoil(table))
