// The fitted constants of the win/draw/loss model (search/wdl_model.h), as written by
// corvanel-wdl-fit; refit and replace this file when the evaluation changes its scale.
// Data: net3-n2000-s3.bin.
// fit: 57049 games, 3522630 positions.
// held out (game number 9 modulo 10): 6380 games, 390134 positions.
// Held-out check: largest difference 0.0166 over ten score bins.
#pragma once

#include "search/wdl_model.h"

constexpr WdlModel FITTED_WDL_MODEL = {
    {798.74693, -2515.0268, 3316.1577, -1511.6167},
    {129.11205, 29.021752, 360.67682, -231.22949},
    1786.0159};
