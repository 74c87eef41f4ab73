#!/usr/bin/python3
"""Moves per second of the lesson page (index.html) at full speed, in
headless Chromium, against the native move on the same machine, with how
often the page drew the reactor and the chart meanwhile.

For each workload the page is opened with the workload's link, the run is
started and played at the speed control's fastest for SECONDS. The page's
rate is wall-clock (all the page does: moves, pictures, the chart, the
browser's turns; on a busy machine the worker that makes the moves gets less
than a core), per CPU second of that worker, and per CPU second of all the
renderer's threads (the worker, the drawing, the painting).
The native batch runner then makes the same T moves of the same run (CPU
time). Draws are counted where the page draws: the reactor's drawImage and
the chart's clearing of its canvas; and the frames the browser painted.

Prints one line per workload:
  W<n> <T> <page moves/s: wall, per worker CPU s, per renderer CPU s> <native moves/s>
  <reactor draws/s> <chart draws/s> <frames painted/s> (N,M,K,Ah,Kh,G,rSz)
Usage: lesson_rate.py SITE_DIR LEMVARIS_BATCH [SECONDS, default 5]
(run with /usr/bin/python3: Debian's selenium).
"""
import os
import sys
import tempfile
import time

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import page_rate  # noqa: E402
from page_rate import WORKLOADS, native_rate  # noqa: E402
from page_rate import start_browser, start_server, wait_until  # noqa: E402

COUNT_DRAWS = """
  const count = window.drawCount = {reactor: 0, chart: 0, frames: 0};
  requestAnimationFrame(function frame() { ++count.frames; requestAnimationFrame(frame); });
  const proto = CanvasRenderingContext2D.prototype, drawImage = proto.drawImage,
        clearRect = proto.clearRect;
  proto.drawImage = function () {
    if (this.canvas.id === 'reactor') ++count.reactor;
    return drawImage.apply(this, arguments);
  };
  proto.clearRect = function () {
    if (this.canvas.closest('#chart')) ++count.chart;
    return clearRect.apply(this, arguments);
  };"""


def renderer_cpu_seconds(browser):
    """CPU time of the renderer's worker threads, where the moves are made at
    full speed, and of all the renderer's threads."""
    return page_rate.renderer_cpu_seconds(
        browser, lambda pid, task, stat: "(DedicatedWorker" in stat)


def page_moves(browser, url, answers, seconds):
    """Moves, wall seconds, the CPU seconds of the worker and of the whole
    renderer, and the draws of both views."""
    names = ["N", "M", "K", "Ah", "Kh", "G", "rSz"]
    browser.get("about:blank")
    browser.get(url + "index.html#" + "&".join(n + "=" + v for n, v in zip(names, answers)))
    if not wait_until(lambda: browser.execute_script(
            "return !document.getElementById('start').disabled")):
        sys.exit("lesson_rate: the page did not load")
    browser.find_element("id", "start").click()
    browser.execute_script(COUNT_DRAWS + "document.getElementById('speed').value = 18;")
    # Played and paused by the page's own clock, not the driver's round trips.
    before = renderer_cpu_seconds(browser)
    browser.execute_script("window.drawCount.since = performance.now();"
                           "document.getElementById('play').click()")
    time.sleep(seconds)
    T, wall, reactor, chart, frames = browser.execute_script(
        "document.getElementById('pause').click(); const c = window.drawCount;"
        "return [window.lemvaris.state().T, (performance.now() - c.since) / 1000, c.reactor,"
        " c.chart, c.frames]")
    worker, total = (b - a for a, b in zip(before, renderer_cpu_seconds(browser)))
    return T, wall, worker, total, reactor, chart, frames


def main():
    if len(sys.argv) not in (3, 4):
        sys.exit(__doc__)
    site, batch = sys.argv[1], sys.argv[2]
    seconds = float(sys.argv[3]) if len(sys.argv) == 4 else 5.0
    server = start_server(os.path.abspath(site))
    profile = tempfile.TemporaryDirectory()
    browser = start_browser(profile.name)
    browser.execute_cdp_cmd("Emulation.setDeviceMetricsOverride", {
        "width": 1920, "height": 1080, "deviceScaleFactor": 1, "mobile": False})
    try:
        url = "http://127.0.0.1:%d/" % server.server_address[1]
        for i, answers in enumerate(WORKLOADS):
            T, wall, worker, total, reactor, chart, frames = page_moves(browser, url, answers,
                                                                        seconds)
            print("W%d %d %.0f %.0f %.0f %.0f %.1f %.1f %.1f (%s)" % (
                i + 1, T, T / wall, T / worker, T / total, native_rate(batch, answers, T),
                reactor / wall, chart / wall, frames / wall, ",".join(answers)), flush=True)
    finally:
        browser.quit()
        server.shutdown()
        server.server_close()
        profile.cleanup()


if __name__ == "__main__":
    main()
