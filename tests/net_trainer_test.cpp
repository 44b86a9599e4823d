// The network trainer (corvanel-train): it learns a made-up score from a made-up data file, its
// seeded runs and resumed runs reproduce byte for byte, the engine's integer formula computes what
// the float network computes, every network it can export passes the loader's bounds, and bad
// input ends it with a message instead of a crash.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/wait.h>

#include <algorithm>
#include <cmath>
#include <random>

#include "eval/network.h"
#include "eval/network_file.h"
#include "tests/support.h"
#include "tuning/net_trainer/checkpoint.h"
#include "tuning/net_trainer/float_network.h"
#include "tuning/net_trainer/gradient.h"
#include "tuning/net_trainer/trainer.h"
#include "tuning/training_data.h"

namespace {

// The made-up label: material from the side to move's view, in centipawns.
int materialScore(const Board& board, int side) {
  static const int VALUE[7] = {0, 100, 300, 320, 500, 900, 0};
  int score = 0;
  for (int sq = 0; sq < 64; ++sq) {
    const uint8_t code = board.squares[sq];
    if (code == EMPTY) continue;
    score += (sideOfCode(code) == side ? 1 : -1) * VALUE[kindOf(code)];
  }
  return score;
}

std::string recordBytes(const uint8_t* bytes) {
  return std::string(reinterpret_cast<const char*>(bytes), TRAINING_RECORD_BYTES);
}

// `games` game blocks of `perGame` random legal positions each, scored by material; the result
// follows the score (a win beyond a piece and a half, a loss below, a draw between).
std::string madeUpData(int games, int perGame, unsigned seed) {
  std::mt19937 random(seed);
  std::string bytes;
  uint8_t record[TRAINING_RECORD_BYTES];
  for (int g = 0; g < games; ++g) {
    GameRecord game;
    game.gameIndex = uint64_t(g);
    game.positions = uint32_t(perGame);
    game.plies = uint16_t(perGame + 20);
    game.ending = ENDING_ADJUDGED_DRAW;
    encodeGameRecord(game, record);
    bytes += recordBytes(record);
    for (int i = 0; i < perGame; ++i) {
      const Position position(randomPosition(random, (g + i) % 3 == 0));
      const int side = position.state.side;
      PositionRecord p = packPosition(position.board, side, 0, 20 + i);
      const int score = materialScore(position.board, side);
      p.score = int16_t(score);
      p.result = score > 150 ? RESULT_WIN : score < -150 ? RESULT_LOSS : RESULT_DRAW;
      encodePositionRecord(p, record);
      bytes += recordBytes(record);
    }
  }
  return bytes;
}

// The made-up file of most tests, written once per process and copied into each test's folder.
const std::string& standardData() {
  static const std::string bytes = madeUpData(120, 40, 2024);
  return bytes;
}

// The engine's own evaluation under the installed net, side to move's view (network_test.cpp
// holds it to the file format's formula on every instruction-set path).
int64_t engineEvaluation(const std::string& fen) {
  const Position p(fen);
  static Accumulator accumulator;
  refreshAccumulator(p.board, accumulator);
  return networkOutput(accumulator, p.state.side,
                       __builtin_popcountll(p.board.occupancy[WHITE] | p.board.occupancy[BLACK]));
}

// Positions of every kind: the perft set (openings, middlegames, endgames) and random boards.
std::vector<std::string> tableOfPositions() {
  std::vector<std::string> fens;
  for (const PerftCase& c : loadPerftCases()) fens.push_back(c.fen);
  std::mt19937 random(77);
  for (int i = 0; i < 60; ++i) fens.push_back(randomPosition(random, i % 2 == 0));
  return fens;
}

struct Squares {
  uint8_t at[64];
  int side;
  explicit Squares(const std::string& fen) {
    const Position position(fen);
    std::copy(position.board.squares, position.board.squares + 64, at);
    side = position.state.side;
  }
};

// corvanel-train run in the current folder; its exit code (-1 when it did not exit normally, a
// crash) and its output and messages.
struct ProgramRun {
  int code;
  std::string out, err;
};
ProgramRun runTrainerProgram(const std::string& arguments) {
  const int status =
      std::system(("'" CORVANEL_TRAIN_PATH "' " + arguments + " >train.out 2>train.err").c_str());
  ProgramRun run{WIFEXITED(status) ? WEXITSTATUS(status) : -1, readFile("train.out"),
                 readFile("train.err")};
  // A sanitizer build reports faults on the error stream, whatever the exit code says.
  EXPECT_EQ(run.err.find("Sanitizer"), std::string::npos) << arguments << "\n" << run.err;
  EXPECT_EQ(run.err.find("runtime error"), std::string::npos) << arguments << "\n" << run.err;
  return run;
}

// Small and quick: a few thousand positions, a 32-wide net, small batches.
const char QUICK[] = "--hidden 32 --batch 256 --lr 0.01 --heldout 10 --seed 7";

using NetTrainer = ScratchDirTest;

// The in-process run of most tests: QUICK's settings on data.bin, without progress lines.
TrainerSettings quickSettings(int epochs) {
  TrainerSettings settings;
  settings.dataFiles = {"data.bin"};
  settings.hidden = 32;
  settings.batch = 256;
  settings.learningRate = 0.01;
  settings.heldoutPercent = 10;
  settings.epochs = epochs;
  settings.quiet = true;
  return settings;
}

TEST_F(NetTrainer, HeldOutLossFallsOnMadeUpData) {
  writeFile("data.bin", standardData());
  writeFile("other.bin", madeUpData(20, 40, 99));
  for (uint32_t activation : {ACTIVATION_SCRELU, ACTIVATION_CRELU}) {
    TrainerSettings settings = quickSettings(8);
    settings.validationFiles = {"other.bin"};
    settings.activation = activation;
    settings.threads = 2;
    std::vector<EpochReport> reports;
    std::string error;
    ASSERT_EQ(runTrainer(settings, nullptr, error, &reports), 0) << error;
    ASSERT_EQ(reports.size(), 9u);
    const double start = reports.front().heldoutLoss, end = reports.back().heldoutLoss;
    EXPECT_GT(start, 0);
    EXPECT_LT(end, start / 4) << "activation " << activation;
    // The same on a file it never trained on.
    EXPECT_LT(reports.back().validationLoss, reports.front().validationLoss / 4);
    EXPECT_LT(reports.back().trainingLoss, reports[1].trainingLoss);

    // Material is what it learned: a queen up is clearly good for its owner, a queen down bad.
    TrainerCheckpoint checkpoint;
    ASSERT_TRUE(readCheckpoint("net.ckpt", checkpoint, error)) << error;
    const Squares up("4k3/8/8/8/8/8/8/3QK3 w - - 0 1"), down("4k3/8/8/8/8/8/8/3QK3 b - - 0 1");
    EXPECT_GT(floatEvaluation(checkpoint.net, up.at, up.side), 300);
    EXPECT_LT(floatEvaluation(checkpoint.net, down.at, down.side), -300);
  }
}

TEST_F(NetTrainer, SeededRunsGiveByteIdenticalFiles) {
  writeFile("data.bin", standardData());
  for (const char* threads : {"1", "2"}) {
    for (const char* folder : {"first", "second"}) {
      ASSERT_EQ(mkdir(folder, 0755), 0);
      ASSERT_EQ(chdir(folder), 0);
      const ProgramRun run = runTrainerProgram(std::string(QUICK) + " --epochs 3 --threads " +
                                               threads + " ../data.bin");
      ASSERT_EQ(run.code, 0) << run.err;
      EXPECT_NE(run.out.find("epoch 3/3: training loss"), std::string::npos) << run.out;
      ASSERT_EQ(chdir(".."), 0);
    }
    for (const char* file : {"net.cvnn", "net.ckpt", "net-epoch1.cvnn", "net-epoch3.cvnn"}) {
      const std::string first = readFile(std::string("first/") + file);
      EXPECT_FALSE(first.empty()) << file;
      EXPECT_TRUE(first == readFile(std::string("second/") + file))
          << file << " differs between two runs with " << threads << " threads";
    }
    ASSERT_EQ(std::system("rm -rf first second"), 0);
  }
}

TEST_F(NetTrainer, ResumedRunEqualsTheUninterruptedOne) {
  writeFile("data.bin", standardData());
  // With mirroring too: the checkpoint must carry the setting for the resumed epochs to match.
  // And with output buckets, which the checkpoint must carry as well.
  for (const char* mirror : {"", " --mirror", " --mirror --output-buckets 4"}) {
    for (const char* folder : {"whole", "halves"}) ASSERT_EQ(mkdir(folder, 0755), 0);
    const std::string training =
        std::string(QUICK) + mirror + " --epochs 4 --threads 1 ../data.bin";

    ASSERT_EQ(chdir("whole"), 0);
    ProgramRun run = runTrainerProgram(training);
    ASSERT_EQ(run.code, 0) << run.err;
    ASSERT_EQ(chdir("../halves"), 0);
    run = runTrainerProgram(training + " --stop-after 2");
    ASSERT_EQ(run.code, 0) << run.err;
    EXPECT_NE(run.out.find("stopped after epoch 2"), std::string::npos) << run.out;
    EXPECT_FALSE(fileExists("net.cvnn")) << "the final network before the last epoch";
    EXPECT_TRUE(fileExists("net-epoch2.cvnn"));
    run = runTrainerProgram("--resume net.ckpt --threads 1");
    ASSERT_EQ(run.code, 0) << run.err;
    EXPECT_NE(run.out.find("resuming net.ckpt after epoch 2"), std::string::npos) << run.out;
    EXPECT_EQ(run.out.find("epoch 2/4"), std::string::npos) << run.out;
    EXPECT_EQ(run.out.find("mirrored halves") != std::string::npos, *mirror != 0) << run.out;
    EXPECT_EQ(run.out.find("4 output buckets") != std::string::npos,
              std::string(mirror).find("buckets") != std::string::npos)
        << run.out;
    ASSERT_EQ(chdir(".."), 0);

    for (const char* file : {"net.cvnn", "net.ckpt", "net-epoch4.cvnn"})
      EXPECT_TRUE(readFile(std::string("whole/") + file) ==
                  readFile(std::string("halves/") + file))
          << file << " of the resumed run differs (" << mirror << ")";
    ASSERT_EQ(std::system("rm -rf whole halves"), 0);
  }
}

// Mirroring a position's features is the same as reading the features of the board whose files
// are turned round.
TEST(NetTrainerFeatures, MirroredFeaturesAreThoseOfTheMirroredBoard) {
  for (const std::string& fen : tableOfPositions()) {
    const Squares board(fen);
    uint8_t turned[64];
    for (int sq = 0; sq < 64; ++sq) turned[sq ^ 7] = board.at[sq];
    PositionFeatures mirrored, direct;
    ASSERT_TRUE(featuresOfSquares(board.at, board.side, mirrored)) << fen;
    ASSERT_TRUE(featuresOfSquares(turned, board.side, direct)) << fen;
    mirrorFeatures(mirrored);
    ASSERT_EQ(mirrored.count, direct.count) << fen;
    for (uint16_t* list : {mirrored.us, mirrored.them, direct.us, direct.them})
      std::sort(list, list + mirrored.count);
    EXPECT_TRUE(std::equal(mirrored.us, mirrored.us + direct.count, direct.us)) << fen;
    EXPECT_TRUE(std::equal(mirrored.them, mirrored.them + direct.count, direct.them)) << fen;
  }
}

// The backward pass against the loss itself: each derivative is the slope of the summed loss
// when that one parameter moves (central differences, in doubles of the float loss).
TEST(NetTrainerGradient, MatchesTheSlopeOfTheLoss) {
  std::vector<PositionRecord> positions;
  {
    const std::string bytes = madeUpData(1, 12, 31);
    for (size_t at = TRAINING_RECORD_BYTES; at < bytes.size(); at += TRAINING_RECORD_BYTES) {
      PositionRecord p;
      ASSERT_TRUE(decodePositionRecord(reinterpret_cast<const uint8_t*>(bytes.data() + at), p));
      positions.push_back(p);
    }
  }
  std::vector<uint32_t> order(positions.size());
  for (size_t i = 0; i < order.size(); ++i) order[i] = uint32_t(i);
  const float wdl = 0.3f;
  const std::pair<uint32_t, int> shapes[] = {
      {ACTIVATION_SCRELU, 1}, {ACTIVATION_CRELU, 1}, {ACTIVATION_SCRELU, 8}};
  for (const auto& [activation, buckets] : shapes) {
    FloatNetwork net;
    initialiseNetwork(net, 32, activation, 3, buckets);
    // Biases that put most accumulators inside (0, 1), and output weights large enough to move
    // the loss: every path of the backward pass carries weight.
    for (int i = 0; i < 32; ++i) net.params[net.featureBiasAt() + i] = 0.3f + 0.01f * i;
    for (size_t i = net.outputWeightsAt(); i < net.outputBiasAt(); ++i) net.params[i] *= 8.0f;
    GradientBuffer buffer;
    buffer.reset(net);
    accumulateGradient(net, positions.data(), order.data(), 0, positions.size(), wdl, 1.0f, buffer);
    EXPECT_NEAR(buffer.lossSum, summedLoss(net, positions.data(), 0, positions.size(), wdl, buffer),
                1e-6);
    // Output bias and weights, feature biases, and the weights of pieces present (white king
    // on its square of the first position, from both views).
    PositionFeatures features;
    featuresOfRecord(positions[0], features);
    const int bucket = outputBucket(features.count, buckets);
    std::vector<size_t> checked = {net.outputBiasAt(bucket)};
    for (int i = 0; i < 64; i += 7) checked.push_back(net.outputWeightsAt(bucket) + i);
    for (int i = 0; i < 32; i += 5) checked.push_back(net.featureBiasAt() + i);
    for (int k = 0; k < features.count; k += 3)
      for (int i = 0; i < 32; i += 11) {
        checked.push_back(size_t(features.us[k]) * 32 + i);
        checked.push_back(size_t(features.them[k]) * 32 + i);
      }
    int agreeing = 0;
    for (size_t at : checked) {
      const float saved = net.params[at], step = 1e-3f;
      net.params[at] = saved + step;
      const double above = summedLoss(net, positions.data(), 0, positions.size(), wdl, buffer);
      net.params[at] = saved - step;
      const double below = summedLoss(net, positions.data(), 0, positions.size(), wdl, buffer);
      net.params[at] = saved;
      const double slope = (above - below) / (2.0 * step), derivative = buffer.grad[at];
      // (No accumulator of these positions lies within a step of a corner of the clamp.)
      agreeing += std::fabs(slope - derivative) <= 2e-3 + 0.02 * std::fabs(derivative);
    }
    EXPECT_EQ(agreeing, int(checked.size()))
        << "of " << checked.size() << " (activation " << activation << ", " << buckets
        << " buckets)";
  }
}

// A network file as the start (the next net from the previous one's weights): its loss at the
// start is the loss that network ended with, up to the rounding of its weights.
TEST_F(NetTrainer, StartsFromTheWeightsOfANetworkFile) {
  writeFile("data.bin", standardData());
  TrainerSettings settings = quickSettings(5);
  std::vector<EpochReport> first, next;
  std::string error;
  ASSERT_EQ(runTrainer(settings, nullptr, error, &first), 0) << error;
  settings.init = "net.cvnn";
  settings.out = "next.cvnn";
  settings.epochs = 1;
  ASSERT_EQ(runTrainer(settings, nullptr, error, &next), 0) << error;
  EXPECT_NEAR(next.front().heldoutLoss, first.back().heldoutLoss, first.back().heldoutLoss * 0.05);
  EXPECT_LT(next.front().heldoutLoss, first.front().heldoutLoss / 4);
}

TEST_F(NetTrainer, QuantisedEvaluationMatchesTheFloatOne) {
  writeFile("data.bin", standardData());
  for (const char* activation : {"screlu", "crelu", "screlu --output-buckets 8"}) {
    const ProgramRun run = runTrainerProgram(
        std::string(QUICK) + " --epochs 4 --hidden 64 --activation " + activation + " data.bin");
    ASSERT_EQ(run.code, 0) << run.err;
    TrainerCheckpoint checkpoint;
    std::string error;
    ASSERT_TRUE(readCheckpoint("net.ckpt", checkpoint, error)) << error;
    const std::string file = readFile("net.cvnn");
    QuantisedNetwork loaded;
    ASSERT_TRUE(
        parseNetwork(reinterpret_cast<const uint8_t*>(file.data()), file.size(), loaded, error))
        << error;
    EXPECT_TRUE(serialiseNetwork(loaded) == serialiseNetwork(quantiseNetwork(checkpoint.net)));
    const FloatNetwork onGrid = dequantiseNetwork(loaded);
    ASSERT_TRUE(installNetwork(loaded, "trained", error)) << error;

    // The engine's formula adds at most the truncation of its divisions (1 cp) to the float
    // evaluation of the weights the file holds. Against the trained weights, the rounding of
    // the weights to steps of 1/255 and 1/64 adds more: measured on these nets, about 6 cp on
    // average for SCReLU and 15 for CReLU (whose activations sit at 1 more often, so the coarse
    // output weights count fully), 30 at worst; allowed: 40 per position and 10 or 20 on average.
    double worst = 0, total = 0;
    int count = 0;
    for (const std::string& fen : tableOfPositions()) {
      const Squares position(fen);
      const int64_t engine = engineEvaluation(fen);
      const double trained = floatEvaluation(checkpoint.net, position.at, position.side);
      const double exact = floatEvaluation(onGrid, position.at, position.side);
      EXPECT_NEAR(double(engine), exact, 1.01) << fen;
      EXPECT_NEAR(double(engine), trained, 40.0) << fen << " (" << activation << ")";
      worst = std::max(worst, std::fabs(engine - trained));
      total += std::fabs(engine - trained);
      ++count;

      // The same position with the colours exchanged is the same for the side to move.
      const Squares mirrored(mirrorFen(fen));
      EXPECT_EQ(engineEvaluation(mirrorFen(fen)), engine) << fen;
      EXPECT_NEAR(floatEvaluation(checkpoint.net, mirrored.at, mirrored.side), trained, 1e-3)
          << fen;
    }
    // (8 buckets of this tiny net: about 11 cp, each bucket's output weights trained on a few
    // positions only.)
    const std::string shape = activation;
    EXPECT_LT(total / count, shape == "screlu" ? 10.0 : shape == "crelu" ? 20.0 : 15.0) << shape;
    std::printf("%s: integer against float evaluation, mean %.2f cp, worst %.2f cp\n", activation,
                total / count, worst);
  }
  std::string error;
  EXPECT_TRUE(installEmbeddedNetwork(error)) << error;
}

// Whatever the optimiser does to the weights, the clipped network exports and loads.
TEST(NetTrainerClipping, EveryClippedNetworkPassesTheLoadersBounds) {
  std::mt19937 random(5);
  for (uint32_t activation : {ACTIVATION_SCRELU, ACTIVATION_CRELU})
    for (int hidden : {32, 1024})
      for (float size : {0.5f, 3.0f, 1000.0f}) {
        FloatNetwork net;
        initialiseNetwork(net, hidden, activation, 11, hidden == 32 ? 8 : 1);
        // The worst case for the accumulators: one sign everywhere; for the output sum: every
        // output weight at its limit.
        for (size_t i = 0; i < net.params.size(); ++i)
          net.params[i] = size * (random() % 4 == 0 ? -1.0f : 1.0f);
        clipNetwork(net);
        const QuantisedNetwork q = quantiseNetwork(net);
        std::string error;
        EXPECT_TRUE(networkBoundsHold(q, error))
            << error << " (hidden " << hidden << ", activation " << activation << ", " << size
            << ")";
        const std::vector<uint8_t> bytes = serialiseNetwork(q);
        QuantisedNetwork loaded;
        EXPECT_TRUE(parseNetwork(bytes.data(), bytes.size(), loaded, error)) << error;
        for (int16_t w : q.featureWeights) ASSERT_LE(std::abs(int(w)), 505);
      }
}

struct BadCase {
  const char* arguments;
  int code;
  const char* message;
};

TEST_F(NetTrainer, BadInputIsRefusedWithAMessage) {
  writeFile("data.bin", standardData());
  writeFile("empty.bin", "");
  writeFile("text.bin", "8/8/8/8/8/8/8/8 w - - 0 1\nnot a data file at all, but long enough\n");
  // A whole game whose only position has no black king.
  {
    uint8_t record[TRAINING_RECORD_BYTES];
    GameRecord game;
    game.positions = 1;
    encodeGameRecord(game, record);
    std::string bytes = recordBytes(record);
    const Position position("4k3/8/8/8/8/8/8/4K3 w - - 0 1");
    Board board = position.board;
    board.squares[60] = WHITE_KING;
    encodePositionRecord(packPosition(board, WHITE, 0, 0), record);
    writeFile("kingless.bin", bytes + recordBytes(record));
  }
  ASSERT_EQ(mkdir("folder", 0755), 0);
  const ProgramRun first =
      runTrainerProgram(std::string(QUICK) + " --epochs 1 --out first.cvnn data.bin");
  ASSERT_EQ(first.code, 0) << first.err;
  std::string damaged = readFile("first.ckpt");
  damaged[damaged.size() / 2] ^= 0x40;
  writeFile("damaged.ckpt", damaged);
  writeFile("other.bin", madeUpData(30, 20, 9));

  const BadCase cases[] = {
      {"", 2, "no data file given"},
      {"missing.bin", 1, "cannot open missing.bin"},
      {"empty.bin", 1, "empty.bin holds no whole game (empty)"},
      {"text.bin", 1, "text.bin holds no whole game"},
      {"kingless.bin", 1, "no training positions"},
      {"data.bin missing.bin", 1, "cannot open missing.bin"},
      {"--validate missing.bin data.bin", 1, "cannot open missing.bin"},
      {"folder", 1, "is a directory"},
      {"--hidden 100 data.bin", 2, "bad value for --hidden"},
      {"--hidden 2048 data.bin", 2, "bad value for --hidden"},
      {"--output-buckets 9 data.bin", 2, "bad value for --output-buckets"},
      {"--output-buckets 0 data.bin", 2, "bad value for --output-buckets"},
      {"--batch 0 data.bin", 2, "bad value for --batch"},
      {"--threads 0 data.bin", 2, "bad value for --threads"},
      {"--epochs many data.bin", 2, "bad value for --epochs"},
      {"--wdl 1.5 data.bin", 2, "bad value for --wdl"},
      {"--lr -0.1 data.bin", 2, "bad value for --lr"},
      {"--lr nan data.bin", 2, "bad value for --lr"},
      {"--heldout 80 data.bin", 2, "bad value for --heldout"},
      {"--seed -3 data.bin", 2, "bad value for --seed"},
      {"--activation relu data.bin", 2, "bad value for --activation"},
      {"--frobnicate 1 data.bin", 2, "unknown option --frobnicate"},
      {"data.bin --epochs", 2, "--epochs needs a value"},
      {"--out nowhere/net.cvnn data.bin", 1, "no directory nowhere"},
      {"--resume missing.ckpt", 1, "cannot open checkpoint missing.ckpt"},
      {"--resume data.bin", 1, "not a corvanel-train checkpoint"},
      {"--resume damaged.ckpt", 1, "checksum mismatch"},
      {"--resume first.ckpt other.bin", 1, "the data differ from the checkpoint's"},
      {"--resume first.ckpt --hidden 64", 2, "keeps its checkpoint's training settings"},
      {"--init missing.cvnn data.bin", 1, "cannot open missing.cvnn"},
      {"--init data.bin data.bin", 1, "data.bin: not a Corvanel network"},
      {"--init first.cvnn --hidden 64 data.bin", 1, "is a 768 -> 32 x 2 -> 1 SCReLU network"},
  };
  for (const BadCase& c : cases) {
    const ProgramRun run = runTrainerProgram(c.arguments);
    EXPECT_EQ(run.code, c.code) << c.arguments << "\n" << run.err;
    EXPECT_NE(run.err.find(c.message), std::string::npos) << c.arguments << ":\n" << run.err;
  }
  EXPECT_FALSE(fileExists("net.cvnn"));

  // A torn tail (a stopped data run) is not bad input: it is dropped with a note.
  writeFile("torn.bin", standardData() + standardData().substr(0, 100));
  const ProgramRun torn = runTrainerProgram(std::string(QUICK) + " --epochs 1 torn.bin");
  EXPECT_EQ(torn.code, 0) << torn.err;
  EXPECT_NE(torn.out.find("a torn tail of 100 bytes ignored"), std::string::npos) << torn.out;
}

}  // namespace
