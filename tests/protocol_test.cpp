// The engine as an interface sees it: the real program driven through pipes, the exact text of
// its answers, long and broken input, the form of the search's output, and the bench signature
// written in the README.
#include <gtest/gtest.h>

#include <cstring>
#include <map>
#include <fstream>
#include <regex>

#include "eval/params.h"
#include "frontend/search_commands.h"
#include "frontend/evaluation_options.h"
#include "tests/engine_process.h"
#include "tests/support.h"

namespace {

const Lines START_BOARD = {"tcadract", "pppppppp", "________", "________",
                           "________", "________", "PPPPPPPP", "TCADRACT"};
const Lines AFTER_E4_E5 = {"tcadract", "pppp_ppp", "________", "____p___",
                           "____P___", "________", "PPPP_PPP", "TCADRACT"};

Lines withBoard(Lines first, const Lines& board) {
  first.insert(first.end(), board.begin(), board.end());
  return first;
}

// Each line is sent and followed by "isready"; what the engine printed before "readyok" must be
// exactly the listed lines. One engine plays the whole table, each row going on from the last.
struct Exchange {
  std::string send;
  Lines answer;
};

void expectDialogue(const std::vector<Exchange>& rows) {
  auto engine = startEngine();
  for (const Exchange& row : rows) EXPECT_EQ(engine->command(row.send), row.answer) << row.send;
}

TEST(ProtocolText, IdentificationOptionsAndCommandWords) {
  expectDialogue({
      {"uci",
       {"id name Corvanel 0.64", "id author Ferrolan",
        "option name Ponder type check default false",
        "option name Hash type spin default 128 min 1 max 16384",
        "option name Clear Hash type button",
        "option name Move Overhead type spin default 100 min 0 max 5000",
        "option name Threads type spin default 1 min 1 max 256",
        "option name MultiPV type spin default 1 min 1 max 256",
        "option name UCI_Chess960 type check default false",
        "option name EvalFile type string default <default>",
        std::string("option name TableEvaluation type check default ") +
            (TABLE_EVALUATION_DEFAULT ? "true" : "false"),
        "option name UCI_ShowWDL type check default false",
        "option name UCI_LimitStrength type check default false",
        "option name UCI_Elo type spin default 1700 min 1350 max 1900",
#ifdef CORVANEL_SYZYGY
        "option name SyzygyPath type string default <empty>",
        "option name SyzygyProbeDepth type spin default 1 min 1 max 100",
        "option name Syzygy50MoveRule type check default true",
        "option name SyzygyProbeLimit type spin default 7 min 0 max 7",
#endif
        "uciok"}},
      // Command words match exactly; anything else is ignored without a word.
      {"uci ", {}},
      {"isready ", {}},
      {"taulell ", {}},
      {"debug on", {}},
      {"no such command", {}},
      {"", {}},
      {"22", {}},
      {"ucinewgame", {}},
      {"stop", {}},
      {"ponderhit", {}},
      {"taulell", START_BOARD},
      {"setoption name Hash value 100", {"Not power of two"}},
      {"setoption name hash value 16", {}},
      {"setoption name Clear Hash", {}},
      {"setoption name Ponder value true", {}},
      {"setoption name Threads value 1", {}},
      {"setoption name Move Overhead value none", {}},
      {"setoption name Hash value 131072",
       {"info string Error en assignar 131072 MB per la hash; es mante la de 16 MB"}},
  });
}

TEST(ProtocolText, PositionsAndMoveLists) {
  expectDialogue({
      {"position startpos moves e2e4 e7e5\ntaulell", AFTER_E4_E5},
      {"position startpos moves e2e4 a7a6 e4e5 d7d5 e5d6\ntaulell",
       {"tcadract", "_pp_pppp", "p__P____", "________", "________", "________", "PPPP_PPP",
        "TCADRACT"}},
      {"position fen r3k2r/8/8/8/8/8/8/R3K2R w KQkq - 0 1 moves e1g1 e8c8\ntaulell",
       {"__rt___t", "________", "________", "________", "________", "________", "________",
        "T____TR_"}},
      {"position fen 8/P6k/8/8/8/8/8/K7 w - - 0 1 moves a7a8n\ntaulell",
       {"C_______", "_______r", "________", "________", "________", "________", "________",
        "R_______"}},
      {"position startpos moves e2e4\r\ntaulell\r",  // CR LF line ends
       {"tcadract", "pppppppp", "________", "________", "____P___", "________", "PPPP_PPP",
        "TCADRACT"}},
      // The first bad move ends the list with one line; the moves before it stand.
      {"position startpos moves e2e4 e7e5 e1e3 g1f3\ntaulell",
       withBoard({"info string illegal move e1e3: the moves from it on are ignored"}, AFTER_E4_E5)},
      {"position startpos moves e2e5",
       {"info string illegal move e2e5: the moves from it on are ignored"}},
      {"position fen 8/P6k/8/8/8/8/8/K7 w - - 0 1 moves a7a8",
       {"info string illegal move a7a8: the moves from it on are ignored"}},
      {"position startpos moves e2e4 junk",
       {"info string malformed move \"junk\": the moves from it on are ignored"}},
      // A refused FEN keeps the whole previous game, move list and all.
      {"position startpos moves e2e4 e7e5", {}},
      {"position fen xyz moves e7e5\ntaulell",
       withBoard(
           {"info string position refused (bad character in the piece placement); the previous "
            "position stays"},
           AFTER_E4_E5)},
      {"pf 8/8/8/8/8/8/8/8 w - - 0 1",
       {"info string position refused (each side needs exactly one king); the previous position "
        "stays"}},
      {"pf 8/8/8/8/8/8/8/K6k w - - 0 1\ntaulell",
       {"________", "________", "________", "________", "________", "________", "________",
        "R______r"}},
  });
}

TEST(ProtocolText, CountingExchangesAndEmptyRoots) {
  // A rook that takes a guarded pawn loses the rook for the pawn, at the built-in values.
  initEngineTables();
  const std::string rookForPawn = std::to_string(PieceValueMg[0] - PieceValueMg[3]);
  expectDialogue({
      // perft counts the set-up position, not the moves after it; odd depths count as 1.
      {"position startpos moves f2f3 e7e5 g2g4 d8h4\nperft 1", {"20"}},
      {"perft 0", {"20"}},
      {"perft abc", {"20"}},
      {"perft -3", {"20"}},
      {"pf 4k3/8/8/8/8/8/8/4K2R w K - 0 1\nperft 1", {"15"}},
      {"position fen 8/2p5/3p4/KP5r/1R3p1k/8/4P1P1/8 w - - 0 1\nperft 4", {"43238"}},
      {"perft 128", {"info string perft depth too deep (at most 127)"}},
      {"perft 99999999999999999999999", {"info string perft depth too deep (at most 127)"}},
      {"divide 200", {"info string divide depth too deep (at most 127)"}},
      {"position fen 4k3/8/4p3/3p4/8/8/8/3RK3 w - - 0 1\nSEE d1d5", {rookForPawn}},
      {"SEE d1d4", {"0"}},
      {"SEE e1e3", {"info string SEE: \"e1e3\" is not a legal move in this position"}},
      {"SEE z9", {"info string SEE: \"z9\" is not a legal move in this position"}},
      {"position fen 4k3/P7/8/8/8/8/8/4K3 w - - 0 1\nSEE a7a8q", {"0"}},
      {"SEE a7a8", {"info string SEE: \"a7a8\" is not a legal move in this position"}},
      {"position startpos\nSEE h2f5",
       {"info string SEE: \"h2f5\" is not a legal move in this position"}},
      // Stalemate and checkmate at the root: the reason, then the null move.
      {"position fen 7k/5Q2/6K1/8/8/8/8/8 b - - 0 1\ngo depth 6",
       {"info depth 0 score cp 0", "bestmove 0000"}},
      {"position startpos moves f2f3 e7e5 g2g4 d8h4\ngo depth 6",
       {"info depth 0 score mate 0", "bestmove 0000"}},
  });
}

TEST(ProtocolText, DivideEvalAndPieceSquareTables) {
  auto engine = startEngine();
  Lines lines = engine->command("position startpos moves e2e4\ndivide 2");
  ASSERT_EQ(lines.size(), 21u);
  long long sum = 0;
  const std::regex moveCount("[a-h][1-8][a-h][1-8][qrnb]? ([0-9]+)");
  for (size_t i = 0; i + 1 < lines.size(); ++i) {
    std::smatch m;
    ASSERT_TRUE(std::regex_match(lines[i], m, moveCount)) << lines[i];
    sum += std::stoll(m[1]);
  }
  EXPECT_EQ(sum, 8902);
  EXPECT_EQ(lines.back(), "Total 8902");
  // "go perft" counts the position after the move list, in Stockfish's form.
  lines = engine->command("go perft 2");
  ASSERT_EQ(lines.size(), 23u);
  const std::regex perMove("[a-h][1-8][a-h][1-8][qrnb]?: ([0-9]+)");
  sum = 0;
  for (size_t i = 0; i < 20; ++i) {
    std::smatch m;
    ASSERT_TRUE(std::regex_match(lines[i], m, perMove)) << lines[i];
    sum += std::stoll(m[1]);
  }
  EXPECT_EQ(sum, 600);
  EXPECT_EQ(Lines(lines.begin() + 20, lines.end()), (Lines{"", "Nodes searched: 600", ""}));
  EXPECT_TRUE(isInfoString(engine->command("go perft 200").at(0)));
  EXPECT_EQ(engine->command("taulell")[4], "____P___");  // counting left the game alone
  for (const char* fen : {"r1bqkb1r/pppp1ppp/2n2n2/4p3/2B1P3/5N2/PPPP1PPP/RNBQK2R b KQkq - 5 4",
                          "rnbqkbnr/pppp1ppp/8/4p3/4P3/8/PPPP1PPP/RNBQKBNR w KQkq - 0 2"})
    EXPECT_EQ(engine->command(std::string("position fen ") + fen + "\neval"),
              Lines{std::to_string(whiteEval(fen))});
  for (const char* command : {"evalpeces", "evalpecesf"}) {
    lines = engine->command(command);
    ASSERT_EQ(lines.size(), 17u);
    for (size_t i = 0; i < lines.size(); ++i)
      EXPECT_TRUE(
          std::regex_match(lines[i], std::regex(i % 2 ? "([ 0-9-]{5}\\|){8}" : "(-{5}\\+){8}")))
          << command << ": " << lines[i];
  }
}

// ---- Start, end and hard input ----

TEST(ProtocolInput, QuitAndTheEndOfInputEndTheEngineWithCodeZero) {
  auto engine = startEngine({}, false);
  ASSERT_TRUE(engine->writeRaw("quit\nisready\n"));
  EXPECT_EQ(engine->waitForExit(), 0);
  EXPECT_EQ(engine->readLine(), std::nullopt) << "something ran after quit";
  // The last line counts without its newline; an interface that stops reading changes nothing.
  engine = startEngine({}, false);
  ASSERT_TRUE(engine->writeRaw("isready"));
  engine->closeInput();
  EXPECT_EQ(engine->readLine().value_or("<nothing>"), "readyok");
  EXPECT_EQ(engine->waitForExit(), 0);
  engine = startEngine({}, false);
  engine->closeOutput();
  ASSERT_TRUE(engine->send("uci") && engine->send("go depth 3"));
  engine->closeInput();
  EXPECT_EQ(engine->waitForExit(), 0);
}

// Words after the program's name are commands, run in order (after "-av FILE" when it comes
// first), and then the program ends without waiting for input. A search a word orders runs to
// its end before the next word: "quit" right behind "go depth 8" does not cut it short.
TEST(ProtocolInput, ArgumentsRunAsCommands) {
  struct Case {
    std::vector<std::string> args;
    bool closeInput;  // an open-ended search ends only when no "stop" can come
    int exitCode;
  } const cases[] = {
      {{"setoption name Hash value 16", "position startpos", "go depth 8", "quit"}, false, 0},
      {{"-av", CORVANEL_SOURCE_DIR "/eval/default_params.txt", "position startpos moves e2e4",
        "eval", "go depth 2"},
       false,
       0},
      {{"go infinite", "isready"}, true, 0},
      {{"-av"}, false, 1},
      {{"-av", "/nonexistent/params.txt"}, false, 0},
  };
  for (const Case& c : cases) {
    auto engine = startEngine(c.args, false);
    if (c.closeInput) engine->closeInput();
    Lines lines;
    while (auto line = engine->readLine()) lines.push_back(*line);
    EXPECT_EQ(engine->waitForExit(), c.exitCode) << c.args[0];
    int bestmoves = 0, deepest = 0;
    for (const std::string& line : lines) {
      if (startsWith(line, "bestmove ")) ++bestmoves;
      if (startsWith(line, "info depth ")) deepest = std::max(deepest, std::stoi(line.substr(11)));
    }
    if (c.args[0] == "-av" && c.args.size() <= 2) {
      EXPECT_EQ(lines, Lines{c.args.size() == 1
                                 ? "info string -av needs the name of a parameter file"
                                 : "No es pot obrir fitxer avaluacions " + c.args[1]});
    } else if (c.args[0] == "-av") {
      ASSERT_GE(lines.size(), 2u);
      EXPECT_EQ(lines[0], "info string -av " + c.args[1] + ": the table evaluation plays");
      EXPECT_EQ(lines[1], std::to_string(whiteEval(
                              "rnbqkbnr/pppppppp/8/8/4P3/8/PPPP1PPP/RNBQKBNR b KQkq e3 0 1")));
      EXPECT_EQ(bestmoves, 1);
      EXPECT_EQ(deepest, 2);
    } else {
      EXPECT_EQ(bestmoves, 1) << c.args[0];
      ASSERT_FALSE(lines.empty());
      // "quit" came right behind "go depth 8"; "isready" behind "go infinite".
      const bool quits = c.args.back() == "quit";
      EXPECT_EQ(deepest, quits ? 8 : deepest);
      EXPECT_TRUE(quits ? startsWith(lines.back(), "bestmove ") : lines.back() == "readyok")
          << lines.back();
    }
  }
}

#if !defined(__SANITIZE_ADDRESS__) && !defined(__SANITIZE_THREAD__)
// Too little memory for the table at start: a message, then exit code 1. (The sanitizers reserve
// their shadow memory at start, so under them a small address-space limit stops the program first.)
TEST(ProtocolInput, TooLittleMemoryForTheTableIsSaid) {
  FILE* pipe = popen("ulimit -v 65536 && exec '" CORVANEL_ENGINE_PATH "' </dev/null", "r");
  ASSERT_NE(pipe, nullptr);
  char line[256] = "", last[256] = "";  // the greeting comes first
  while (std::fgets(line, sizeof line, pipe)) std::strcpy(last, line);
  const int status = pclose(pipe);
  EXPECT_STREQ(last, "Error en assignar 128 MB per la hash.\n");
  EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 1) << status;
}
#endif

TEST(ProtocolInput, HugeLinesAndVeryLongGames) {
  auto engine = startEngine();
  // A megabyte of junk is one ignored line; beyond the line limit a line is refused whole.
  ASSERT_TRUE(engine->writeRaw(std::string(1 << 20, 'x') + "\n"));
  ASSERT_TRUE(engine->writeRaw("position startpos moves e2e4 " + std::string(17 << 20, 'x') +
                               "\nposition startpos moves d2d4\n"));
  Lines lines = engine->command("taulell");
  ASSERT_EQ(lines.size(), 9u);
  EXPECT_TRUE(isInfoString(lines[0])) << lines[0];
  EXPECT_EQ(lines[5], "___P____");
  // Ten thousand moves on one line: knights out and back, with a pawn move now and then.
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
  EXPECT_EQ(engine->command(line + "\ntaulell"),
            (Lines{"tcadract", "_____pp_", "____p__p", "pppp____", "PPPP____", "____P__P",
                   "_____PP_", "TCADRACT"}));
  EXPECT_EQ(engine->command("perft 1"), Lines{"20"});  // still from the set-up position
  EXPECT_EQ(engine->command("position startpos moves e2e4\nperft 2"), Lines{"400"});
}

// ---- The search's output ----

// "info depth D seldepth S score (cp V [lowerbound] | mate M) nodes N nps P hashfull H time T
// pv m ... ", a blank after every move.
const std::regex INFO_LINE(
    "info depth [0-9]+ seldepth [0-9]+ score (cp -?[0-9]+( lowerbound)?|mate -?[0-9]+) nodes "
    "[0-9]+ "
    "nps [0-9]+ hashfull [0-9]+ time [0-9]+ pv ([a-h][1-8][a-h][1-8][qrnb]? )+");
// The counters alone, when no score line has said how full the table is for a second.
const std::regex COUNTERS_LINE("info nodes [0-9]+ nps [0-9]+ hashfull [0-9]+ time [0-9]+");
const std::regex BESTMOVE(
    "bestmove [a-h][1-8][a-h][1-8][qrnb]?( ponder [a-h][1-8][a-h][1-8][qrnb]?)?");

// The last info line with a principal variation.
std::string lastInfo(const Lines& lines) {
  for (size_t i = lines.size(); i-- > 0;)
    if (lines[i].find(" pv ") != std::string::npos) return lines[i];
  return "";
}

TEST(SearchOutput, InfoAndBestmoveLinesHaveTheirExactForm) {
  auto engine = startEngine();
  Answer answer = goAndWait(*engine, "go depth 5");
  ASSERT_TRUE(std::regex_match(answer.lines.back(), BESTMOVE)) << answer.lines.back();
  int deepest = 0;
  for (size_t i = 0; i + 1 < answer.lines.size(); ++i) {
    const std::string& line = answer.lines[i];
    if (std::regex_match(line, std::regex("info depth ([2-9]|[1-9][0-9]+)"))) {
      deepest = std::stoi(line.substr(11));
      continue;
    }
    if (std::regex_match(
            line,
            std::regex(
                "info depth [0-9]+ currmove [a-h][1-8][a-h][1-8][qrnb]? currmovenumber [0-9]+")) ||
        std::regex_match(line, COUNTERS_LINE))
      continue;
    EXPECT_TRUE(std::regex_match(line, INFO_LINE)) << line;
  }
  EXPECT_EQ(deepest, 5);
  EXPECT_EQ(infoField(lastInfo(answer.lines), "pv"), answer.bestmove)
      << "bestmove is not the pv's first move";
  EXPECT_EQ(engine->drain(), Lines{}) << "a second answer";
  // Depth shortcuts.
  EXPECT_EQ(infoField(lastInfo(goAndWait(*engine, "9").lines), "depth"), "9");
  EXPECT_EQ(infoField(lastInfo(goAndWait(*engine, "100").lines), "depth"), "10");
}

TEST(SearchOutput, MatesRestrictedRootsAndMateLimits) {
  auto engine = startEngine();
  struct Case {
    const char* position;
    const char* go;
    const char* score;               // the last info line's score
    std::vector<std::string> moves;  // acceptable answers
  } const cases[] = {
      {"fen 6k1/5ppp/8/8/8/8/5PPP/3R2K1 w - - 0 1", "go depth 4", "mate 1", {"d1d8"}},
      {"fen k7/8/1K6/8/8/8/8/7R b - - 0 1", "go depth 4", "mate -1", {"a8b8"}},
      {"fen r2qkb1r/pp2nppp/3p4/2pNN1B1/2BnP3/3P4/PPP2PPP/R2bK2R w KQkq - 1 1",
       "go mate 2",
       "mate 2",
       {"d5f6"}},
      // Found beyond the aspiration window: one score line per depth, not one per widening.
      {"fen r2qkb1r/pp2nppp/3p4/2pNN1B1/2BnP3/3P4/PPP2PPP/R2bK2R w KQkq - 1 1",
       "go depth 9",
       "mate 2",
       {"d5f6"}},
      // The mate is not among the listed moves, so none is reported.
      {"fen 6k1/5ppp/8/8/8/8/5PPP/3R2K1 w - - 0 1",
       "go depth 4 searchmoves d1d2 g1f1",
       "cp",
       {"d1d2", "g1f1"}},
      {"startpos", "go depth 5 searchmoves a2a3 h2h3", "cp", {"a2a3", "h2h3"}},
  };
  for (const Case& c : cases) {
    engine->send(std::string("position ") + c.position);
    Answer answer = goAndWait(*engine, c.go);
    const std::string info = lastInfo(answer.lines);
    EXPECT_EQ(info.substr(info.find(" score ") + 7, std::string(c.score).size()), c.score) << info;
    EXPECT_NE(std::find(c.moves.begin(), c.moves.end(), answer.bestmove), c.moves.end()) << c.go;
    std::map<int, int> scoreLines;
    for (const std::string& line : answer.lines) {
      if (startsWith(line, "info depth ") && line.find(" score ") != std::string::npos)
        ++scoreLines[std::stoi(infoField(line, "depth"))];
      if (infoField(line, "pv").empty() || !std::strstr(c.go, "searchmoves")) continue;
      EXPECT_NE(std::find(c.moves.begin(), c.moves.end(), infoField(line, "pv")), c.moves.end())
          << line;
    }
    // At depth 1 each better root move is its own line.
    for (const auto& [depth, count] : scoreLines) EXPECT_LE(depth < 2 ? 0 : count, 4) << c.go;
  }
}

// A new game forgets what the last one taught the search: the same node-limited search after
// "ucinewgame" gives the same answer as in a fresh engine, whatever was searched before.
TEST(SearchOutput, ANewGameSearchesAsAFreshEngineDoes) {
  const std::string kiwipete =
      "position fen r3k2r/p1ppqpb1/bn2pnp1/3PN3/1p2P3/2N2Q1p/PPPBBPPP/R3K2R w KQkq - 0 1";
  auto engine = startEngine();
  engine->send(kiwipete);
  const Answer first = goAndWait(*engine, "go nodes 20000");
  engine->send("position startpos moves e2e4 c7c5 g1f3");
  goAndWait(*engine, "go nodes 20000");
  engine->send("ucinewgame");
  engine->send(kiwipete);
  const Answer again = goAndWait(*engine, "go nodes 20000");
  // Score, nodes and line; the time and speed may differ.
  auto gist = [](const Answer& a) {
    const std::string info = lastInfo(a.lines);
    return infoField(info, "score") + " " + infoField(info, infoField(info, "score")) + " " +
           infoField(info, "nodes") + info.substr(info.find(" pv ")) + " / " + a.bestmove;
  };
  EXPECT_EQ(gist(again), gist(first));
}

// One placement searched with either side to move, as an interface analysing a position after a
// side switch does: each answer belongs to its side.
TEST(SearchOutput, OnePlacementWithEitherSideToMove) {
  auto engine = startEngine();
  const std::string placement = "r1bqkbnr/pppp1ppp/2n5/4p3/4P3/5N2/PPPP1PPP/RNBQKB1R";
  for (const char* side : {" w KQkq - 2 3", " b KQkq - 2 3", " w KQkq - 2 3"}) {
    engine->send("position fen " + placement + side);
    for (const char* go : {"go depth 1", "go depth 3"}) {
      Answer answer = goAndWait(*engine, go);
      EXPECT_TRUE(legalIn(placement + side, answer.bestmove)) << side << " " << answer.bestmove;
    }
  }
}

// "setoption" split into name and value: names of several words with single blanks, "name" and
// "value" in any letter case, the value as written (paths hold blanks), and a string option
// given no value or "<empty>" (as interfaces send an empty string) read as empty.
TEST(ProtocolText, SetOptionNamesAndValues) {
  struct Case {
    const char* line;
    bool named;
    const char* name;
    const char* value;
  } const cases[] = {
      {"setoption name EvalFile", true, "EvalFile", ""},
      {"setoption name EvalFile value", true, "EvalFile", ""},
      {"setoption name EvalFile value <empty>", true, "EvalFile", ""},
      {"setoption name SyzygyPath value /tables/3 4 5:/more  ", true, "SyzygyPath",
       "/tables/3 4 5:/more"},
      {"setoption  NAME  Move   Overhead VALUE 30", true, "Move Overhead", "30"},
      {"setoption name Clear Hash", true, "Clear Hash", ""},
      {"setoption name", false, "", ""},
      {"setoption value 3", false, "", ""},
      {"setoption name value 5", false, "", ""},
  };
  for (const Case& c : cases) {
    std::string name, value;
    EXPECT_EQ(readOption(c.line, name, value), c.named) << c.line;
    if (!c.named) continue;
    EXPECT_EQ(name, c.name) << c.line;
    EXPECT_EQ(value, c.value) << c.line;
  }
  // The engine matches the names without regard to case.
  auto engine = startEngine();
  EXPECT_EQ(engine->command("setoption name hASH value 3"), Lines{"Not power of two"});
  EXPECT_EQ(engine->command("setoption name multipv value 2"), Lines{});
  const Answer answer = goAndWait(*engine, "go depth 2");
  EXPECT_NE(infoField(answer.lines[answer.lines.size() - 2], "multipv"), "");
}

// The table's fill, in per mille, comes with every score line and at least once a second: a
// 1 MB table fills up within the search, and the figure must stay within 0..1000 all the way.
TEST(SearchOutput, HashfullAtLeastOnceASecond) {
  auto engine = startEngine();
  engine->send("setoption name Hash value 1");
  engine->send("position fen r3k2r/p1ppqpb1/bn2pnp1/3PN3/1p2P3/2N2Q1p/PPPBBPPP/R3K2R w KQkq - 0 1");
  const Answer answer = goAndWait(*engine, "go movetime 3000");
  ASSERT_FALSE(answer.bestmove.empty());
  long long previous = 0;
  int last = -1;
  for (const std::string& line : answer.lines) {
    const std::string fill = infoField(line, "hashfull");
    if (fill.empty()) continue;
    last = std::stoi(fill);
    EXPECT_TRUE(last >= 0 && last <= 1000) << line;
    const long long time = std::stoll(infoField(line, "time"));
    // A poll comes every 100 ms or sooner; the rest is room for a busy machine.
    EXPECT_LE(time - previous, 1500) << line;
    previous = time;
  }
  EXPECT_GT(last, 50) << "a table in use reads as empty";
  EXPECT_LE(answer.ms - previous, 1500) << "no line with hashfull before the answer";
}

// The bench signature guards every change of the search and the evaluation: it must be the
// number the README states. Lines queued behind "bench" (as in "printf 'bench\nquit\n' | engine")
// wait until it is over, "quit" included, and cut none of its searches short.
TEST(SearchOutput, BenchSignatureIsTheOneInTheReadmeWithLinesQueuedBehind) {
  std::ifstream readme(CORVANEL_SOURCE_DIR "/README.md");
  std::string text((std::istreambuf_iterator<char>(readme)), std::istreambuf_iterator<char>());
  std::smatch stated;
  ASSERT_TRUE(std::regex_search(text, stated, std::regex("regression signature \\(([0-9]+)")))
      << "README";
  auto engine = startEngine();
  ASSERT_TRUE(engine->writeRaw("bench\nperft 1\nquit\n"));
  Lines lines;
  while (auto line = engine->readLine(600000)) lines.push_back(*line);
  EXPECT_EQ(engine->waitForExit(), 0);
  // The 32 position lines, the totals, then what the queued lines printed.
  ASSERT_EQ(lines.size(), 35u);
  EXPECT_TRUE(startsWith(lines[31], "Position 32/32: ")) << lines[31];
  EXPECT_EQ(lines[32], "Nodes searched: " + stated[1].str());
  EXPECT_TRUE(startsWith(lines[33], "Nodes/second: ")) << lines[33];
  EXPECT_EQ(lines[34], "20") << "the game position came back";
}

// "stop" ends the bench as a whole: a node total of cut searches would be a false signature.
TEST(SearchOutput, BenchStoppedPrintsNoSignature) {
  auto engine = startEngine();
  ASSERT_TRUE(engine->writeRaw("bench\nstop\nquit\n"));
  Lines lines;
  while (auto line = engine->readLine()) lines.push_back(*line);
  EXPECT_EQ(engine->waitForExit(), 0);
  ASSERT_FALSE(lines.empty());
  EXPECT_EQ(lines.back(), "info string bench stopped: cut short, no signature");
  for (const std::string& line : lines) EXPECT_FALSE(startsWith(line, "Nodes")) << line;
}

}  // namespace
