#pragma once

#include "protocol/TesterCodes.h"
#include "simulator/TesterOptions.h"

namespace kr90x {

// Sample k (from 1) of a curve as the tester sends it: the raw whole number, which the
// program scales by its test function (tenths of a bar for oil, low-pressure rail,
// manometer, FSI and TDI). Each curve is one a mechanic would recognise, within its
// chart's axis after that scaling, however many samples are asked for.
int storedSample(StoredTest highPressureTest, CurveChannel channel, int k);

} // namespace kr90x
