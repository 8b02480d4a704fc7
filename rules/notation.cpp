// Text forms of squares, moves and positions for korvath-engine and the game's tools.
// No module state.
#include "rules/notation.h"

#include <charconv>
#include <vector>

namespace {

std::vector<std::string_view> split(std::string_view text, char separator) {
    std::vector<std::string_view> parts;
    size_t start = 0;
    for (;;) {
        const size_t end = text.find(separator, start);
        parts.push_back(text.substr(start, end == std::string_view::npos ? end : end - start));
        if (end == std::string_view::npos) return parts;
        start = end + 1;
    }
}

// Squares, piece indices and variants: at most four digits.
bool parseNumber(std::string_view text, int32_t& value) {
    return parseInteger(text, 0, 9999, value, 4);
}

// "c.r" on a board of the given size, with column + row even.
std::string parseSquare(std::string_view text, int32_t size, Square& square) {
    const size_t dot = text.find('.');
    if (dot == std::string_view::npos || !parseNumber(text.substr(0, dot), square.column) ||
        !parseNumber(text.substr(dot + 1), square.row)) {
        return "bad square " + quoted(text) + " (expected column.row)";
    }
    if (square.column >= size || square.row >= size) {
        return "square " + quoted(text) + " is off the " + std::to_string(size) + "x" +
               std::to_string(size) + " board";
    }
    if ((square.column + square.row) % 2 != 0) {
        return "square " + quoted(text) + " is not a playing square (column + row is odd)";
    }
    return {};
}

std::string parseSide(std::string_view text, int32_t side, int32_t variant, Position& position) {
    const RuleVariant& rules = ruleVariants[variant];
    const std::vector<std::string_view> tokens = split(text, ',');
    if (static_cast<int32_t>(tokens.size()) != rules.piecesPerSide) {
        return "side " + std::to_string(side) + " has " + std::to_string(tokens.size()) +
               " pieces, " + rules.label + " needs " + std::to_string(rules.piecesPerSide);
    }
    for (int32_t index = 0; index < rules.piecesPerSide; ++index) {
        std::string_view token = tokens[index];
        Piece& piece = pieceOf(position, side, index);
        if (token == "x") {
            piece = {-1, 0, 0};
            continue;
        }
        piece.king = !token.empty() && token.back() == 'K';
        if (piece.king) token.remove_suffix(1);
        Square square;
        if (std::string error = parseSquare(token, rules.columns, square); !error.empty()) {
            return "side " + std::to_string(side) + " piece " + std::to_string(index) + ": " +
                   error;
        }
        piece.column = square.column;
        piece.row = square.row;
    }
    return {};
}

std::string findSharedSquare(const Position& position, int32_t count) {
    for (int32_t a = 0; a < SideCount * MaxPiecesPerSide; ++a) {
        const Piece& p = position.pieces[a];
        if (p.column == -1 || a % MaxPiecesPerSide >= count) continue;
        for (int32_t b = a + 1; b < SideCount * MaxPiecesPerSide; ++b) {
            const Piece& q = position.pieces[b];
            if (b % MaxPiecesPerSide < count && q.column == p.column && q.row == p.row) {
                return "two pieces on square " + formatSquare({p.column, p.row});
            }
        }
    }
    return {};
}

} // namespace

bool parseInteger(std::string_view text, int32_t low, int32_t high, int32_t& value,
                  size_t maxDigits) {
    if (text.empty() || text.size() > maxDigits) return false;
    for (const char ch : text) {
        if (ch < '0' || ch > '9') return false;
    }
    std::from_chars(text.data(), text.data() + text.size(), value);
    return value >= low && value <= high;
}

// Built by appending: GCC 12 at -O3 sees a false overlap (-Wrestrict) in
// "'" + std::string(text).
std::string quoted(std::string_view text) {
    std::string out;
    out.reserve(text.size() + 2);
    out += '\'';
    out += text;
    out += '\'';
    return out;
}

std::string formatSquare(Square square) {
    return std::to_string(square.column) + "." + std::to_string(square.row);
}

std::string formatMove(const Move& move) {
    std::string text = std::to_string(move.piece) + ":";
    for (int32_t k = 0; k < move.steps; ++k) {
        if (k > 0) text += '-';
        text += formatSquare(move.path[k]);
    }
    return text;
}

std::string formatPosition(const Position& position, int32_t variant) {
    const int32_t count = ruleVariants[variant].piecesPerSide;
    std::string text = std::to_string(variant);
    for (int32_t side = 0; side < SideCount; ++side) {
        text += ' ';
        for (int32_t index = 0; index < count; ++index) {
            const Piece& piece = pieceOf(position, side, index);
            if (index > 0) text += ',';
            if (piece.column == -1) {
                text += 'x';
                continue;
            }
            text += formatSquare({piece.column, piece.row});
            if (piece.king == 1) text += 'K';
        }
    }
    return text;
}

std::string parsePosition(std::string_view text, Position& position, int32_t& variant) {
    const std::vector<std::string_view> fields = split(text, ' ');
    if (fields.size() != 3) {
        return "a position is '<variant> <side 0 pieces> <side 1 pieces>', got " +
               std::to_string(fields.size()) + " fields";
    }
    if (!parseNumber(fields[0], variant) || variant >= RuleVariantCount) {
        return "bad variant " + quoted(fields[0]) + " (0, 1 or 2)";
    }
    for (Piece& piece : position.pieces) piece = {-1, 0, 0};
    for (int32_t side = 0; side < SideCount; ++side) {
        if (std::string error = parseSide(fields[1 + side], side, variant, position);
            !error.empty()) {
            return error;
        }
    }
    return findSharedSquare(position, ruleVariants[variant].piecesPerSide);
}

std::string parseMove(std::string_view text, int32_t variant, Move& move) {
    const RuleVariant& rules = ruleVariants[variant];
    const size_t colon = text.find(':');
    if (colon == std::string_view::npos) {
        return "bad move " + quoted(text) + " (expected piece:square-square-...)";
    }
    if (!parseNumber(text.substr(0, colon), move.piece) || move.piece >= rules.piecesPerSide) {
        return "bad piece index " + quoted(text.substr(0, colon)) + " (0.." +
               std::to_string(rules.piecesPerSide - 1) + ")";
    }
    const std::vector<std::string_view> squares = split(text.substr(colon + 1), '-');
    if (static_cast<int32_t>(squares.size()) > MaxPathSteps) {
        return "move " + quoted(text) + " has more than " + std::to_string(MaxPathSteps) + " steps";
    }
    move.steps = static_cast<int32_t>(squares.size());
    for (int32_t k = 0; k < move.steps; ++k) {
        if (std::string error = parseSquare(squares[k], rules.columns, move.path[k]);
            !error.empty()) {
            return "move " + quoted(text) + ": " + error;
        }
    }
    return {};
}
