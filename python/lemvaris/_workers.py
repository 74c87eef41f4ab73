"""Local worker processes for sweeps: plain child processes of this Python
that import lemvaris and run the tasks sent down their standard input.

Unlike multiprocessing's pools they never run the caller's script again (a
sweep may be called at a script's top level with no __main__ guard), and
there is no fork server and no resource tracker. A worker ignores Ctrl+C
(the parent decides), and ends at once when its standard input closes: when
the pool is closed or killed, or when the parent ends in any way. A worker
that ends while it runs a task (killed, out of memory) is replaced, and the
task runs again on the new one.
"""
import atexit
import collections
import os
import pickle
import queue
import selectors
import signal
import struct
import subprocess
import sys
import threading
import traceback

# The folder that holds this lemvaris package, so that workers import the
# same one whatever PYTHONPATH says.
_PACKAGE_PARENT = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))


def _start_code():
    """A worker's start: this lemvaris first on its path; then, after its own
    path, the caller's (so that a module beside the caller's script, where an
    observable may live, is found, and never stands in for one it needs)."""
    callers = [os.path.abspath(p) if p else os.getcwd() for p in sys.path]
    return (f"import sys; sys.path.insert(0, {_PACKAGE_PARENT!r}); "
            f"sys.path.extend(p for p in {callers!r} if p not in sys.path); "
            "from lemvaris._workers import serve; serve()")


# Not the current folder first on the path: a file there named like a module
# the worker needs must not stand in for it (-P, Python 3.11 on).
_SAFE_PATH = ["-P"] if sys.version_info >= (3, 11) else []


def serve():
    """A worker's life: (function, arguments) frames in, (ok, value) frames out,
    one reply a task in the order the tasks came."""
    signal.signal(signal.SIGINT, signal.SIG_IGN)
    tasks_in = sys.stdin.buffer
    results_out = os.fdopen(os.dup(1), "wb")
    os.dup2(2, 1)  # a stray print goes to standard error, not into the results
    sys.stdout = sys.stderr
    tasks = queue.SimpleQueue()

    def read():
        # Tasks are read as they come, so the parent may send the next one
        # while this one runs.
        while True:
            frame = _read_frame(tasks_in)
            if frame is None:
                break
            try:
                tasks.put(pickle.loads(frame))
            except Exception as error:  # noqa: BLE001 - a task that cannot load fails alone
                tasks.put((None, _portable(error)))
        os._exit(0)  # stop now, even in the middle of a task: nobody waits for it

    threading.Thread(target=read, daemon=True).start()
    results_out.write(_frame(pickle.dumps(None)))  # started: what ends it now is a task's
    results_out.flush()
    while True:
        function, arguments = tasks.get()
        try:
            if function is None:
                raise arguments
            reply = (True, function(*arguments))
        except Exception as error:  # noqa: BLE001 - handed to the parent
            reply = (False, _portable(error))
        try:
            frame = _frame(pickle.dumps(reply, pickle.HIGHEST_PROTOCOL))
        except Exception as error:  # noqa: BLE001 - a result that cannot travel
            frame = _frame(pickle.dumps((False, _portable(error))))
        results_out.write(frame)
        results_out.flush()


_LENGTH = struct.Struct("<Q")


def _frame(payload):
    return _LENGTH.pack(len(payload)) + payload


def _read_frame(stream):
    """The next frame's payload, or None at the end of the stream (a frame
    cut short by its writer's end counts as the end)."""
    head = stream.read(_LENGTH.size)
    if len(head) < _LENGTH.size:
        return None
    payload = stream.read(_LENGTH.unpack(head)[0])
    return payload if len(payload) == _LENGTH.unpack(head)[0] else None


def _portable(error):
    """The error itself when it pickles, else a RuntimeError with its text."""
    try:
        pickle.dumps(error)
        return error
    except Exception:  # noqa: BLE001
        return RuntimeError("".join(traceback.format_exception_only(error)).strip())


# Tasks a worker holds at once: the one it runs and the next, so that it
# never waits for the parent between two.
_DEPTH = 2
# Times a task may end its worker before it is given up.
ATTEMPTS = 2


class WorkerLost(RuntimeError):
    """A worker process ended before it could take a task."""


class _Worker:
    """One worker process, the tasks it holds (oldest first: the one it runs)
    and the bytes of its replies read so far."""

    def __init__(self):
        self.process = subprocess.Popen([sys.executable, *_SAFE_PATH, "-c", _start_code()],
                                        stdin=subprocess.PIPE, stdout=subprocess.PIPE)
        self.holding = collections.deque()
        self.received = bytearray()
        self.started = False

    def send(self, function, index, arguments):
        self.holding.append(index)
        try:
            self.process.stdin.write(_frame(pickle.dumps((function, arguments),
                                                         pickle.HIGHEST_PROTOCOL)))
            self.process.stdin.flush()
        except BrokenPipeError:
            pass  # it has ended: its output's end tells, and its tasks go elsewhere

    def replies(self):
        """The replies read now, or None when the worker has ended."""
        data = os.read(self.process.stdout.fileno(), 1 << 16)
        if not data:
            return None
        self.received += data
        done = []
        while len(self.received) >= _LENGTH.size:
            size = _LENGTH.unpack_from(self.received)[0]
            if len(self.received) < _LENGTH.size + size:
                break
            reply = pickle.loads(self.received[_LENGTH.size:_LENGTH.size + size])
            del self.received[:_LENGTH.size + size]
            if reply is None:
                self.started = True
            else:
                done.append(reply)
        return done


class Pool:
    """`count` worker processes."""

    def __init__(self, count):
        self.workers = []
        try:
            for _ in range(count):
                self.workers.append(_Worker())
        except BaseException:
            self.kill()
            raise

    @property
    def processes(self):
        return [worker.process for worker in self.workers]

    def run(self, function, tasks, finished=None):
        """function(*task) for every task, spread over the workers.
        finished(index, result) as each task ends; the first error a task
        raises is raised (the other workers go on with theirs). A worker that
        ends (killed, out of memory) costs only the task it ran: that one
        runs again on a new worker, the ones it held but had not begun go to
        others. Returns {index: how its worker ended} of the tasks that ended
        their worker ATTEMPTS times, which are given up."""
        line = collections.deque(range(len(tasks)))  # the tasks no worker holds, next first
        losses = {}
        given_up = {}

        def give(worker):
            # Near the end one task at a time: a task held behind a long one
            # would wait while another worker has nothing to do.
            while line and len(worker.holding) < \
                    (_DEPTH if len(line) >= _DEPTH * len(self.workers) else 1):
                index = line.popleft()
                worker.send(function, index, tasks[index])

        with selectors.DefaultSelector() as selector:
            for worker in self.workers:
                selector.register(worker.process.stdout, selectors.EVENT_READ, worker)
            while line or any(worker.holding for worker in self.workers):
                for worker in self.workers:
                    give(worker)
                for key, _ in selector.select():
                    worker = key.data
                    replies = worker.replies()
                    if replies is None:
                        selector.unregister(worker.process.stdout)
                        if not worker.started:  # no task's fault: every worker would fail so
                            raise WorkerLost(f"a worker process could not start "
                                             f"({_ending(worker.process)})")
                        self._lost(worker, line, losses, given_up)
                        if line:
                            self.workers.append(_Worker())
                            selector.register(self.workers[-1].process.stdout,
                                              selectors.EVENT_READ, self.workers[-1])
                        continue
                    for ok, value in replies:
                        index = worker.holding.popleft()
                        if not ok:
                            raise value
                        if finished is not None:
                            finished(index, value)
        return given_up

    def _lost(self, worker, line, losses, given_up):
        """A worker has ended: the task it ran is charged with it and runs
        again unless that was its last attempt; the tasks it held but had
        not begun go back to the front of the line."""
        how = _ending(worker.process)
        _close(worker.process)
        self.workers.remove(worker)
        if not worker.holding:
            return
        running = worker.holding.popleft()
        line.extendleft(reversed(worker.holding))
        losses[running] = losses.get(running, 0) + 1
        if losses[running] >= ATTEMPTS:
            given_up[running] = how
        else:
            line.appendleft(running)

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
            _close(process)


def _close(process):
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
