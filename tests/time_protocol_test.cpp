// Whole protocol sessions as an interface runs them under a clock: every kind of "go" gets exactly
// one legal "bestmove", open-ended and ponder searches answer only when told, input that arrives
// during a search is handled as interfaces expect, and "quit" or the end of input never hang.
#include <gtest/gtest.h>

#include "tests/time_session.h"

namespace {

using namespace timetest;

const std::string AFTER_E4_FEN = "rnbqkbnr/pppppppp/8/8/4P3/8/PPPP1PPP/RNBQKBNR b KQkq e3 0 1";

// Reads for `ms` milliseconds and returns what came; a "bestmove" among it is a premature answer.
Lines readFor(EngineProcess& engine, int ms) {
  Lines lines;
  Clock::time_point start = Clock::now();
  for (;;) {
    long long left = ms - msSince(start);
    if (left <= 0) return lines;
    std::optional<std::string> line = engine.readLine(int(left));
    if (!line) return lines;
    lines.push_back(*line);
  }
}

// One search, one legal answer, nothing after it; the answer within `limitMs` when given.
void expectOneLegalAnswer(const std::string& fen, const std::string& go, long long limitMs = -1) {
  SCOPED_TRACE(go + " in " + fen);
  auto engine = startReadyEngine();
  ASSERT_TRUE(engine->send(positionLine(fen)));
  Answer answer = goAndWait(*engine, go);
  ASSERT_FALSE(answer.bestmove.empty()) << "no bestmove";
  EXPECT_TRUE(legalIn(fen, answer.bestmove)) << answer.lines.back();
  if (limitMs >= 0) {
    EXPECT_LE(answer.ms, limitMs);
  }
  EXPECT_EQ(countBestmoves(linesUntilReady(*engine)), 0);
}

// ---- Searches that end on their own ----

TEST(TimeSession, DepthNodesAndMovetime) {
  expectOneLegalAnswer(MIDDLEGAME_FEN, "go depth 4");
  expectOneLegalAnswer(MIDDLEGAME_FEN, "go nodes 30000");
  expectOneLegalAnswer(BLACK_TO_MOVE_FEN, "go movetime 400", 400);
}

TEST(TimeSession, ClockWithAndWithoutIncrement) {
  expectOneLegalAnswer(OPENING_FEN, "go wtime 2000 btime 2000", 2000);
  expectOneLegalAnswer(OPENING_FEN, "go wtime 2000 btime 2000 winc 50 binc 50", 2000);
  // Black's clock is the one that counts when black moves.
  expectOneLegalAnswer(BLACK_TO_MOVE_FEN, "go wtime 600000 btime 1500 winc 0 binc 20", 1500);
  expectOneLegalAnswer(MIDDLEGAME_FEN, "go wtime 1200 btime 1200 movestogo 1", 1200);
}

TEST(TimeSession, IncrementLargerThanTheClock) {
  expectOneLegalAnswer(OPENING_FEN, "go wtime 400 btime 400 winc 3000 binc 3000", 400);
  expectOneLegalAnswer(BLACK_TO_MOVE_FEN, "go wtime 5000 btime 150 winc 2000 binc 2000", 150);
}

TEST(TimeSession, StrangeClockValuesStillGiveAnAnswer) {
  expectOneLegalAnswer(OPENING_FEN, "go wtime -50 btime -50 winc -10 binc -10", 1000);
  expectOneLegalAnswer(OPENING_FEN, "go wtime 0 btime 0", 1000);
  expectOneLegalAnswer(OPENING_FEN, "go wtime 2000 btime 2000 movestogo 0", 2000);
  expectOneLegalAnswer(OPENING_FEN, "go wtime 2000 btime 2000 movestogo -2", 2000);
  expectOneLegalAnswer(OPENING_FEN, "go wtime 2000 btime 2000 movestogo -7", 2000);
  expectOneLegalAnswer(OPENING_FEN, "go movetime 0", 1000);
}

TEST(TimeSession, FirstLimitReachedEndsACombinedSearch) {
  // The depth ends it long before the clock would.
  auto engine = startReadyEngine();
  Answer deep = goAndWait(*engine, "go wtime 600000 btime 600000 depth 2", 10000);
  ASSERT_FALSE(deep.bestmove.empty());
  for (const std::string& line : deep.lines) EXPECT_FALSE(startsWith(line, "info depth 3")) << line;
  // The clock ends it long before the depth would.
  expectOneLegalAnswer(MIDDLEGAME_FEN, "go wtime 500 btime 500 depth 60", 500);
  expectOneLegalAnswer(MIDDLEGAME_FEN, "go movetime 300 depth 60", 300);
  expectOneLegalAnswer(MIDDLEGAME_FEN, "go movetime 300 nodes 100000000", 300);
  expectOneLegalAnswer(MIDDLEGAME_FEN, "go movetime 300 wtime 100000 btime 100000", 300);
  expectOneLegalAnswer(MIDDLEGAME_FEN, "go mate 1 wtime 500 btime 500", 500);
  // The node limit ends it long before the move time would.
  expectOneLegalAnswer(MIDDLEGAME_FEN, "go nodes 2000 movetime 600000", 10000);
}

// ---- Open-ended searches ----

TEST(OpenEndedSession, InfiniteAnswersOnlyAtStopAndOnlyOnce) {
  for (const std::string go : {"go infinite", "go"}) {
    SCOPED_TRACE(go);
    auto engine = startReadyEngine();
    ASSERT_TRUE(engine->send(go));
    EXPECT_TRUE(onlyInfo(readFor(*engine, 600)));
    Answer answer = goAndWait(*engine, "stop", 5000);
    EXPECT_TRUE(legalIn(OPENING_FEN, answer.bestmove)) << answer.bestmove;
    EXPECT_EQ(countBestmoves(linesUntilReady(*engine)), 0);
    EXPECT_EQ(countBestmoves(linesUntilReady(*engine)), 0);
    ASSERT_TRUE(engine->send("stop"));
    EXPECT_EQ(countBestmoves(linesUntilReady(*engine)), 0);
  }
}

TEST(OpenEndedSession, SearchThatEndsOnItsOwnHoldsItsAnswerForStop) {
  // A mate in one is found at once; the answer still waits for "stop".
  auto engine = startReadyEngine();
  ASSERT_TRUE(engine->send(positionLine(MATE_IN_ONE_FEN)));
  ASSERT_TRUE(engine->send("go infinite"));
  EXPECT_TRUE(onlyInfo(readFor(*engine, 800)));
  EXPECT_EQ(countBestmoves(linesUntilReady(*engine)), 0);
  Answer answer = goAndWait(*engine, "stop", 5000);
  EXPECT_EQ(answer.bestmove, MATE_IN_ONE_MOVE);
  EXPECT_EQ(countBestmoves(linesUntilReady(*engine)), 0);
}

TEST(OpenEndedSession, StrayStopAndPonderhitPrintNothing) {
  auto engine = startReadyEngine();
  EXPECT_EQ(linesUntilReady(*engine), Lines{});
  ASSERT_TRUE(engine->send("stop"));
  ASSERT_TRUE(engine->send("ponderhit"));
  EXPECT_EQ(linesUntilReady(*engine), Lines{});
  Answer answer = goAndWait(*engine, "go depth 3");
  ASSERT_FALSE(answer.bestmove.empty());
  ASSERT_TRUE(engine->send("stop"));
  ASSERT_TRUE(engine->send("ponderhit"));
  ASSERT_TRUE(engine->send("stop"));
  EXPECT_EQ(linesUntilReady(*engine), Lines{});
}

// ---- Pondering ----

TEST(PonderSession, PonderhitTurnsItIntoATimedSearch) {
  auto engine = startReadyEngine();
  ASSERT_TRUE(engine->send("position startpos moves e2e4"));
  ASSERT_TRUE(engine->send("go ponder wtime 3000 btime 3000 movestogo 1"));
  // Pondering for longer than the whole budget: the budget counts from "ponderhit" only.
  EXPECT_TRUE(onlyInfo(readFor(*engine, 1500)));
  Answer answer = goAndWait(*engine, "ponderhit", 10000);
  EXPECT_TRUE(legalIn(AFTER_E4_FEN, answer.bestmove)) << answer.bestmove;
  EXPECT_LE(answer.ms, 3000);
  // Budget 3000 / 3 - 100 = 900 ms from "ponderhit"; no new iteration after half of it.
  EXPECT_GE(answer.ms, 300) << "the ponder time was counted against the budget";
  EXPECT_EQ(countBestmoves(linesUntilReady(*engine)), 0);
  // A later "stop" or "ponderhit" has nothing left to answer.
  ASSERT_TRUE(engine->send("stop"));
  ASSERT_TRUE(engine->send("ponderhit"));
  EXPECT_EQ(countBestmoves(linesUntilReady(*engine)), 0);
}

TEST(PonderSession, StopEndsPonderingWithOneAnswer) {
  auto engine = startReadyEngine();
  ASSERT_TRUE(engine->send(positionLine(MIDDLEGAME_FEN)));
  ASSERT_TRUE(engine->send("go ponder wtime 1000 btime 1000"));
  EXPECT_TRUE(onlyInfo(readFor(*engine, 700)));
  Answer answer = goAndWait(*engine, "stop", 5000);
  EXPECT_TRUE(legalIn(MIDDLEGAME_FEN, answer.bestmove)) << answer.bestmove;
  EXPECT_EQ(countBestmoves(linesUntilReady(*engine)), 0);
}

TEST(PonderSession, FinishedPonderSearchWaitsForPonderhitOrStop) {
  for (const std::string answerWord : {"ponderhit", "stop"}) {
    SCOPED_TRACE(answerWord);
    auto engine = startReadyEngine();
    ASSERT_TRUE(engine->send(positionLine(MATE_IN_ONE_FEN)));
    ASSERT_TRUE(engine->send("go ponder wtime 60000 btime 60000"));
    EXPECT_TRUE(onlyInfo(readFor(*engine, 800)));
    EXPECT_EQ(countBestmoves(linesUntilReady(*engine)), 0);
    Answer answer = goAndWait(*engine, answerWord, 5000);
    EXPECT_EQ(answer.bestmove, MATE_IN_ONE_MOVE);
    EXPECT_EQ(countBestmoves(linesUntilReady(*engine)), 0);
  }
}

TEST(PonderSession, PonderLineWithoutClockAnswersAtPonderhit) {
  auto engine = startReadyEngine();
  ASSERT_TRUE(engine->send("go ponder"));
  EXPECT_TRUE(onlyInfo(readFor(*engine, 300)));
  Answer answer = goAndWait(*engine, "ponderhit", 5000);
  EXPECT_TRUE(legalIn(OPENING_FEN, answer.bestmove)) << answer.bestmove;
}

// ---- Input during a search ----

TEST(InputDuringSearch, IsreadyIsAnsweredAndTheSearchGoesOn) {
  auto engine = startReadyEngine();
  ASSERT_TRUE(engine->send("go infinite"));
  sleepMs(200);
  Lines beforeReady = linesUntilReady(*engine, 3000);
  EXPECT_TRUE(onlyInfo(beforeReady));
  EXPECT_TRUE(onlyInfo(readFor(*engine, 300))) << "isready ended the search";
  Answer answer = goAndWait(*engine, "stop", 5000);
  EXPECT_FALSE(answer.bestmove.empty());

  // A timed search also goes on after "readyok" and answers at its own time.
  Clock::time_point start = Clock::now();
  ASSERT_TRUE(engine->send("go movetime 1500"));
  sleepMs(100);
  EXPECT_TRUE(onlyInfo(linesUntilReady(*engine, 3000)));
  Answer timed = readAnswer(*engine, start, 5000);
  EXPECT_FALSE(timed.bestmove.empty());
  EXPECT_GE(timed.ms, 1000) << "isready ended the timed search";
  EXPECT_LE(timed.ms, 1500);
}

TEST(InputDuringSearch, OtherInputEndsATimedSearchAfterItsAnswer) {
  auto engine = startReadyEngine();
  Clock::time_point start = Clock::now();
  ASSERT_TRUE(engine->send("go wtime 600000 btime 600000"));
  sleepMs(150);
  ASSERT_TRUE(engine->send("uci"));
  Answer answer = readAnswer(*engine, start, 5000);
  ASSERT_FALSE(answer.bestmove.empty()) << "the search was not ended by the input";
  EXPECT_TRUE(legalIn(OPENING_FEN, answer.bestmove));
  // The line that ended the search runs after the answer.
  Lines uci = engine->readUntil("uciok", 5000);
  ASSERT_FALSE(uci.empty());
  EXPECT_EQ(uci.front(), "id name Corvanel 0.64");
  EXPECT_EQ(countBestmoves(linesUntilReady(*engine)), 0);
}

TEST(InputDuringSearch, NewPositionAndGoDuringAnInfiniteSearchGetOneAnswerEach) {
  auto engine = startReadyEngine();
  ASSERT_TRUE(engine->send("go infinite"));
  sleepMs(150);
  ASSERT_TRUE(engine->writeRaw(positionLine(BLACK_TO_MOVE_FEN) + "\ngo depth 3\n"));
  Answer first = readAnswer(*engine, Clock::now(), 5000);
  EXPECT_TRUE(legalIn(OPENING_FEN, first.bestmove)) << first.bestmove;
  Answer second = readAnswer(*engine, Clock::now(), 20000);
  EXPECT_TRUE(legalIn(BLACK_TO_MOVE_FEN, second.bestmove)) << second.bestmove;
  EXPECT_EQ(countBestmoves(linesUntilReady(*engine)), 0);
}

// ---- Quit and the end of input ----

TEST(EndOfSession, QuitDuringASearchEndsPromptly) {
  for (const std::string go : {"go infinite", "go ponder wtime 10000 btime 10000",
                               "go wtime 600000 btime 600000", "go depth 60"}) {
    SCOPED_TRACE(go);
    auto engine = startReadyEngine();
    ASSERT_TRUE(engine->send(go));
    sleepMs(200);
    Clock::time_point start = Clock::now();
    ASSERT_TRUE(engine->send("quit"));
    EXPECT_EQ(engine->waitForExit(5000), 0);
    EXPECT_LE(msSince(start), 1000);
  }
}

TEST(EndOfSession, EndOfInputLetsATimedSearchFinish) {
  auto engine = startReadyEngine();
  Clock::time_point start = Clock::now();
  ASSERT_TRUE(engine->send("go movetime 800"));
  engine->closeInput();
  Answer answer = readAnswer(*engine, start, 5000);
  EXPECT_TRUE(legalIn(OPENING_FEN, answer.bestmove)) << answer.bestmove;
  EXPECT_GE(answer.ms, 400) << "the search was cut short";
  EXPECT_LE(answer.ms, 800);
  EXPECT_EQ(engine->waitForExit(5000), 0);
}

TEST(EndOfSession, EndOfInputAnswersAnOpenEndedSearchAtOnce) {
  for (const std::string go : {"go infinite", "go", "go ponder wtime 5000 btime 5000"}) {
    SCOPED_TRACE(go);
    auto engine = startReadyEngine();
    Clock::time_point start = Clock::now();
    ASSERT_TRUE(engine->send(go));
    sleepMs(100);
    engine->closeInput();
    Answer answer = readAnswer(*engine, start, 5000);
    EXPECT_TRUE(legalIn(OPENING_FEN, answer.bestmove)) << answer.bestmove;
    EXPECT_EQ(engine->waitForExit(5000), 0);
    EXPECT_EQ(engine->readLine(1000), std::nullopt) << "a second answer";
  }
  // An open-ended search that had already ended holds its answer until the input ends.
  auto engine = startReadyEngine();
  ASSERT_TRUE(engine->send(positionLine(MATE_IN_ONE_FEN)));
  ASSERT_TRUE(engine->send("go infinite"));
  EXPECT_TRUE(onlyInfo(readFor(*engine, 500)));
  engine->closeInput();
  Answer answer = readAnswer(*engine, Clock::now(), 5000);
  EXPECT_EQ(answer.bestmove, MATE_IN_ONE_MOVE);
  EXPECT_EQ(engine->waitForExit(5000), 0);
}

// ---- Options ----

TEST(TimeOptions, MoveOverheadIsKeptBack) {
  auto engine = startReadyEngine();
  // Names of several words, in any letter case.
  EXPECT_EQ(linesUntilReady(*engine), Lines{});
  ASSERT_TRUE(engine->send("setoption name move OVERHEAD value 900"));
  Answer quick = goAndWait(*engine, "go movetime 1000", 5000);
  EXPECT_FALSE(quick.bestmove.empty());
  EXPECT_LE(quick.ms, 500) << "an overhead of 900 leaves 100 ms of a 1000 ms move";
  ASSERT_TRUE(engine->send("setoption name Move Overhead value 0"));
  Answer full = goAndWait(*engine, "go movetime 600", 5000);
  EXPECT_FALSE(full.bestmove.empty());
  // Without an overhead the whole move time is used (the engine cannot promise then that the
  // answer arrives in time, so only the lower side is checked).
  EXPECT_GE(full.ms, 400) << "no overhead, but the move time was not used";
  // Past the maximum counts as the maximum: a 1 s move is then answered as fast as possible.
  ASSERT_TRUE(engine->send("setoption name Move Overhead value 999999"));
  Answer capped = goAndWait(*engine, "go movetime 1000", 5000);
  EXPECT_LE(capped.ms, 500);
  EXPECT_EQ(linesUntilReady(*engine), Lines{});
}

}  // namespace
