"""larkspur against the virtual board: every method, the exceptions and the one-link rule."""

import json
import logging
import os
import pathlib
import re
import shutil
import subprocess
import sys
import threading

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
        assert evm["DAC L"] == -12.5
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
    (lambda evm: evm["Loudness"], KeyError, "'Loudness'"),
    (lambda evm: evm[5], TypeError, "a field is named by its name or caption (str), not int"),
    (lambda evm: evm.registers[0x10:], ValueError, "a register range is [first:stop]"),
    (lambda evm: evm.registers.__setitem__(slice(0x11, 0x13), [1]), ValueError,
     "2 registers take 2 values, not 1"),
    (lambda evm: evm.__setitem__("DAC L", "loud"), ValueError, "'loud' is not a value of DAC L"),
    (lambda evm: evm.reset("cold"), ValueError, "reset takes master or sync, not 'cold'"),
    (lambda evm: evm.write(0x10, []), ValueError, "wrong number of arguments for write"),
])
def test_bad_arguments_in_the_command_lines_words(virtual_evm, call, error, words):
    with larkspur.Board(interface="iic") as evm:
        with pytest.raises(error, match="^" + re.escape(words)):
            call(evm)


def test_a_board_that_stops_answering_gives_the_code(virtual_evm):
    with larkspur.Board(interface="iic") as evm:
        virtual_evm.control("fault no-ack write always")
        with pytest.raises(larkspur.LinkError) as error:
            evm.write(0x11, 1)
        assert (error.value.code, error.value.step, error.value.register) == (2, "write", 0x11)
        assert error.value.code is larkspur.WriteResult.NO_ACKNOWLEDGEMENT
        assert isinstance(error.value, larkspur.LinkTimeout)
        assert isinstance(error.value, TimeoutError) and isinstance(error.value, larkspur.Error)


def test_each_call_has_its_own_outcome(virtual_evm):
    with larkspur.Board(interface="iic") as evm:
        assert virtual_evm.control("fault no-ack once") == "ok"  # silent once, then healthy
        with pytest.raises(larkspur.LinkError) as silent:
            evm.read(0x11)
        assert (silent.value.step, silent.value.code, silent.value.register) == ("read", 2, 0x11)
        # Every later call goes to the board and succeeds as on a fresh Board.
        evm.write(0x12, [0x31, 0x32])
        assert virtual_evm.control("get 0x13") == "ok 0x32"
        assert evm.read(0x12, 2) == [0x31, 0x32]
        assert evm.snapshot()[0x13] == 0x32
        assert evm.flags() == (False, False)
        evm["DAC L"] = -3
        assert evm["DAC L"] == -3.0
        evm.reset("sync")
        # A later failure names its own call, not the old one.
        assert virtual_evm.control("fault no-ack write reg 0x14 once") == "ok"
        with pytest.raises(larkspur.LinkError) as refused:
            evm.write(0x14, 7)
        assert (refused.value.step, refused.value.register) == ("write", 0x14)
        assert str(refused.value) == "Communication error: WRERR0002"
        assert evm.read(0x13) == 0x32  # and the next call goes to the board again


def test_threads_share_a_board_one_call_at_a_time(virtual_evm):
    # Each thread writes and reads back its own register, and reads the snapshot; the calls of
    # all of them interleave on the one link.
    rounds, registers = 25, [0x11, 0x12, 0x13, 0x14]
    failures = []
    with larkspur.Board(interface="iic") as evm:
        def hammer(register):
            try:
                for value in range(rounds):
                    evm.write(register, value)
                    if evm.read(register) != value:
                        failures.append(f"0x{register:02X} read back wrong")
                    if evm.snapshot()[register] != value:
                        failures.append(f"0x{register:02X} in the snapshot wrong")
            except larkspur.Error as error:
                failures.append(f"0x{register:02X}: {error}")

        threads = [threading.Thread(target=hammer, args=(register,)) for register in registers]
        for thread in threads:
            thread.start()
        for thread in threads:
            thread.join()
        assert failures == []
        assert [evm.read(register) for register in registers] == [rounds - 1] * len(registers)


def _package_alone(tmp_path):
    """The built package copied where no library is beside it nor on the way to one."""
    copy = tmp_path / "alone" / "site"
    shutil.copytree(pathlib.Path(larkspur.__file__).parent, copy / "larkspur")
    return copy


def _run(site, code, *args):
    environment = {key: value for key, value in os.environ.items() if key != "LD_LIBRARY_PATH"}
    environment["PYTHONPATH"] = str(site)
    return subprocess.run([sys.executable, "-c", code, *args], env=environment,
                          capture_output=True, text=True, timeout=60)


def test_without_the_library_the_ports_say_where_it_was_looked_for(virtual_evm, tmp_path):
    site = _package_alone(tmp_path)
    result = _run(site, """
import larkspur
try:
    larkspur.ports()
except larkspur.NoBoardError as error:
    print(str(error).splitlines()[0])
    print("\\n".join(error.details))
else:
    print("no error")
""")
    assert result.returncode == 0, result.stderr
    if result.stdout == "no error\n":
        pytest.skip("a Sundial library is installed where the loader looks")
    lines = result.stdout.splitlines()
    assert lines[:3] == ["Cannot load DLL: Sundial's link library libSundial.so was not found",
                         "Sundial's library was looked for as:",
                         f"{site / 'larkspur' / 'libSundial.so'}: not there"]
    assert any(line.startswith("libSundial.so.1 through the loader's search path")
               for line in lines)


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


def test_trace_file_and_debug_log_record_each_operation(virtual_evm, tmp_path, caplog):
    trace = tmp_path / "trace.txt"
    os.environ.pop("SUNDIAL_TRACE", None)
    with caplog.at_level(logging.DEBUG, logger="larkspur"):
        with larkspur.Board(interface="iic", trace=trace) as evm:
            assert "SUNDIAL_TRACE" not in os.environ  # the library took it at open
            evm.write(0x11, 0x05)
            assert evm.read(0x11) == 0x05
    lines = trace.read_text().splitlines()
    assert lines[0].endswith(" ; probe port=1")
    assert any(" call ; _writeData ch=0 reg=0x11 count=1 result=0 ms=" in line
               for line in lines)
    assert any(line.endswith(" ; read-reply values=05") for line in lines)
    assert lines[-1].split(" ; ")[1].startswith("_close result=1")
    logged = [record.getMessage() for record in caplog.records if record.name == "larkspur"]
    assert logged[0].startswith("open('') -> done")
    assert logged[1].startswith("write(0x11, [0x05]) -> ")
    assert logged[2].startswith("read(0x11, 0x01) -> ([(0x11, 0x05)]")


def test_an_attenuation_between_steps_is_logged_where_it_went(virtual_evm, caplog):
    with caplog.at_level(logging.INFO, logger="larkspur"):
        with larkspur.Board(interface="iic") as evm:
            for value in (-55.3, -55.5):
                evm["DAC L"] = value
            evm["DAC Serial Data Format"] = 1
            assert evm["DAC L"] == -55.5
    said = [record.getMessage() for record in caplog.records
            if record.name == "larkspur" and record.levelno == logging.INFO]
    assert said == ["DAC L: -55.3 dB set as -55.5 dB"]


def test_consecutive_registers_go_in_one_transaction_each_way(virtual_evm, tmp_path):
    trace = tmp_path / "trace.txt"
    with larkspur.Board(interface="iic", trace=trace) as evm:
        evm.write(0x11, [0x01, 0x02, 0x03])
        assert evm.read(0x10, 10)[:4] == [0xC0, 0x01, 0x02, 0x03]
        evm.registers[0x12:0x14] = [0x07, 0x08]
        assert evm.registers[0x12:0x14] == [0x07, 0x08]
    calls = [line.split(" ; ")[1] for line in trace.read_text().splitlines()
             if " call ; _readData" in line or " call ; _writeData ch=0" in line]
    assert [call.split(" result=")[0] for call in calls] == [
        "_writeData ch=0 reg=0x11 count=3", "_readData ch=0 reg=0x10 count=10",
        "_writeData ch=0 reg=0x12 count=2", "_readData ch=0 reg=0x12 count=2"]


def test_diff_of_files_and_of_the_board_gives_typed_changes(virtual_evm, tmp_path):
    a = tmp_path / "a.csv"
    a.write_bytes(b"0x10, 0xC0\r\n0x18, 0xE6\r\n")
    b = tmp_path / "b.csv"
    b.write_bytes(b"# today's setup\r\n0x11, 0x05\r\n0x13, 0x02\r\n0x15, 0x01\r\n"
                  b"0x18, 0xD7 # DAC L\r\n")
    assert larkspur.diff(a, a) == []
    changes = larkspur.diff(a, b)
    assert [change.field for change in changes] == ["cbDACFMT", "cInvDAC2", "tkDAC1", None]
    assert changes[0] == larkspur.Change("cbDACFMT", "DAC Serial Data Format", "24bit IIS",
                                         "24bit Left Justified DSP")
    assert (changes[1].old, changes[1].new) == (False, True)
    assert (changes[2].old, changes[2].new) == (-12.5, -20.0)
    assert changes[3] == larkspur.Change(None, "0x15 bits 0x01", 0, 1)
    bad = tmp_path / "bad.csv"
    bad.write_bytes(b"0x11, 0x300\r\n")
    with pytest.raises(larkspur.ScriptError) as error:
        larkspur.diff(a, bad)
    assert (error.value.line, error.value.message) == (1, "Invalid register data!")
    with larkspur.Board(interface="iic") as evm:
        evm.write(0x11, 0x05)
        assert [change.field for change in evm.diff(a)] == ["cbDACFMT", "tkDAC1"]


def test_export_gives_each_form_of_the_setup(virtual_evm, tmp_path):
    setup = tmp_path / "setup.csv"
    setup.write_bytes(b"0x11, 0x05\r\n0x18, 0xD7\r\n")
    header = larkspur.export(setup)
    assert "#define TESSALY_DACFMT_24BIT_LEFT_JUSTIFIED_DSP 5" in header
    assert "    {0x18, 0xD7}, /* DAC L = -20.0 dB */" in header
    assert "\t{ 0x11, 0x05, 0 }," in larkspur.export(setup, "linux")
    document = json.loads(larkspur.export(setup, "json"))
    assert document["registers"][1] == {"address": 0x11, "value": 0x05}
    dac_l = next(field for field in document["fields"] if field["field"] == "tkDAC1")
    assert (dac_l["name"], dac_l["value"], dac_l["text"]) == ("ATT_DAC1", 0xD7, "-20.0")
    with pytest.raises(ValueError, match="format is c, linux or json, not 'rust'"):
        larkspur.export(setup, "rust")
    with larkspur.Board(interface="iic") as evm:
        evm.write(0x11, 0x05)
        assert "    {0x11, 0x05}," in evm.export()


@pytest.mark.parametrize("field, value, typed", [
    ("DAC L", -12.5, -12.5),                 # an attenuation: a float in dB
    ("DAC L", "-20", -20.0),                 # set from text, read typed
    ("cInvDAC2", True, True),                # a check box: a bool
    ("cInvDAC2", "off", False),
    ("DAC Serial Data Format", "24bit IIS DSP", "24bit IIS DSP"),  # a list: the item's text
    ("rgDACPowSav", 1, "Disable"),           # a radio group by its item's number
])
def test_fields_are_a_mapping_of_typed_values(virtual_evm, field, value, typed):
    with larkspur.Board(interface="iic") as evm:
        evm[field] = value
        assert evm[field] == typed and type(evm[field]) is type(typed)
        assert field in evm and "Loudness" not in evm and 5 not in evm
        assert list(evm) == evm.keys() == [f.name for f in larkspur.fields()]


def test_python_conventions_of_the_package(virtual_evm, tmp_path):
    assert larkspur.__version__.count(".") >= 2
    assert larkspur.fields()[1].choices[:2] == ("24bit IIS", "24bit Left Justified")
    assert next(f for f in larkspur.fields() if f.name == "cInvDAC2").choices == ("on", "off")
    board = larkspur.Board(port="/dev/ttyX9", interface="iic", address=76)
    assert repr(board) == "<larkspur.Board port='/dev/ttyX9' interface=iic address=76 not open>"
    assert "port=the search" in repr(larkspur.Board()) and "Larkspur.ini" in repr(larkspur.Board())
    with larkspur.Board(interface="iic") as evm:
        assert repr(evm).endswith(" open>")
        evm.registers[0x11] = 0x05
        assert evm.registers[0x11] == 0x05
        evm.registers[0x12:0x14] = [0x21, 0x22]
        assert evm.registers[0x11:0x14] == [0x05, 0x21, 0x22]
        with pytest.raises(larkspur.ScriptNotFoundError) as missing:
            evm.run_script(tmp_path / "none.csv")
        assert isinstance(missing.value, FileNotFoundError)
        assert isinstance(missing.value, larkspur.ScriptError)
        assert missing.value.filename == str(tmp_path / "none.csv")
    with pytest.raises(FileNotFoundError):
        larkspur.diff(tmp_path / "none.csv", [0] * 10)
    assert "closed" in repr(evm)
