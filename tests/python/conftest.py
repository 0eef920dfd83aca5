"""A virtual board for each test, on its own pseudo-terminal, as the library's only port."""

import os
import socket
import subprocess
import tempfile

import pytest


class VirtualBoard:
    def __init__(self, folder):
        self.port = os.path.join(folder, "port")
        self.control_path = os.path.join(folder, "ctl")
        self.process = subprocess.Popen(
            [os.environ["VIRTUAL_EVM"], "--link", self.port, "--control", self.control_path],
            stdout=subprocess.PIPE, text=True)
        self.process.stdout.readline()  # the device: the link and the socket exist now

    def control(self, command):
        with socket.socket(socket.AF_UNIX, socket.SOCK_STREAM) as channel:
            channel.connect(self.control_path)
            channel.sendall((command + "\n").encode())
            return channel.makefile().readline().rstrip("\n")

    def stop(self):
        self.process.terminate()
        self.process.wait()


@pytest.fixture
def board(monkeypatch):
    with tempfile.TemporaryDirectory() as folder:
        monkeypatch.setenv("XDG_CONFIG_HOME", folder)  # no settings: the defaults
        evm = VirtualBoard(folder)
        monkeypatch.setenv("SUNDIAL_PORTS", evm.port)
        try:
            yield evm
        finally:
            evm.stop()
