// The computer player's shared state and the depth of each level. searchDepth and bestMove
// live for the whole run; every search overwrites them.
#include "rules/player.h"

int32_t searchDepth = 0;
Move bestMove[MaxSearchDepth] = {};

int32_t levelSearchDepth(int32_t level) {
    return ruleVariant == 0 ? 2 * level + 7 : 4 * level + 5;
}
