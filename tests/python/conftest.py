"""The package's own fixtures (larkspur.pytest_plugin) serve its tests; pytester runs a user's
test file with them."""

pytest_plugins = ["larkspur.pytest_plugin", "pytester"]
