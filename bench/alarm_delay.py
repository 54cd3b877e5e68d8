#!/usr/bin/env python3
# Usage: bench/alarm_delay.py build/platform/sim/brannic-sim [closings]
# Delay from the lid closing to the alarm starting, in virtual time, over
# many random closing moments of one armed run. Resolution: 10 ms steps.
import random, statistics, subprocess, sys

SIM = sys.argv[1]
N = int(sys.argv[2]) if len(sys.argv) > 2 else 300
random.seed(20261209)
lines = ["launch", "settle", "menu Toggle Brannic", "settle", "wait 1"]
for i in range(N):
    lines.append(f"wait {random.uniform(0, 1):.3f}")
    lines.append("lid closed")
    lines.append(f"# close {i}")
    lines += ["wait 0.01"] * 60
    lines.append("lid open")
    lines.append("wait 0.5")
script = "\n".join(lines) + "\n"
out = subprocess.run([SIM], input=script.encode(), capture_output=True).stdout.decode()
delays, steps, counting, found = [], 0, False, False
for line in out.splitlines():
    if line == "> lid closed":
        counting, steps, found = True, 0, False
    elif counting and line == "> wait 0.01":
        steps += 1
    elif counting and line.startswith("sound: play") and not found:
        delays.append(steps * 0.01); found = True
    elif line == "> lid open":
        counting = False
delays.sort()
print(f"{len(delays)} closings: median {statistics.median(delays)*1000:.0f} ms, "
      f"worst {max(delays)*1000:.0f} ms, best {min(delays)*1000:.0f} ms (10 ms resolution, virtual time)")
