// The fitted constants of the win/draw/loss model (search/wdl_model.h), as written by
// corvanel-wdl-fit; refit and replace this file when the evaluation changes its scale.
// Data: wdl-snapshot.bin.
// fit: 4704 games, 346610 positions.
// held out (game number 9 modulo 10): 523 games, 38543 positions.
// Held-out check: largest difference 0.0519 over ten score bins.
#pragma once

#include "search/wdl_model.h"

constexpr WdlModel FITTED_WDL_MODEL = {
    {418.6643, -1294.3334, 1856.5115, -899.41792},
    {99.498546, -101.41483, 317.08377, -148.75017},
    341.05847};
