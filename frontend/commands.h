// Handlers of the command words. executeCommand (frontend/interpreter.cpp) matches a line and
// calls them; each subsystem defines the handlers of its own commands.
#pragma once

// Matches one input line (without its newline) against every command and runs the handlers.
// The line may be rewritten in place (depth shortcuts).
void executeCommand(char* line);

void commandUci();
void commandIsReady();
void commandUciNewGame();
void commandSetOption(const char* line);
void commandPerft(const char* line);
void commandDivide(const char* line);
void commandGoPerft(const char* line);
void commandPf(const char* line);
void commandPosition(const char* line);
void commandSee(const char* line);
void commandTaulell();
void commandRecpar();
void commandRands();
void commandMillora();
void commandJuntarfit();
void commandCalcvar();
void commandProvred();
void commandProvale();
void commandEval();
void commandEvalPeces(bool endgame);
void commandEvalNet();
void commandGo(char* line);
void commandPonderhit();
void commandStop();
void commandQuit();
void commandBench();
void commandGenfens(const char* line);
