"""The type stubs name what the compiled module has, no more and no less."""

import ast
import pathlib

import larkspur
from larkspur import _larkspur


def stub_names():
    tree = ast.parse((pathlib.Path(larkspur.__file__).parent / "_larkspur.pyi").read_text())
    module, session = set(), set()
    for node in tree.body:
        if isinstance(node, ast.ClassDef) and node.name == "Session":
            session = {item.name for item in node.body if isinstance(item, ast.FunctionDef)}
            module.add(node.name)
        elif isinstance(node, (ast.ClassDef, ast.FunctionDef)):
            module.add(node.name)
        elif isinstance(node, ast.AnnAssign):
            module.add(node.target.id)
    return module, session


def test_the_stubs_match_the_module():
    module, session = stub_names()
    public = {name for name in dir(_larkspur) if not name.startswith("_")}
    assert module == public
    methods = {name for name in dir(_larkspur.Session) if not name.startswith("_")}
    assert session - {"__init__"} == methods
    assert (pathlib.Path(larkspur.__file__).parent / "py.typed").exists()
