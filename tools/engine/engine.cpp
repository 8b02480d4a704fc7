// korvath-engine's commands over the rules library. The session (position and rule set) is
// this file's state; it starts on the "US RULES" opening and changes only through new, set,
// play, selfplay and load.
#include "tools/engine/engine.h"

#include <vector>

#include "rules/evaluate.h"
#include "rules/fast_board.h"
#include "rules/fast_search.h"
#include "rules/moves.h"
#include "rules/notation.h"
#include "rules/pdn.h"
#include "rules/perft.h"
#include "rules/random.h"

namespace {

struct Session {
    Position position; // the current position; its rule set is ruleVariant
    bool ready;        // position has been set up
};
Session session = {}; // lives for the whole run

MoveList engineMoves; // scratch for moves and play; rewritten by each command

// Kings can shuffle for ever (there is no draw rule), so a self-played game is
// cut off; real games end in a few hundred plies.
constexpr int32_t MaxSelfplayPlies = 10000;

using Words = std::vector<std::string_view>;

Words splitWords(std::string_view line) {
    Words words;
    size_t i = 0;
    while (i < line.size()) {
        while (i < line.size() && (line[i] == ' ' || line[i] == '\t')) ++i;
        const size_t start = i;
        while (i < line.size() && line[i] != ' ' && line[i] != '\t') ++i;
        if (i > start) words.push_back(line.substr(start, i - start));
    }
    return words;
}

EngineAnswer answer(std::string text) {
    return {true, false, std::move(text)};
}
EngineAnswer error(const std::string& what) {
    return answer("error: " + what);
}

void ensureSession() {
    if (session.ready) return;
    selectRuleVariant(0);
    setUpPosition(session.position);
    session.ready = true;
}

std::string showPosition() {
    return formatPosition(session.position, ruleVariant);
}

// Parses a side, 0 or 1, saying what is wrong on failure.
bool parseSide(std::string_view text, int32_t& side, std::string& what) {
    if (parseInteger(text, 0, 1, side)) return true;
    what = "side must be 0 or 1, got " + quoted(text);
    return false;
}

EngineAnswer usage(std::string_view form) {
    return error("usage: " + std::string(form));
}

EngineAnswer commandNew(const Words& words) {
    if (words.size() != 2) return usage("new <variant>");
    int32_t variant = 0;
    if (!parseInteger(words[1], 0, RuleVariantCount - 1, variant)) {
        return error("variant must be 0, 1 or 2, got " + quoted(words[1]));
    }
    selectRuleVariant(variant);
    setUpPosition(session.position);
    return answer(showPosition());
}

EngineAnswer commandSet(const Words& words) {
    if (words.size() != 4) return usage("set <variant> <side 0 pieces> <side 1 pieces>");
    const std::string text =
        std::string(words[1]) + " " + std::string(words[2]) + " " + std::string(words[3]);
    Position position;
    int32_t variant = 0;
    if (std::string what = parsePosition(text, position, variant); !what.empty()) {
        return error(what);
    }
    selectRuleVariant(variant);
    session.position = position;
    return answer("ok");
}

EngineAnswer commandMoves(const Words& words) {
    if (words.size() != 2) return usage("moves <side>");
    int32_t side = 0;
    std::string what;
    if (!parseSide(words[1], side, what)) return error(what);
    generateMoves(session.position, side, engineMoves);
    std::string text = std::to_string(engineMoves.total);
    do {
        for (int32_t i = 0; i < engineMoves.count; ++i) {
            text += " " + formatMove(engineMoves.moves[i]);
        }
    } while (generateNextMoves(session.position, side, engineMoves));
    return answer(text);
}

EngineAnswer commandEval(const Words& words) {
    if (words.size() != 2) return usage("eval <side>");
    int32_t side = 0;
    std::string what;
    if (!parseSide(words[1], side, what)) return error(what);
    return answer(std::to_string(evaluate(session.position, side)));
}

// Parses "<side> <depth>" with depth in low..high.
bool parseSideDepth(const Words& words, int32_t low, int32_t high, int32_t& side, int32_t& depth,
                    std::string& what) {
    if (!parseSide(words[1], side, what)) return false;
    if (parseInteger(words[2], low, high, depth)) return true;
    what = "depth must be " + std::to_string(low) + ".." + std::to_string(high) + ", got " +
           quoted(words[2]);
    return false;
}

EngineAnswer commandSearch(const Words& words) {
    if (words.size() != 3) return usage("search <side> <depth>");
    int32_t side = 0, depth = 0;
    std::string what;
    if (!parseSideDepth(words, 1, MaxSearchDepth, side, depth, what)) return error(what);
    const int32_t value = fastSearchRoot(session.position, side, depth);
    const std::string move = bestMove[0].piece == -1 ? "none" : formatMove(bestMove[0]);
    return answer(std::to_string(value) + " " + move);
}

EngineAnswer commandPerft(const Words& words) {
    if (words.size() != 3) return usage("perft <side> <depth>");
    int32_t side = 0, depth = 0;
    std::string what;
    if (!parseSideDepth(words, 0, MaxPerftDepth, side, depth, what)) return error(what);
    return answer(std::to_string(fastPerft(session.position, side, depth)));
}

EngineAnswer commandPlay(const Words& words) {
    if (words.size() != 3) return usage("play <side> <move>");
    int32_t side = 0;
    std::string what;
    if (!parseSide(words[1], side, what)) return error(what);
    Move move;
    if (what = parseMove(words[2], ruleVariant, move); !what.empty()) return error(what);
    generateMoves(session.position, side, engineMoves);
    do {
        for (int32_t i = 0; i < engineMoves.count; ++i) {
            if (!sameMove(engineMoves.moves[i], move)) continue;
            Position after = session.position;
            playMove(session.position, after, move, side);
            session.position = after;
            return answer(showPosition());
        }
    } while (generateNextMoves(session.position, side, engineMoves));
    return error("move " + quoted(words[2]) + " is not legal for side " + std::to_string(side));
}

EngineAnswer commandRand(const Words& words) {
    if (words.size() != 1) return usage("rand");
    return answer(std::to_string(nextRandom()));
}

EngineAnswer commandOpening(const Words& words) {
    if (words.size() != 2) return usage("opening <side>");
    int32_t side = 0;
    std::string what;
    if (!parseSide(words[1], side, what)) return error(what);
    const OpeningStep step = chooseOpeningMove(session.position, side);
    if (step.piece == -1) {
        return error("no front-row man of side " + std::to_string(side) + " has an opening step");
    }
    return answer(std::to_string(step.piece) + ":" + formatSquare(step.target));
}

// Plays one ply of a self-played game; false when the side to move has no move.
bool playSelfPly(int32_t ply, int32_t side, int32_t level, std::string& record) {
    Position& position = session.position;
    if (ply < 2) {
        const OpeningStep step = chooseOpeningMove(position, side);
        if (step.piece == -1) return false;
        applyStep(position, step.piece, step.target, side);
        record = std::to_string(step.piece) + ":" + formatSquare(step.target);
        return true;
    }
    fastSearchRoot(position, side, levelSearchDepth(level));
    if (bestMove[0].piece == -1) return false;
    const Move move = bestMove[0];
    const Position before = position;
    playMove(before, position, move, side);
    record = formatMove(move);
    return true;
}

EngineAnswer commandSelfplay(const Words& words) {
    if (words.size() != 4) return usage("selfplay <variant> <level> <maxplies>");
    int32_t variant = 0, level = 0, maxPlies = 0;
    if (!parseInteger(words[1], 0, RuleVariantCount - 1, variant)) {
        return error("variant must be 0, 1 or 2, got " + quoted(words[1]));
    }
    if (!parseInteger(words[2], 0, 1, level)) {
        return error("level must be 0 or 1, got " + quoted(words[2]));
    }
    if (!parseInteger(words[3], 0, MaxSelfplayPlies, maxPlies)) {
        return error("maxplies must be a number 0.." + std::to_string(MaxSelfplayPlies) + ", got " +
                     quoted(words[3]));
    }
    selectRuleVariant(variant);
    setUpPosition(session.position);
    std::string text;
    for (int32_t ply = 0, side = 0; ply < maxPlies; ++ply, side = 1 - side) {
        std::string record;
        if (!playSelfPly(ply, side, level, record)) break;
        text += record + " ";
    }
    return answer(text + "end");
}

// The rest of the line is the file name, blanks and all.
EngineAnswer commandLoad(std::string_view line) {
    line.remove_prefix(line.find("load") + 4);
    while (!line.empty() && (line.front() == ' ' || line.front() == '\t')) line.remove_prefix(1);
    while (!line.empty() && (line.back() == ' ' || line.back() == '\t')) line.remove_suffix(1);
    if (line.empty()) return usage("load <file>");
    std::string text;
    if (std::string what = readPdnFile(std::string(line).c_str(), text); !what.empty())
        return error(what);
    PdnGame game;
    if (std::string what = readPdnGame(text, game); !what.empty()) return error(what);
    session.position = game.final;
    return answer(showPosition());
}

} // namespace

EngineAnswer answerCommand(std::string_view line) {
    if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
    const Words words = splitWords(line);
    // A comment starts at the first non-blank character, like the command would.
    if (words.empty() || words[0].front() == '#') return {false, false, {}};
    ensureSession();
    const std::string_view command = words[0];
    if (command == "quit") return words.size() == 1 ? EngineAnswer{false, true, {}} : usage("quit");
    if (command == "new") return commandNew(words);
    if (command == "set") return commandSet(words);
    if (command == "show") return words.size() == 1 ? answer(showPosition()) : usage("show");
    if (command == "moves") return commandMoves(words);
    if (command == "eval") return commandEval(words);
    if (command == "search") return commandSearch(words);
    if (command == "perft") return commandPerft(words);
    if (command == "play") return commandPlay(words);
    if (command == "rand") return commandRand(words);
    if (command == "opening") return commandOpening(words);
    if (command == "selfplay") return commandSelfplay(words);
    if (command == "load") return commandLoad(line);
    return error("unknown command " + quoted(command));
}
