"""The fixtures as a user's test file gets them, in a pytest run of its own."""

SAMPLE = '''
def test_a_users_automation(evm, virtual_evm):
    evm.write(0x11, 7)
    assert virtual_evm.control("get 0x11") == "ok 0x07"
    assert evm.read(0x11) == 7
    virtual_evm.control("fault no-ack read once")
    import larkspur, pytest
    with pytest.raises(larkspur.LinkError):
        evm.read(0x11)
'''


def test_the_fixtures_in_a_users_test_file(pytester):
    pytester.makepyfile(SAMPLE)
    result = pytester.runpytest_subprocess("-p", "larkspur.pytest_plugin", "-p", "no:cacheprovider")
    result.assert_outcomes(passed=1)
