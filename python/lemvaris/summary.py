"""Ensembles: a sweep's runs from several seeds summed up per parameter set."""
from .sweeps import MEASURES, PARAMETERS, RUN, measure_columns

# What a table must have to be summed up; the measures are whatever lies
# between T and frozen_at (the four, the asked ones, the observables).
_NEEDED = RUN + ("T",) + MEASURES + ("frozen_at",)


def _carried_forward(df):
    """The table with each frozen run's last state repeated at every later
    sample time of its parameter set: a frozen reactor stays as it is."""
    import pandas as pd

    last = df.groupby(list(RUN), sort=False).tail(1)
    frozen = last[last["frozen_at"].notna()].drop(columns="T")
    if frozen.empty:
        return df
    times = df[list(PARAMETERS) + ["T"]].drop_duplicates()
    carried = frozen.merge(times, on=list(PARAMETERS))
    carried = carried[carried["T"] > carried["frozen_at"]]
    return pd.concat([df, carried[df.columns]], ignore_index=True)


def check_table(df, where="df"):
    """ValueError naming the column or the run when df cannot be summed up
    as a sweep's table: a column missing, text or an empty value (NaN) in a
    parameter, seed, T or measure (an observable's too), or one run's sample
    at a T twice."""
    import pandas as pd

    missing = [name for name in _NEEDED if name not in df.columns]
    if missing:
        raise ValueError(f"{where} is not a sweep's table: no {', '.join(missing)}")
    for name in RUN + ("T",) + tuple(measure_columns(df)):
        column = df[name]
        if not pd.api.types.is_numeric_dtype(column) or pd.api.types.is_bool_dtype(column):
            raise ValueError(f"{where}: column {name} holds {column.dtype} values, not numbers")
        if column.isna().any():
            raise ValueError(f"{where}: column {name} has an empty value (NaN) in row "
                             f"{column.index[column.isna().to_numpy()][0]!r}")
    twice = df.duplicated(list(RUN) + ["T"]).to_numpy()
    if twice.any():
        row = df[twice].iloc[0]
        run = " ".join(f"{name}={row[name]:g}" for name in RUN)
        raise ValueError(f"{where}: the run {run} has two rows at T={row['T']:g}")


def spread(grouped, names):
    """n, and `<name>_mean`, `<name>_std` (ddof 1) and `<name>_ci95` (the
    half-width of the 95% interval of the mean, Student's t with n - 1
    degrees of freedom; NaN for one value) of each name over the groups."""
    import numpy as np
    from scipy import stats

    table = grouped.size().to_frame("n")
    n = table["n"].to_numpy()
    quantile = np.where(n > 1, stats.t.ppf(0.975, np.maximum(n - 1, 1)), np.nan)
    means = grouped[names].mean()
    stds = grouped[names].std(ddof=1)
    for name in names:
        table[f"{name}_mean"] = means[name].astype(float)
        table[f"{name}_std"] = stds[name].astype(float)
        table[f"{name}_ci95"] = quantile * table[f"{name}_std"] / np.sqrt(n)
    return table


def summarize(df):
    """One row per parameter set and T of a sweep's table (lemvaris.sweep)
    over its seeds: n, the number of runs, and for each measure (the four,
    the measures asked for by name and the observables) `<measure>_mean`,
    `<measure>_std` (the sample standard deviation, ddof 1) and
    `<measure>_ci95` (the half-width of the 95% confidence interval of the
    mean, from Student's t with n - 1 degrees of freedom). std and ci95 are
    NaN where n is 1.

    A run that froze keeps its last state at the later sample times. Times at
    which only some runs have a sample (a run's own frozen T, or the times
    after a run a Steady stop ended) are left out, so that n is the set's
    number of runs on every row. The sets keep the table's order, T ascending
    within each."""
    check_table(df)
    keys = list(PARAMETERS)
    numbered = df.assign(set=df.groupby(keys, sort=False).ngroup())  # the sets in table order
    runs = numbered.groupby("set")["seed"].nunique()
    full = _carried_forward(numbered)
    grouped = full.groupby(["set", "T"], sort=True)
    table = grouped[keys].first().join(spread(grouped, measure_columns(df)))
    table = table[table["n"].to_numpy() == runs.loc[table.index.get_level_values("set")].to_numpy()]
    table = table.reset_index().drop(columns="set")
    return table[keys + ["T", "n"] + [c for c in table.columns if c.endswith(
        ("_mean", "_std", "_ci95"))]].astype({"n": "int64"})
