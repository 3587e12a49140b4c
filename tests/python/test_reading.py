"""read_table reads what the command line reads: analyze(**read_table(FILE))
gives the very report of kalidor --report json FILE, for observation files,
Julian-date files and tables, with bands and time conversions; its refusals
are the command line's; read_stars gives one light curve a star of a table.
"""
import json
import pathlib

import numpy
import pytest

import kalidor
from conftest import EXAMPLES, TEST_DATA, run_kalidor

DELTA_CEP = ("22:29:10.27", "+58:24:54.7")

# (file, command-line input options, read_table's arguments, periods)
READING_CASES = [
    ("example.dat", [], {}, "1:20"),
    ("delcep.dat", [], {}, "2:10"),
    ("delcep.dat", ["--heliocentric", *DELTA_CEP], dict(heliocentric=DELTA_CEP), "2:10"),
    ("tcas.jud", [], {}, "100:1000"),
    ("tcas.jud", ["--barycentric", "22.486", "58.415"], dict(barycentric=(22.486, 58.415)), "100:1000"),
    ("delcep.tsv", [], {}, "2:10"),
    ("delcep.tsv", ["--barycentric", *DELTA_CEP], dict(barycentric=DELTA_CEP), "5:6"),
    ("sscyg-sample.csv", [], {}, "10:100"),
    ("sscyg-sample.csv", ["--band", "V"], dict(band="V"), "10:100"),
    ("sscyg-sample.csv", ["--band", "Visual"], dict(band="Visual"), "10:100"),
    ("sscyg-sample.csv", ["--band", "R", "--heliocentric", "21:42:42.8", "+43:35:10"],
     dict(band="R", heliocentric=("21:42:42.8", "+43:35:10")), "10:100"),
]


def copy_input(name, folder):
    source = (EXAMPLES if name == "example.dat" else TEST_DATA) / name
    (folder / name).write_bytes(source.read_bytes())


def periods_of(text):
    return tuple(float(p) for p in text.split(":"))


@pytest.mark.parametrize("name, options, choices, periods", READING_CASES,
                         ids=["%s %s" % (c[0], " ".join(c[1])) for c in READING_CASES])
def test_analyze_of_read_table_is_the_command_line_report(tmp_path, monkeypatch, name, options, choices, periods):
    copy_input(name, tmp_path)
    status, out, err = run_kalidor(options + ["--periods", periods, "--report", "json", name], tmp_path)
    assert status == 0, err
    monkeypatch.chdir(tmp_path)
    curve = kalidor.read_table(name, **choices)
    report = kalidor.analyze(**curve, periods=periods_of(periods))
    assert json.dumps(report) == json.dumps(json.loads(out))


def test_read_table_gives_the_arrays_and_what_was_skipped():
    curve = kalidor.read_table(TEST_DATA / "sscyg-sample.csv", band="V")
    assert set(curve) == {"time", "mag", "err", "time_scale", "band", "name", "file", "skipped"}
    assert curve["time"].dtype == numpy.float64 and curve["time"].shape == curve["mag"].shape
    assert curve["err"] is not None and curve["err"].shape == curve["time"].shape
    assert curve["band"] == "V" and curve["time_scale"] == "JD"
    assert curve["file"] == str(TEST_DATA / "sscyg-sample.csv")
    assert curve["skipped"]["other_bands"] > 0
    plain = kalidor.read_table(str(TEST_DATA / "tcas.jud"))
    assert plain["err"] is None and plain["band"] is None and plain["name"] is None
    assert len(plain["time"]) == 335 and plain["time"][0] == 47003.5684 and plain["mag"][0] == 11.7
    assert plain["skipped"] == dict(limits=0, other_bands=0, empty=0, flagged=0, non_positive_flux=0)


# Files the command line refuses: the same text, as ValueError.
@pytest.mark.parametrize("name, text, options", [
    ("bad.dat", "951009  18.09  3.9\n95100  20.28  4.3\n", []),
    ("empty.dat", "", []),
    ("notable.jud", "50000.1 3.5\n50001.2 3.6\n", ["--band", "V"]),
    ("noband.csv", "JD,Magnitude,Band\n2450000.5,3.9,V\n2450001.5,4.0,V\n", ["--band", "B"]),
    ("nomag.csv", "JD,Band\n2450000.5,V\n", []),
])
def test_read_table_refuses_as_the_command_line(tmp_path, monkeypatch, name, text, options):
    (tmp_path / name).write_text(text)
    status, _, err = run_kalidor(options + ["--periods", "1:10", name], tmp_path)
    assert status == 1 and err.startswith("kalidor: ")
    monkeypatch.chdir(tmp_path)
    with pytest.raises(ValueError) as refusal:
        kalidor.read_table(name, band=options[1] if options else None)
    assert "kalidor: %s\n" % refusal.value == err


def test_a_number_that_cannot_be_read_is_a_value_error(tmp_path):
    # The command line stops with its run-time error 106 here.
    (tmp_path / "bad.jud").write_text("50000.1 3.5\n50001.2 x\n")
    with pytest.raises(ValueError, match="^invalid numeric format on line 2$"):
        kalidor.read_table(tmp_path / "bad.jud")


def test_files_that_cannot_be_opened_raise_os_errors(tmp_path):
    with pytest.raises(FileNotFoundError, match="cannot open .*missing.jud: No such file or directory"):
        kalidor.read_table(tmp_path / "missing.jud")
    with pytest.raises(OSError):
        kalidor.read_table(tmp_path)  # a folder


@pytest.mark.parametrize("keywords, message", [
    (dict(heliocentric=(25, 10)), "heliocentric: the right ascension must be 0 to 24 hours"),
    (dict(heliocentric=("22:29", "+91:00")), "heliocentric: invalid declination '+91:00'"),
    (dict(barycentric=22.5), "barycentric must be (RA, DEC)"),
    (dict(heliocentric=(1, 2), barycentric=(1, 2)), "heliocentric and barycentric exclude each other"),
    (dict(flux="kepler"), 'flux must be "pdcsap" or "sap"'),
    (dict(flux_units="jansky"), 'flux_units must be "mag" or "relative"'),
    (dict(max_estimates=0), "max_estimates must be a whole number from 1"),
    (dict(band=3), "band must be a text (str)"),
    (dict(survey_columns="yes"), "survey_columns must be True or False"),
])
def test_bad_reading_choices_are_refused(keywords, message):
    with pytest.raises(ValueError) as refusal:
        kalidor.read_table(TEST_DATA / "tcas.jud", **keywords)
    assert str(refusal.value).startswith(message)


def test_too_many_estimates_are_refused():
    with pytest.raises(ValueError, match="too many estimates: at most 100 records"):
        kalidor.read_table(TEST_DATA / "tcas.jud", max_estimates=100)


STARS = ("JD,Magnitude,Band,Star\n"
         "2450000.5,3.9,V,AA Aql\n2450000.6,7.1,V,BB Boo\n"
         "2450001.5,4.0,V,AA Aql\n2450001.6,7.3,V,BB Boo\n"
         "2450002.5,3.8,V,AA Aql\n2450002.6,7.0,V,BB Boo\n"
         "2450003.5,4.2,V,AA Aql\n2450003.6,7.2,V,BB Boo\n"
         "2450004.5,4.1,V,AA Aql\n2450004.6,7.4,V,BB Boo\n"
         "2450005.5,3.7,V,AA Aql\n2450005.6,7.3,V,BB Boo\n"
         "2450001.7,9.5,B,CC Cyg\n")


def test_read_stars_gives_one_light_curve_a_star(tmp_path):
    (tmp_path / "stars.csv").write_text(STARS)
    stars = kalidor.read_stars(tmp_path / "stars.csv", band="V")
    assert [s["name"] for s in stars] == ["AA Aql", "BB Boo", "CC Cyg"]
    assert list(stars[0]["mag"]) == [3.9, 4.0, 3.8, 4.2, 4.1, 3.7]
    assert stars[1]["time"][0] == 2450000.6 - 2400000
    assert stars[2] == {"file": str(tmp_path / "stars.csv"), "name": "CC Cyg",
                        "error": "the table has no estimates in the band V"}
    records = kalidor.analyze_many(stars, periods=(1, 3))
    assert records[0]["star"] == "AA Aql" and records[1]["star"] == "BB Boo"
    assert records[2] == {"file": str(tmp_path / "stars.csv"), "star": "CC Cyg",
                          "error": "the table has no estimates in the band V"}
    alone = kalidor.analyze(stars[0]["time"], stars[0]["mag"], periods=(1, 3), file=stars[0]["file"],
                            band="V", name="AA Aql", skipped=stars[0]["skipped"], err=stars[0]["err"])
    records[0].pop("notes", None)
    assert json.dumps(records[0]) == json.dumps(alone)
    with pytest.raises(ValueError, match="the table holds 3 stars; read_stars gives one light curve a star"):
        kalidor.read_table(tmp_path / "stars.csv", survey_columns=True)


def test_read_stars_of_a_file_of_one_star_is_read_table():
    (one,) = kalidor.read_stars(TEST_DATA / "tcas.jud")
    plain = kalidor.read_table(TEST_DATA / "tcas.jud")
    assert one.keys() == plain.keys() and numpy.array_equal(one["time"], plain["time"])


def test_a_name_that_is_not_utf8_becomes_the_replacement_character(tmp_path):
    (tmp_path / "latin.csv").write_bytes(b"JD,Magnitude,Star\n2450000.5,3.9,\xe9 Cep\n2450001.5,4.0,\xe9 Cep\n")
    (star,) = kalidor.read_stars(pathlib.Path(tmp_path / "latin.csv"))
    assert star["name"] == "\ufffd Cep"
