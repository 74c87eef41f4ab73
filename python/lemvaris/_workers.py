"""Local worker processes for sweeps: plain child processes of this Python
that import lemvaris and run the tasks sent down their standard input.

Unlike multiprocessing's pools they never run the caller's script again (a
sweep may be called at a script's top level with no __main__ guard), and
there is no fork server and no resource tracker. A worker ignores Ctrl+C
(the parent decides), and ends at once when its standard input closes: when
the pool is closed or killed, or when the parent ends in any way.
"""
import atexit
import os
import pickle
import queue
import selectors
import signal
import subprocess
import sys
import threading
import traceback

# The folder that holds this lemvaris package, so that workers import the
# same one whatever PYTHONPATH says.
_PACKAGE_PARENT = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
_START = (f"import sys; sys.path.insert(0, {_PACKAGE_PARENT!r}); "
          "from lemvaris._workers import serve; serve()")
# Not the current folder first on the path: a file there named like a module
# the worker needs must not stand in for it (-P, Python 3.11 on).
_SAFE_PATH = ["-P"] if sys.version_info >= (3, 11) else []


def serve():
    """A worker's life: (function, arguments) pairs in, (ok, value) pairs out."""
    signal.signal(signal.SIGINT, signal.SIG_IGN)
    tasks_in = sys.stdin.buffer
    results_out = os.fdopen(os.dup(1), "wb")
    os.dup2(2, 1)  # a stray print goes to standard error, not into the results
    sys.stdout = sys.stderr
    tasks = queue.SimpleQueue()

    def read():
        try:
            while True:
                tasks.put(pickle.load(tasks_in))
        except BaseException:  # noqa: B036 - the end of the pipe, or a task that cannot load
            pass
        os._exit(0)  # stop now, even in the middle of a task: nobody waits for it

    threading.Thread(target=read, daemon=True).start()
    while True:
        function, arguments = tasks.get()
        try:
            reply = (True, function(*arguments))
        except Exception as error:  # noqa: BLE001 - handed to the parent
            reply = (False, _portable(error))
        pickle.dump(reply, results_out)
        results_out.flush()


def _portable(error):
    """The error itself when it pickles, else a RuntimeError with its text."""
    try:
        pickle.dumps(error)
        return error
    except Exception:  # noqa: BLE001
        return RuntimeError("".join(traceback.format_exception_only(error)).strip())


class WorkerLost(RuntimeError):
    """A worker process ended while it had a task."""


class Pool:
    """`count` worker processes."""

    def __init__(self, count):
        self.processes = []
        try:
            for _ in range(count):
                self.processes.append(subprocess.Popen(
                    [sys.executable, *_SAFE_PATH, "-c", _START], stdin=subprocess.PIPE,
                    stdout=subprocess.PIPE))
        except BaseException:
            self.kill()
            raise

    def run(self, function, tasks, done=None):
        """function(*task) for every task, spread over the workers; the
        results in task order. done() after each task; the first error is
        raised (the other workers go on with their tasks)."""
        results = [None] * len(tasks)
        pending = iter(enumerate(tasks))
        working = {}  # worker -> index of its task
        with selectors.DefaultSelector() as selector:
            for process in self.processes:
                selector.register(process.stdout, selectors.EVENT_READ, process)
                self._give(process, function, pending, working)
            while working:
                for key, _ in selector.select():
                    process = key.data
                    try:
                        ok, value = pickle.load(process.stdout)
                    except EOFError:
                        raise WorkerLost(f"a worker process ended ({_ending(process)})") from None
                    if not ok:
                        raise value
                    results[working.pop(process)] = value
                    if done is not None:
                        done()
                    self._give(process, function, pending, working)
        return results

    @staticmethod
    def _give(process, function, pending, working):
        task = next(pending, None)
        if task is not None:
            working[process] = task[0]
            pickle.dump((function, task[1]), process.stdin)
            process.stdin.flush()

    def alive(self):
        return all(process.poll() is None for process in self.processes)

    def close(self, grace=1.0):
        """Let the workers end (their input closes), killing any that lingers."""
        for process in self.processes:
            try:
                process.stdin.close()
            except OSError:
                pass
        for process in self.processes:
            try:
                process.wait(grace)
            except subprocess.TimeoutExpired:
                pass
        self.kill()

    def kill(self):
        """End every worker now, whatever it is doing, and reap it."""
        for process in self.processes:
            if process.poll() is None:
                process.kill()
        for process in self.processes:
            process.wait()
            for stream in (process.stdin, process.stdout):
                try:
                    stream.close()
                except OSError:
                    pass


def _ending(process):
    code = process.wait()
    return f"signal {signal.Signals(-code).name}" if code < 0 else f"exit {code}"


# The pool of the last sweep, kept for the next (starting workers costs a
# good part of a second), and whether a sweep is using it.
_kept = None
_kept_lock = threading.Lock()
_kept_busy = False


def take(count):
    """A pool of `count` workers: the kept one when it is free and of that
    size, else a new one (kept unless another sweep holds the kept one)."""
    global _kept, _kept_busy
    with _kept_lock:
        if _kept_busy:
            return Pool(count)
        if _kept is not None and (len(_kept.processes) != count or not _kept.alive()):
            _kept.kill()
            _kept = None
        if _kept is None:
            _kept = Pool(count)
        _kept_busy = True
        return _kept


def give_back(pool, broken):
    """After a sweep: keep the pool for the next, or kill it when the sweep
    was stopped or failed (its workers may still be busy) or it is not kept."""
    global _kept, _kept_busy
    with _kept_lock:
        kept = pool is _kept
        if kept:
            _kept_busy = False
            if broken:
                _kept = None
    if broken:
        pool.kill()
    elif not kept:
        pool.close()


@atexit.register
def _close_kept():
    global _kept
    with _kept_lock:
        pool, _kept = _kept, None
    if pool is not None:
        pool.close()
