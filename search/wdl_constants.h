// The fitted constants of the win/draw/loss model (search/wdl_model.h), as written by
// corvanel-wdl-fit; refit and replace this file when the evaluation changes its scale.
// Data: table-s1.bin.
// fit: 25656 games, 1880679 positions.
// held out (game number 9 modulo 10): 2848 games, 204624 positions.
// Held-out check: largest difference 0.0234 over ten score bins.
#pragma once

#include "search/wdl_model.h"

constexpr WdlModel FITTED_WDL_MODEL = {
    {390.08997, -1062.5838, 1387.2066, -619.93299},
    {78.977417, 78.319592, -57.221672, 79.621653},
    351.2226};
