"""Sweeps that are stopped or cannot start: Ctrl+C and SIGTERM end every
worker within seconds and leave the old table and nothing running; a plain
script sweeps without re-running itself; an unreachable scheduler fails in
time with one line."""
import os
import signal
import socket
import subprocess
import sys
import textwrap
import time

import pandas as pd
import pytest

import lemvaris
from conftest import live_processes

# Runs long enough (millions of moves each) that only a stop ends them soon.
LONG = ["--N", "60", "--M", "60", "--K", "900", "--Ah", "0:1:0.25", "--Kh", "0.8", "--G", "0.2",
        "--rSz", "3", "--steps", "50000000", "--processes", "2"]


def in_session(session):
    """The processes of a session (a sweep started as a session leader and
    everything it started)."""
    return live_processes(session=session)


def start(arguments, tmp_path):
    """A sweep as a session leader, once it and its two workers are running."""
    process = subprocess.Popen(arguments, start_new_session=True, stdout=subprocess.PIPE,
                               stderr=subprocess.PIPE, text=True, cwd=tmp_path)
    deadline = time.monotonic() + 60
    while len(in_session(process.pid)) < 3:
        assert process.poll() is None, process.communicate()
        assert time.monotonic() < deadline, "the workers never started"
        time.sleep(0.1)
    time.sleep(1.0)  # into their runs
    return process


def stop(process, signum, to_group):
    started = time.monotonic()
    (os.killpg if to_group else os.kill)(process.pid, signum)
    out, err = process.communicate(timeout=30)
    return time.monotonic() - started, err


def old_table(tmp_path):
    old = tmp_path / "results.csv"
    old.write_text("the old table\n")
    old.chmod(0o644)
    return old


def assert_left_alone(tmp_path, old, session):
    assert old.read_text() == "the old table\n" and old.stat().st_mode & 0o777 == 0o644
    assert sorted(p.name for p in tmp_path.iterdir()) == ["results.csv", "sweep.py"]
    assert in_session(session) == []


SCRIPT = """
import lemvaris
lemvaris.sweep(dict(N=60, M=60, K=900, Ah=[0, 0.25, 0.5, 0.75, 1], Kh=0.8, G=0.2, rSz=3),
               50000000, processes=2, out="results.csv")
"""


# Ctrl+C reaches the whole process group, as from a terminal; SIGTERM only the
# sweep's own process, as from kill.
@pytest.mark.parametrize("signum,to_group", [(signal.SIGINT, True), (signal.SIGTERM, False)],
                         ids=["ctrl-c", "sigterm"])
def test_the_command_line_stops_every_worker_at_once(signum, to_group, tmp_path):
    old = old_table(tmp_path)
    (tmp_path / "sweep.py").write_text(SCRIPT)
    process = start([sys.executable, "-m", "lemvaris", "sweep", *LONG, "--out", "results.csv"],
                    tmp_path)
    seconds, err = stop(process, signum, to_group)
    assert seconds < 5
    assert process.returncode == 128 + signum
    assert err == f"python3 -m lemvaris: sweep stopped by {signal.Signals(signum).name}; " \
                  f"every worker ended\n"
    assert_left_alone(tmp_path, old, process.pid)


@pytest.mark.parametrize("signum,to_group", [(signal.SIGINT, True), (signal.SIGTERM, False)],
                         ids=["ctrl-c", "sigterm"])
def test_a_sweep_in_a_script_stops_every_worker_at_once(signum, to_group, tmp_path):
    old = old_table(tmp_path)
    (tmp_path / "sweep.py").write_text(SCRIPT)
    process = start([sys.executable, "sweep.py"], tmp_path)
    seconds, err = stop(process, signum, to_group)
    assert seconds < 5
    # Ctrl+C is the script's KeyboardInterrupt; SIGTERM ends it as SIGTERM does.
    assert process.returncode == -signum
    assert ("KeyboardInterrupt" in err) == (signum == signal.SIGINT)
    assert_left_alone(tmp_path, old, process.pid)


def test_a_dask_sweep_stops_its_running_tasks(tmp_path):
    """Cancelled Dask tasks would run to their end; the sweep's own stop
    signal ends them within a second or two."""
    script = tmp_path / "dask_sweep.py"
    script.write_text(textwrap.dedent("""
        import _thread, logging, threading, time
        from distributed import Client, LocalCluster
        import lemvaris

        def cpu_seconds(pid):
            with open(f"/proc/{pid}/stat") as stat:
                fields = stat.read().rsplit(")", 1)[1].split()
            return (int(fields[11]) + int(fields[12])) / 100

        def main():
            cluster = LocalCluster(n_workers=2, threads_per_worker=1, dashboard_address=None,
                                   silence_logs=logging.CRITICAL)
            client = Client(cluster)
            pids = list(client.run(lambda: __import__("os").getpid()).values())
            threading.Timer(4, _thread.interrupt_main).start()
            try:
                lemvaris.sweep(dict(N=60, M=60, K=900, Ah=[0, 0.5, 1], Kh=0.8, G=0.2, rSz=3),
                               50000000, client=client)
            except KeyboardInterrupt:
                pass  # stopped: do its tasks go on?
            time.sleep(2.5)
            before = sum(cpu_seconds(pid) for pid in pids)
            time.sleep(1.5)
            print("busy", sum(cpu_seconds(pid) for pid in pids) - before)
            client.close()
            cluster.close()

        if __name__ == "__main__":  # Dask's own worker processes import this script
            main()
    """))
    run = subprocess.run([sys.executable, str(script)], capture_output=True, text=True,
                         timeout=120)
    assert run.returncode == 0, run.stderr
    busy = float(run.stdout.split()[-1])
    assert busy < 0.5, f"the workers still ran for {busy} s of 1.5 s"


def test_a_plain_script_sweeps_on_local_processes(tmp_path):
    """No __main__ guard: the workers must not run the script again (it
    counts its own starts), and its end with workers kept prints nothing."""
    parameters = dict(N=20, M=24, K=150, Ah=[0.0, 0.5, 1.0], Kh=0.6, G=0.2, rSz=2)
    script = tmp_path / "plain.py"
    script.write_text(textwrap.dedent(f"""
        import lemvaris
        with open("starts", "a") as starts:
            print("started", file=starts)
        table = lemvaris.sweep({parameters!r}, 5000, seeds=2, processes=2)
        table.to_pickle("table.pkl")
        lemvaris.sweep({parameters!r}, 100, processes=2)  # the kept workers again
    """))
    run = subprocess.run([sys.executable, str(script)], capture_output=True, text=True,
                         cwd=tmp_path, timeout=300)
    assert run.returncode == 0 and run.stderr == "", run.stderr
    assert (tmp_path / "starts").read_text() == "started\n"
    pd.testing.assert_frame_equal(pd.read_pickle(tmp_path / "table.pkl"),
                                  lemvaris.sweep(parameters, 5000, seeds=2, processes=1),
                                  check_exact=True)


def test_an_unreachable_scheduler_fails_within_15_s_with_one_line(tmp_path):
    started = time.monotonic()
    run = subprocess.run([sys.executable, "-m", "lemvaris", "sweep", "--N", "10", "--M", "10",
                          "--K", "20", "--Ah", "0", "--Kh", "0", "--G", "0", "--rSz", "1",
                          "--steps", "100", "--out", "results.csv", "--scheduler",
                          "tcp://127.0.0.1:9"], capture_output=True, text=True, cwd=tmp_path,
                         timeout=30)
    assert time.monotonic() - started < 15
    assert run.returncode == 1
    assert run.stderr.startswith("python3 -m lemvaris: cannot reach the scheduler at "
                                 "tcp://127.0.0.1:9: ")
    assert len(run.stderr.splitlines()) == 1
    assert list(tmp_path.iterdir()) == []


def test_sigterm_before_the_sweep_began_does_not_claim_to_end_workers(tmp_path):
    """SIGTERM while the command line still connects to a scheduler (one that
    takes the connection and never answers)."""
    with socket.socket() as silent:
        silent.bind(("127.0.0.1", 0))
        silent.listen()
        silent.settimeout(60)
        process = subprocess.Popen(
            [sys.executable, "-m", "lemvaris", "sweep", "--N", "10", "--M", "10", "--K", "20",
             "--Ah", "0", "--Kh", "0", "--G", "0", "--rSz", "1", "--steps", "100", "--out",
             "results.csv", "--scheduler", f"tcp://127.0.0.1:{silent.getsockname()[1]}"],
            stderr=subprocess.PIPE, text=True, cwd=tmp_path)
        connection, _ = silent.accept()
        process.terminate()
        err = process.communicate(timeout=30)[1]
        connection.close()
    assert process.returncode == 128 + signal.SIGTERM
    assert err == "python3 -m lemvaris: stopped by SIGTERM before the sweep began\n"
