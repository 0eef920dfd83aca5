"""The sweep example runs against the virtual board and leaves it in the last step's mode."""

import os
import pathlib
import subprocess
import sys

EXAMPLE = pathlib.Path(__file__).parents[2] / "examples" / "python" / "sweep.py"


def test_the_sweep_example_steps_through_every_mode(virtual_evm):
    result = subprocess.run([sys.executable, str(EXAMPLE), virtual_evm.port],
                            capture_output=True, text=True, env=os.environ, timeout=120)
    assert result.returncode == 0, result.stderr
    lines = result.stdout.splitlines()
    assert [line.split()[0:2] for line in lines] == [
        ["Single", "Rate"], ["Single", "Rate"], ["Dual", "Rate"], ["Dual", "Rate"],
        ["Quad", "Rate"], ["Quad", "Rate"]]
    assert all(len(line.split()) == 2 + 2 + 10 for line in lines)
