#!/usr/bin/env python3
# Usage: bench/watch_standing_cost.py build/platform/sim/brannic-sim
# CPU time (user+sys) of brannic-sim and all its children over 60 s of real
# time, armed with the lid open, against the same run left idle.
import os, pty, resource, sys, time, select

SIM = sys.argv[1]

def run(armed, seconds=60):
    before = resource.getrusage(resource.RUSAGE_CHILDREN)
    pid, fd = pty.fork()
    if pid == 0:
        os.execv(SIM, [SIM])
    def send(line):
        os.write(fd, (line + "\n").encode())
    def drain(t):
        end = time.time() + t
        out = b""
        while time.time() < end:
            r, _, _ = select.select([fd], [], [], 0.1)
            if r:
                try:
                    out += os.read(fd, 65536)
                except OSError:
                    break
        return out
    send("launch"); send("settle"); drain(3)
    if armed:
        send("menu Toggle Brannic"); send("settle")
    out = drain(seconds)
    send("menu Quit"); drain(2)
    os.waitpid(pid, 0)
    after = resource.getrusage(resource.RUSAGE_CHILDREN)
    cpu = (after.ru_utime - before.ru_utime) + (after.ru_stime - before.ru_stime)
    return cpu, out.count(b"lid is open")

idle_cpu, _ = run(False)
armed_cpu, ticks = run(True)
print(f"idle 60s: {idle_cpu:.2f} s CPU; armed 60s: {armed_cpu:.2f} s CPU over {ticks} lid checks; "
      f"watch cost {armed_cpu - idle_cpu:.2f} s CPU per minute = {100*(armed_cpu-idle_cpu)/60:.2f}% of one core, "
      f"{1000*(armed_cpu-idle_cpu)/max(ticks,1):.1f} ms per check")
