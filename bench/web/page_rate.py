#!/usr/bin/python3
"""Moves per second of the real program in the classic page (classic.html),
in headless Chromium, against the native move on the same machine: for each
workload the page is
answered, put in the quiet mode at T = 0, and after SECONDS taken back to
step by step; T comes from the console line that reports the change. The
native batch runner then makes the same T moves of the same run. The page's
figures include its whole run loop (display update, key polling, about 60
frames a second shown and the browser's turns); the native one is the bare
move. All are CPU times: of the renderer's main thread, where the program
runs, of all the renderer's threads, and of the batch runner.

Prints one line per workload:
  W<n> <T> <page moves/s, main thread> <page, all threads> <native moves/s>
  (N,M,K,Ah,Kh,G,rSz)
Usage: page_rate.py SITE_DIR LEMVARIS_BATCH [SECONDS, default 4]
(run with /usr/bin/python3: Debian's selenium).
"""
import os
import re
import resource
import subprocess
import sys
import tempfile
import time

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "..",
                                "tests", "web"))
from browser import start_browser, start_server, wait_until  # noqa: E402
from selenium.webdriver.common.keys import Keys  # noqa: E402

# bench/move_workloads.h: N, M, K, Ah, Kh, G, rSz as typed.
WORKLOADS = [
    ["100", "100", "3000", "0.5", "0.8", "0.2", "3"],
    ["250", "250", "20000", "0.3", "0.6", "0.1", "10"],
    ["100", "100", "5000", "0.2", "1", "0.5", "5"],
]
HELP_PAGES = 3
LAST_PROMPT = r"sugár\? \[1\.\.10\]"


def descendants(pid):
    """Process ids below pid, from /proc."""
    children = {}
    for entry in os.listdir("/proc"):
        if entry.isdigit():
            try:
                with open("/proc/%s/stat" % entry) as f:
                    parent = int(f.read().rsplit(")", 1)[1].split()[1])
            except OSError:
                continue
            children.setdefault(parent, []).append(int(entry))
    found, todo = [], [pid]
    while todo:
        for child in children.get(todo.pop(), []):
            found.append(child)
            todo.append(child)
    return found


def main_thread(pid, task, stat):
    return int(task) == pid


def renderer_cpu_seconds(browser, picked=main_thread):
    """CPU time of the browser's renderer processes: of the threads that
    picked(pid, task, stat) chooses (by default their main threads, where the
    page's program and the browser's own work for the page run), and of all
    their threads (the compositor's too, which may use another core)."""
    chosen = total = 0
    for pid in descendants(browser.service.process.pid):
        try:
            with open("/proc/%d/cmdline" % pid, "rb") as f:
                if b"--type=renderer" not in f.read():
                    continue
            for task in os.listdir("/proc/%d/task" % pid):
                with open("/proc/%d/task/%s/stat" % (pid, task)) as f:
                    stat = f.read()
                fields = stat.rsplit(")", 1)[1].split()
                used = int(fields[11]) + int(fields[12])  # utime, stime
                total += used
                if picked(pid, task, stat):
                    chosen += used
        except OSError:
            continue
    tick = os.sysconf("SC_CLK_TCK")
    return chosen / tick, total / tick


def console(browser):
    return browser.execute_script("return document.getElementById('console').textContent")


def page_moves(browser, url, answers, seconds):
    """T after seconds of the quiet mode from T = 0, and the CPU time it took
    on the renderer's main thread and on all its threads."""
    browser.get(url)
    for page in range(HELP_PAGES):
        if not wait_until(lambda: "Lapozhatunk?" in console(browser).split("\n")[24]):
            sys.exit("page_rate: help page %d did not come" % (page + 1))
        shown = console(browser).split("\n")[2]
        browser.switch_to.active_element.send_keys(" ")
        wait_until(lambda: console(browser).split("\n")[2] != shown)
    for value in answers:
        browser.switch_to.active_element.send_keys(value, Keys.ENTER)
    if not wait_until(lambda: re.search(LAST_PROMPT + re.escape(answers[-1]), console(browser))):
        sys.exit("page_rate: the answers were not taken")
    time.sleep(0.5)  # the first picture, drawn in step-by-step mode
    main, total = renderer_cpu_seconds(browser)
    browser.switch_to.active_element.send_keys("c")
    time.sleep(seconds)
    browser.switch_to.active_element.send_keys("l")
    line = wait_until(lambda: re.search(r"Üzemmódváltás: Lepesenkenti \((\d+),l\)",
                                        console(browser)), 30)
    if not line:
        sys.exit("page_rate: no mode change line")
    # The page waits in step-by-step mode from here: what the renderer used
    # since is the quiet mode's, and the page's turns in it.
    main_after, total_after = renderer_cpu_seconds(browser)
    return int(line.group(1)), main_after - main, total_after - total


def native_rate(batch, answers, moves):
    names = ["--N", "--M", "--K", "--Ah", "--Kh", "--G", "--rSz"]
    args = [batch, "--steps", str(moves)]
    for name, value in zip(names, answers):
        args += [name, value]
    before = resource.getrusage(resource.RUSAGE_CHILDREN)
    subprocess.run(args, check=True, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
    after = resource.getrusage(resource.RUSAGE_CHILDREN)
    return moves / (after.ru_utime + after.ru_stime - before.ru_utime - before.ru_stime)


def main():
    if len(sys.argv) not in (3, 4):
        sys.exit(__doc__)
    build, batch = sys.argv[1], sys.argv[2]
    seconds = float(sys.argv[3]) if len(sys.argv) == 4 else 4.0
    server = start_server(os.path.abspath(build))
    profile = tempfile.TemporaryDirectory()
    browser = start_browser(profile.name)
    try:
        url = "http://127.0.0.1:%d/classic.html" % server.server_address[1]
        for i, answers in enumerate(WORKLOADS):
            T, main, total = page_moves(browser, url, answers, seconds)
            print("W%d %d %.0f %.0f %.0f (%s)" % (i + 1, T, T / main, T / total,
                                                  native_rate(batch, answers, T), ",".join(answers)),
                  flush=True)
    finally:
        browser.quit()
        server.shutdown()
        server.server_close()
        profile.cleanup()


if __name__ == "__main__":
    main()
