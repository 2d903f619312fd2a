"""Finds the tweather module: beside this file (an installed zip carries it), on the
path Python already searches, in TWEATHER_PYTHON_PATH, or in the build folder of the
source tree this add-on was loaded from."""
import importlib
import os
import sys

_here = os.path.dirname(os.path.abspath(__file__))
_candidates = [_here, os.environ.get("TWEATHER_PYTHON_PATH", ""),
               os.path.join(_here, "..", "..", "build", "python")]

tweather = None
problem = ""
for folder in [None, *_candidates]:
    if folder is not None:
        if not folder or not os.path.isdir(folder):
            continue
        sys.path.insert(0, folder)
    try:
        tweather = importlib.import_module("tweather")
        break
    except ImportError as error:
        problem = str(error)
        if folder is not None:
            sys.path.remove(folder)

if tweather is None:
    problem = ("the tweather module was not found (build it with `make build`, or set TWEATHER_PYTHON_PATH "
               "to its folder): " + problem)
