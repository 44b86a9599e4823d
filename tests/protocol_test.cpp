// The engine as an interface sees it: the real binary driven through pipes, with the exact text
// of its answers checked.
#include <gtest/gtest.h>

#include <string>
#include <tuple>
#include <vector>

#include "tests/engine_process.h"

namespace {

const char* const KIWIPETE = "r3k2r/p1ppqpb1/bn2pnp1/3PN3/1p2P3/2N2Q1p/PPPBBPPP/R3K2R w KQkq - 0 1";

const Lines START_BOARD = {"tcadract", "pppppppp", "________", "________",
                           "________", "________", "PPPPPPPP", "TCADRACT"};

// "isready" is answered at once, and nothing else was waiting before the answer.
bool answersReady(EngineProcess& engine) {
  return engine.send("isready") && engine.readLine() == std::optional<std::string>("readyok");
}

// "e2e4 20" or "a7a8q 1": a move in coordinate text, a blank, a count. Gives the count or -1.
long long divideLineCount(const std::string& line) {
  size_t blank = line.find(' ');
  if (blank != 4 && blank != 5) return -1;
  for (size_t i = 0; i < 4; i += 2) {
    if (line[i] < 'a' || line[i] > 'h' || line[i + 1] < '1' || line[i + 1] > '8') return -1;
  }
  if (blank == 5 && std::string("qrnb").find(line[4]) == std::string::npos) return -1;
  std::string digits = line.substr(blank + 1);
  if (digits.empty() || digits.find_first_not_of("0123456789") != std::string::npos) return -1;
  return std::stoll(digits);
}

// One rank of "evalpeces": eight cells of five characters and a bar, each blank or a number
// right-aligned.
bool isPieceSquareRow(const std::string& line) {
  if (line.size() != 48) return false;
  for (size_t cell = 0; cell < 48; cell += 6) {
    std::string text = line.substr(cell, 5);
    if (line[cell + 5] != '|') return false;
    size_t start = text.find_first_not_of(' ');
    if (start == std::string::npos) continue;
    if (text[start] == '-') ++start;
    if (start >= 5 || text.find_first_not_of("0123456789", start) != std::string::npos) return false;
  }
  return true;
}

long long perftOf(EngineProcess& engine, const std::string& command) {
  Lines lines = engine.command(command);
  if (lines.size() != 1) return -1;
  return std::stoll(lines[0]);
}

// ---- Start-up and shutdown ----

TEST(ProtocolStartUp, QuitOrEndOfInputEndsWithCodeZeroAndNothingRunsAfterQuit) {
  auto engine = startEngine();
  ASSERT_TRUE(engine->writeRaw("quit\nisready\n"));
  EXPECT_EQ(engine->waitForExit(), 0);
  EXPECT_EQ(engine->readLine(), std::nullopt);

  // The last line counts even without its newline; then end of input ends the engine.
  engine = startEngine();
  ASSERT_TRUE(engine->writeRaw("isready"));
  engine->closeInput();
  EXPECT_EQ(engine->readLine().value_or("<nothing>"), "readyok");
  EXPECT_EQ(engine->waitForExit(), 0);
}

TEST(ProtocolStartUp, ClosedOutputDoesNotKillTheEngine) {
  auto engine = startEngine();
  engine->closeOutput();
  ASSERT_TRUE(engine->send("uci"));
  ASSERT_TRUE(engine->send("perft 3"));
  engine->closeInput();
  EXPECT_EQ(engine->waitForExit(), 0);
}

TEST(ProtocolStartUp, ParameterFileArgument) {
  const std::string path = "/nonexistent/corvanel-params.txt";
  auto engine = startEngine({"-av", path});
  EXPECT_EQ(engine->readLine().value_or("<nothing>"),
            "No es pot obrir fitxer avaluacions " + path);
  EXPECT_EQ(engine->waitForExit(), 0);

  engine = startEngine({"-av", path, "extra"});  // a third argument: the option is ignored
  EXPECT_TRUE(answersReady(*engine));

  engine = startEngine({"-av", CORVANEL_SOURCE_DIR "/eval/default_params.txt"});
  EXPECT_EQ(engine->command("taulell"), START_BOARD);
}

// ---- UCI basics ----

TEST(ProtocolUci, IdentifiesItselfAndItsOptions) {
  auto engine = startEngine();
  ASSERT_TRUE(engine->send("uci"));
  Lines expected = {"id name Corvanel 0.64",
                    "id author Ferrolan",
                    "option name Ponder type check default false",
                    "option name Hash type spin default 128 min 1 max 16384",
                    "option name Clear Hash type button",
                    "option name Move Overhead type spin default 100 min 0 max 5000",
                    "option name Threads type spin default 1 min 1 max 1",
                    "option name UCI_Chess960 type check default false",
                    "uciok"};
  EXPECT_EQ(engine->readUntil("uciok"), expected);
  EXPECT_TRUE(answersReady(*engine));
}

TEST(ProtocolUci, CommandWordsMatchExactly) {
  auto engine = startEngine();
  EXPECT_EQ(engine->command("uci "), Lines{});
  EXPECT_EQ(engine->command("isready "), Lines{});
  EXPECT_EQ(engine->command("taulell "), Lines{});
  // Nothing answered out of turn: the next answer is the board.
  EXPECT_EQ(engine->command("taulell"), START_BOARD);
  EXPECT_EQ(engine->command("ucinewgame"), Lines{});
  EXPECT_EQ(engine->command("debug on"), Lines{});
  EXPECT_EQ(engine->command("no such command"), Lines{});
  EXPECT_EQ(engine->command(""), Lines{});
  EXPECT_EQ(engine->command("22"), Lines{});
}

TEST(ProtocolUci, CarriageReturnLineEndsWork) {
  auto engine = startEngine();
  ASSERT_TRUE(engine->writeRaw("uci\r\nposition startpos moves e2e4\r\ntaulell\r\nisready\r\n"));
  Lines lines = engine->readUntil("readyok");
  ASSERT_EQ(lines.size(), 18u);
  EXPECT_EQ(lines[0], "id name Corvanel 0.64");
  EXPECT_EQ(lines[8], "uciok");
  EXPECT_EQ(lines[13], "____P___");
  EXPECT_EQ(lines[15], "PPPP_PPP");
}

TEST(ProtocolUci, MissingTuningFileIsReported) {
  auto engine = startEngine();
  Lines answer = engine->command("juntarfit");
  ASSERT_EQ(answer.size(), 1u);
  EXPECT_NE(answer[0].find("valorsx12.txt1"), std::string::npos) << answer[0];
}

// ---- Input edge cases ----

TEST(ProtocolInput, MegabyteLineIsIgnoredAndTheNextLineWorks) {
  auto engine = startEngine();
  ASSERT_TRUE(engine->writeRaw(std::string(1 << 20, 'x') + "\n"));
  EXPECT_TRUE(answersReady(*engine));
  EXPECT_EQ(engine->command("taulell"), START_BOARD);
}

TEST(ProtocolInput, OverlongLineIsRefusedWithoutHarmingTheNextLine) {
  auto engine = startEngine();
  ASSERT_TRUE(engine->writeRaw("position startpos moves e2e4 " + std::string(17 << 20, 'x') +
                               "\nposition startpos moves d2d4\n"));
  Lines lines = engine->command("taulell");
  ASSERT_EQ(lines.size(), 9u);
  EXPECT_TRUE(isInfoString(lines[0])) << lines[0];
  EXPECT_EQ(lines[4], "________");
  EXPECT_EQ(lines[5], "___P____");
}

TEST(ProtocolInput, LongPositionLineIsExecutedWhole) {
  // About 1 MB of legal moves on one line.
  std::string line = "position startpos moves";
  for (int i = 0; i < 50000; ++i) line += " g1f3 g8f6 f3g1 f6g8";
  line += " e2e4";
  auto engine = startEngine();
  Lines lines = engine->command(line + "\ntaulell");
  ASSERT_EQ(lines.size(), 8u);
  EXPECT_EQ(lines[4], "____P___");
}

// ---- Positions and the move list ----

TEST(ProtocolPosition, StartPositionWithMoves) {
  auto engine = startEngine();
  EXPECT_EQ(engine->command("taulell"), START_BOARD);
  EXPECT_EQ(engine->command("position startpos moves e2e4 e7e5"), Lines{});
  Lines expected = {"tcadract", "pppp_ppp", "________", "____p___",
                    "____P___", "________", "PPPP_PPP", "TCADRACT"};
  EXPECT_EQ(engine->command("taulell"), expected);
  EXPECT_EQ(engine->command("position startpos"), Lines{});
  EXPECT_EQ(engine->command("taulell"), START_BOARD);
  EXPECT_EQ(engine->command("pf 8/8/8/8/8/8/8/K6k w - - 0 1"), Lines{});
  EXPECT_EQ(engine->command("taulell")[7], "R______r");
}

TEST(ProtocolPosition, SpecialMovesFromTheMoveList) {
  auto engine = startEngine();
  engine->command("position startpos moves e2e4 a7a6 e4e5 d7d5 e5d6");
  Lines enPassant = {"tcadract", "_pp_pppp", "p__P____", "________",
                     "________", "________", "PPPP_PPP", "TCADRACT"};
  EXPECT_EQ(engine->command("taulell"), enPassant);

  engine->command("position fen r3k2r/8/8/8/8/8/8/R3K2R w KQkq - 0 1 moves e1g1 e8c8");
  Lines castled = {"__rt___t", "________", "________", "________",
                   "________", "________", "________", "T____TR_"};
  EXPECT_EQ(engine->command("taulell"), castled);

  engine->command("position fen 8/P6k/8/8/8/8/8/K7 w - - 0 1 moves a7a8n");
  Lines promoted = {"C_______", "_______r", "________", "________",
                    "________", "________", "________", "R_______"};
  EXPECT_EQ(engine->command("taulell"), promoted);
}

TEST(ProtocolPosition, RejectedFenKeepsTheWholeOldGame) {
  auto engine = startEngine();
  engine->command("position startpos moves e2e4");
  Lines before = engine->command("taulell");
  for (const char* bad : {"position fen rnbqkbnr/pppppppp/8 w KQkq - 0 1 moves e7e5",
                          "position fen", "position fen xyz moves e7e5",
                          "pf 8/8/8/8/8/8/8/8 w - - 0 1"}) {
    Lines answer = engine->command(bad);
    ASSERT_EQ(answer.size(), 1u) << bad;
    EXPECT_TRUE(isInfoString(answer[0])) << answer[0];
    EXPECT_EQ(engine->command("taulell"), before) << bad;
  }
  // The game goes on from the kept position.
  engine->command("position startpos moves e2e4 e7e5");
  EXPECT_EQ(engine->command("taulell")[3], "____p___");
}

TEST(ProtocolPosition, IllegalMoveEndsTheListWithOneMessage) {
  auto engine = startEngine();
  Lines answer = engine->command("position startpos moves e2e4 e7e5 e1e3 g1f3");
  ASSERT_EQ(answer.size(), 1u);
  EXPECT_TRUE(isInfoString(answer[0])) << answer[0];
  EXPECT_NE(answer[0].find("e1e3"), std::string::npos) << answer[0];
  Lines expected = {"tcadract", "pppp_ppp", "________", "____p___",
                    "____P___", "________", "PPPP_PPP", "TCADRACT"};
  EXPECT_EQ(engine->command("taulell"), expected);

  // A promotion needs its letter; a pawn cannot jump three squares; a word is no move.
  for (const char* line : {"position fen 8/P6k/8/8/8/8/8/K7 w - - 0 1 moves a7a8",
                           "position startpos moves e2e5", "position startpos moves e2e4 junk"}) {
    answer = engine->command(line);
    ASSERT_EQ(answer.size(), 1u) << line;
    EXPECT_TRUE(isInfoString(answer[0])) << answer[0];
  }
}

TEST(ProtocolPosition, TenThousandMoveGameIsAccepted) {
  // Long reversible stretches (knights going out and back) with a pawn move now and then, so the
  // game line both fills with reversible moves and restarts after irreversible ones.
  std::string line = "position startpos moves";
  auto shuffle = [&line](int cycles) {
    for (int i = 0; i < cycles; ++i) line += " g1f3 g8f6 f3g1 f6g8";
  };
  shuffle(750);
  for (const char* pawns : {"a2a3 a7a6", "b2b3 b7b6", "c2c3 c7c6", "d2d3 d7d6", "e2e3 e7e6",
                            "h2h3 h7h6", "a3a4 a6a5", "b3b4 b6b5", "c3c4 c6c5", "d3d4 d6d5"}) {
    line += std::string(" ") + pawns;
    shuffle(175);
  }
  auto engine = startEngine();
  EXPECT_EQ(engine->command(line), Lines{});
  Lines expected = {"tcadract", "_____pp_", "____p__p", "pppp____",
                    "PPPP____", "____P__P", "_____PP_", "TCADRACT"};
  EXPECT_EQ(engine->command("taulell"), expected);
  // Counting still starts from the set-up position.
  EXPECT_EQ(perftOf(*engine, "perft 1"), 20);
  // And a new game after the long one starts cleanly.
  engine->command("position startpos moves e2e4");
  EXPECT_EQ(engine->command("taulell")[4], "____P___");
  EXPECT_EQ(perftOf(*engine, "perft 2"), 400);
}

// ---- Counting ----

// The command counts the set-up position (not the moves after it); odd depths count as one;
// depths the search line cannot hold are refused. The counts themselves are checked in process.
TEST(ProtocolPerft, CountsTheSetUpPositionAndRefusesOverDeepDepths) {
  struct Case {
    const char* position;
    const char* command;
    long long count;
  };
  const Case cases[] = {
      {"position startpos moves f2f3 e7e5 g2g4 d8h4", "perft 1", 20},
      {"position startpos", "perft 0", 20},
      {"position startpos", "perft", 20},
      {"position startpos", "perft abc", 20},
      {"position startpos", "perft -3", 20},
      {"pf 4k3/8/8/8/8/8/8/4K2R w K - 0 1", "perft 1", 15},
      {"pf rnb1kbnr/pppp1ppp/8/4p3/6Pq/5P2/PPPPP2P/RNBQKBNR w KQkq - 1 3", "perft 3", 0},
      {"pf 7k/5Q2/6K1/8/8/8/8/8 b - - 0 1", "perft 2", 0},
      {"position fen 8/2p5/3p4/KP5r/1R3p1k/8/4P1P1/8 w - - 0 1", "perft 4", 43238},
  };
  auto engine = startEngine();
  for (const Case& c : cases) {
    engine->command(c.position);
    EXPECT_EQ(perftOf(*engine, c.command), c.count) << c.position << " / " << c.command;
  }
  for (const char* line : {"perft 128", "perft 99999999999999999999999", "divide 200"}) {
    Lines answer = engine->command(line);
    ASSERT_EQ(answer.size(), 1u) << line;
    EXPECT_TRUE(isInfoString(answer[0])) << answer[0];
  }
  EXPECT_EQ(perftOf(*engine, "perft 1"), 14);
}

TEST(ProtocolDivide, LinesSumToTheTotalOnePlyDeeper) {
  auto engine = startEngine();
  engine->command("position startpos moves e2e4");
  Lines lines = engine->command("divide 2");
  ASSERT_EQ(lines.size(), 21u);
  long long sum = 0;
  for (size_t i = 0; i + 1 < lines.size(); ++i) {
    long long count = divideLineCount(lines[i]);
    ASSERT_GE(count, 0) << lines[i];
    sum += count;
  }
  EXPECT_EQ(lines.back(), "Total " + std::to_string(sum));
  EXPECT_EQ(sum, 8902);
  EXPECT_EQ(perftOf(*engine, "perft 3"), sum);
  // Counting leaves the game as it was.
  EXPECT_EQ(engine->command("taulell")[4], "____P___");

  engine->command(std::string("pf ") + KIWIPETE);
  lines = engine->command("divide 1");
  ASSERT_EQ(lines.size(), 49u);
  EXPECT_EQ(lines.back(), "Total 2039");
}

// Stockfish's form, of the current position (its moves applied): "move: count" per legal move,
// a blank line, "Nodes searched: N" and a blank line.
TEST(ProtocolGoPerft, StockfishFormOfTheCurrentPosition) {
  auto engine = startEngine();
  engine->command("position startpos moves e2e4");
  for (const auto& [command, perMove, total] :
       {std::tuple<const char*, long long, long long>{"go perft 0", 1, 20},
        {"go perft 1", 1, 20}, {"go perft 2", -1, 600}}) {
    Lines lines = engine->command(command);
    ASSERT_EQ(lines.size(), 23u) << command;
    long long sum = 0;
    for (size_t i = 0; i < 20; ++i) {
      ASSERT_EQ(lines[i].find(": "), 4u) << lines[i];
      ASSERT_GE(divideLineCount(lines[i].substr(0, 4) + " " + lines[i].substr(6)), 0) << lines[i];
      long long count = std::stoll(lines[i].substr(6));
      if (perMove >= 0) {
        EXPECT_EQ(count, perMove) << lines[i];
      }
      sum += count;
    }
    EXPECT_EQ(sum, total) << command;
    EXPECT_EQ(Lines(lines.begin() + 20, lines.end()),
              (Lines{"", "Nodes searched: " + std::to_string(total), ""}))
        << command;
  }
  Lines refused = engine->command("go perft 200");
  ASSERT_EQ(refused.size(), 1u);
  EXPECT_TRUE(isInfoString(refused[0])) << refused[0];
  // Nothing was searched: no bestmove follows.
  EXPECT_EQ(engine->command("taulell")[4], "____P___");
}

// ---- Printing the piece-square values ----

TEST(ProtocolEvalPeces, TableShapeForBothPhases) {
  auto engine = startEngine();
  const std::string separator = "-----+-----+-----+-----+-----+-----+-----+-----+";
  for (const char* command : {"evalpeces", "evalpecesf"}) {
    Lines lines = engine->command(command);
    ASSERT_EQ(lines.size(), 17u) << command;
    for (size_t i = 0; i < lines.size(); ++i) {
      if (i % 2 == 0) {
        EXPECT_EQ(lines[i], separator);
      } else {
        EXPECT_TRUE(isPieceSquareRow(lines[i])) << lines[i];
      }
    }
  }
}

}  // namespace
