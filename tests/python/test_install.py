"""make install puts the module and its type stub where the system Python
finds them (PREFIX/lib/python3.X/dist-packages on Debian, under DESTDIR),
and the README's recipe for a virtual environment finds them there; the
stub and the signatures of the docstrings describe the module as it is;
the README's example prints what the README says.
"""
import os
import pathlib
import subprocess
import sys
import sysconfig

import pytest

BUILD = pathlib.Path(os.environ.get("KALIDOR_BUILD", pathlib.Path(__file__).resolve().parents[2] / "build"))
CMAKE = os.environ.get("CMAKE", "cmake")
PREFIX = "/opt/kalidor-python-check"


def site_folder(root):
    """PREFIX's folder of the system Python's modules, under root."""
    relative = os.path.relpath(sysconfig.get_path("platlib"), sysconfig.get_path("data"))
    return root / PREFIX.lstrip("/") / relative


@pytest.fixture(scope="module")
def staged(tmp_path_factory):
    root = tmp_path_factory.mktemp("stage")
    # The module's component alone: the whole installation is the
    # install_programs_and_pages test's.
    done = subprocess.run([CMAKE, "--install", str(BUILD), "--component", "python", "--prefix", PREFIX],
                          capture_output=True,
                          env=dict(os.environ, DESTDIR=str(root)), timeout=120)
    assert done.returncode == 0, done.stderr.decode()
    return root


def python_in(folder_on_path, code, python=sys.executable, extra=None):
    environment = {k: v for k, v in os.environ.items() if k != "PYTHONPATH"}
    if folder_on_path:
        environment["PYTHONPATH"] = str(folder_on_path)
    environment.update(extra or {})
    return subprocess.run([str(python), "-c", code], capture_output=True, env=environment, timeout=60, cwd="/")


def test_the_module_and_its_stub_land_under_destdir_and_prefix(staged):
    folder = site_folder(staged)
    assert folder.parts[-1] in ("dist-packages", "site-packages")
    modules = sorted(p.name for p in folder.glob("kalidor*.so"))
    assert len(modules) == 1 and modules[0].startswith("kalidor.cpython-")
    assert (folder / "kalidor.pyi").read_text() == (BUILD / "python" / "kalidor.pyi").read_text()


def test_the_installed_module_imports_and_analyses(staged):
    folder = site_folder(staged)
    done = python_in(folder, "import kalidor, numpy; t = numpy.linspace(0, 30, 100); "
                             "print(kalidor.__file__); "
                             "print(kalidor.analyze(t, numpy.sin(t), periods=(1, 10))['observations'])")
    assert done.returncode == 0, done.stderr.decode()
    where, observations = done.stdout.decode().split()
    assert where.startswith(str(folder)) and observations == "100"


def test_a_virtual_environment_finds_the_module_by_a_pth_file(staged, tmp_path):
    # The README's recipe: a venv of the system Python and a kalidor.pth
    # naming the folder the module was installed into.
    folder = site_folder(staged)
    venv = tmp_path / "venv"
    made = subprocess.run([sys.executable, "-m", "venv", "--without-pip", "--system-site-packages", str(venv)],
                          capture_output=True, timeout=120)
    assert made.returncode == 0, made.stderr.decode()
    python = venv / "bin" / "python"
    site = python_in(None, "import sysconfig; print(sysconfig.get_path('purelib'))", python=python)
    (pathlib.Path(site.stdout.decode().strip()) / "kalidor.pth").write_text(str(folder) + "\n")
    done = python_in(None, "import kalidor; print(kalidor.__file__)", python=python)
    assert done.returncode == 0, done.stderr.decode()
    assert done.stdout.decode().startswith(str(folder))


def test_the_stub_describes_every_function_of_the_module():
    import ast
    import inspect

    import kalidor
    stub = ast.parse((BUILD / "python" / "kalidor.pyi").read_text())
    described = {node.name: node for node in stub.body if isinstance(node, ast.FunctionDef)}
    functions = {name for name, value in vars(kalidor).items() if callable(value) and not name.startswith("_")
                 and not isinstance(value, type)}
    assert set(described) == functions
    for name, node in described.items():
        signature = inspect.signature(getattr(kalidor, name))
        arguments = node.args
        stub_names = [a.arg for a in arguments.args] + [a.arg for a in arguments.kwonlyargs]
        assert stub_names == list(signature.parameters), name
        keyword_only = [p.name for p in signature.parameters.values() if p.kind is p.KEYWORD_ONLY]
        assert [a.arg for a in arguments.kwonlyargs] == keyword_only, name
        defaults = arguments.defaults + [d for d in arguments.kw_defaults if d is not None]
        stub_defaults = [ast.literal_eval(d) for d in defaults]
        module_defaults = [p.default for p in signature.parameters.values() if p.default is not p.empty]
        assert stub_defaults == module_defaults, name


@pytest.mark.filterwarnings("ignore::UserWarning")
def test_the_documented_defaults_are_the_defaults():
    # The signatures above come from the docstrings: calls with the defaults
    # written out must give what calls without them give.
    import inspect

    import numpy

    import kalidor
    t = numpy.linspace(50000, 50030, 60)
    m = numpy.sin(t)
    path = pathlib.Path(os.environ.get("KALIDOR_TEST_DATA", BUILD.parent / "tests" / "data")) / "tcas.jud"
    calls = {
        "analyze": ((t, m), dict(periods=(1, 5))),
        "spectrum": ((t, m), dict(periods=(1, 5))),
        "analyze_many": (([(t, m)],), dict(periods=(1, 5))),
        "read_table": ((path,), {}),
        "read_stars": ((path,), {}),
    }
    for name, (arguments, keywords) in calls.items():
        function = getattr(kalidor, name)
        parameters = inspect.signature(function).parameters.values()
        defaults = {p.name: p.default for p in parameters if p.default is not p.empty}
        implicit = function(*arguments, **keywords)
        explicit = function(*arguments, **dict(defaults, **keywords))
        assert repr(implicit) == repr(explicit), name


def test_the_readme_example_prints_what_the_readme_says():
    sources = pathlib.Path(__file__).resolve().parents[2]
    readme = (sources / "README.md").read_text()
    heading = "An example (from the top of the sources):\n\n"
    start = readme.index(heading) + len(heading)
    block = []
    for line in readme[start:].splitlines():
        if line and not line.startswith("    "):
            break
        block.append(line[4:])
    code = "\n".join(block)
    said = [line.strip()[2:] for line in block if line.strip().startswith("# ") and "+-" in line]
    done = subprocess.run([sys.executable, "-W", "ignore", "-c", code], capture_output=True, cwd=sources,
                          env=dict(os.environ), timeout=120)
    assert done.returncode == 0, done.stderr.decode()
    assert done.stdout.decode().splitlines() == said
