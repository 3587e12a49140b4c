// The light curve of one star as the analysis takes it.  The value is
// defined beside its readers (lightcurves/lightcurvevalue.h), so that the
// readers need nothing of the analysis; link the lightcurves library (or
// add its folder to the include path) to use it.
#pragma once
#include "lightcurvevalue.h"
