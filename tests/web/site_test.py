#!/usr/bin/python3
"""The site as a host serves it (build-web/, served by Python's http.server
with no cache headers) in headless Chromium through Selenium.

Updates: a second build with a changed lesson.js, made by the site's own
build step (web/site.cmake) and copied over the served folder, runs in a
visit at the latest on its second load, the #update notice shows in a tab
left open (also in a lone tab shown again), and offline the new page loads
and runs; / and index.html are the
same page after an update, offline too; the classic page, the worksheets and
the teacher's guide load offline after one visit of the classic page. The
first build's files are a month old, so that the browser's own cache would
keep serving them if the pages or the service worker let it.

Sheets: every experiment's worksheet, in both languages, has its name, what
to watch, three questions with every value filled in, a link to the lesson
page with the experiment's values and seed that the lesson page reads, a QR
code that reads as the link, and prints on one A4 page; the teacher's guide
lists every experiment with its claim, time and links, and the lesson page
links to it; axe-core finds no WCAG 2 A or AA violation on the guide and a
worksheet.

Usage: site_test.py SITE_DIR --sources SITE_SOURCES --cmake CMAKE [TEST...]
"""
import base64
import json
import os
import re
import shutil
import subprocess
import sys
import tempfile
import time
import unittest
from urllib.parse import parse_qsl, urlsplit

from browser import QuietHandler, ServedPage, command_line, start_browser, start_server, wait_until

HERE = os.path.dirname(os.path.abspath(__file__))
TOP = os.path.join(HERE, "..", "..")
EXPERIMENTS = os.path.join(TOP, "data", "experiments.json")
AXE = os.path.join(HERE, "vendor", "axe-core", "axe.min.js")
SITE = SOURCES = CMAKE = None
MONTH = 30 * 24 * 3600
UPDATE_TEXT = {"hu": "Új változat: töltse újra az oldalt.", "en": "New version: reload the page."}


def experiments():
    with open(EXPERIMENTS, encoding="utf-8") as f:
        return json.load(f)


def age(folder, seconds):
    """Every file in folder last changed that long ago."""
    then = time.time() - seconds
    for name in os.listdir(folder):
        os.utime(os.path.join(folder, name), (then, then))


class Updates(unittest.TestCase):
    """Each test on a copy of the site, in a browser of its own."""

    def setUp(self):
        self.work = tempfile.TemporaryDirectory()
        self.folder = os.path.join(self.work.name, "host")
        shutil.copytree(SITE, self.folder)
        age(self.folder, MONTH)
        QuietHandler.requested.clear()
        self.serve()
        self.browser = start_browser(os.path.join(self.work.name, "profile"))

    def tearDown(self):
        self.browser.quit()
        self.stop()
        self.work.cleanup()

    def serve(self):
        self.server = start_server(self.folder)
        self.url = "http://127.0.0.1:%d/" % self.server.server_address[1]

    def stop(self):
        if self.server:
            self.server.shutdown()
            self.server.server_close()
            self.server = None

    def js(self, script, *args):
        return self.browser.execute_script(script, *args)

    def second_build(self):
        """The site again from the same files, but for a lesson.js that says
        it is the second build; copied over the served folder as a teacher
        copies build-web/ onto a host."""
        sources = os.path.join(self.work.name, "sources")
        shutil.copytree(SOURCES, sources)
        with open(os.path.join(sources, "lesson.js"), "a", encoding="utf-8") as f:
            f.write("\nwindow.lemvarisBuild = 'second';\n")
        second = os.path.join(self.work.name, "second")
        subprocess.run([CMAKE, "-DIN=" + sources, "-DOUT=" + second, "-P",
                        os.path.join(TOP, "web", "site.cmake")], check=True)
        changed = {f for f in os.listdir(second)
                   if not os.path.exists(os.path.join(self.folder, f))}
        # A changed lesson.js changes lesson.js's name, and so the pages'
        # files that name it; the rest keep theirs.
        self.assertTrue(any(f.startswith("lesson.") and f.endswith(".js") for f in changed),
                        changed)
        self.assertFalse(any(f.startswith("lesson_core.") for f in changed), changed)
        shutil.copytree(second, self.folder, dirs_exist_ok=True)

    def open(self, address, ready="lesson"):
        """Loads the page; waits for the lesson page's core, or the classic
        program's first help page, or the sheet's heading."""
        self.browser.get(self.url + address)
        checks = {
            "lesson": "const s = document.getElementById('start'); return !!s && !s.disabled",
            "classic": "const c = document.getElementById('console');"
                       "return !!c && c.textContent.includes('Lapozhatunk?')",
            "sheet": "return !!document.querySelector('h1')",
        }
        self.assertTrue(wait_until(lambda: self.js(checks[ready])),
                        "%s did not load" % (address or "/"))

    def build_seen(self):
        return self.js("return window.lemvarisBuild || 'first'")

    def kept(self):
        """Waits until the service worker has kept the site and controls the page."""
        self.assertTrue(self.browser.execute_async_script(
            "const done = arguments[arguments.length - 1];"
            "navigator.serviceWorker.ready.then(() => done(true), () => done(false))"))
        self.assertTrue(wait_until(lambda: self.js("return !!navigator.serviceWorker.controller")),
                        "no service worker controls the page")

    def assert_all_found(self):
        """Every file asked of the server is in its folder: no reference the
        build left with an old name (the worker's core, say)."""
        missing = {p for p in QuietHandler.requested
                   if not os.path.isfile(os.path.join(self.folder, urlsplit(p).path.lstrip("/")
                                                      or "index.html"))}
        self.assertEqual(missing, set())

    def cache_names(self):
        return self.browser.execute_async_script(
            "const done = arguments[arguments.length - 1]; caches.keys().then(done)")

    def runs(self):
        """The lesson page starts a run and makes moves."""
        self.browser.find_element("id", "start").click()
        self.assertEqual(self.js("return window.lemvaris.step(50)"), 50)

    def test_an_update_arrives_online_in_an_open_tab_and_offline(self):
        self.open("index.html")
        self.kept()
        self.assertEqual(self.build_seen(), "first")
        left_open = self.browser.current_window_handle
        self.second_build()
        self.browser.switch_to.new_window("tab")
        self.open("index.html")
        if self.build_seen() != "second":
            self.open("index.html")  # the second load at the latest
        self.assertEqual(self.build_seen(), "second")
        self.runs()  # its worker and core are the new build's names too
        # The tab left open says a new version is there, and gets it on reload.
        self.browser.switch_to.window(left_open)
        self.assertEqual(self.build_seen(), "first")
        notice = self.browser.find_element("id", "update")
        self.assertTrue(wait_until(notice.is_displayed), "no #update in the tab left open")
        self.assertIn(UPDATE_TEXT["hu"], notice.text)
        notice.find_element("tag name", "button").click()
        self.assertTrue(wait_until(lambda: self.build_seen() == "second"))
        self.assertTrue(wait_until(lambda: self.js("return !document.getElementById('start')"
                                                   ".disabled")))
        self.assertFalse(self.js("const u = document.getElementById('update');"
                                 "return !!u && !u.hidden"))
        self.assertEqual(len(self.cache_names()), 1, "the older version's cache stays")
        self.assert_all_found()
        # Offline: the new page, and no other, loads and runs.
        self.stop()
        self.open("index.html?lang=en#K=300")
        self.assertEqual(self.build_seen(), "second")
        self.runs()
        self.assertEqual(self.js("return window.lemvaris.state().K"), 300)

    def test_a_lone_tab_looks_for_an_update_when_shown_again(self):
        # No other visit: the classic page, shown again (as when a teacher
        # comes back to its tab), asks for the new version itself.
        self.open("classic.html", ready="classic")
        self.kept()
        self.second_build()
        self.js("document.dispatchEvent(new Event('visibilitychange'))")
        notice = self.browser.find_element("id", "update")
        self.assertTrue(wait_until(notice.is_displayed), "no #update on the classic page")
        self.assertIn(UPDATE_TEXT["hu"], notice.text)

    def test_slash_and_index_html_are_one_page_after_an_update(self):
        self.open("")
        self.kept()
        self.open("")  # now through the service worker
        self.open("index.html")
        first = self.cache_names()
        self.second_build()
        self.open("index.html")
        if self.build_seen() != "second":
            self.open("index.html")
        self.assertEqual(self.build_seen(), "second")
        # The new version kept in the background, in place of the old one.
        # One look at the caches a try: two could see the old one alone, then
        # the new one just opened beside it, while its files are still coming.
        self.assertTrue(wait_until(lambda: (lambda names: len(names) == 1 and names != first)(
            self.cache_names())), self.cache_names())
        self.stop()
        for address in ["", "index.html", "?lang=en", "index.html#N=30"]:
            self.open(address)
            self.assertEqual(self.build_seen(), "second", address or "/")

    def test_classic_page_worksheets_and_guide_offline_after_one_visit(self):
        self.open("classic.html", ready="classic")
        self.kept()
        self.stop()
        self.open("classic.html", ready="classic")
        self.browser.find_element("id", "console").send_keys("x")  # the program takes keys
        self.assertTrue(wait_until(lambda: "Lapozhatunk?" in self.js(
            "return document.getElementById('console').textContent.split('\\n')[24]") and
            self.js("return document.getElementById('status').textContent") == ""))
        e = experiments()[1]
        self.open("worksheet.html?experiment=%s&lang=en" % e["id"], ready="sheet")
        self.assertIn(e["en"]["name"], self.js("return document.querySelector('h1').textContent"))
        self.assertTrue(self.js("return !!document.querySelector('#qr svg')"))
        self.open("teacher.html", ready="sheet")
        self.assertEqual(self.js("return document.querySelectorAll('.experiment').length"),
                         len(experiments()))


def pdf_pages(pdf):
    """Its pages' sizes in points, from the PDF's page objects."""
    return [tuple(float(v) for v in box.split()[2:4])
            for box in re.findall(rb"/Type\s*/Page\b.*?/MediaBox\s*\[([^\]]*)\]", pdf, re.S)]


class Sheets(ServedPage):
    """The worksheets and the teacher's guide, in one browser."""

    def open(self, address):
        self.browser.get("about:blank")
        self.browser.get(self.url + address)
        self.assertTrue(wait_until(lambda: self.js("return !!document.querySelector('h1')")))

    def assert_lesson_link(self, href, e, lang):
        """The link opens the lesson page in lang with the experiment's values and seed."""
        link = urlsplit(href)
        self.assertEqual(link.path, "/index.html", href)
        self.assertEqual(link.query, "lang=en" if lang == "en" else "", href)
        values = dict(parse_qsl(link.fragment))
        self.assertEqual(set(values), set(e["params"]) | {"seed"}, href)
        self.assertEqual({k: float(v) for k, v in values.items()},
                         {k: float(v) for k, v in dict(e["params"], seed=e["seed"]).items()}, href)

    def test_every_worksheet_in_both_languages(self):
        for e in experiments():
            for lang in ["hu", "en"]:
                where = (e["id"], lang)
                self.open("worksheet.html?experiment=%s%s" % (e["id"], "&lang=en" * (lang == "en")))
                t = e[lang]
                self.assertEqual(self.js("return document.documentElement.lang"), lang)
                self.assertIn(t["name"], self.js("return document.querySelector('h1').textContent"))
                self.assertIn(t["watch"],
                              self.js("return document.querySelector('.watch').textContent"))
                questions = self.js("return Array.from(document.querySelectorAll('.question'),"
                                    " q => [q.dataset.kind, q.textContent])")
                self.assertGreaterEqual(len(questions), 3, where)
                self.assertEqual([kind for kind, _ in questions], ["predict", "observe", "explain"])
                for kind, shown in questions:
                    self.assertNotIn("{", shown, where)  # every value filled in
                # The observation asks for the claim's measure at the claim's T.
                self.assertIn("T = %d" % e["claim"]["at"], questions[1][1], where)
                self.assertIn(e["claim"]["measure"], questions[1][1], where)
                href = self.js("return document.getElementById('lesson-link').href")
                self.assert_lesson_link(href, e, lang)
                code = self.browser.find_element("css selector", "#qr svg").screenshot_as_png
                read = subprocess.run(["zbarimg", "--raw", "-q", "-"], input=code,
                                      capture_output=True)
                self.assertEqual(read.stdout.decode().strip(), href, where)
                pdf = base64.b64decode(self.browser.execute_cdp_cmd(
                    "Page.printToPDF", {"preferCSSPageSize": True})["data"])
                pages = pdf_pages(pdf)
                self.assertEqual(len(pages), 1, where)
                self.assertAlmostEqual(pages[0][0], 595.3, delta=1.5)  # A4, 210 x 297 mm
                self.assertAlmostEqual(pages[0][1], 841.9, delta=1.5)
            # The Hungarian sheet's link as the lesson page reads it.
            self.browser.get("about:blank")
            self.browser.get(href.replace("?lang=en", ""))
            self.assertTrue(wait_until(lambda: self.js(
                "return !document.getElementById('start').disabled")))
            self.browser.find_element("id", "start").click()
            state = self.js("return window.lemvaris.state()")
            self.assertEqual({k: state[k] for k in list(e["params"]) + ["seed"]},
                             dict(e["params"], seed=e["seed"]), e["id"])
        # An unknown experiment lists the worksheets there are.
        self.open("worksheet.html?experiment=nothing")
        self.assertEqual(self.js("return Array.from(document.querySelectorAll('#sheet li a'),"
                                 " a => a.getAttribute('href'))"),
                         ["worksheet.html?experiment=" + e["id"] for e in experiments()])

    def test_the_teachers_guide_lists_every_experiment_with_its_claim(self):
        words = {"hu": {">=": "legalább", "<=": "legfeljebb", "start": "T = 0"},
                 "en": {">=": "at least", "<=": "at most", "start": "T = 0"}}
        for lang in ["hu", "en"]:
            self.open("teacher.html" + "?lang=en" * (lang == "en"))
            shown = self.js("""return Array.from(document.querySelectorAll('.experiment'), s => ({
                id: s.id, name: s.querySelector('h2').textContent, text: s.textContent,
                claim: s.querySelector('.claim').textContent,
                formula: s.querySelector('.formula').textContent,
                sheet: s.querySelector('.worksheet-link').getAttribute('href'),
                lesson: s.querySelector('.lesson-link').href}))""")
            self.assertEqual([s["id"] for s in shown], [e["id"] for e in experiments()])
            for e, s in zip(experiments(), shown):
                t, c = e[lang], e["claim"]
                self.assertEqual(s["name"], t["name"])
                for field in ["aim", "see"]:
                    self.assertIn(t[field], s["text"], (e["id"], lang, field))
                self.assertIn(str(e["minutes"]), s["text"])
                value = str(c["value"]).replace(".", "," if lang == "hu" else ".")
                self.assertIn("T = %d" % c["at"], s["claim"])
                self.assertIn("%s %s" % (words[lang][c["compare"]], value), s["claim"])
                self.assertEqual(words[lang]["start"] in s["claim"], c["relative_to_start"])
                ratio = " / %s(T=0)" % c["measure"] if c["relative_to_start"] else ""
                self.assertEqual(s["formula"], "%s(T=%d)%s %s %s" % (
                    c["measure"], c["at"], ratio, {">=": "≥", "<=": "≤"}[c["compare"]],
                    c["value"]))
                self.assertEqual(s["sheet"], "worksheet.html?experiment=%s%s" % (
                    e["id"], "&lang=en" * (lang == "en")))
                self.assert_lesson_link(s["lesson"], e, lang)
        # The lesson page's header leads here, in its language.
        for lang, address, text in [("hu", "index.html", "Tanári útmutató"),
                                    ("en", "index.html?lang=en", "Teacher's guide")]:
            self.browser.get(self.url + address)
            link = self.browser.find_element("id", "teacher-link")
            self.assertTrue(wait_until(lambda: link.text == text), (lang, link.text))
            link.click()
            self.assertTrue(wait_until(lambda: self.js("return location.pathname") ==
                                       "/teacher.html"))
            self.assertEqual(self.js("return document.documentElement.lang"), lang)

    def test_no_wcag_2_a_or_aa_violations(self):
        with open(AXE, encoding="utf-8") as f:
            axe = f.read()
        for address in ["teacher.html", "teacher.html?lang=en", "worksheet.html?experiment=drops",
                        "worksheet.html?experiment=wetting&lang=en"]:
            self.open(address)
            self.js(axe)
            result = self.browser.execute_async_script(
                "const done = arguments[arguments.length - 1];"
                "axe.run(document, {runOnly: {type: 'tag', values: ['wcag2a', 'wcag2aa']}})"
                ".then(r => done({violations: r.violations.map(v => [v.id, v.nodes.length]),"
                " passes: r.passes.length}), e => done({error: String(e)}))")
            self.assertNotIn("error", result, result)
            print("\n%s: %d rules passed, violations %s" % (address, result["passes"],
                                                             result["violations"]), file=sys.stderr)
            self.assertGreater(result["passes"], 0)
            self.assertEqual(result["violations"], [], address)


def main():
    global SITE, SOURCES, CMAKE
    SITE, options, argv = command_line(__doc__, ["--sources", "--cmake"])
    SOURCES, CMAKE = os.path.abspath(options["--sources"]), options["--cmake"]
    unittest.main(argv=argv)


if __name__ == "__main__":
    main()
