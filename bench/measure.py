#!/usr/bin/env python3
"""What a whole game costs on a terminal.

Plays one scripted 9 x 9 one-player game of quarvel-zib to its end through a pseudo-terminal,
typing each reply only once the game is blocked reading it, and prints a table: write system
calls and bytes per move (strace), bytes for the whole game, colour sequences that repeat the
colour in force, CPU time (getrusage) and peak RSS (GNU time) of the game, in runs without
strace, since tracing inflates both.

Run by hand from the repository root, after the release build:
    cmake --preset release && cmake --build --preset release -j2 && python3 bench/measure.py
Needs Linux (/proc), python3, strace and GNU time (apt-get install -y strace time). Takes about
10 s a run: the game's own sleeps.
"""

import argparse
import datetime
import fcntl
import os
import platform
import pty
import re
import select
import shutil
import statistics
import struct
import subprocess
import sys
import tempfile
import termios
import time

# X's cells as column and row. The computer opens in the centre; X completes column 8 with its
# 40th mark, so the game runs long and ends on the banner. Every cell is free when typed.
X_MOVES = ("35 48 94 44 32 17 81 13 68 12 84 53 49 27 46 38 88 98 47 29 "
           "56 97 82 99 19 59 72 91 33 96 45 93 87 89 85 65 57 95 86 83").split()

# System call numbers of the ways to wait for input.
SYSCALLS = {"x86_64": {"read": 0, "select": 23, "pselect6": 270},
            "aarch64": {"read": 63, "pselect6": 72}}
COLUMNS, ROWS = 80, 24
CPU_TARGET_MS = 50.0
RSS_TARGET_KIB = 4096
WAIT_LIMIT_S = 60.0


def replies():
    """(label, keys) in the order the game asks; Enter is sent as a terminal sends it, CR."""
    yield "grid size", b"9\r"
    yield "players", b"0\r"
    yield "pause (first player)", b" "
    for k, cell in enumerate(X_MOVES, 1):
        yield f"X{k} column", cell[0].encode() + b"\r"
        yield f"X{k} row", cell[1].encode() + b"\r"
    yield "pause (result)", b" "
    yield "Enter (banner)", b"\r"


# --- The game in a pseudo-terminal --------------------------------------------------------------

def proc_text(pid, name):
    try:
        with open(f"/proc/{pid}/{name}") as f:
            return f.read()
    except (FileNotFoundError, ProcessLookupError, PermissionError):
        return None


def find_game(root, game_name):
    """The game's pid: root itself, or a descendant when it runs under strace."""
    family = {root}
    grew = True
    while grew:
        grew = False
        for entry in os.listdir("/proc"):
            if not entry.isdigit() or int(entry) in family:
                continue
            stat = proc_text(entry, "stat")
            if stat and int(stat[stat.rindex(")") + 2:].split()[1]) in family:
                family.add(int(entry))
                grew = True
    for pid in family:
        try:
            if os.path.basename(os.readlink(f"/proc/{pid}/exe")) == game_name:
                return pid
        except OSError:
            pass
    return None


def io_counts(pid):
    text = proc_text(pid, "io")
    if text is None:
        return None
    fields = dict(line.split(": ") for line in text.splitlines())
    return int(fields["syscr"]), int(fields["syscw"])


def blocked_on_input(pid, calls):
    """Asleep in read(0, ...), or in select or pselect6 with a set of fds to read (nfds >= 1)."""
    stat = proc_text(pid, "stat")
    call = proc_text(pid, "syscall")
    if not stat or not call or stat[stat.rindex(")") + 2] != "S":
        return False
    words = call.split()
    if not words[0].isdigit():
        return False
    nr, args = int(words[0]), [int(w, 16) for w in words[1:3]]
    if nr == calls["read"]:
        return args[0] == 0
    if nr in (calls.get("select"), calls["pselect6"]):
        return args[0] >= 1 and args[1] != 0
    return False


def play(command, game_name, calls):
    """Plays the scripted game. Returns the screen bytes, the game's write count before each
    reply (from /proc, no strace needed), its CPU time in ns up to the last reply, the exit
    status and the rusage of the child."""
    env = {k: v for k, v in os.environ.items() if k != "NO_COLOR"}
    pid, master = pty.fork()
    if pid == 0:
        try:
            fcntl.ioctl(1, termios.TIOCSWINSZ, struct.pack("HHHH", ROWS, COLUMNS, 0, 0))
            os.execvpe(command[0], command, env)
        finally:
            os._exit(127)

    screen = bytearray()

    def drain(wait):
        ready, _, _ = select.select([master], [], [], wait)
        while ready:
            try:
                data = os.read(master, 65536)
            except OSError:  # EIO: the last holder of the terminal has gone
                return
            if not data:
                return
            screen.extend(data)
            ready, _, _ = select.select([master], [], [], 0)

    game = None
    reads_done = -1
    writes_before = []
    for label, keys in replies():
        deadline = time.monotonic() + WAIT_LIMIT_S
        while True:
            drain(0.005)
            if game is None:
                game = find_game(pid, game_name)
            # Counts taken on both sides of seeing the game blocked, and equal, are its final
            # ones for this reply; the read count shows the last reply was taken.
            counts = io_counts(game) if game else None
            if (counts and counts[0] > reads_done and blocked_on_input(game, calls)
                    and io_counts(game) == counts):
                break
            if time.monotonic() > deadline:
                os.kill(pid, 9)
                sys.exit(f"measure: the game never asked for the reply '{label}'")
        drain(0)
        reads_done, writes = counts
        writes_before.append(writes)
        cpu_ns = int(proc_text(game, "schedstat").split()[0])
        os.write(master, keys)

    deadline = time.monotonic() + WAIT_LIMIT_S
    while True:
        drain(0.01)
        done, status, usage = os.wait4(pid, os.WNOHANG)
        if done:
            break
        if time.monotonic() > deadline:
            os.kill(pid, 9)
            sys.exit("measure: the game did not end after the last reply")
    drain(0)
    os.close(master)
    return bytes(screen), writes_before, cpu_ns, status, usage


# --- Reading the strace log ---------------------------------------------------------------------

CALL = re.compile(r"^(?:\d+ +)?(\w+)\((.*)\) += (-?\d+)")
STRING = re.compile(r'"((?:\\x[0-9a-f]{2})*)"')
SLEEP = re.compile(r"tv_sec=(\d+), tv_(n|u)sec=(\d+)")


def parse_trace(path):
    """Events in order: ('write', bytes), ('read', bytes), ('sleep', ms); and writes to other fds."""
    events, elsewhere = [], 0
    with open(path) as log:
        for line in log:
            m = CALL.match(line)
            if not m:
                continue
            name, args, result = m.group(1), m.group(2), int(m.group(3))
            text = STRING.search(args)
            data = bytes.fromhex(text.group(1).replace("\\x", "")) if text else b""
            if name == "write":
                if args.startswith("1, "):
                    events.append(("write", data[:max(result, 0)]))
                else:
                    elsewhere += 1
            elif name == "read" and args.startswith("0, ") and result > 0:
                events.append(("read", data[:result]))
            elif name in ("nanosleep", "clock_nanosleep") or (
                    name in ("select", "pselect6") and args.startswith("0, NULL, NULL, NULL, {")):
                # A wait on no fd with a time limit is a sleep; the game computes what is left
                # of it, so it is rounded to 10 ms.
                s = SLEEP.search(args)
                ns = int(s.group(3)) * (1 if s.group(2) == "n" else 1000)
                events.append(("sleep", round((int(s.group(1)) * 10**9 + ns) / 10**7) * 10))
    return events, elsewhere


def segments(events):
    """The writes gathered up to each read, each sleep and the exit. A sleep resumed with no
    write in between (after an early wake-up) is the same sleep."""
    out, writes = [], []
    for kind, value in events:
        if kind == "write":
            writes.append(value)
        elif kind == "sleep" and not writes and out and out[-1][0] == "sleep":
            out[-1] = ("sleep", out[-1][1] + value, out[-1][2])
        else:
            out.append((kind, value, writes))
            writes = []
    out.append(("exit", None, writes))
    return out


SGR = re.compile(rb"\x1b\[([0-9;]*)m")


def colour_sequences(stream):
    """Counts foreground changes, those that repeat the colour in force, and resets (ESC[0m),
    with those sent while the terminal's own colour was already in force."""
    in_force = "default"  # a fresh terminal
    changes = repeats = resets = idle_resets = 0
    for m in SGR.finditer(stream):
        params = m.group(1).split(b";") if m.group(1) else [b"0"]
        colour = in_force
        is_reset = False
        for p in params:
            n = int(p) if p else 0
            if n == 0:
                colour, is_reset = "default", True
            elif n == 39:
                colour = "default"
            elif 30 <= n <= 37 or 90 <= n <= 97:
                colour = n
        if is_reset:
            resets += 1
            idle_resets += colour == in_force
        else:
            changes += 1
            repeats += colour == in_force
        in_force = colour
    return changes, repeats, resets, idle_resets


# --- The report ---------------------------------------------------------------------------------

def machine():
    model = "unknown"
    with open("/proc/cpuinfo") as f:
        for line in f:
            if line.startswith("model name"):
                model = line.split(":", 1)[1].strip()
                break
    uname = subprocess.run(["uname", "-a"], capture_output=True, text=True).stdout.strip()
    return uname, model, os.cpu_count()


def source_state():
    """The commit the game was built from, as far as the work tree tells."""
    top = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
    git = ["git", "-C", top]
    head = subprocess.run(git + ["rev-parse", "--short", "HEAD"], capture_output=True, text=True)
    if head.returncode != 0:
        return "unknown (no git)"
    changed = subprocess.run(git + ["status", "--porcelain", "--", "console", "board", "rules",
                                    "flow"], capture_output=True, text=True)
    return head.stdout.strip() + (" with local changes" if changed.stdout.strip() else "")


def verdict(ok):
    return "met" if ok else "MISSED"


def main():
    parser = argparse.ArgumentParser(description=__doc__.split("\n\n")[0])
    parser.add_argument("--game", default="build/quarvel-zib", help="the release build's game")
    parser.add_argument("--runs", type=int, default=3,
                        help="untraced runs for CPU and RSS; the worst is reported")
    args = parser.parse_args()

    game = os.path.abspath(args.game)
    if not os.access(game, os.X_OK):
        sys.exit(f"measure: no game at {game}; build the release preset first")
    strace = shutil.which("strace")
    if not strace:
        sys.exit("measure: strace is missing (apt-get install -y strace)")
    timer = "/usr/bin/time"
    if not os.access(timer, os.X_OK):
        sys.exit("measure: /usr/bin/time is missing (apt-get install -y time)")
    calls = SYSCALLS.get(platform.machine())
    if calls is None:
        sys.exit(f"measure: the system call numbers of {platform.machine()} are not known")
    name = os.path.basename(game)

    with tempfile.TemporaryDirectory() as tmp:
        log = os.path.join(tmp, "trace")
        traced = [strace, "-f", "-qq", "-xx", "-s", "1048576", "-e", "signal=none",
                  "-e", "trace=read,write,nanosleep,clock_nanosleep,select,pselect6", "-o", log, "--", game]
        screen, traced_counts, _, status, _ = play(traced, name, calls)
        events, elsewhere = parse_trace(log)

    plain = re.sub(rb"\x1b\[[0-9;]*[A-Za-z]", b"", screen)
    if b"X wins the game" not in plain:
        sys.exit("measure: the scripted game did not end with X winning; the opponent changed?")
    if not (os.WIFEXITED(status) and os.WEXITSTATUS(status) == 0):
        sys.exit(f"measure: the game ended with wait status {status}")

    labels = [label for label, _ in replies()]
    typed = [keys.replace(b"\r", b"\n") for _, keys in replies()]
    segs = segments(events)
    reads = [s for s in segs if s[0] == "read"]
    if [s[1] for s in reads] != typed:
        sys.exit("measure: the game's reads do not match the replies typed one by one")

    # Peak RSS is taken by /usr/bin/time: a process forked from this script would carry the
    # interpreter's peak through exec into ru_maxrss, time's own image is far below the game's.
    # CPU is this script's getrusage of time, so it counts time's own share too.
    untraced = []
    for _ in range(args.runs):
        with tempfile.TemporaryDirectory() as tmp:
            report = os.path.join(tmp, "rss")
            _, counts, cpu_ns, st, usage = play([timer, "-f", "%M", "-o", report, game], name,
                                                calls)
            with open(report) as f:
                peak = int(f.read().split()[-1])
        if not (os.WIFEXITED(st) and os.WEXITSTATUS(st) == 0):
            sys.exit(f"measure: an untraced game ended with wait status {st}")
        untraced.append((counts, usage, peak, cpu_ns / 1e6))

    # The game's write count at each reply, as strace saw it and as /proc counted it in every
    # run: equal, so tracing changed nothing and the untraced runs played the same game.
    per_read, total = [], 0
    for kind, _, writes in segs:
        total += len(writes)
        if kind == "read":
            per_read.append(total)
    same_counts = all(counts == per_read for counts in [traced_counts] + [u[0] for u in untraced])

    by_label = dict(zip(labels, reads))
    all_writes = [w for _, _, writes in segs for w in writes]
    stream = b"".join(all_writes)
    sleeps = [s for s in segs if s[0] == "sleep"]
    exit_writes = segs[-1][2]

    uname, model, cpus = machine()
    out = []
    out.append("QUARVEL ZIB: one 9 x 9 one-player game through an "
               f"{COLUMNS}x{ROWS} pseudo-terminal, {len(X_MOVES)} moves by X, X wins")
    out.append(f"date     {datetime.datetime.now().astimezone().strftime('%Y-%m-%d %H:%M %Z')}")
    out.append(f"machine  {uname}")
    out.append(f"cpu      {model}, {cpus} cores")
    out.append(f"game     {game}, built from {source_state()}")
    out.append("")
    out.append("Per move (O's answer is repainted in the write that asks for X's next column):")
    out.append("")
    out.append("| X move | cell | writes: column | writes: row | O's own writes before it | bytes |")
    out.append("|-------:|-----:|---------------:|------------:|-------------------------:|------:|")
    move_bytes, person_writes, computer_writes = [], [], []
    for k, cell in enumerate(X_MOVES, 1):
        column = by_label[f"X{k} column"][2]
        row = by_label[f"X{k} row"][2]
        size = sum(map(len, column + row))
        move_bytes.append(size)
        person_writes.append(len(column) + len(row))
        computer_writes.append(len(column) - 1)
        out.append(f"| {k:6} | {cell[0] + ',' + cell[1]:>4} | {len(column):14} | {len(row):11} | "
                   f"{len(column) - 1:24} | {size:5} |")
    out.append("")
    out.append("Other replies and writes:")
    out.append("")
    out.append("| what | writes | bytes |")
    out.append("|------|-------:|------:|")
    for label in labels:
        if not label.startswith("X"):
            writes = by_label[label][2]
            out.append(f"| before the reply: {label} | {len(writes)} | {sum(map(len, writes))} |")
    for ms in sorted({s[1] for s in sleeps}):
        group = [s for s in sleeps if s[1] == ms]
        writes = [w for s in group for w in s[2]]
        out.append(f"| before {len(group)} designed sleep(s) of {ms} ms | {len(writes)} | "
                   f"{sum(map(len, writes))} |")
    out.append(f"| at exit (terminal given back) | {len(exit_writes)} | "
               f"{sum(map(len, exit_writes))} |")
    out.append(f"| writes to other file descriptors | {elsewhere} | - |")

    changes, repeats, resets, idle_resets = colour_sequences(stream)
    cpu = [(u.ru_utime + u.ru_stime) * 1000 for _, u, _, _ in untraced]
    worst = max(range(len(untraced)), key=lambda i: cpu[i])
    own_cpu = max(ms for _, _, _, ms in untraced)
    rss = max(peak for _, _, peak, _ in untraced)
    max_per_read = max(len(s[2]) for s in reads)
    min_per_read = min(len(s[2]) for s in reads)
    out.append("")
    out.append("Summary:")
    out.append("")
    out.append("| measure | measured | target | |")
    out.append("|---------|---------:|-------:|-|")
    out.append(f"| writes before each reply read, min / max ({len(reads)} reads) | "
               f"{min_per_read} / {max_per_read} | 1 | {verdict(min_per_read == max_per_read == 1)} |")
    out.append(f"| writes per X move, min / max | {min(person_writes)} / {max(person_writes)} | 2 | "
               f"{verdict(set(person_writes) == {2})} |")
    out.append(f"| O's own writes per move, max | {max(computer_writes)} | 0 | "
               f"{verdict(max(computer_writes) == 0)} |")
    out.append(f"| bytes per X move, min / median / max | {min(move_bytes)} / "
               f"{int(statistics.median(move_bytes))} / {max(move_bytes)} | - | |")
    out.append(f"| write calls, whole game | {len(all_writes)} | - | |")
    out.append(f"| bytes, whole game | {len(stream)} | - | |")
    out.append(f"| colour changes (ESC[3x/9x/39m) repeating the colour in force | "
               f"{repeats} of {changes} | 0 | {verdict(repeats == 0)} |")
    out.append(f"| resets (ESC[0m) sent while the terminal's colour was in force | "
               f"{idle_resets} of {resets} | 0 | {verdict(idle_resets == 0)} |")
    out.append(f"| CPU user + sys, getrusage of the game with /usr/bin/time, worst of "
               f"{len(untraced)} untraced runs | {cpu[worst]:.1f} ms "
               f"({untraced[worst][1].ru_utime * 1000:.1f} + {untraced[worst][1].ru_stime * 1000:.1f})"
               f" | < {CPU_TARGET_MS:.0f} ms | {verdict(cpu[worst] < CPU_TARGET_MS)} |")
    out.append(f"| CPU of the game alone up to its last reply (/proc/PID/schedstat), worst | "
               f"{own_cpu:.1f} ms | < {CPU_TARGET_MS:.0f} ms | {verdict(own_cpu < CPU_TARGET_MS)} |")
    out.append(f"| peak RSS (GNU time), largest of {len(untraced)} untraced runs | {rss} KiB | "
               f"< {RSS_TARGET_KIB} KiB | {verdict(rss < RSS_TARGET_KIB)} |")
    out.append(f"| untraced runs: same writes before every reply (/proc/PID/io) | "
               f"{'yes' if same_counts else 'NO'} | yes | {verdict(same_counts)} |")
    print("\n".join(out))


if __name__ == "__main__":
    main()
