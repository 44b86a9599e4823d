// Stand-ins for the tuning and test-suite commands until they are written; each is removed when
// its real handler lands in tuning/.
#include "frontend/commands.h"

void commandRecpar() {}
void commandRands() {}
void commandMillora() {}
void commandCalcvar() {}
void commandProvred() {}
void commandProvale() {}
