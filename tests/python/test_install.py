"""make install puts the module and its type stub where the system Python
finds them (PREFIX/lib/python3.X/dist-packages on Debian, under DESTDIR),
and the README's recipe for a virtual environment finds them there.
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
