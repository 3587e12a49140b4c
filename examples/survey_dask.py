#!/usr/bin/python3
"""A survey on a Dask cluster: the light curves of many stars analysed by the
kalidor module on the cluster's workers, one catalogue written here.

    survey_dask.py --periods MIN:MAX [OPTION]... INPUT...

INPUT is a folder (its files, in the order of their names) or light-curve
files of any form kalidor reads; a table with a star column gives one light
curve a star.  The files are cut into partitions of a dask.bag; each worker
reads its partition's files (kalidor.read_stars) and analyses them
(kalidor.analyze_many).  With --star-column NAME the tables are read here
and their stars, not the files, are cut into partitions: one large table
of many stars spreads over the cluster too.

The records come back in the order of the input and are printed as
kalidor's survey run prints them (one JSON Lines record a star, byte for
byte the same); --catalogue FILE also writes its CSV catalogue, the same
bytes as kalidor --catalogue FILE over the same files.

Without --scheduler a LocalCluster is started on this machine (--workers
processes of --threads-per-worker threads).  --scheduler ADDRESS
(tcp://host:8786), or --scheduler-file FILE as dask-scheduler wrote it, uses
a running cluster instead; its workers need the kalidor module and must see
the input files at the same absolute paths (a shared file system), and
nothing else changes.

The status is 0 when every star was analysed and 1 when some were refused,
as for kalidor's survey run.
"""
import argparse
import contextlib
import json
import os
import sys

import dask.bag
import distributed

import kalidor


def number(value):
    """A number of the catalogue: full precision, empty when there is none."""
    return "" if value is None else "%.17g" % value


def field(text):
    """A CSV field, quoted when it holds a separator, a quote or a line end."""
    text = "" if text is None else str(text)
    if not any(c in text for c in ',"\n\r'):
        return text
    return '"' + text.replace('"', '""') + '"'


CATALOGUE_HEADER = ("star,file,band,observations,span,period,period_error,power,false_alarm_probability,"
                    "amplitude,epoch_of_maximum,error\n")


def with_method_column(row, method):
    """A method other than the one-sine spectrum adds a last column that names
    it (the power column then holds its statistic), as in kalidor's catalogue."""
    if method in (None, "dcdft"):
        return row
    return row[:-1] + "," + field(method) + "\n"


def catalogue_row(record):
    """The catalogue row of one record: the strongest peak, or the refusal."""
    if "error" in record:
        return "%s,%s,,,,,,,,,,%s\n" % (field(record["star"]), field(record["file"]), field(record["error"]))
    row = "%s,%s,%s,%d,%s," % (field(record.get("star", "")), field(record["file"]), field(record["band"]),
                               record["observations"], number(record["span"]))
    if not record["peaks"]:
        return row + ",,,,,,\n"
    p = record["peaks"][0]
    return row + ",".join(number(p[k]) for k in ("period", "period_error", "power", "false_alarm_probability",
                                                 "amplitude", "epoch_of_maximum")) + ",\n"


def read_stars(name, reading):
    """The light curves of one file for analyze_many, named as given on the
    command line; the workers open it by its absolute path.  A file that
    cannot be read is one entry with its refusal, which becomes its error
    record."""
    given, path = name
    try:
        curves = kalidor.read_stars(path, **reading)
    except (ValueError, OSError) as refusal:
        # Told by the name given, as kalidor tells it.
        return [{"file": given, "name": None, "error": str(refusal).replace(path, given)}]
    for curve in curves:
        curve["file"] = given
    return curves


def analyse_files(names, reading, settings):
    """Run on a worker: reads the files of one partition and analyses their
    stars on one thread; the JSON Lines records in the order of the files."""
    curves = [curve for name in names for curve in read_stars(name, reading)]
    return analyse_curves(curves, settings)


def analyse_curves(curves, settings):
    """Run on a worker: the records of light curves read already."""
    return kalidor.analyze_many(curves, threads=1, json_lines=True, **settings)


def input_files(inputs):
    """The files of the inputs, each as (name as given, absolute path): a
    folder gives its files in the order of their names."""
    files = []
    for name in inputs:
        if os.path.isdir(name):
            files.extend(os.path.join(name, entry) for entry in sorted(os.listdir(name))
                         if os.path.isfile(os.path.join(name, entry)))
        else:
            files.append(name)
    return [(name, os.path.abspath(name)) for name in files]


def survey_bag(options, reading, settings):
    """The records as a dask.bag: of files read by the workers, or of the
    stars of tables read here."""
    files = input_files(options.inputs)
    if options.star_column:
        curves = []
        for name in files:
            curves.extend(read_stars(name, dict(reading, star_column=options.star_column)))
        stars = dask.bag.from_sequence(curves, partition_size=options.partition_size)
        return stars.map_partitions(analyse_curves, settings)
    names = dask.bag.from_sequence(files, partition_size=options.partition_size)
    return names.map_partitions(analyse_files, reading, settings)


def start_client(options, stack):
    """The client of the cluster the options name, or of a LocalCluster started
    here; both are closed when stack closes."""
    if options.scheduler:
        return stack.enter_context(distributed.Client(options.scheduler))
    if options.scheduler_file:
        return stack.enter_context(distributed.Client(scheduler_file=options.scheduler_file))
    # No dashboard; the scheduler's small HTTP server on a free port.
    cluster = stack.enter_context(distributed.LocalCluster(
        n_workers=options.workers, threads_per_worker=options.threads_per_worker, processes=True,
        dashboard_address=":0", scheduler_kwargs={"dashboard": False}))
    return stack.enter_context(distributed.Client(cluster))


class Catalogue:
    """The catalogue file, written beside its name and put in place only when
    complete; an earlier one stays when the survey fails."""

    def __init__(self, name, method):
        self.name = name
        self.method = method
        self.out = None

    def __enter__(self):
        if self.name:
            self.out = open(self.name + ".part", "w", encoding="utf-8", newline="")
            self.out.write(with_method_column(CATALOGUE_HEADER, self.method))
        return self

    def write(self, record):
        if self.out:
            self.out.write(with_method_column(catalogue_row(record), self.method))

    def __exit__(self, failure, *_):
        if self.out:
            self.out.close()
            if failure is None:
                os.replace(self.name + ".part", self.name)
            else:
                os.remove(self.name + ".part")
        return False


def run_survey(options):
    settings = {name: getattr(options, name) for name in SETTINGS if getattr(options, name) is not None}
    # Settings the module refuses are told before any cluster is started.
    kalidor.analyze_many([], **settings)
    reading = dict(band=options.band) if options.band else {}
    refused = 0
    with contextlib.ExitStack() as stack:
        out = stack.enter_context(open(options.jsonl, "w", encoding="utf-8")) if options.jsonl else sys.stdout
        catalogue = stack.enter_context(Catalogue(options.catalogue, options.method))
        client = start_client(options, stack)
        # One future a partition, gathered in order: the records are written
        # as they come and the cluster forgets each partition once written.
        partitions = client.compute(survey_bag(options, reading, settings).to_delayed())
        for partition in partitions:
            for text in partition.result():
                out.write(text)
                record = json.loads(text)
                refused += "error" in record
                catalogue.write(record)
            partition.release()
        out.flush()
    return 1 if refused else 0


def number_pair(text):
    try:
        first, second = (float(part) for part in text.split(":"))
    except ValueError:
        raise argparse.ArgumentTypeError("two numbers A:B, not %r" % text)
    return (first, second)


def fold_choice(text):
    return text if text == "best" else float(text)


def prewhiten_choice(text):
    return int(text) if text.isdigit() else text


def duration_list(text):
    """Box durations as kalidor reads them: A,B,... or FROM:TO:STEP (TO taken
    when a step lands on it)."""
    try:
        if ":" in text:
            start, to, step = (float(part) for part in text.split(":"))
            if not (step > 0 and start <= to and (to - start) / step <= 10000):
                raise ValueError
            durations, k = [], 0
            while start + k * step <= to * (1 + 1e-12):
                durations.append(start + k * step)
                k += 1
            return durations
        return [float(part) for part in text.split(",")]
    except ValueError:
        raise argparse.ArgumentTypeError("shares of the period: A,B,... or FROM:TO:STEP, not %r" % text)


# The settings of kalidor.analyze_many that the options give, each the
# option of kalidor's survey run of the same name.
SETTINGS = ["periods", "method", "durations", "grid", "oversample", "transform", "intervals", "peaks", "prewhiten",
            "weights", "fap", "errors", "noise_window", "seed", "fold", "fold_harmonics", "minima", "maxima", "period",
            "ephemeris", "extrema_window"]


def parse_options(arguments):
    parser = argparse.ArgumentParser(description=__doc__.split("\n\n")[0],
                                     formatter_class=argparse.RawDescriptionHelpFormatter)
    parser.add_argument("inputs", nargs="+", metavar="INPUT", help="a folder, light-curve files, or a table")
    analysis = parser.add_argument_group("the analysis, as kalidor's options of the same names")
    analysis.add_argument("--periods", type=number_pair, required=True, metavar="MIN:MAX",
                          help="trial periods in days")
    analysis.add_argument("--method", metavar="NAME", help="dcdft, harmonics:H, aov:H, pdm:B or bls")
    analysis.add_argument("--durations", type=duration_list, metavar="LIST")
    analysis.add_argument("--grid", choices=["frequency", "period"])
    analysis.add_argument("--oversample", type=float, metavar="S")
    analysis.add_argument("--transform", choices=["auto", "exact", "fast"])
    analysis.add_argument("--intervals", type=int, metavar="K")
    analysis.add_argument("--peaks", type=int, metavar="M")
    analysis.add_argument("--prewhiten", type=prewhiten_choice, metavar="M|auto[:M]")
    analysis.add_argument("--weights", choices=["auto", "errors", "none"])
    analysis.add_argument("--fap", metavar="baluev|model|bootstrap:B")
    analysis.add_argument("--errors", metavar="formula|montecarlo:R")
    analysis.add_argument("--noise-window", type=float, metavar="W")
    analysis.add_argument("--seed", type=int, metavar="N")
    analysis.add_argument("--fold", type=fold_choice, metavar="P|best")
    analysis.add_argument("--fold-harmonics", type=int, metavar="H")
    analysis.add_argument("--minima", action="store_const", const=True)
    analysis.add_argument("--maxima", action="store_const", const=True)
    analysis.add_argument("--period", type=float, metavar="P", help="the period of the extrema")
    analysis.add_argument("--ephemeris", type=number_pair, metavar="EPOCH:PERIOD")
    analysis.add_argument("--extrema-window", type=float, metavar="SHARE")
    reading = parser.add_argument_group("reading")
    reading.add_argument("--band", help="the band of a table (default: the band with most estimates)")
    reading.add_argument("--star-column", metavar="NAME",
                         help="the column of a table that names the star; its stars are split over the cluster")
    output = parser.add_argument_group("output")
    output.add_argument("--catalogue", metavar="FILE", help="also write one CSV row a star to FILE")
    output.add_argument("--jsonl", metavar="FILE", help="the records into FILE instead of standard output")
    cluster = parser.add_argument_group("the cluster").add_mutually_exclusive_group()
    cluster.add_argument("--scheduler", metavar="ADDRESS", help="a running Dask scheduler (tcp://host:8786)")
    cluster.add_argument("--scheduler-file", metavar="FILE",
                         help="the file a running scheduler wrote (dask-scheduler --scheduler-file FILE)")
    local = parser.add_argument_group("a local cluster (without --scheduler)")
    local.add_argument("--workers", type=int, default=os.cpu_count(), help="worker processes")
    local.add_argument("--threads-per-worker", type=int, default=1, help="threads of each worker")
    parser.add_argument("--partition-size", type=int, default=50, help="files (or stars) a partition")
    return parser.parse_args(arguments)


def main(arguments):
    options = parse_options(arguments)
    try:
        return run_survey(options)
    except ValueError as refusal:
        print("survey_dask.py: %s" % refusal, file=sys.stderr)
        return 1


if __name__ == "__main__":
    sys.exit(main(sys.argv[1:]))
