"""larkspur against the virtual board: every method, the exceptions and the one-link rule."""

import os
import pathlib
import subprocess
import sys

import pytest

import larkspur


def test_registers_fields_flags_and_resets(virtual_evm):
    with larkspur.Board(interface="iic", address=76) as evm:
        evm.write(0x11, 0x05)
        assert virtual_evm.control("get 0x11") == "ok 0x05"
        assert evm.read(0x11) == 0x05
        evm.write(0x12, [0x21, 0x22])
        assert evm.read(0x12, 2) == [0x21, 0x22]
        assert evm.snapshot()[0x12] == 0x21
        assert len(evm.snapshot()) == 10
        evm["DAC L"] = -12.5
        assert evm["DAC L"] == "-12.5"
        evm["DAC Serial Data Format"] = "24bit IIS DSP"
        assert evm["cbDACFMT"] == "24bit IIS DSP"  # by name as well as by caption
        assert evm.flags() == (False, False)
        virtual_evm.control("zero 2")
        assert evm.flags() == (False, True)
        evm.reset("sync")
        names = {field.name for field in evm.fields}
        assert "cbDACFMT" in names and all(field.width > 0 for field in evm.fields)


def test_scripts_run_and_their_errors_name_the_line(virtual_evm, tmp_path):
    script = tmp_path / "setup.csv"
    script.write_bytes(b"0x13, 0x44\r\n0x14, 0x300\r\n")
    with larkspur.Board(interface="iic") as evm:
        with pytest.raises(larkspur.ScriptError) as error:
            evm.run_script(script)
        assert (error.value.path, error.value.line) == (str(script), 2)
        assert virtual_evm.control("get 0x13") == "ok 0x44"
        with pytest.raises(larkspur.ScriptError) as missing:
            evm.run_script(tmp_path / "none.csv")
        assert missing.value.message == "File not exist."


@pytest.mark.parametrize("call, error, words", [
    (lambda evm: evm.read(300), ValueError, "register '300' is not 0 to 0xFF"),
    (lambda evm: evm.read(0xF0, 20), ValueError, "20 registers from '0xF0' go beyond 0xFF"),
    (lambda evm: evm.write(0x11, 256), ValueError, "value '256' is not 0 to 255"),
    (lambda evm: evm.write(0x11, "5"), TypeError, "value must be an int, not str"),
    (lambda evm: evm["Mute"], ValueError, "'Mute' names several fields: cDAC1, cDAC2"),
    (lambda evm: evm["Loudness"], ValueError, "no field 'Loudness'"),
    (lambda evm: evm.__setitem__("DAC L", "loud"), ValueError, "'loud' is not a value of DAC L"),
    (lambda evm: evm.reset("cold"), ValueError, "reset takes master or sync, not 'cold'"),
])
def test_bad_arguments_in_the_command_lines_words(virtual_evm, call, error, words):
    with larkspur.Board(interface="iic") as evm:
        with pytest.raises(error, match="^" + words.replace("(", r"\(")):
            call(evm)


def test_a_board_that_stops_answering_gives_the_code(virtual_evm):
    with larkspur.Board(interface="iic") as evm:
        virtual_evm.control("fault no-ack write always")
        with pytest.raises(larkspur.LinkError) as error:
            evm.write(0x11, 1)
        assert (error.value.code, error.value.step, error.value.register) == (2, "write", 0x11)
        assert isinstance(error.value, larkspur.Error)


def _run(site, code, *args):
    environment = {key: value for key, value in os.environ.items() if key != "LD_LIBRARY_PATH"}
    environment["PYTHONPATH"] = str(site)
    return subprocess.run([sys.executable, "-c", code, *args], env=environment,
                          capture_output=True, text=True, timeout=60)


def test_the_build_module_finds_the_build_library_by_itself(virtual_evm):
    # Without LD_LIBRARY_PATH, as a user runs it from the build folder.
    site = pathlib.Path(larkspur.__file__).parent.parent
    result = _run(site, """
import sys, larkspur
with larkspur.Board(port=sys.argv[1], interface="iic") as evm:
    print(hex(evm.read(0x10)))
""", virtual_evm.port)
    assert (result.returncode, result.stdout) == (0, "0xc0\n"), result.stderr


def test_no_board_says_what_stands_behind_the_ports(virtual_evm, monkeypatch, tmp_path):
    monkeypatch.setenv("SUNDIAL_PORTS", str(tmp_path / "no-tty"))
    with pytest.raises(larkspur.NoBoardError) as error:
        larkspur.Board().open()
    assert str(error.value).startswith("No EVM was found")


def test_the_with_block_closes_the_port_even_on_an_exception(virtual_evm):
    with pytest.raises(RuntimeError):
        with larkspur.Board(interface="iic") as evm:
            raise RuntimeError("the analyzer failed")
    with pytest.raises(larkspur.Error, match="closed"):
        evm.read(0x10)
    with larkspur.Board(interface="iic") as again:  # the port is free
        assert again.read(0x10) == 0xC0


def test_one_board_per_process(virtual_evm):
    with larkspur.Board(interface="iic") as evm:
        with pytest.raises(larkspur.Error, match="one port per process"):
            larkspur.Board(interface="iic").open()
        with pytest.raises(larkspur.Error, match="close the Board"):
            larkspur.ports()
        assert evm.read(0x10) == 0xC0  # still connected


def test_ports_lists_the_board(virtual_evm):
    assert [(port.number, port.state) for port in larkspur.ports()] == [(1, "evm")]
