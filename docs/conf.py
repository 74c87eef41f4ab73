# Sphinx settings of the Lemvaris documents (Debian's python3-sphinx with
# python3-myst-parser; the pages are MyST Markdown).
#
#   ./scripts/docs.sh           builds the module and the site into build-docs/
#
# The reference is read from the module's docstrings (autodoc), so `import
# lemvaris` must work: the compiled module comes from a build tree's python/
# folder. LEMVARIS_PYTHON_PATH names that folder; without it, build/python
# beside this folder is used (cmake --build build --target lemvaris_python).
import os
import sys

top = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
sys.path.insert(0, os.environ.get("LEMVARIS_PYTHON_PATH", os.path.join(top, "build", "python")))
os.environ.setdefault("MPLBACKEND", "Agg")  # lemvaris.plot imports pyplot; no window here

import lemvaris  # noqa: E402  (a missing module stops the build here, with its reason)

project = "Lemvaris"
author = "the Lemvaris developers"
copyright = "the Lemvaris developers, MIT licence"
version = release = lemvaris.__version__

extensions = ["myst_parser", "sphinx.ext.autodoc"]
source_suffix = {".md": "markdown"}
exclude_patterns = ["_build"]
myst_heading_anchors = 3  # [text](page.md#a-heading) links to a heading
myst_enable_extensions = ["deflist"]

# Every reference must hold (with -W, an error): the build is run with -n.
nitpicky = True
# Types in the compiled part's signatures that these documents do not describe.
nitpick_ignore = [
    ("py:class", name) for name in (
        "numpy.ndarray", "numpy.uint8", "numpy.int64", "os.PathLike", "Optional",
        "Callable", "Union", "object", "dict", "int", "float", "str", "bytes", "bool",
    )
]

autodoc_member_order = "bysource"
autodoc_default_options = {"members": True}
# Docstrings write `name` for code.
default_role = "literal"


smartquotes = False  # --save-state stays two hyphens
html_theme = "alabaster"
html_theme_options = {"page_width": "1160px", "body_max_width": "none"}  # room for the tables
html_title = f"Lemvaris {release}"
html_static_path = []
html_show_sourcelink = False


# The experiments' table (teachers/experiments.md), made from
# data/experiments.json so that it always says what the file says.
def experiments_table():
    import json

    from docutils import nodes

    with open(os.path.join(top, "data", "experiments.json"), encoding="utf-8") as f:
        experiments = json.load(f)
    heads = ["Experiment", "id", "N, M, K", "Ah", "Kh", "G", "rSz", "Claim", "Minutes"]
    table = nodes.table()
    group = nodes.tgroup(cols=len(heads))
    table += group
    group.extend(nodes.colspec(colwidth=1) for _ in heads)

    def row(cells):
        line = nodes.row()
        for cell in cells:
            line += nodes.entry("", nodes.paragraph(text=str(cell)))
        return line

    group += nodes.thead("", row(heads))
    body = nodes.tbody()
    for e in experiments:
        p, c = e["params"], e["claim"]
        sign = "≥" if c["compare"] == ">=" else "≤"
        start = f" × {c['measure']}(0)" if c["relative_to_start"] else ""
        claim = f"{c['measure']}({c['at']}) {sign} {c['value']}{start}"
        body += row([f"{e['en']['name']} ({e['hu']['name']})", e["id"],
                     f"{p['N']}, {p['M']}, {p['K']}", p["Ah"], p["Kh"], p["G"], p["rSz"],
                     claim, e["minutes"]])
    group += body
    return [table]


# The module's constants (reference/index.md): their values read from the
# module itself, beside what each is for.
CONSTANTS = [
    ("__version__", "the program's version, as in a table's version column"),
    ("PALETTE", "the screen's 16 colours as RGB rows: PALETTE[r.screen()] is the screen's picture"),
    ("REFRESH_INTERVAL", "the moves between two samples unless asked otherwise (sample_every)"),
    ("SEED_LIMIT", "the largest seed"),
    ("MAX_RUNS", "the runs a sweep may have unless max_runs= allows more"),
    ("PARAMETERS", "the seven parameters, in the table's order"),
    ("RUN", "the columns that tell one run of a table from another"),
    ("MEASURES", "the four measures every table has"),
    ("NAMED_MEASURES", "the measures a table has only when asked for by name (measures=)"),
    ("COLUMNS", "the columns every sweep's table has; measures asked for and observables "
                "come after mean_row, and the CSV adds steps, sample_every and version"),
]


def constants_table():
    from docutils import nodes

    def shown(value):
        if hasattr(value, "shape"):
            return f"a {value.dtype} array of shape {value.shape}"
        return repr(value)

    table = nodes.table()
    group = nodes.tgroup(cols=3)
    table += group
    group.extend(nodes.colspec(colwidth=width) for width in (1, 2, 3))

    def row(cells, literal=0):
        line = nodes.row()
        for i, cell in enumerate(cells):
            text = nodes.literal(text=cell) if i < literal else nodes.Text(cell)
            line += nodes.entry("", nodes.paragraph("", "", text))
        return line

    group += nodes.thead("", row(["Name", "Value", "What it is"]))
    body = nodes.tbody()
    for name, meaning in CONSTANTS:
        body += row([f"lemvaris.{name}", shown(getattr(lemvaris, name)), meaning], literal=2)
    group += body
    return [table]


def setup(app):
    from docutils.parsers.rst import Directive

    class Experiments(Directive):
        def run(self):
            return experiments_table()

    class Constants(Directive):
        def run(self):
            return constants_table()

    app.add_directive("lemvaris-experiments", Experiments)
    app.add_directive("lemvaris-constants", Constants)
