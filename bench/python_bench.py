#!/usr/bin/env python3
"""larkspur from Python against the virtual board, in one run:
  - 10,000 evm.write(0x11, 5) calls against the same writes through the C++ session, each the
    best of three rounds after a warm-up (goal: at most 1.2 times as long);
  - the same against one `larkspur-cli write` process per call (goal: at least 50 times faster);
  - the peak memory of `python3 -c "import larkspur"` beside a bare interpreter's;
  - on the board's 115200-baud wire with a 1 ms adapter turnaround, evm.read(0x10, 10) against
    the wire's minimum for the 31 bytes it waits for and one turnaround (goal: within 1.1 times), and against
    ten evm.read(reg) calls (goal: at least 5 times faster); medians of WIRE_ROUNDS.
Times are printed, never judged by the exit status: only a failed call ends it with 1.

    python_bench.py --virtual-evm PATH --session-bench PATH --cli PATH [--writes N]
                    [--cli-calls N]
"""

import argparse
import os
import socket
import subprocess
import sys
import tempfile
import time

import larkspur

GOAL_PYTHON = 1.2
GOAL_CLI = 50.0
WARM_UP = 500
ROUNDS = 3
WIRE_ROUNDS = 21
GOAL_WIRE = 1.1
GOAL_BLOCK = 5.0
# One read of ten registers on the wire: a 10-byte request, the board's 2-byte acknowledgement
# and 19-byte reply; ten bits a byte, one turnaround. The PC's closing acknowledgement is sent
# without waiting.
WIRE_BAUD = 115200
WIRE_LATENCY_MS = 1.0
WIRE_MINIMUM_S = (10 + 2 + 19) * 10 / WIRE_BAUD + WIRE_LATENCY_MS / 1000


def start_board(program, folder, *extra):
    port = os.path.join(folder, "port")
    process = subprocess.Popen([program, "--link", port, *extra], stdout=subprocess.PIPE,
                               text=True)
    process.stdout.readline()
    return process, port


def peak_kib(code):
    # VmHWM, not ru_maxrss: Linux carries ru_maxrss over exec from the forked parent.
    probe = code + ("; print(next(line.split()[1] for line in open('/proc/self/status') "
                    "if line.startswith('VmHWM')))")
    return int(subprocess.run([sys.executable, "-c", probe], capture_output=True, text=True,
                              check=True, env=os.environ).stdout)


def goal(text, held, figure):
    print(f"goal: {text}: {'held' if held else 'missed'} ({figure})")


def median(values):
    return sorted(values)[len(values) // 2]


def wire_reads(program, folder):
    """Medians of evm.read(0x10, 10) and of ten evm.read(reg), in seconds, on the slow wire."""
    board, port = start_board(program, folder, "--baud", str(WIRE_BAUD), "--latency",
                              str(WIRE_LATENCY_MS))
    try:
        with larkspur.Board(port=port, interface="iic", address=76) as evm:
            block, single = [], []
            for _ in range(WIRE_ROUNDS):
                start = time.perf_counter()
                if len(evm.read(0x10, 10)) != 10:
                    raise RuntimeError("the block read gave too few registers")
                block.append(time.perf_counter() - start)
                start = time.perf_counter()
                for reg in range(0x10, 0x1A):
                    evm.read(reg)
                single.append(time.perf_counter() - start)
        return median(block), median(single)
    finally:
        board.terminate()
        board.wait()


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--virtual-evm", required=True)
    parser.add_argument("--session-bench", required=True)
    parser.add_argument("--cli", required=True)
    parser.add_argument("--writes", type=int, default=10000)
    parser.add_argument("--cli-calls", type=int, default=300)
    options = parser.parse_args()
    with tempfile.TemporaryDirectory() as folder:
        os.environ["XDG_CONFIG_HOME"] = folder
        board, port = start_board(options.virtual_evm, folder)
        try:
            with larkspur.Board(port=port, interface="iic", address=76) as evm:
                # As the C++ side: the best of three rounds after a warm-up.
                for _ in range(WARM_UP):
                    evm.write(0x11, 5)
                rounds = []
                for _ in range(ROUNDS):
                    start = time.perf_counter()
                    for _ in range(options.writes):
                        evm.write(0x11, 5)
                    rounds.append(time.perf_counter() - start)
                python = min(rounds)
            native = float(subprocess.run(
                [options.session_bench, "--port", port, "--writes", str(options.writes)],
                capture_output=True, text=True, check=True).stdout)
            start = time.perf_counter()
            for _ in range(options.cli_calls):
                subprocess.run([options.cli, "--port", port, "--interface", "iic", "write",
                                "0x11", "0x05"], check=True, capture_output=True)
            cli = (time.perf_counter() - start) / options.cli_calls * options.writes
        finally:
            board.terminate()
            board.wait()
        block, single = wire_reads(options.virtual_evm, folder)
    bare = peak_kib("pass")
    imported = peak_kib("import larkspur")
    per_call = python / options.writes * 1e6
    print(f"{options.writes} writes: Python {python:.3f} s ({per_call:.1f} us a call), "
          f"C++ session {native:.3f} s, larkspur-cli per call {cli:.1f} s "
          f"(from {options.cli_calls} runs)")
    ratio = python / native
    speedup = cli / python
    goal(f"Python at most {GOAL_PYTHON}x the C++ session", ratio <= GOAL_PYTHON, f"{ratio:.2f}x")
    goal(f"at least {GOAL_CLI:.0f}x faster than a process per call", speedup >= GOAL_CLI,
         f"{speedup:.0f}x")
    wire = block / WIRE_MINIMUM_S
    faster = single / block
    print(f"on the wire: evm.read(0x10, 10) {block * 1e3:.2f} ms, the wire's minimum "
          f"{WIRE_MINIMUM_S * 1e3:.2f} ms; ten evm.read(reg) {single * 1e3:.2f} ms")
    goal(f"evm.read(0x10, 10) within {GOAL_WIRE}x the wire's minimum", wire <= GOAL_WIRE,
         f"{wire:.3f}x")
    goal(f"at least {GOAL_BLOCK:.0f}x faster than ten one-register reads", faster >= GOAL_BLOCK,
         f"{faster:.2f}x")
    print(f"peak memory: import larkspur {imported / 1024:.1f} MiB, a bare interpreter "
          f"{bare / 1024:.1f} MiB (+{(imported - bare) / 1024:.1f} MiB)")
    return 0


if __name__ == "__main__":
    sys.exit(main())
