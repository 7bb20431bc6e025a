#!/usr/bin/env python3
"""CPU time and peak memory of one whole game of the release build.

Plays a scripted 9 x 9 one-player game to its end (X plays 40 moves and wins by column 8), its
replies piped in and its screen sent to /dev/null, three times; each run takes ten seconds, the
game's own title and pause, which use no CPU. Prints the CPU time of each run (the game's and that of
GNU time, which starts it, so that no copy of this interpreter inflates the game's peak RSS) and
its peak RSS as GNU time reads it, and the medians.
The terminal traffic is counted by the in-process case tests/cases/game/nine_by_nine.case.

    cmake --preset release && cmake --build --preset release -j2 && python3 bench/measure.py
"""
import resource, statistics, subprocess, sys

GAME = sys.argv[1] if len(sys.argv) > 1 else "build/quarvel-zib"
X_MOVES = ("35 48 94 44 32 17 81 13 68 12 84 53 49 27 46 38 88 98 47 29 "
           "56 97 82 99 19 59 72 91 33 96 45 93 87 89 85 65 57 95 86 83").split()
REPLIES = "9\n0\n\n" + "".join(f"{m[0]} {m[1]}\n" for m in X_MOVES) + "\n\n"

cpu, rss = [], []
for run in range(3):
    before = resource.getrusage(resource.RUSAGE_CHILDREN)
    timed = subprocess.run(["/usr/bin/time", "-f", "%M", GAME], input=REPLIES.encode(),
                           stdout=subprocess.DEVNULL, stderr=subprocess.PIPE, check=True)
    after = resource.getrusage(resource.RUSAGE_CHILDREN)
    cpu.append((after.ru_utime + after.ru_stime - before.ru_utime - before.ru_stime) * 1000)
    rss.append(int(timed.stderr.split()[-1]))
    print(f"run {run + 1}: CPU {cpu[-1]:.1f} ms, peak RSS {rss[-1]} KiB")
print(f"median: CPU {statistics.median(cpu):.1f} ms, peak RSS {statistics.median(rss):.0f} KiB")
