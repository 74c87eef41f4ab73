"""examples/wetting.py on a small grid writes both of its pictures."""
import subprocess
import sys

import numpy as np
from PIL import Image

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
