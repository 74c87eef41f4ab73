"""The examples: examples/wetting.py on a small grid writes both of its
pictures; the notebook runs in Jupyter."""
import base64
import os
import shutil
import subprocess
import sys

import nbformat
import numpy as np
from PIL import Image

import lemvaris
from conftest import ROOT


def test_wetting_example_writes_both_pictures(tmp_path):
    run = subprocess.run([sys.executable, str(ROOT / "examples/wetting.py"), "--N", "30", "--M",
                          "30", "--K", "250", "--steps", "6000", "--levels", "3", "--out-dir",
                          str(tmp_path)], capture_output=True, text=True, timeout=600)
    assert run.returncode == 0, run.stderr
    assert "of 9 runs" in run.stdout
    for name in ("wetting_series.png", "wetting_map.png"):
        image = Image.open(tmp_path / name)
        assert image.format == "PNG" and image.size[0] >= 600
        # A drawn plot, not an empty canvas: many colours.
        assert len(np.unique(np.asarray(image.convert("RGB")).reshape(-1, 3), axis=0)) > 20


def notebook_environment():
    """Jupyter's own: its inline plots, not the tests' Agg; no debugger notes."""
    env = {k: v for k, v in os.environ.items() if k != "MPLBACKEND"}
    return dict(env, PYDEVD_DISABLE_FILE_VALIDATION="1")


def test_example_notebook_runs_and_shows_reactors_as_their_screen(tmp_path):
    """examples/notebook.ipynb executed by Jupyter: every cell runs (a sweep on
    local processes and one on a LocalCluster among them), a Reactor shows as
    the PNG it saves, the animation as HTML, the study's table is saved, and
    the kernel's end with workers kept prints nothing. A copy runs, as the
    kernel works in the notebook's folder."""
    shutil.copy(ROOT / "examples/notebook.ipynb", tmp_path / "notebook.ipynb")
    run = subprocess.run(["jupyter-nbconvert", "--to", "notebook", "--execute",
                          "--ExecutePreprocessor.timeout=600", "--output", "executed",
                          "notebook.ipynb"], capture_output=True, text=True,
                         timeout=900, cwd=tmp_path,
                         env=notebook_environment())
    assert run.returncode == 0, run.stderr
    assert "Traceback" not in run.stderr and "Error" not in run.stderr, run.stderr
    notebook = nbformat.read(tmp_path / "executed.ipynb", as_version=4)
    outputs = [output for cell in notebook.cells if cell.cell_type == "code"
               for output in cell.outputs]
    assert not [o for o in outputs if o.output_type == "error"]
    reactor = lemvaris.Reactor(N=60, M=60, K=900, Ah=0.5, Kh=0.8, G=0.2, rSz=3, seed=1)
    reactor.step(20000)
    first = notebook.cells[1].outputs[0]
    assert base64.b64decode(first.data["image/png"]) == reactor._repr_png_()
    assert any("text/html" in o.get("data", {}) and "<img" in o.data["text/html"]
               for o in outputs)
    assert sum("image/png" in o.get("data", {}) for o in outputs) >= 4
    header = (tmp_path / "drop_study.csv").read_text().split("\n", 1)[0]
    assert ",mean_row,clusters,largest_cluster,height,frozen_at,stopped,steps," in header
