#!/usr/bin/env python3
"""wineserver requests made by the programs a bench runner started, read
from the server's own trace (wineserver -d1: one line per request and one
per reply, each starting with the thread id).

    requests.py TRACE [--top N] [--from BYTE] [--to BYTE]

Prints one line per program in the trace, "image<TAB>requests", followed
with --top N by the N most frequent request names of that program, one
"<TAB>name<TAB>count" line each. A program is a process started by another
Windows process from an image outside C:\\windows: Wine's own processes
and the runner, which Wine starts from Unix, are left out, and with them
the runner's polling and its check of the target. --from and --to take
the part of the trace between two byte offsets (one command's programs).
"""
import argparse
import collections
import re
import sys

LINE = re.compile(r"^([0-9a-f]{4,8}): (\w+)\((.*)$")
REPLY = re.compile(r"^\) = ")
PID = re.compile(r"\bpid=([0-9a-f]+)")
TID = re.compile(r"\btid=([0-9a-f]+)")
IMAGE = re.compile(r'imagepath=L"((?:[^"\\]|\\.)*)"')
SYSTEM = "c:\\windows\\"


class Trace:
    """Requests per process, process images and parents, from trace lines."""

    def __init__(self):
        self.pid_of = {}                      # thread id -> process id
        self.unplaced = collections.Counter()  # requests of threads not yet placed
        self.names = collections.defaultdict(collections.Counter)  # pid -> request name -> count
        self.image = {}                       # pid -> image path
        self.parent = {}                      # pid -> the pid that created it
        self.asked = {}                       # thread id -> (request name, its arguments)

    def _place(self, tid, pid):
        self.pid_of[tid] = pid
        for name, count in self.unplaced.pop(tid, collections.Counter()).items():
            self.names[pid][name] += count

    def feed(self, line):
        m = LINE.match(line)
        if not m:
            return
        tid, name, rest = m.groups()
        if REPLY.match(rest):
            self._reply(tid, name, rest)
            return
        self.asked[tid] = (name, rest)
        if name == "init_first_thread":
            self.pid_of.pop(tid, None)  # a new process: the id may be reused
        pid = self.pid_of.get(tid)
        if pid is None:
            self.unplaced[tid] = self.unplaced.get(tid, collections.Counter()) + collections.Counter({name: 1})
        else:
            self.names[pid][name] += 1

    def _reply(self, tid, name, rest):
        asked_name, arguments = self.asked.pop(tid, (None, ""))
        if name == "init_first_thread":
            pid = PID.search(rest)
            if pid:
                self._place(tid, pid.group(1))
        elif name == "get_startup_info" and tid in self.pid_of:
            image = IMAGE.search(rest)
            if image and self.pid_of[tid] in self.image:
                self.image[self.pid_of[tid]] = image.group(1).replace("\\\\", "\\")
        elif name == "new_process" and asked_name == name:
            pid = PID.search(rest)
            image = IMAGE.search(arguments)
            if pid:
                child = pid.group(1)
                self.parent[child] = self.pid_of.get(tid)
                self.image[child] = image.group(1).replace("\\\\", "\\") if image else "?"
        elif name == "new_thread" and asked_name == name and "process=ffffffff" in arguments:
            new = TID.search(rest)
            if new and tid in self.pid_of:
                self._place(new.group(1), self.pid_of[tid])

    def programs(self):
        """[(image, requests, names)] of every program, in the order they
        were started."""
        out = []
        for pid, image in self.image.items():
            if image.lower().startswith(SYSTEM):
                continue
            names = self.names.get(pid, collections.Counter())
            out.append((image, sum(names.values()), names))
        return out


def read(lines):
    trace = Trace()
    for line in lines:
        trace.feed(line)
    return trace


def main(argv):
    parser = argparse.ArgumentParser(description=__doc__.split("\n")[0])
    parser.add_argument("trace")
    parser.add_argument("--top", type=int, default=0)
    parser.add_argument("--from", dest="start", type=int, default=0)
    parser.add_argument("--to", dest="end", type=int, default=-1)
    args = parser.parse_args(argv)
    with open(args.trace, "rb") as f:
        f.seek(args.start)
        part = f.read(args.end - args.start if args.end >= 0 else -1)
    trace = read(part.decode("utf-8", "replace").splitlines())
    for image, total, names in trace.programs():
        print("%s\t%d" % (image, total))
        for name, count in names.most_common(args.top):
            print("\t%s\t%d" % (name, count))
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv[1:]))
