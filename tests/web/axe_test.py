#!/usr/bin/python3
"""Both pages checked by axe-core (tests/web/vendor/axe-core, put into the
page by the test; no page loads it) against WCAG 2.0, 2.1 and 2.2 at levels A
and AA, in the states a class sees them: the lesson page empty, with refused
values marked, running, in the projector view, in English and at a phone's
size; the classic page on a help page and in a run, with a keyboard and on
a touch screen, in Hungarian and English. Headless Chromium through
Selenium (run with /usr/bin/python3).

Usage: axe_test.py SITE_DIR [TEST...]
"""
import os
import unittest

from browser import ServedPage, command_line, wait_until

AXE = os.path.join(os.path.dirname(os.path.abspath(__file__)), "vendor", "axe-core",
                   "axe.min.js")
TAGS = ["wcag2a", "wcag2aa", "wcag21a", "wcag21aa", "wcag22aa"]


class Accessibility(ServedPage):
    @classmethod
    def setUpClass(cls):
        with open(AXE, encoding="utf-8") as f:
            cls.axe = f.read()
        super().setUpClass()
        cls.browser.set_script_timeout(60)

    def open(self, address, width=1366, height=768, touch=False):
        self.browser.execute_cdp_cmd("Emulation.setDeviceMetricsOverride", {
            "width": width, "height": height, "deviceScaleFactor": 1, "mobile": touch})
        self.browser.execute_cdp_cmd("Emulation.setTouchEmulationEnabled",
                                     {"enabled": touch, "maxTouchPoints": 5 if touch else 1})
        self.browser.get("about:blank")
        self.browser.get(self.url + address)

    def assert_no_violations(self, where):
        """axe's run over the page as it is now; every violation listed."""
        if not self.js("return typeof axe === 'object'"):
            self.js(self.axe)
        result = self.browser.execute_async_script(
            "const done = arguments[arguments.length - 1];"
            "axe.run(document, {runOnly: {type: 'tag', values: arguments[0]}})"
            ".then(r => done({violations: r.violations.map(v => ({id: v.id, help: v.help,"
            " nodes: v.nodes.map(n => n.target.join(' ') + ': ' + n.failureSummary)})),"
            " passes: r.passes.length}), e => done({error: String(e)}))", TAGS)
        self.assertNotIn("error", result, where)
        self.assertGreater(result["passes"], 10, where)  # axe did look
        self.assertEqual([], ["%s (%s): %s" % (v["id"], v["help"], "; ".join(v["nodes"]))
                              for v in result["violations"]], where)

    def lesson_loaded(self):
        self.assertTrue(wait_until(lambda: self.js(
            "return !document.getElementById('start').disabled")), "the core did not load")

    def test_the_lesson_page(self):
        for lang in ["", "?lang=en"]:
            self.open("index.html" + lang + "#K=99999&G=abc")
            self.lesson_loaded()
            self.assert_no_violations((lang, "loaded"))
            self.browser.find_element("id", "start").click()  # refused: marked
            self.assert_no_violations((lang, "refused values"))
            self.open("index.html" + lang + "#N=60&M=60&K=900&Ah=1&Kh=0.2&G=0.2&rSz=3")
            self.lesson_loaded()
            self.browser.find_element("id", "start").click()
            self.js("window.lemvaris.step(4500)")
            self.browser.find_element("id", "share").click()
            self.assert_no_violations((lang, "a run"))
            self.browser.find_element("id", "present").click()
            self.assert_no_violations((lang, "projector view"))
        self.open("index.html", 390, 844, touch=True)
        self.lesson_loaded()
        self.browser.find_element("id", "start").click()
        self.assert_no_violations("a phone")

    def test_the_classic_page(self):
        for lang, touch in [("", False), ("?lang=en", False), ("", True)]:
            where = (lang, "touch" if touch else "keyboard")
            self.open("classic.html" + lang, 390 if touch else 1366, 844 if touch else 768,
                      touch)
            self.assertTrue(wait_until(lambda: "Lapozhatunk?" in self.js(
                "return document.getElementById('console').textContent")))
            self.assertEqual(self.js("return document.getElementById('touch').hidden"),
                             not touch, where)
            self.assert_no_violations(where + ("help page",))
        # A run on the canvas: the answers pasted after the help pages.
        self.open("classic.html")
        for _ in range(3):
            self.js("document.dispatchEvent(new KeyboardEvent('keydown', {key: 'x'}))")
        self.js("const d = new DataTransfer(); d.setData('text/plain', '40\\n40\\n400\\n0.5\\n0.8"
                "\\n0.2\\n3\\n'); document.activeElement.dispatchEvent(new ClipboardEvent('paste',"
                " {clipboardData: d, bubbles: true}))")
        self.assertTrue(wait_until(lambda: "Lapozhatunk?" not in self.js(
            "return document.getElementById('console').textContent")))
        self.assert_no_violations("a run")


def main():
    _, _, argv = command_line(__doc__)
    unittest.main(argv=argv)


if __name__ == "__main__":
    main()
