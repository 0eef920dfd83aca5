#!/usr/bin/env python3
"""A measurement sweep's settings side: every sampling mode with each filter roll-off, the
codec's registers printed after each step. Put the analyzer's measurement where it says.

    python3 sweep.py [PORT]        PORT: a number, a device path or a URL; none: the search
"""

import sys

import larkspur

SAMPLING_MODES = ["Single Rate", "Dual Rate", "Quad Rate"]
ROLL_OFFS = ["Sharp Roll-off", "Slow Roll-off"]


def main() -> int:
    port = sys.argv[1] if len(sys.argv) > 1 else None
    try:
        with larkspur.Board(port=port, interface="iic", address=76) as evm:
            evm["DAC L"] = -6.0
            evm["DAC R"] = -6.0
            for mode in SAMPLING_MODES:
                for roll_off in ROLL_OFFS:
                    evm["DAC Sampling mode"] = mode
                    evm["cbFLT12"] = roll_off  # "DAC L/R" names two fields: by name
                    # ... measure THD+N here ...
                    registers = " ".join(f"{value:02X}" for value in evm.snapshot().values())
                    print(f"{mode:12} {roll_off:15} {registers}")
    except larkspur.Error as error:
        print(error, file=sys.stderr)
        return 1
    return 0


if __name__ == "__main__":
    sys.exit(main())
