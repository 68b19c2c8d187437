#!/usr/bin/env python3
"""report_folder_swap.py PREFIX EXE [FLIP_RUNS] [WATCH_RUNS] [SEED]

The real checker run hidden with "-o C:\\hv-folder-swap\\reports\\report.txt", where "reports" is
a symbolic link that someone else controls (a deployment share others can write in), switched
between two folders A and B while the report is written:

- flip: a thread points the link at the other folder every 2 ms (seeded jitter of +-0.5 ms)
  during FLIP_RUNS runs (default 200);
- watch: a watcher points the link at the other folder the moment a temporary file of the report
  appears, and puts a file of its own under that temporary file's very name there, during
  WATCH_RUNS runs (default 50).

inotify on both folders tells where each temporary file was created and into which folder it
was renamed. Every report must stay in the folder where its temporary file was created; in the
watch runs that is the folder the link led to at the start, so the other folder's report and the
watcher's planted files are never replaced, moved or deleted. Prints the figures; exits 1 when a
report left its folder or a file of the other folder changed.

Wine differs from Windows here: after opening a file its server looks the path up once more by
name (realpath) to remember where the file is, and later renames and deletes by that name. When
the link flips between the two lookups, a few runs in 200 find their folder's remembered name to
be the other folder: the rename then fails (exit code 254) and the temporary file stays behind,
but no report goes anywhere else. Windows renames and deletes through the handles alone.
"""
import ctypes
import os
import random
import select
import struct
import subprocess
import sys
import threading
import time

IN_CREATE, IN_MOVED_FROM, IN_MOVED_TO, IN_DELETE = 0x100, 0x40, 0x80, 0x200
REPORT = "report.txt"

libc = ctypes.CDLL("libc.so.6", use_errno=True)


class Watch:
    """inotify on a few folders; events as (folder, mask, cookie, name)."""

    def __init__(self, folders):
        self.fd = libc.inotify_init1(os.O_NONBLOCK)
        if self.fd < 0:
            raise OSError(ctypes.get_errno(), "inotify_init1")
        self.folders = {}
        for folder in folders:
            wd = libc.inotify_add_watch(self.fd, folder.encode(), IN_CREATE | IN_MOVED_FROM | IN_MOVED_TO | IN_DELETE)
            if wd < 0:
                raise OSError(ctypes.get_errno(), "inotify_add_watch " + folder)
            self.folders[wd] = folder

    def read(self, timeout):
        events = []
        if not select.select([self.fd], [], [], timeout)[0]:
            return events
        try:
            data = os.read(self.fd, 1 << 16)
        except BlockingIOError:
            return events
        at = 0
        while at < len(data):
            wd, mask, cookie, length = struct.unpack_from("iIII", data, at)
            name = data[at + 16:at + 16 + length].split(b"\0", 1)[0].decode(errors="replace")
            events.append((self.folders.get(wd), mask, cookie, name))
            at += 16 + length
        return events


def point(link, target):
    """Points the link at target in one step, as an attacker would (no moment without it)."""
    fresh = link + ".new"
    try:
        os.unlink(fresh)
    except FileNotFoundError:
        pass
    os.symlink(target, fresh)
    os.replace(fresh, link)


def snapshot(folder):
    files = {}
    for name in os.listdir(folder):
        with open(os.path.join(folder, name), "rb") as f:
            files[name] = f.read()
    return files


class Runs:
    def __init__(self, prefix, exe, seed):
        self.prefix, self.exe = prefix, exe
        self.random = random.Random(seed)
        self.root = os.path.join(prefix, "drive_c", "hv-folder-swap")
        self.link = os.path.join(self.root, "reports")
        self.folders = {"A": os.path.join(self.root, "A"), "B": os.path.join(self.root, "B")}
        self.failures = []

    def prepare(self):
        subprocess.run(["rm", "-rf", self.root], check=True)
        for folder in self.folders.values():
            os.makedirs(folder)
        point(self.link, "A")

    def run_checker(self):
        here = os.path.dirname(os.path.abspath(__file__))
        result = subprocess.run([os.path.join(here, "wine-run.sh"), self.prefix, self.exe, "-h", "-o",
                                 "C:\\hv-folder-swap\\reports\\" + REPORT],
                                stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        return result.returncode

    @staticmethod
    def journeys(events):
        """For each temporary file: the folder it was created in and the folder it was renamed
        into as the report (None when it was not)."""
        created, moved_from, renamed = {}, {}, {}
        for folder, mask, cookie, name in events:
            if mask & IN_CREATE and name.endswith(".tmp"):
                created.setdefault(name, folder)
            elif mask & IN_MOVED_FROM and name.endswith(".tmp"):
                moved_from[cookie] = name
            elif mask & IN_MOVED_TO and name == REPORT and cookie in moved_from:
                renamed[moved_from[cookie]] = folder
        return [(folder, renamed.get(name)) for name, folder in created.items()]

    def flip(self, runs):
        self.prepare()
        watch = Watch(self.folders.values())
        stop = threading.Event()

        def flipper():
            target = "A"
            while not stop.is_set():
                target = "B" if target == "A" else "A"
                point(self.link, target)
                time.sleep(self.random.uniform(0.0015, 0.0025))

        thread = threading.Thread(target=flipper)
        thread.start()
        events, codes = [], {}
        try:
            for _ in range(runs):
                code = self.run_checker()
                codes[code] = codes.get(code, 0) + 1
                events += watch.read(0.05)
        finally:
            stop.set()
            thread.join()
        events += watch.read(0.2)
        trips = self.journeys(events)
        across = sum(1 for made, into in trips if into and into != made)
        written = {name: sum(1 for made, into in trips if into == folder) for name, folder in self.folders.items()}
        left = sum(1 for folder in self.folders.values() for name in os.listdir(folder) if name.endswith(".tmp"))
        print("flip: %d runs (exit codes %s), %d temporary files, reports renamed in A %d, in B %d, "
              "renamed into the other folder %d, temporary files left %d"
              % (runs, codes, len(trips), written["A"], written["B"], across, left))
        if across:
            self.failures.append("flip: %d reports were renamed out of the folder they were created in" % across)
        if written["A"] + written["B"] < runs // 2:
            self.failures.append("flip: only %d of %d runs wrote a report" % (written["A"] + written["B"], runs))

    def watch(self, runs):
        moved = replaced = lost = written = 0
        codes = {}
        for _ in range(runs):
            self.prepare()
            start, other = ("A", "B") if self.random.random() < 0.5 else ("B", "A")
            point(self.link, start)
            with open(os.path.join(self.folders[other], REPORT), "wb") as f:
                f.write(b"their report")
            watch = Watch(self.folders.values())
            stop = threading.Event()
            events = []

            def watcher():
                while not stop.is_set():
                    for event in watch.read(0.01):
                        events.append(event)
                        folder, mask, _, name = event
                        if mask & IN_CREATE and name.endswith(".tmp") and folder == self.folders[start]:
                            point(self.link, other)
                            with open(os.path.join(self.folders[other], name), "wb") as f:
                                f.write(b"their file")

            thread = threading.Thread(target=watcher)
            thread.start()
            try:
                time.sleep(0.01)
                code = self.run_checker()
                codes[code] = codes.get(code, 0) + 1
                time.sleep(0.05)
            finally:
                stop.set()
                thread.join()
            events += watch.read(0.05)
            theirs = snapshot(self.folders[other])
            planted = [n for n in theirs if n.endswith(".tmp")]
            trips = self.journeys(events)
            moved += sum(1 for made, into in trips if into and into != made)
            if theirs.get(REPORT) != b"their report":
                replaced += 1
            lost += sum(1 for n in planted if theirs[n] != b"their file") + \
                sum(1 for folder, mask, _, name in events
                    if folder == self.folders[other] and mask & (IN_DELETE | IN_MOVED_FROM) and name.endswith(".tmp"))
            report = os.path.join(self.folders[start], REPORT)
            if os.path.exists(report) and open(report, "rb").read().startswith(b"\xef\xbb\xbf"):
                written += 1
        print("watch: %d runs (exit codes %s), reports written in the folder the link led to at the start %d, "
              "moved into the other folder %d, the other folder's report replaced %d times, "
              "planted files changed or removed %d" % (runs, codes, written, moved, replaced, lost))
        if moved or replaced or lost:
            self.failures.append("watch: reports left the folder opened first or a file of the other folder changed")
        if written < runs:
            self.failures.append("watch: %d of %d runs wrote no report in the folder opened first" % (runs - written, runs))


def main():
    prefix, exe = sys.argv[1], sys.argv[2]
    flip_runs = int(sys.argv[3]) if len(sys.argv) > 3 else 200
    watch_runs = int(sys.argv[4]) if len(sys.argv) > 4 else 50
    seed = int(sys.argv[5]) if len(sys.argv) > 5 else 25
    runs = Runs(prefix, exe, seed)
    try:
        if flip_runs:
            runs.flip(flip_runs)
        if watch_runs:
            runs.watch(watch_runs)
    finally:
        subprocess.run(["rm", "-rf", runs.root])
    for failure in runs.failures:
        print(failure)
    return 1 if runs.failures else 0


if __name__ == "__main__":
    sys.exit(main())
