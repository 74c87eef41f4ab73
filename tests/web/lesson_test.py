#!/usr/bin/python3
"""The lesson page (index.html) in headless Chromium through Selenium.

One browser session: a link fills the form (a decimal comma read, an
omitted value left at its default), the form's ranges and the version are
the batch runner's, bad values are marked and start nothing, a preset fills
the form, a frozen run's table says where it froze; a seeded run stepped through
window.lemvaris.step is the batch runner's run (grid and the downloaded
CSV), the canvas shows each cell state in its colour and is the downloaded
PNG; play moves (still the native run, grid and CSV), pause holds, restart
returns to the same start, the keys step and end; the three window sizes;
English and the classic page's link; after one visit the page runs with the
server gone, and can be installed. Then what a class meets: the numbers and
what screen readers hear, sliders that follow, the chart's axes, legend and
mark, the projector view, the buttons and the focus, the files' names and
the picture's caption, step(n)'s checks and bound, the link's QR code
(read back by zbarimg; skipped when the page loads no QR library, unless
LEMVARIS_QR_SCRIPT names one to put into the page).

Usage: lesson_test.py SITE_DIR --batch LEMVARIS_BATCH [TEST...]
"""
import csv
import io
import json
import os
import re
import subprocess
import sys
import tempfile
import time
import unittest

from selenium.webdriver.common.action_chains import ActionChains
from selenium.webdriver.common.keys import Keys
from selenium.webdriver.support.ui import Select

from browser import ServedPage, command_line, decode_png, start_server, wait_until

SITE = BATCH = None
# N, M, K, Ah, Kh, G, rSz, seed of the seeded run. With K = 128 a mean_row
# has up to 7 decimals (25.8515625 at T = 4000), which JavaScript's own
# formatting could round or cut.
LINK = "#N=40&M=50&K=128&Ah=0,3&Kh=0.7&rSz=2&seed=2"
RUN = {"N": "40", "M": "50", "K": "128", "Ah": "0.3", "Kh": "0.7", "G": "0.2", "rSz": "2",
       "seed": "2"}
STEPS = 4321
COLOURS = {0: (0x00, 0x00, 0xAA), 1: (0, 0, 0), 2: (0xFF, 0xFF, 0x55)}  # wall, empty, particle
EXPERIMENTS = os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "..", "data",
                           "experiments.json")


def batch_run(steps, run, check=True):
    """The batch runner's CSV and grid (rows of digits) of the same run."""
    with tempfile.TemporaryDirectory() as folder:
        grid = os.path.join(folder, "grid.txt")
        args = [BATCH, "--steps", str(steps), "--grid", grid]
        for name, value in run.items():
            args += ["--" + name, value]
        table = subprocess.run(args, check=check, capture_output=True, text=True).stdout
        with open(grid) as f:
            return table, f.read().split()


class Lesson(ServedPage):
    @classmethod
    def setUpClass(cls):
        cls.downloads = tempfile.TemporaryDirectory()
        super().setUpClass()
        cls.browser.execute_cdp_cmd("Page.setDownloadBehavior",
                                    {"behavior": "allow", "downloadPath": cls.downloads.name})

    @classmethod
    def tearDownClass(cls):
        super().tearDownClass()
        cls.downloads.cleanup()

    def open(self, address, width=1366, height=657, mobile=False):
        """The page at address in a viewport of exactly width x height."""
        self.browser.execute_cdp_cmd("Emulation.setDeviceMetricsOverride", {
            "width": width, "height": height, "deviceScaleFactor": 1, "mobile": mobile})
        self.browser.get("about:blank")  # a new hash alone would not load the page again
        self.browser.get(self.url + address)
        self.assertTrue(wait_until(lambda: self.js("return !document.getElementById('start')"
                                                   ".disabled")), "the core did not load")

    def click(self, element_id):
        self.browser.find_element("id", element_id).click()

    def field(self, name):
        return self.js("return document.getElementById(arguments[0]).value", name)

    def state(self):
        return self.js("return window.lemvaris.state()")

    def announced(self):
        return self.js("return document.getElementById('announce').textContent")

    def number(self, name):
        """The number shown at #value-name and the word after it."""
        return self.js("const e = document.getElementById('value-' + arguments[0]);"
                       "return [e.querySelector('.number').textContent,"
                       " e.querySelector('.unit').textContent.trim()]", name)

    def legend(self):
        """The chart's legend: each series' label and the value it shows."""
        return self.js("return Array.from(document.querySelectorAll('#chart .u-series'), r =>"
                       " [r.querySelector('.u-label').textContent,"
                       "  r.querySelector('.u-value').textContent])")

    def point_at(self, x, y=None):
        """The pointer over the chart's plot, x CSS pixels from its left
        (y: from its top, by default the middle)."""
        over = self.browser.find_element("css selector", "#chart .u-over")
        size = over.size
        y = size["height"] / 2 if y is None else y
        ActionChains(self.browser).move_to_element_with_offset(
            over, int(x - size["width"] / 2), int(y - size["height"] / 2)).perform()

    def downloaded(self, button, suffix, name=None):
        """Clicks the button and returns the bytes of the file it saved,
        which must be called name if one is given."""
        for old in os.listdir(self.downloads.name):
            os.remove(os.path.join(self.downloads.name, old))
        self.click(button)
        names = wait_until(lambda: [n for n in os.listdir(self.downloads.name)
                                    if n.endswith(suffix)])
        self.assertTrue(names, "nothing saved by #" + button)
        if name is not None:
            self.assertEqual(names, [name])
        time.sleep(0.2)
        with open(os.path.join(self.downloads.name, names[0]), "rb") as f:
            return f.read()

    def assert_fits(self, size):
        """No sideways scrolling; the reactor whole in the viewport."""
        view = self.js("const e = document.documentElement, r = document.getElementById"
                       "('reactor').getBoundingClientRect(); return [e.scrollWidth, e.clientWidth,"
                       " innerHeight, r.left, r.top, r.right, r.bottom]")
        scroll_width, width, height, left, top, right, bottom = view
        self.assertLessEqual(scroll_width, width, size)
        self.assertGreaterEqual(left, 0, size)
        self.assertLessEqual(right, width, size)
        self.assertGreaterEqual(top, 0, size)
        self.assertLessEqual(bottom, height, size)
        return bottom - top

    def test_a_form_link_preset_and_refusals(self):
        self.open("index.html" + LINK)
        for name, value in RUN.items():
            self.assertEqual(self.field(name), "0,3" if name == "Ah" else value, name)
        # The ranges and the version come from the core: the batch runner's.
        help_text = subprocess.run([BATCH, "--help"], check=True, capture_output=True,
                                   text=True).stdout
        ranges = {name: "%s…%s" % (low, "N·M" if name == "K" else high) for name, low, high in
                  re.findall(r"--(\w+) .* from (-?\d+) to (\d+)", help_text) if name in RUN}
        self.assertEqual(self.js("return Object.fromEntries(Array.from(document.querySelectorAll"
                                 "('.range'), e => [e.id.split('-')[0], e.textContent]))"), ranges)
        version = subprocess.run([BATCH, "--version"], check=True, capture_output=True,
                                 text=True).stdout.split()[-1]
        self.assertEqual(self.js("return window.lemvaris.version"), version)
        # Out of range, above N*M, malformed: marked at the field, and nothing starts.
        # A seed of -1 is a number out of range, not a malformed one.
        for name, value in [("K", "2001"), ("Kh", "1.5"), ("rSz", "2.5"), ("G", "abc"),
                            ("seed", "-1")]:
            self.js("document.getElementById(arguments[0]).value = arguments[1]", name, value)
        self.click("start")
        messages = {"K": "1 és 2000 között legyen.", "Kh": "-1 és 1 között legyen.",
                    "rSz": "Egész számot írjon.", "G": "Ez nem szám.",
                    "seed": "0 és 4294967295 között legyen."}
        for name, message in messages.items():
            self.assertEqual(self.js("return document.getElementById(arguments[0])"
                                     ".getAttribute('aria-invalid')", name), "true", name)
            self.assertEqual(self.js("return document.getElementById(arguments[0] + '-error')"
                                     ".textContent", name), message)
        self.assertEqual(self.state()["N"], None, "a run started with bad values")
        self.assertEqual(self.js("return document.activeElement.id"), "K")
        self.js("document.getElementById('seed').value = '0'")
        # Every preset fills the form and says what to watch.
        with open(EXPERIMENTS, encoding="utf-8") as f:
            experiments = json.load(f)
        names = self.js("return Array.from(document.getElementById('preset').options, o => o.text)")
        self.assertEqual(names[1:], [e["hu"]["name"] for e in experiments])
        self.assertGreaterEqual(len(experiments), 5)
        for i, e in enumerate(experiments):
            Select(self.browser.find_element("id", "preset")).select_by_index(i + 1)
            self.assertEqual({k: float(self.field(k)) for k in e["params"]},
                             {k: float(v) for k, v in e["params"].items()})
            self.assertEqual(self.browser.find_element("id", "preset-watch").text, e["hu"]["watch"])
        self.assertFalse(self.js("return document.querySelector('[aria-invalid=true]')"))
        # A full reactor is frozen at once, and says so; its table is the batch
        # runner's, for the moves the page made.
        self.open("index.html#N=2&M=2&K=4")
        self.click("start")
        self.assertEqual(self.js("return window.lemvaris.step(10)"), 0)
        self.assertTrue(self.state()["frozen"])
        self.assertIn("A részecskék már nem tudnak elmozdulni.",
                      self.browser.find_element("id", "state").text)
        self.assertEqual(self.announced(),
                         "Megállt, T = 0: a részecskék már nem tudnak elmozdulni.")
        table = self.downloaded("save-csv", ".csv", "lemvaris-custom-seed0-T0.csv").decode()
        full = {"N": "2", "M": "2", "K": "4", "Ah": "0.5", "Kh": "0.8", "G": "0.2", "rSz": "3"}
        native = list(csv.DictReader(io.StringIO(batch_run(10, full, check=False)[0])))
        for row in native:
            row["steps"] = "0"
        self.assertEqual(native[-1]["frozen_at"], "0")
        self.assertEqual(list(csv.DictReader(io.StringIO(table))), native)

    def test_b_a_seeded_run_is_the_native_run(self):
        self.open("index.html" + LINK)
        self.click("start")
        state = self.state()
        self.assertEqual({k: state[k] for k in RUN},
                         {"N": 40, "M": 50, "K": 128, "Ah": 0.3, "Kh": 0.7, "G": 0.2, "rSz": 2,
                          "seed": 2})
        self.assertEqual(state["T"], 0)
        start = self.js("return Array.from(window.lemvaris.grid())")
        self.click("share")
        link = self.browser.find_element("id", "share-link").text
        self.assertTrue(link.endswith("#N=40&M=50&K=128&Ah=0.3&Kh=0.7&G=0.2&rSz=2&seed=2"), link)
        self.assertEqual(self.js("return location.href"), link.split()[-1])

        self.assertEqual(self.js("return window.lemvaris.step(arguments[0])", STEPS), STEPS)
        table, native_grid = batch_run(STEPS, RUN)
        grid = self.js("return Array.from(window.lemvaris.grid())")
        self.assertEqual(len(grid), 42 * 52)
        self.assertEqual(["".join(map(str, grid[r * 52:(r + 1) * 52])) for r in range(42)],
                         native_grid)
        self.assertEqual(self.downloaded("save-csv", ".csv",
                                         "lemvaris-custom-seed2-T4321.csv").decode(), table)
        self.assertEqual(table.count("\n"), 1 + 3 + 1)  # T = 0, 2000, 4000 and 4321

        # The canvas: every cell a square of its state's colour; the PNG is it,
        # over its caption.
        picture = decode_png(self.downloaded("save-png", ".png"))
        width, height, pixels = picture
        side = width // 52
        self.assertEqual(width % 52, 0)
        self.assertGreater(height, 42 * side)
        for i, state in enumerate(grid):
            r, c = divmod(i, 52)
            for y, x in [(r * side, c * side), ((r + 1) * side - 1, (c + 1) * side - 1)]:
                at = (y * width + x) * 3
                self.assertEqual(tuple(pixels[at:at + 3]), COLOURS[state], (r, c))
        self.assertIn(self.js("return getComputedStyle(document.getElementById('reactor'))"
                              ".imageRendering"), ["pixelated", "crisp-edges"])
        legend = self.browser.find_element("css selector", "#chart .u-legend").text
        for name in ["alsó sor", "falérintés", "határfelület", "átlagos sor"]:
            self.assertIn(name, legend)

        # Play moves, pause holds, restart is the same start; L steps, V ends.
        self.click("play")
        self.assertTrue(wait_until(lambda: self.state()["T"] > STEPS + 1000))
        self.click("pause")
        held = self.state()["T"]
        time.sleep(0.5)
        self.assertEqual(self.state()["T"], held)
        # Played at full speed (by the page's worker), still the native run.
        table, native_grid = batch_run(held, RUN)
        grid = self.js("return Array.from(window.lemvaris.grid())")
        self.assertEqual(["".join(map(str, grid[r * 52:(r + 1) * 52])) for r in range(42)],
                         native_grid)
        self.assertEqual(self.downloaded("save-csv", ".csv").decode(), table)
        self.click("restart")
        self.assertEqual(self.state()["T"], 0)
        self.assertEqual(self.js("return Array.from(window.lemvaris.grid())"), start)
        body = self.browser.find_element("tag name", "body")
        body.send_keys("l")
        self.assertEqual(self.state()["T"], 1)
        body.send_keys("c")
        self.assertTrue(wait_until(lambda: self.state()["T"] > 2000))
        body.send_keys("v")
        ended = self.state()["T"]
        self.assertEqual(self.js("return window.lemvaris.step(5)"), 0)
        self.assertTrue(self.browser.find_element("id", "play").get_property("disabled"))
        self.assertEqual(self.state()["T"], ended)

    def test_c_sizes_english_and_the_classic_link(self):
        for width, height, mobile in [(390, 844, True), (1366, 657, False), (1920, 1080, False)]:
            self.open("index.html", width, height, mobile)
            self.click("start")
            tall = self.assert_fits((width, height))
            if width == 1920:
                self.assertGreaterEqual(tall, 500)
        self.open("index.html?lang=en#N=60")
        self.assertEqual(self.js("return document.documentElement.lang"), "en")
        self.assertEqual(self.browser.find_element("id", "start").text, "Start")
        self.assertEqual(self.field("N"), "60")
        self.click("lang-switch")  # back to Hungarian, the form kept
        self.assertTrue(wait_until(lambda: self.js("return document.documentElement.lang") == "hu"))
        self.assertEqual(self.field("N"), "60")
        self.click("classic-link")
        self.assertTrue(wait_until(lambda: self.js("return location.pathname") == "/classic.html"))
        self.assertEqual(self.js("return document.getElementById('lesson-link')"
                                 ".getAttribute('href')"), "index.html")

    def test_d_offline_after_one_visit(self):
        self.open("index.html")
        self.assertTrue(wait_until(lambda: self.js("return !!navigator.serviceWorker.controller")),
                        "no service worker controls the page")
        errors = self.browser.execute_cdp_cmd("Page.getInstallabilityErrors", {})
        self.assertEqual(errors["installabilityErrors"], [])
        self.server.shutdown()  # from here on the page has no server
        self.server.server_close()
        try:
            self.open("index.html?lang=en#K=500")
            self.click("start")
            self.assertEqual(self.js("return window.lemvaris.step(100)"), 100)
            self.assertEqual(self.state()["K"], 500)
        finally:
            type(self).server = start_server(SITE)
            type(self).url = "http://127.0.0.1:%d/" % self.server.server_address[1]


    def test_e_numbers_and_what_screen_readers_hear(self):
        self.open("index.html" + LINK)
        self.click("start")
        self.assertEqual(self.announced(), "Új futás, T = 0.")
        # The state line is no live region, nor inside one: it changes as the run plays.
        self.assertIsNone(self.js("return document.getElementById('state')"
                                  ".closest('[aria-live], [role=status], [role=log]')"))
        self.assertEqual(self.js("return window.lemvaris.step(arguments[0])", STEPS), STEPS)
        state = self.state()
        # The numbers as the core measures them, the mean row as the height above the bottom.
        shown = {name: self.number(name) for name in
                 ["bottom", "wall_contacts", "interface", "mean_row"]}
        height, unit = shown.pop("mean_row")
        self.assertEqual(shown, {"bottom": [str(state["bottom"]), "részecske"],
                                 "wall_contacts": [str(state["wall_contacts"]), "részecske"],
                                 "interface": [str(state["interface"]), "cellapár"]})
        self.assertRegex(height, r"^\d+,\d$")
        self.assertLessEqual(abs(float(height.replace(",", ".")) -
                                 (state["N"] + 1 - state["mean_row"])), 0.05 + 1e-9)
        self.assertEqual(unit, "sor, alulról")
        # Played for 6 s: the numbers and the state line at most about 4
        # times a second, far fewer than the reactor's pictures (how many of
        # those a loaded machine draws is bench/web/lesson_rate.py's matter),
        # and screen readers told of the start and then one summary, not of
        # every frame.
        self.js("""
          const seen = window.seen = {bottom: 0, state: 0, told: [], drawn: 0};
          const watch = (id, what) => new MutationObserver(what).observe(
            document.getElementById(id), {childList: true, subtree: true, characterData: true});
          watch('value-bottom', () => ++seen.bottom);
          watch('state', () => ++seen.state);
          watch('announce', () => seen.told.push(document.getElementById('announce').textContent));
          const drawImage = CanvasRenderingContext2D.prototype.drawImage;
          CanvasRenderingContext2D.prototype.drawImage = function () {
            if (this.canvas.id === 'reactor') ++seen.drawn;
            return drawImage.apply(this, arguments);
          };
          seen.since = performance.now();
          document.getElementById('play').click();""")
        time.sleep(6)
        seen = self.js("const s = window.seen; s.seconds = (performance.now() - s.since) / 1000;"
                       " return s")
        self.click("pause")
        told = [t for t in seen["told"] if t]
        print("\n6 s of play: %(drawn)d pictures, %(bottom)d numbers, %(state)d state lines"
              % seen, file=sys.stderr)
        self.assertGreater(seen["drawn"], 2 * seen["bottom"])
        self.assertLessEqual(seen["bottom"], 4.5 * seen["seconds"])
        self.assertLessEqual(seen["state"], 2 * 4.5 * seen["seconds"])  # its text, then a span
        self.assertEqual(told[0], "Fut.")
        self.assertEqual(len(told), 2, told)
        self.assertRegex(told[1], r"^T = \d+: alsó sor \d+, falérintés \d+, "
                                  r"határfelület [\d\s]+, átlagos magasság \d+,\d\.$")
        T = self.state()["T"]
        self.assertTrue(wait_until(lambda: self.announced() == "Szünet, T = %d." % T))
        self.click("end")
        self.assertEqual(self.announced(), "A futás véget ért, T = %d." % T)
        # English too.
        self.open("index.html?lang=en" + LINK)
        self.click("start")
        self.assertEqual(self.announced(), "New run, T = 0.")
        self.click("step")
        self.assertEqual(self.number("bottom")[1], "particles")
        self.click("quiet")
        self.assertTrue(wait_until(lambda: self.announced() == "Playing fast."))

    def test_f_sliders_follow_their_fields(self):
        def sliders():
            return self.js("return ['Ah', 'Kh', 'G'].map(id => [document.getElementById(id)"
                           ".value.replace(',', '.'), document.getElementById(id + '-slider')"
                           ".value])")

        def assert_follow(source):
            for field, slider in sliders():
                self.assertAlmostEqual(float(field), float(slider), msg=source)

        self.open("index.html")
        with open(EXPERIMENTS, encoding="utf-8") as f:
            experiments = json.load(f)
        for i, e in enumerate(experiments):
            Select(self.browser.find_element("id", "preset")).select_by_index(i + 1)
            assert_follow(e["id"])
        # A link, and what is typed (the comma read as a point).
        self.open("index.html#Ah=-0,4&Kh=1&G=-1")
        assert_follow("link")
        self.assertEqual([float(s) for _, s in sliders()], [-0.4, 1, -1])
        field = self.browser.find_element("id", "G")
        field.clear()
        field.send_keys("0,35")
        assert_follow("typed")
        # The list follows the form: a preset's values name it, an edit leaves it.
        self.open("index.html#N=60&M=60&K=900&Ah=1&Kh=0.2&G=0.2&rSz=3&seed=7")
        self.assertEqual(self.js("return document.getElementById('preset').value"), "wetting")
        field = self.browser.find_element("id", "G")
        field.send_keys("5")
        self.assertEqual(self.js("return document.getElementById('preset').value"), "")

    def test_g_a_chart_that_tells_the_truth(self):
        # Sinking: the liquid falls, so its height above the bottom must fall.
        sinking = "#N=60&M=60&K=900&Ah=0&Kh=0&G=1&rSz=1&seed=0"
        self.open("index.html" + sinking)
        # What the chart writes on its canvases: font, alignment (the left
        # axis's labels are right-aligned, the right axis's left-aligned) and text.
        self.js("""
          window.written = [];
          const fillText = CanvasRenderingContext2D.prototype.fillText;
          CanvasRenderingContext2D.prototype.fillText = function (text) {
            if (this.canvas.closest('#chart')) {
              window.written.push([this.font, this.textAlign, String(text)]);
            }
            return fillText.apply(this, arguments);
          };""")
        self.click("start")
        axes = {}
        for moves in [0, 10000]:
            if moves:
                self.js("window.written = []; window.lemvaris.step(arguments[0])", moves)
            written = self.js("return window.written")
            self.assertTrue(written)
            for font, _, label in written:
                self.assertGreaterEqual(int(re.search(r"(\d+)px", font).group(1)), 14, label)
            number = lambda t: float(t.replace("\u202f", "").replace(",", ""))  # noqa: E731
            axes[moves] = {align: sorted(number(t) for f, a, t in written
                                         if a == align and re.fullmatch(r"[\d,\u202f.]+", t))
                           for align in ["right", "left"]}
        for moves, found in axes.items():
            # Counts from 0; the height over all 60 rows, whatever the data.
            self.assertEqual(found["right"][0], 0, moves)
            self.assertEqual((found["left"][0], found["left"][-1]), (0, 60), moves)
        self.assertIn("átlagos magasság alulról (N + 1 − átlagos sor)",
                      [label for label, _ in self.legend()])
        # Values under the pointer: at the left T = 0 and the height there, at
        # the current T's mark the current T; the height fell in between.
        table, _ = batch_run(self.state()["T"], {"N": "60", "M": "60", "K": "900", "Ah": "0",
                                                 "Kh": "0", "G": "1", "rSz": "1", "seed": "0"},
                             check=False)
        rows = list(csv.DictReader(io.StringIO(table)))
        self.point_at(1)
        legend = dict(self.legend())
        start_height = legend["átlagos magasság alulról (N + 1 − átlagos sor)"]
        self.assertEqual(legend["T"], "0")
        self.assertLessEqual(abs(float(start_height.replace(",", ".")) -
                                 (61 - float(rows[0]["mean_row"]))), 0.05 + 1e-9)
        self.assertEqual(legend["alsó sor"], rows[0]["bottom"])
        mark = self.js("const m = document.getElementById('chart-now'), o = m.parentElement"
                       ".getBoundingClientRect(); return [m.textContent, m.getBoundingClientRect()"
                       "[m.classList.contains('flip') ? 'right' : 'left'] - o.left]")
        T = self.state()["T"]
        self.assertEqual(mark[0], "T = %d" % T)
        self.point_at(mark[1])
        legend = dict(self.legend())
        self.assertEqual(legend["T"].replace("\u00a0", "").replace(" ", ""), str(T))
        end_height = legend["átlagos magasság alulról (N + 1 − átlagos sor)"]
        self.assertLess(float(end_height.replace(",", ".")),
                        float(start_height.replace(",", ".")) - 5)

    def test_h_the_projector_view(self):
        for lang, button, back in [("", "Kivetítés", "Vissza"),
                                   ("?lang=en", "Projector view", "Back")]:
            for width, height in [(1024, 768), (1366, 657), (1920, 1080), (390, 844)]:
                size = (lang, width, height)
                self.open("index.html" + lang, width, height, mobile=width < 500)
                self.click("start")
                self.assertEqual(self.browser.find_element("id", "present").text, button)
                if width == 1024:
                    self.browser.find_element("tag name", "body").send_keys("f")
                else:
                    self.click("present")
                self.assertTrue(self.js("return document.body.classList.contains('present')"))
                self.assertEqual(self.browser.find_element("id", "present").text, back, size)
                tall = self.assert_fits(size)
                if width > height:
                    self.assertGreaterEqual(tall, 0.6 * height, size)
                # Shown: the buttons, the four numbers at 24 px or more, the
                # colour key; not the form, the chart or the files' buttons.
                for id in ["step", "play", "quiet", "pause", "end", "present", "colour-key"]:
                    self.assertTrue(self.browser.find_element("id", id).is_displayed(), (id, size))
                for name in ["bottom", "wall_contacts", "interface", "mean_row"]:
                    number = self.browser.find_element("css selector", "#value-%s .number" % name)
                    self.assertTrue(number.is_displayed(), (name, size))
                    self.assertGreaterEqual(float(number.value_of_css_property("font-size")[:-2]),
                                            24, (name, size))
                    if width > height:  # beside the reactor, all in view
                        self.assertLessEqual(number.rect["y"] + number.rect["height"], height, size)
                for id in ["setup", "chart", "save-csv"]:
                    self.assertFalse(self.browser.find_element("id", id).is_displayed(), (id, size))
                self.assertEqual(len(self.browser.find_elements("css selector",
                                                                "#colour-key li")), 3)
                # The keys go on working; the same button returns.
                self.browser.find_element("tag name", "body").send_keys("l")
                self.assertEqual(self.state()["T"], 1)
                self.click("present")
                self.assertTrue(self.browser.find_element("id", "setup").is_displayed(), size)
                self.assertTrue(self.browser.find_element("id", "chart").is_displayed(), size)
                self.assertEqual(self.browser.find_element("id", "present").text, button)

    def test_i_buttons_focus_speed_and_a_corrected_field(self):
        self.open("index.html" + LINK)
        self.click("start")
        # Fast beside play and pause.
        order = self.js("return Array.from(document.querySelectorAll('#controls button'), b => b.id)")
        self.assertEqual(order[1:4], ["play", "quiet", "pause"])
        self.click("quiet")
        self.assertTrue(wait_until(lambda: self.state()["T"] > 2000))
        self.assertEqual(self.state()["mode"], "quiet")
        # The speed is read as moves per second.
        speed = self.browser.find_element("id", "speed")
        for key, value in [(Keys.HOME, "1 lépés másodpercenként"),
                           (Keys.ARROW_RIGHT, "2 lépés másodpercenként"),
                           (Keys.END, "a leggyorsabb")]:
            speed.send_keys(key)
            self.assertEqual(speed.get_attribute("aria-valuetext"), value)
        # A button switched off under the focus hands it on: Vége to Újra;
        # Lépés, when its move freezes the run, likewise.
        self.click("end")
        self.assertEqual(self.js("return document.activeElement.id"), "restart")
        self.open("index.html#N=2&M=2&K=4")
        self.click("start")
        self.browser.find_element("id", "step").send_keys(Keys.ENTER)
        self.assertTrue(self.state()["frozen"])
        self.assertEqual(self.js("return document.activeElement.id"), "restart")
        # A field left with a wrong value, corrected, then Indítás clicked: the
        # error line goes as the field is left, and the button must not move.
        self.open("index.html")
        field = self.browser.find_element("id", "K")
        field.clear()
        field.send_keys("abc")
        self.browser.find_element("id", "N").click()
        self.assertEqual(self.js("return document.getElementById('K-error').textContent"),
                         "Egész számot írjon.")
        field.click()
        field.clear()
        field.send_keys("3000")
        where = ("const f = document.getElementById('setup'); return document.getElementById"
                 "('start').getBoundingClientRect().top - f.getBoundingClientRect().top"
                 " + f.scrollTop")  # in the form, whichever way it or the page scrolled
        before = self.js(where)
        self.click("start")  # the field's change comes between the press and the release
        self.assertEqual(self.js(where), before)
        self.assertTrue(wait_until(lambda: self.state()["K"] == 3000), "the click was lost")

    def test_j_saved_files_say_what_made_them(self):
        self.open("index.html#N=60&M=60&K=900&Ah=1&Kh=0.2&G=0.2&rSz=3")
        self.assertEqual(self.js("return document.getElementById('preset').value"), "wetting")
        self.click("start")
        self.js("window.lemvaris.step(2500)")
        self.assertEqual(self.state()["T"], 2500)
        rows = self.downloaded("save-csv", ".csv", "lemvaris-wetting-seed0-T2500.csv").decode()
        self.assertEqual(rows, batch_run(2500, {"N": "60", "M": "60", "K": "900", "Ah": "1",
                                                "Kh": "0.2", "G": "0.2", "rSz": "3"})[0])
        # The picture: the reactor over a white strip with the caption's text.
        self.js("""
          window.written = [];
          const fillText = CanvasRenderingContext2D.prototype.fillText;
          CanvasRenderingContext2D.prototype.fillText = function (text) {
            if (!this.canvas.isConnected) window.written.push(String(text));
            return fillText.apply(this, arguments);
          };""")
        width, height, pixels = decode_png(self.downloaded("save-png", ".png",
                                                           "lemvaris-wetting-seed0-T2500.png"))
        side = width // 62
        self.assertEqual(width % 62, 0)
        top = 62 * side
        self.assertEqual(tuple(pixels[(top - 1) * width * 3:(top - 1) * width * 3 + 3]),
                         COLOURS[0])  # the wall's last row
        strip = pixels[top * width * 3:]
        colours = {tuple(strip[i:i + 3]) for i in range(0, len(strip), 3)}
        self.assertIn((255, 255, 255), colours)
        dark = sum(1 for i in range(0, len(strip), 3) if sum(strip[i:i + 3]) < 200)
        self.assertGreater(dark, 200, "no text in the caption strip")
        caption = " ".join(self.js("return window.written"))
        version = self.js("return window.lemvaris.version")
        self.assertIn("Lemvaris %s · Nedvesítő fal · T = 2500" % version, caption)
        self.assertIn("N = 60, M = 60, K = 900, Ah = 1, Kh = 0.2, G = 0.2, rSz = 3, seed = 0",
                      caption)

    def test_k_step_is_checked_and_bounded(self):
        self.open("index.html")
        self.assertEqual(self.js("return window.lemvaris.step(5)"), 0)  # no run yet
        self.click("start")  # W1: 100 x 100, 3000 particles
        for bad in ["0", "-1", "1.5", "NaN", "Infinity", "'5'", "null", "undefined", "[]"]:
            error = self.js("try { window.lemvaris.step(%s); return null; }"
                            " catch (e) { return [e.name, e.message]; }" % bad)
            self.assertIsNotNone(error, bad)
            self.assertEqual(error[0], "RangeError", bad)
            self.assertIn("step(n): n must be a whole number of 1 or more", error[1])
        self.assertEqual(self.state()["T"], 0)
        budget = self.js("return window.lemvaris.stepBudgetMs")
        self.assertLess(budget, 1000)
        made, took = self.js("const t = performance.now(), made = window.lemvaris.step(1e12);"
                             " return [made, performance.now() - t]")
        print("\nstep(1e12): %d moves in %.0f ms" % (made, took), file=sys.stderr)
        self.assertLess(took, 1000)
        self.assertGreater(made, 0)
        self.assertEqual(self.state()["T"], made)

    def test_l_the_links_qr_code(self):
        self.open("index.html#N=60&K=700&Ah=0,25")
        self.assertTrue(self.js("return typeof qrcode === 'function'"), "the QR library is not loaded")
        self.assertFalse(self.browser.find_element("id", "share-qr").is_displayed())
        for width, height, present in [(1366, 657, False), (1024, 768, True)]:
            self.browser.execute_cdp_cmd("Emulation.setDeviceMetricsOverride", {
                "width": width, "height": height, "deviceScaleFactor": 1, "mobile": False})
            self.click("share")
            if present:
                self.click("start")
                self.click("present")
            image = self.browser.find_element("id", "share-qr")
            self.assertTrue(wait_until(image.is_displayed))
            link = self.js("return location.href")
            self.assertTrue(link.endswith("#N=60&M=100&K=700&Ah=0.25&Kh=0.8&G=0.2&rSz=3&seed=0"))
            with tempfile.NamedTemporaryFile(suffix=".png") as shot:
                shot.write(image.screenshot_as_png)
                shot.flush()
                read = subprocess.run(["zbarimg", "--quiet", "--raw", shot.name],
                                      capture_output=True, text=True)
            self.assertEqual(read.stdout.strip(), link, read.stderr)
            if present:  # from the back of the room: a third of the screen's height
                self.assertGreaterEqual(image.rect["height"], height / 3)
                self.assertLessEqual(image.rect["y"] + image.rect["height"], height)


def main():
    global SITE, BATCH
    SITE, options, argv = command_line(__doc__, ["--batch"])
    BATCH = options["--batch"]
    unittest.main(argv=argv)


if __name__ == "__main__":
    main()
