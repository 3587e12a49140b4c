"""read_table reads what the command line reads: analyze(**read_table(FILE))
gives the very report of kalidor --report json FILE, for observation files,
Julian-date files and tables, with bands and time conversions; its refusals
are the command line's; read_stars gives one light curve a star of a table.
"""
import json
import math
import pathlib

import warnings

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
    ("sscyg-sample.csv", ["--bands", "V,Vis."], dict(bands="V,Vis."), "10:100"),
    ("sscyg-sample.csv", ["--bands", "all"], dict(bands=["all"][0]), "10:100"),
    ("ztf.csv", [], {}, "1:5"),
    ("ztf.csv", ["--band", "zg"], dict(band="zg"), "1:5"),
    ("ztf.csv", ["--bands", "zr,zg"], dict(bands=["zr", "zg"]), "1:5"),
    ("s1.fits", [], {}, "1:3"),
    ("s1.fits", ["--flux", "sap", "--flux-units", "relative"], dict(flux="sap", flux_units="relative"), "1:3"),
]


def copy_input(name, folder):
    source = (EXAMPLES if name == "example.dat" else TEST_DATA) / name
    (folder / name).write_bytes(source.read_bytes())


def write_sector(path, start, level, obj="TIC 12345"):
    """A FITS light curve as the missions lay it out (written with astropy):
    300 rows of a star of period 1.7 d from TIME = start (days after BJD
    2457000), rows 10 and 20 flagged, row 30 without a flux, row 40 negative."""
    from astropy.io import fits
    time = start + 27.0 * numpy.arange(300) / 300
    flux = (level * (1 + 0.05 * numpy.sin(2 * numpy.pi * time / 1.7))).astype(numpy.float32)
    pdcsap = flux.copy()
    pdcsap[30] = numpy.nan
    pdcsap[40] = -5
    quality = numpy.zeros(300, dtype=numpy.int32)
    quality[10], quality[20] = 512, 1
    columns = [fits.Column(name="TIME", format="D", array=time),
               fits.Column(name="SAP_FLUX", format="E", array=flux * numpy.float32(1.01)),
               fits.Column(name="PDCSAP_FLUX", format="E", array=pdcsap),
               fits.Column(name="PDCSAP_FLUX_ERR", format="E", array=numpy.full(300, level * 0.001, numpy.float32)),
               fits.Column(name="QUALITY", format="J", array=quality)]
    table = fits.BinTableHDU.from_columns(columns, name="LIGHTCURVE")
    for key, value in (("BJDREFI", 2457000), ("BJDREFF", 0.0), ("TIMESYS", "TDB"), ("TIMEUNIT", "d")):
        table.header[key] = value
    primary = fits.PrimaryHDU()
    primary.header["OBJECT"] = obj
    fits.HDUList([primary, table]).writeto(path)


# A survey's download: the sky surveys' column names and a quality flag.
ZTF = ("oid,expid,hjd,mjd,mag,magerr,catflags,filtercode\n" +
       "".join("633,%d,%.5f,%.5f,%.3f,0.02,%d,zr\n" % (i, 2458300.6 + 0.37 * i, 58300.1 + 0.37 * i,
                                                      15 + 0.3 * math.sin(i * 0.37 * 2 * math.pi / 2.3),
                                                      32768 if i % 11 == 5 else 0) for i in range(80)) +
       "".join("633,%d,%.5f,%.5f,%.3f,0.03,0,zg\n" % (100 + i, 2458300.9 + 0.41 * i, 58300.4 + 0.41 * i,
                                                      15.4 + 0.3 * math.sin(i * 0.41 * 2 * math.pi / 2.3))
               for i in range(60)))


def write_input(name, folder):
    if name.endswith(".fits"):
        write_sector(folder / name, 1500.25 if name == "s1.fits" else 1530.5, 1000.0 if name == "s1.fits" else 1300.0)
    elif name == "ztf.csv":
        (folder / name).write_text(ZTF)
    else:
        copy_input(name, folder)


def periods_of(text):
    return tuple(float(p) for p in text.split(":"))


@pytest.mark.parametrize("name, options, choices, periods", READING_CASES,
                         ids=["%s %s" % (c[0], " ".join(c[1])) for c in READING_CASES])
def test_analyze_of_read_table_is_the_command_line_report(tmp_path, monkeypatch, name, options, choices, periods):
    write_input(name, tmp_path)
    status, out, err = run_kalidor(options + ["--periods", periods, "--report", "json", name], tmp_path)
    assert status == 0, err
    monkeypatch.chdir(tmp_path)
    curve = kalidor.read_table(name, **choices)
    with warnings.catch_warnings():
        warnings.simplefilter("ignore", kalidor.AnalysisWarning)
        report = kalidor.analyze(**curve, periods=periods_of(periods))
    assert json.dumps(report) == json.dumps(command_line_report(out, curve))


def command_line_report(out, curve):
    """The command line's report as analyze gives it: a table with a star
    column is a survey run's record, whose notes analyze gives as warnings;
    a star the file names is in analyze's report, not in the batch run's."""
    expected = json.loads(out)
    expected.pop("notes", None)
    if curve["name"] and "star" not in expected:
        expected = dict([("file", expected.pop("file")), ("star", curve["name"])] + list(expected.items()))
    return expected


def test_fits_sectors_of_one_star_are_joined_as_the_command_line_joins_them(tmp_path, monkeypatch):
    for name in ("s1.fits", "s2.fits"):
        write_input(name, tmp_path)
    status, out, err = run_kalidor(["--periods", "1:3", "--join", "--report", "json", "s1.fits", "s2.fits"], tmp_path)
    assert status == 0, err
    monkeypatch.chdir(tmp_path)
    curve = kalidor.read_table(["s1.fits", "s2.fits"])
    assert curve["files_joined"] == 2 and curve["file"] == "s1.fits, s2.fits" and curve["name"] == "TIC 12345"
    with warnings.catch_warnings():
        warnings.simplefilter("ignore", kalidor.AnalysisWarning)
        report = kalidor.analyze(**curve, periods=(1, 3))
    assert json.dumps(report) == json.dumps(command_line_report(out, curve))


def test_read_table_gives_the_arrays_and_what_was_skipped():
    curve = kalidor.read_table(TEST_DATA / "sscyg-sample.csv", band="V")
    assert set(curve) == {"time", "mag", "err", "time_scale", "band", "name", "file", "skipped", "input_form",
                          "flux_column", "relative_flux", "files_joined", "bands", "band_of"}
    assert curve["time"].dtype == numpy.float64 and curve["time"].shape == curve["mag"].shape
    assert curve["err"] is not None and curve["err"].shape == curve["time"].shape
    assert curve["band"] == "V" and curve["time_scale"] == "JD" and curve["input_form"] is None
    assert curve["file"] == str(TEST_DATA / "sscyg-sample.csv")
    assert curve["skipped"]["other_bands"] > 0
    plain = kalidor.read_table(str(TEST_DATA / "tcas.jud"))
    assert plain["err"] is None and plain["band"] is None and plain["name"] is None
    assert len(plain["time"]) == 335 and plain["time"][0] == 47003.5684 and plain["mag"][0] == 11.7
    assert plain["skipped"] == dict(limits=0, other_bands=0, empty=0, flagged=0, non_positive_flux=0)
    several = kalidor.read_table(TEST_DATA / "sscyg-sample.csv", bands=["V", "Vis."])
    assert sorted(several["bands"]) == ["V", "Vis."] and several["band_of"].shape == several["time"].shape
    assert set(several["band_of"]) == {0, 1} and several["input_form"] == "survey"


def test_a_fits_light_curve_tells_how_it_was_read(tmp_path):
    write_sector(tmp_path / "s1.fits", 1500.25, 1000.0)
    curve = kalidor.read_table(tmp_path / "s1.fits")
    assert (curve["input_form"], curve["flux_column"], curve["relative_flux"]) == ("fits", "PDCSAP_FLUX", False)
    assert (curve["time_scale"], curve["name"], len(curve["time"])) == ("BJD_TDB", "TIC 12345", 296)
    assert curve["skipped"] == dict(limits=0, other_bands=0, empty=1, flagged=2, non_positive_flux=1)
    assert curve["time"][0] == 1500.25 + 2457000 - 2400000


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
    (dict(band="V", bands="all"), "band and bands cannot be used together"),
    (dict(bands="V,,B"), 'bands must be "all", band names with commas between, or a list of band names'),
    (dict(bands=[1, 2]), 'bands must be "all", band names with commas between, or a list of band names'),
    (dict(bands=[]), "bands must name at least one band"),
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
        kalidor.read_table(tmp_path / "stars.csv", bands="all")


def test_read_stars_of_a_file_of_one_star_is_read_table():
    (one,) = kalidor.read_stars(TEST_DATA / "tcas.jud")
    plain = kalidor.read_table(TEST_DATA / "tcas.jud")
    assert one.keys() == plain.keys() and numpy.array_equal(one["time"], plain["time"])


def test_a_name_that_is_not_utf8_becomes_the_replacement_character(tmp_path):
    (tmp_path / "latin.csv").write_bytes(b"JD,Magnitude,Star\n2450000.5,3.9,\xe9 Cep\n2450001.5,4.0,\xe9 Cep\n")
    (star,) = kalidor.read_stars(pathlib.Path(tmp_path / "latin.csv"))
    assert star["name"] == "\ufffd Cep"
