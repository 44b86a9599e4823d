// The fitting tool of the win/draw/loss model: it must give back the constants of made-up games
// drawn from a known model, read datagen's files with whole games held out, and check a model
// bin by bin.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <random>

#include "tests/support.h"
#include "tuning/training_data.h"
#include "tuning/wdl_fit/wdl_fit.h"

namespace {

const WdlModel KNOWN = {{260, -260, 150, -50}, {80, 40, 30, -20}, 500};

// Positions with scores spread as a game's are, each given a result drawn from the model.
std::vector<WdlSample> drawSamples(const WdlModel& model, int count, unsigned seed) {
  std::mt19937_64 random(seed);
  std::normal_distribution<double> score(0, 350);
  std::uniform_int_distribution<int> material(WDL_MATERIAL_MIN, WDL_MATERIAL_MAX);
  std::uniform_real_distribution<double> unit(0, 1);
  std::vector<WdlSample> samples;
  for (int i = 0; i < count; ++i) {
    WdlSample sample;
    sample.score = int(std::lround(score(random)));
    sample.material = material(random);
    const WdlChances chances = wdlChances(model, sample.score, sample.material);
    const double u = unit(random);
    sample.result = u < chances.win ? 2 : u < chances.win + chances.draw ? 1 : 0;
    samples.push_back(sample);
  }
  return samples;
}

TEST(WdlFit, RecoversTheConstantsOfMadeUpGames) {
  const std::vector<WdlSample> samples = drawSamples(KNOWN, 60000, 7);
  const WdlFitResult fit = fitWdlModel(samples, wdlFitStart());
  ASSERT_TRUE(fit.converged);
  // The model must be the known one where it matters: the curves' centre and width over the
  // materials, the scale and the chances themselves.
  for (int material : {10, 25, 40, 55, 70, 78}) {
    EXPECT_NEAR(wdlCentre(fit.model, material), wdlCentre(KNOWN, material),
                0.06 * wdlCentre(KNOWN, material)) << material;
    EXPECT_NEAR(wdlWidth(fit.model, material), wdlWidth(KNOWN, material),
                0.06 * wdlWidth(KNOWN, material)) << material;
    for (int score = -800; score <= 800; score += 100) {
      const WdlChances got = wdlChances(fit.model, score, material);
      const WdlChances want = wdlChances(KNOWN, score, material);
      EXPECT_NEAR(got.win, want.win, 0.02) << material << " " << score;
      EXPECT_NEAR(got.loss, want.loss, 0.02) << material << " " << score;
    }
  }
  EXPECT_NEAR(fit.model.scoreScale, KNOWN.scoreScale, 0.3 * KNOWN.scoreScale);
  // The maximum is a maximum: the known model is no likelier on its own games.
  EXPECT_GE(fit.logLikelihood, wdlLogLikelihood(KNOWN, samples));
}

TEST(WdlFit, ChecksAModelInTenBinsOfEqualCounts) {
  const std::vector<WdlSample> samples = drawSamples(KNOWN, 30000, 11);
  const WdlCheck right = checkWdlModel(KNOWN, samples);
  EXPECT_LT(right.largestDifference, 0.02);
  int previousHighest = -100000;
  for (const WdlCheckBin& bin : right.bins) {
    EXPECT_EQ(bin.positions, 3000);
    EXPECT_GE(bin.lowestScore, previousHighest);
    EXPECT_LE(bin.lowestScore, bin.highestScore);
    previousHighest = bin.highestScore;
  }
  // A model that puts the centre elsewhere is seen to be wrong.
  WdlModel shifted = KNOWN;
  shifted.a[0] += 150;
  EXPECT_GT(checkWdlModel(shifted, samples).largestDifference, 0.05);
}

// A datagen file by hand: game number, positions of (score, result), a white queen on d1 with
// the kings on e1 and e8 (material 9).
void appendGame(std::FILE* file, uint64_t number,
                const std::vector<std::pair<int, int>>& positions) {
  uint8_t bytes[TRAINING_RECORD_BYTES];
  GameRecord game;
  game.gameIndex = number;
  game.positions = uint32_t(positions.size());
  game.plies = uint16_t(positions.size());
  encodeGameRecord(game, bytes);
  std::fwrite(bytes, 1, sizeof bytes, file);
  for (const auto& [score, result] : positions) {
    PositionRecord record;
    record.occupancy = (1ull << 3) | (1ull << 4) | (1ull << 60);
    record.pieces[0] = 4 | (5 << 4);  // white queen, white king
    record.pieces[1] = 11;            // black king
    record.score = int16_t(score);
    record.result = uint8_t(result);
    encodePositionRecord(record, bytes);
    std::fwrite(bytes, 1, sizeof bytes, file);
  }
}

using WdlFitData = ScratchDirTest;

TEST_F(WdlFitData, HoldsOutWholeGamesByNumber) {
  std::FILE* file = std::fopen("games.bin", "wb");
  ASSERT_NE(file, nullptr);
  appendGame(file, 0, {{10, 1}, {20, 2}});
  appendGame(file, 1, {{-30, 0}});
  appendGame(file, 2, {{40, 2}, {50, 2}, {60, 1}});
  appendGame(file, 5, {{70, 0}});
  std::fputs("torn", file);  // a stopped run's tail is dropped
  std::fclose(file);

  WdlSampleSets sets;
  std::string error;
  ASSERT_TRUE(readWdlSamples("games.bin", 3, sets, error)) << error;
  EXPECT_EQ(sets.fitGames, 2);
  EXPECT_EQ(sets.heldoutGames, 2);  // numbers 2 and 5
  ASSERT_EQ(sets.fit.size(), 3u);
  ASSERT_EQ(sets.heldout.size(), 4u);
  EXPECT_EQ(sets.fit[2].score, -30);
  EXPECT_EQ(sets.fit[2].result, 0);
  EXPECT_EQ(sets.heldout[0].score, 40);
  EXPECT_EQ(sets.heldout[3].score, 70);
  for (const WdlSample& sample : sets.fit) EXPECT_EQ(sample.material, 9);

  EXPECT_FALSE(readWdlSamples("missing.bin", 10, sets, error));
  EXPECT_NE(error.find("missing.bin"), std::string::npos) << error;
  writeFile("foreign.bin", std::string(64, 'x'));
  EXPECT_FALSE(readWdlSamples("foreign.bin", 10, sets, error));
}

}  // namespace
