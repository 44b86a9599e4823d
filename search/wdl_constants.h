// The fitted constants of the win/draw/loss model (search/wdl_model.h), as written by
// corvanel-wdl-fit; refit and replace this file when the evaluation changes its scale.
// Data: table-s1.bin.
// fit: 5197 games, 382670 positions.
// held out (game number 9 modulo 10): 579 games, 43063 positions.
// Held-out check: largest difference 0.0507 over ten score bins.
#pragma once

#include "search/wdl_model.h"

constexpr WdlModel FITTED_WDL_MODEL = {
    {420.77912, -1281.2158, 1817.0408, -874.25599},
    {98.437472, -87.815212, 291.13519, -134.09762},
    350.03758};
