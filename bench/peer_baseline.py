#!/usr/bin/env python3
"""A plain peer for comparison: sends the three engineering reports over pyserial and reads
each reply with blocking reads until "\\r\\nOK\\r\\n". No polling timer, no event loop: what
remains is the modem's own answer time plus the line. Prints one JSON object on its last line.

    peer_baseline.py --port /dev/pts/N --baud 19200 --cycles 50
"""
import argparse
import json
import random
import resource
import statistics
import sys
import time

import serial

TERMINATOR = b"\r\nOK\r\n"
COMMANDS = (b"AT^MONI\r", b"AT^MONP\r", b"AT^SMONC\r")


def cpu_seconds():
    usage = resource.getrusage(resource.RUSAGE_SELF)
    return usage.ru_utime + usage.ru_stime


def exchange(port, command, timeout_s):
    """Returns (seconds, reply bytes) or (seconds, None) when the terminator did not come."""
    port.reset_input_buffer()
    start = time.perf_counter()
    port.write(command)
    reply = b""
    while TERMINATOR not in reply:
        if time.perf_counter() - start > timeout_s:
            return time.perf_counter() - start, None
        # Blocks until at least one byte is there (or the port time-out passes).
        reply += port.read(max(1, port.in_waiting))
    return time.perf_counter() - start, reply


def nearest_rank(values, p):
    values = sorted(values)
    if not values:
        return 0.0
    index = max(1, -(-len(values) * p // 1))
    return values[min(int(index), len(values)) - 1]


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--port", required=True)
    parser.add_argument("--baud", type=int, default=19200)
    parser.add_argument("--cycles", type=int, default=50)
    args = parser.parse_args()

    port = serial.Serial(args.port, baudrate=args.baud, timeout=0.5)
    # Echo off first, as the program does when it goes online.
    port.write(b"ATE0\r")
    time.sleep(0.05)
    exchange(port, b"ATV1\r", 0.5)
    for command in COMMANDS:  # warm-up
        exchange(port, command, 0.5)

    rng = random.Random(1234)
    # Each report alone first, from a modem at rest (the simulator paces a reply's last piece
    # after writing it, so a command right after a reply would wait for that), then whole
    # cycles back to back as the program runs them.
    per_command = {c.decode().strip(): {"ms": [], "over": []} for c in COMMANDS}
    failures = 0
    for _ in range(args.cycles):
        for command in COMMANDS:
            time.sleep(rng.uniform(0.040, 0.140))
            seconds, reply = exchange(port, command, 0.5)
            if reply is None:
                failures += 1
                continue
            entry = per_command[command.decode().strip()]
            entry["ms"].append(seconds * 1000.0)
            entry["over"].append(seconds * 1000.0 - len(reply) * 10 * 1000.0 / args.baud)
    cycles = []
    cpu = 0.0
    for _ in range(args.cycles):
        time.sleep(rng.uniform(0.0, 0.100))
        cpu_start = cpu_seconds()
        cycle_start = time.perf_counter()
        cycle_ok = True
        for command in COMMANDS:
            _, reply = exchange(port, command, 0.5)
            if reply is None:
                failures += 1
                cycle_ok = False
        if cycle_ok:
            cycles.append((time.perf_counter() - cycle_start) * 1000.0)
        cpu += cpu_seconds() - cpu_start
    port.close()

    result = {
        "cycles": len(cycles),
        "failures": failures,
        "cycle_median_ms": statistics.median(cycles) if cycles else 0.0,
        "cycle_p95_ms": nearest_rank(cycles, 0.95),
        "cpu_ms_per_cycle": cpu * 1000.0 / max(1, args.cycles),
        "commands": {
            name: {
                "median_ms": statistics.median(v["ms"]) if v["ms"] else 0.0,
                "p95_ms": nearest_rank(v["ms"], 0.95),
                "over_median_ms": statistics.median(v["over"]) if v["over"] else 0.0,
            }
            for name, v in per_command.items()
        },
    }
    print(json.dumps(result))
    return 0 if failures == 0 else 1


if __name__ == "__main__":
    sys.exit(main())
