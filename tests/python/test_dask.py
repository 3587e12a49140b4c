"""The Dask survey of examples/survey_dask.py against kalidor's survey run:
200 made-up stars analysed on a LocalCluster of two workers give the same
catalogue and the same JSON Lines records, byte for byte; the script takes
a running scheduler by its address or its file alone, and the stars of one
table.
"""
import json
import subprocess
import sys

import distributed
import pytest

from conftest import EXAMPLES, made_up_star, run_kalidor, write_julian_dates

SCRIPT = EXAMPLES / "survey_dask.py"

# Debian's tornado and distributed disagree on a deprecation of asyncio's.
pytestmark = pytest.mark.filterwarnings("ignore:make_current is deprecated:DeprecationWarning")
STARS = 200


def run_script(arguments, folder):
    done = subprocess.run([sys.executable, str(SCRIPT)] + [str(a) for a in arguments], cwd=folder,
                          stdin=subprocess.DEVNULL, capture_output=True, timeout=120)
    return done.returncode, done.stdout.decode(), done.stderr.decode()


@pytest.fixture(scope="module")
def field(tmp_path_factory):
    """200 made-up stars, one of too few estimates and a file that cannot be
    read, as Julian-date files in stars/."""
    folder = tmp_path_factory.mktemp("field")
    (folder / "stars").mkdir()
    names = []
    for i in range(STARS):
        name = "stars/s%03d.jud" % i
        write_julian_dates(folder / name, *made_up_star(i, estimates=120))
        names.append(name)
    write_julian_dates(folder / "stars/s100a.jud", [55000, 55001, 55002], [12, 12.5, 12.1])
    (folder / "stars/s150a.jud").write_text("55000.1 12.0\n55000.2 twelve\n")
    return folder, sorted(names + ["stars/s100a.jud", "stars/s150a.jud"])


@pytest.fixture(scope="module")
def command_line_survey(field):
    folder, names = field
    status, out, err = run_kalidor(["--periods", "0.5:50", "--catalogue", "cli.csv"] + names, folder)
    assert status == 1, err  # the short star and the unreadable file are refused
    return out, (folder / "cli.csv").read_text()


@pytest.fixture(scope="module")
def cluster():
    # Worker processes, as on a real cluster; they find the module by the
    # PYTHONPATH they inherit.
    with distributed.LocalCluster(n_workers=2, threads_per_worker=1, processes=True, dashboard_address=":0",
                                  scheduler_kwargs={"dashboard": False}) as local:
        yield local


def test_a_cluster_by_its_address_gives_the_catalogue_of_the_survey_run(field, command_line_survey, cluster):
    folder, _ = field
    records, catalogue = command_line_survey
    status, out, err = run_script(["--periods", "0.5:50", "--catalogue", "dask.csv", "--scheduler",
                                   cluster.scheduler_address, "--partition-size", "16", "stars"], folder)
    assert status == 1, err
    assert (folder / "dask.csv").read_text() == catalogue
    assert out == records
    assert catalogue.count("\n") == STARS + 3 and "too few estimates" in catalogue
    assert "stars/s150a.jud,,,,,,,,,,invalid numeric format on line 2\n" in catalogue


@pytest.fixture(scope="module")
def table_of_stars(tmp_path_factory):
    """A table of six made-up stars with a star column and a seventh without V estimates."""
    folder = tmp_path_factory.mktemp("table")
    rows = ["JD,Magnitude,Band,Star"]
    for star in range(6):
        times, magnitudes = made_up_star(1000 + star, estimates=60)
        rows += ["%.5f,%.3f,V,X%d Cyg" % (2400000 + t, m, star) for t, m in zip(times, magnitudes)]
    rows.append("2455001.5,13.1,B,Y Cyg")
    (folder / "stars.csv").write_text("\n".join(rows) + "\n")
    return folder


@pytest.mark.parametrize("split", ["files", "stars"])
def test_a_table_of_stars_gives_the_catalogue_of_the_survey_run(table_of_stars, cluster, split):
    folder = table_of_stars
    options = ["--periods", "0.5:50", "--band", "V", "--star-column", "Star", "--fap", "model", "--prewhiten",
               "auto:2", "--transform", "exact"]
    if split == "files":  # a method's statistic and the catalogue's column that names it
        options += ["--method", "aov:2"]
    status, records, err = run_kalidor(options + ["--catalogue", "cli.csv", "stars.csv"], folder)
    assert status == 1, err  # Y Cyg has no estimate in V
    # The stars of the table split over the workers of a local cluster that
    # the script starts (--star-column), or the table read by one worker of
    # a running cluster named by its scheduler's file.
    if split == "stars":
        script_options = options + ["--workers", "2"]
    else:
        (folder / "scheduler.json").write_text(json.dumps({"address": cluster.scheduler_address}))
        script_options = [o for o in options if o not in ("--star-column", "Star")]
        script_options += ["--scheduler-file", "scheduler.json"]
    status, out, err = run_script(script_options + ["--catalogue", "dask.csv", "--partition-size", "2",
                                                    "stars.csv"], folder)
    assert status == 1, err
    catalogue = (folder / "dask.csv").read_text()
    assert catalogue == (folder / "cli.csv").read_text()
    assert out == records
    rows = catalogue.splitlines()
    assert [row.split(",")[0] for row in rows[1:]] == ["X%d Cyg" % s for s in range(6)] + ["Y Cyg"]
    method = ",aov:2" if split == "files" else ""
    assert rows[7] == "Y Cyg,stars.csv,,,,,,,,,,the table has no estimates in the band V" + method


def test_bad_settings_end_the_script_with_a_message(tmp_path):
    (tmp_path / "empty").mkdir()
    status, out, err = run_script(["--periods", "1:5", "--workers", "1", "--catalogue", "c.csv", "empty"],
                                  tmp_path)
    assert (status, out, err) == (0, "", "")  # nothing to analyse: an empty catalogue
    assert (tmp_path / "c.csv").read_text().startswith("star,file,band,")
    status, _, err = run_script(["--periods", "1:5", "--intervals", "0", "--catalogue", "c.csv", "empty"], tmp_path)
    assert (status, err) == (1, "survey_dask.py: intervals must be a whole number from 1 to 2147483647\n")
    assert (tmp_path / "c.csv").read_text().startswith("star,file,band,")  # the earlier one stays
    status, _, err = run_script(["--periods", "5", "empty"], tmp_path)
    assert status == 2 and "argument --periods: two numbers A:B, not '5'" in err
