// Portable Draughts Notation of a game written out: the tags
// and the move text (rules/pdn reads it back). Stateless; the game controller calls it
// for the record F4 asks for and for the saved game.
#include "game/record.h"

namespace {

constexpr size_t LineLength = 79; // move text is wrapped like the tags' readers expect

bool onTenByTen() {
    return ruleVariants[ruleVariant].columns == 10;
}

// PDN names the sides by colour, and the first to move differs: Black on 8x8,
// White on 10x10. Our side 0 always moves first.
int whiteSide() {
    return onTenByTen() ? 0 : 1;
}

// White's score first: 1-0, 0-1 or 1/2-1/2, and 2-0, 0-2 or 1-1 for the 10x10
// board's international scoring; "*" while the game goes on.
std::string resultText(GameResult result) {
    if (result == GameResult::Ongoing) return "*";
    if (result == GameResult::Draw) return onTenByTen() ? "1-1" : "1/2-1/2";
    const bool whiteWins = winnerOf(result) == whiteSide();
    if (onTenByTen()) return whiteWins ? "2-0" : "0-2";
    return whiteWins ? "1-0" : "0-1";
}

void appendWord(std::string& text, size_t& lineStart, const std::string& word) {
    if (text.size() > lineStart) {
        if (text.size() - lineStart + 1 + word.size() > LineLength) {
            text += '\n';
            lineStart = text.size();
        } else {
            text += ' ';
        }
    }
    text += word;
}

std::string tag(const char* name, const std::string& value) {
    return std::string("[") + name + " \"" + value + "\"]\n";
}

} // namespace

// Captures are the moves that take pieces; a king's long slide and a plain step
// take none.
std::string formatPdnMove(const Position& before, int side, const Move& move) {
    Position after{};
    playMove(before, after, move, side);
    const bool capture = countPieces(after, 1 - side) < countPieces(before, 1 - side);
    const Piece& piece = pieceOf(before, side, move.piece);
    std::string text = std::to_string(pdnSquare({piece.column, piece.row}));
    for (int k = 0; k < move.steps; ++k)
        text += (capture ? "x" : "-") + std::to_string(pdnSquare(move.path[k]));
    return text;
}

std::string formatPdn(const std::vector<PlayedMove>& moves, const RecordTags& tags) {
    std::string text;
    size_t lineStart = 0;
    for (size_t i = 0; i < moves.size(); ++i) {
        const PlayedMove& played = moves[i];
        if (played.side == 0 || i == 0)
            appendWord(text, lineStart,
                       std::to_string(played.plyCount / 2 + 1) + (played.side == 0 ? "." : "..."));
        appendWord(text, lineStart, formatPdnMove(played.before, played.side, played.move));
    }
    const std::string result = resultText(tags.result);
    appendWord(text, lineStart, result);

    const int white = whiteSide();
    // The 10x10 rule sets have no PDN number of their own; 20 names the same board,
    // numbering and first mover, and the Variant tag says whose captures apply.
    return tag("Event", "Korvath game") + tag("Site", "?") + tag("Date", tags.date) +
           tag("Round", "-") + tag("White", tags.players[white]) +
           tag("Black", tags.players[1 - white]) + tag("Result", result) +
           tag("GameType", onTenByTen() ? "20" : "21") +
           tag("Variant", ruleVariants[ruleVariant].label) + tags.extra + "\n" + text + "\n";
}
