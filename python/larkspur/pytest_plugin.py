"""pytest fixtures for testing automation around the board without one.

``virtual_evm`` starts the virtual board (``larkspur-virtual-evm`` from PATH, or the program
named by LARKSPUR_VIRTUAL_EVM) on its own pseudo-terminal and makes it the link library's only
port; ``evm`` is a :class:`larkspur.Board` connected to it over IIC. The installed package
registers it with pytest; from a build folder, load it with
``pytest_plugins = ["larkspur.pytest_plugin"]`` or ``pytest -p larkspur.pytest_plugin``.
"""

from __future__ import annotations

import os
import shutil
import socket
import subprocess
import tempfile
from typing import Iterator

import pytest

import larkspur


class VirtualEvm:
    """The virtual board: ``port`` is its terminal, ``control()`` sends it a command
    (``"fault no-ack write once"``, ``"get 0x11"``) and returns its reply line."""

    def __init__(self, program: str, folder: str):
        self.port = os.path.join(folder, "port")
        self.control_path = os.path.join(folder, "ctl")
        self._process = subprocess.Popen(
            [program, "--link", self.port, "--control", self.control_path],
            stdout=subprocess.PIPE, text=True)
        if not self._process.stdout.readline():  # the device: link and socket exist now
            raise RuntimeError(f"{program} did not start")

    def control(self, command: str) -> str:
        with socket.socket(socket.AF_UNIX, socket.SOCK_STREAM) as channel:
            channel.connect(self.control_path)
            channel.sendall((command + "\n").encode())
            return channel.makefile().readline().rstrip("\n")

    def stop(self) -> None:
        self._process.terminate()
        self._process.wait()


def _program() -> str:
    named = os.environ.get("LARKSPUR_VIRTUAL_EVM")
    if named:
        return named
    found = shutil.which("larkspur-virtual-evm")
    if found is None:
        pytest.skip("larkspur-virtual-evm is not installed (or set LARKSPUR_VIRTUAL_EVM)")
    return found


@pytest.fixture
def virtual_evm(monkeypatch: pytest.MonkeyPatch) -> Iterator[VirtualEvm]:
    """A virtual board as the link library's only port, with no settings file."""
    with tempfile.TemporaryDirectory() as folder:
        monkeypatch.setenv("XDG_CONFIG_HOME", folder)
        board = VirtualEvm(_program(), folder)
        monkeypatch.setenv("SUNDIAL_PORTS", board.port)
        try:
            yield board
        finally:
            board.stop()


@pytest.fixture
def evm(virtual_evm: VirtualEvm) -> Iterator[larkspur.Board]:
    """A Board connected to the virtual board over IIC at address 76."""
    with larkspur.Board(port=virtual_evm.port, interface="iic", address=76) as board:
        yield board
