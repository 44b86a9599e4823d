#include "board/types.h"

const SideCodes whiteCodes = {WHITE, WHITE_KING, WHITE_QUEEN, WHITE_ROOK, WHITE_BISHOP,
                              WHITE_KNIGHT, WHITE_PAWN};
const SideCodes blackCodes = {BLACK, BLACK_KING, BLACK_QUEEN, BLACK_ROOK, BLACK_BISHOP,
                              BLACK_KNIGHT, BLACK_PAWN};

Board gameBoards[GAME_LINE_SIZE];
PlyState gameStates[GAME_LINE_SIZE];
int currentPly = 0;
int lastIrreversiblePly = 0;

const char pieceLetters[PIECE_CODES + 1] = "?PCATDR_pcatdr";
