"""Period analysis of variable-star light curves (type stub of the kalidor module)."""
import os
from typing import Any, Dict, Iterable, List, Literal, Mapping, Optional, Sequence, Tuple, TypedDict, Union

import numpy
import numpy.typing

ArrayOfNumbers = numpy.typing.ArrayLike
Fold = Union[None, float, Literal["best"]]
TimeScale = Literal["JD", "HJD", "BJD_TDB"]

MAX_INTERVALS: int

class AnalysisWarning(UserWarning):
    """A note of the analysis: the result stands, but look at it twice."""

class Skipped(TypedDict):
    limits: int
    other_bands: int
    empty: int

class Grid(TypedDict):
    min_period: float
    max_period: float
    intervals: int
    step: float

class Peak(TypedDict):
    period: Optional[float]
    period_error: Optional[float]
    power: Optional[float]
    false_alarm_probability: Optional[float]
    amplitude: Optional[float]
    epoch_of_maximum: Optional[float]

class PrewhiteningStep(TypedDict):
    period: Optional[float]
    period_error: Optional[float]
    amplitude: Optional[float]
    amplitude_error: Optional[float]
    power: Optional[float]
    false_alarm_probability: Optional[float]
    residual_rms: Optional[float]

class FoldReport(TypedDict):
    period: Optional[float]
    epoch: Optional[float]
    amplitude: Optional[float]
    residual_rms: Optional[float]

# The JSON report of kalidor --report json; "star", "prewhitening", "fold"
# and "notes" only when present.
Report = Dict[str, Any]

class LightCurveDict(TypedDict, total=False):
    """A light curve for analyze_many (read_table's and read_stars' dicts);
    "error" instead of the arrays for a star a reader refused."""
    time: ArrayOfNumbers
    mag: ArrayOfNumbers
    err: Optional[ArrayOfNumbers]
    time_scale: TimeScale
    band: Optional[str]
    name: Optional[str]
    file: Optional[str]
    skipped: Optional[Mapping[str, int]]
    input_form: Optional[str]
    flux_column: Optional[str]
    relative_flux: bool
    files_joined: int
    bands: Optional[Sequence[str]]
    band_of: Optional[ArrayOfNumbers]
    error: str

LightCurveEntry = Union[
    LightCurveDict,
    Mapping[str, Any],
    Tuple[ArrayOfNumbers, ArrayOfNumbers],
    Tuple[ArrayOfNumbers, ArrayOfNumbers, ArrayOfNumbers],
]

def analyze(
    time: ArrayOfNumbers,
    mag: ArrayOfNumbers,
    err: Optional[ArrayOfNumbers] = None,
    *,
    periods: Tuple[float, float],
    grid: Optional[Literal["frequency", "period"]] = None,
    oversample: float = 10.0,
    transform: Literal["auto", "exact", "fast"] = "auto",
    intervals: Optional[int] = None,
    peaks: int = 5,
    prewhiten: Union[int, str] = 0,
    weights: Literal["auto", "errors", "none"] = "auto",
    fap: str = "baluev",
    errors: str = "formula",
    noise_window: Optional[float] = None,
    seed: int = 1,
    window: bool = False,
    fold: Fold = None,
    minima: bool = False,
    maxima: bool = False,
    period: Optional[float] = None,
    ephemeris: Optional[Tuple[float, float]] = None,
    extrema_window: Optional[float] = None,
    threads: int = 0,
    method: str = "dcdft",
    durations: Optional[Sequence[float]] = None,
    fold_harmonics: Optional[int] = None,
    time_scale: TimeScale = "JD",
    band: Optional[str] = None,
    name: Optional[str] = None,
    file: Optional[str] = None,
    skipped: Optional[Mapping[str, int]] = None,
    input_form: Optional[Literal["fits", "survey"]] = None,
    flux_column: Optional[str] = None,
    relative_flux: bool = False,
    files_joined: int = 1,
    bands: Optional[Sequence[str]] = None,
    band_of: Optional[ArrayOfNumbers] = None,
) -> Report:
    """Analyse one light curve; return its period report as a dict (the keys
    and numbers of kalidor --report json with the same options).  Raises
    ValueError when refused; the engine's notes come as AnalysisWarning."""
    ...

def spectrum(
    time: ArrayOfNumbers,
    mag: ArrayOfNumbers,
    err: Optional[ArrayOfNumbers] = None,
    *,
    periods: Tuple[float, float],
    grid: Optional[Literal["frequency", "period"]] = None,
    oversample: float = 10.0,
    transform: Literal["auto", "exact", "fast"] = "auto",
    intervals: Optional[int] = None,
    weights: Literal["auto", "errors", "none"] = "auto",
    threads: int = 0,
) -> Tuple[numpy.ndarray, numpy.ndarray]:
    """The trial periods and powers of the spectrum (the numbers of STEM.ven)."""
    ...

def analyze_many(
    light_curves: Iterable[LightCurveEntry],
    *,
    periods: Tuple[float, float],
    grid: Optional[Literal["frequency", "period"]] = None,
    oversample: float = 10.0,
    transform: Literal["auto", "exact", "fast"] = "auto",
    intervals: Optional[int] = None,
    peaks: int = 5,
    prewhiten: Union[int, str] = 0,
    weights: Literal["auto", "errors", "none"] = "auto",
    fap: str = "baluev",
    errors: str = "formula",
    noise_window: Optional[float] = None,
    seed: int = 1,
    window: bool = False,
    fold: Fold = None,
    minima: bool = False,
    maxima: bool = False,
    period: Optional[float] = None,
    ephemeris: Optional[Tuple[float, float]] = None,
    extrema_window: Optional[float] = None,
    threads: int = 0,
    method: str = "dcdft",
    durations: Optional[Sequence[float]] = None,
    fold_harmonics: Optional[int] = None,
    json_lines: bool = False,
) -> List[Any]:
    """One survey-run record a light curve, in order, over several threads:
    a report, or {"file", "star", "error"} for a refused light curve (dicts,
    or with json_lines=True the survey run's JSON Lines texts)."""
    ...

class CurveDict(TypedDict):
    time: numpy.ndarray
    mag: numpy.ndarray
    err: Optional[numpy.ndarray]
    time_scale: TimeScale
    band: Optional[str]
    name: Optional[str]
    file: str
    skipped: Dict[str, int]
    input_form: Optional[Literal["fits", "survey"]]
    flux_column: Optional[str]
    relative_flux: bool
    files_joined: int
    bands: Optional[List[str]]
    band_of: Optional[numpy.ndarray]

class RefusedStar(TypedDict):
    file: str
    name: Optional[str]
    error: str

Position = Tuple[Union[float, str], Union[float, str]]
PathLike = Union[str, bytes, "os.PathLike[str]"]
Bands = Union[str, Sequence[str], None]

def read_table(
    path: Union[PathLike, Sequence[PathLike]],
    band: Optional[str] = None,
    *,
    bands: Bands = None,
    heliocentric: Optional[Position] = None,
    barycentric: Optional[Position] = None,
    flux: Literal["pdcsap", "sap"] = "pdcsap",
    flux_units: Literal["mag", "relative"] = "mag",
    max_estimates: Optional[int] = None,
) -> CurveDict:
    """The light curve of one file (or of FITS sectors joined) as kalidor
    reads it, as analyze's arguments."""
    ...

def read_stars(
    path: PathLike,
    band: Optional[str] = None,
    *,
    bands: Bands = None,
    star_column: Optional[str] = None,
    heliocentric: Optional[Position] = None,
    barycentric: Optional[Position] = None,
    flux: Literal["pdcsap", "sap"] = "pdcsap",
    flux_units: Literal["mag", "relative"] = "mag",
    max_estimates: Optional[int] = None,
) -> List[Union[CurveDict, RefusedStar]]:
    """One light curve a star of a table with a star column (else one), as the
    survey run reads them; a refused star as {"file", "name", "error"}, which
    analyze_many turns into its record."""
    ...
