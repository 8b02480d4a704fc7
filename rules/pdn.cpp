// Reading PDN: tags, move text with the forms other programs write (move numbers, comments,
// variations, annotations, shortened captures), each move matched against the legal ones.
// The only state is the move list scratch, rewritten by every read.
#include "rules/pdn.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cstring>

namespace {

MoveList legalMoves; // scratch of the move matcher

constexpr size_t MaxShownText = 24; // longer words are cut in messages
constexpr int32_t MaxWrittenSquares = MaxPathSteps + 1;

bool onTenByTen() {
    return ruleVariants[ruleVariant].columns == 10;
}

bool isBlank(char c) {
    return c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\f' || c == '\v';
}

bool endsWord(char c) {
    return isBlank(c) || c == '{' || c == '}' || c == '(' || c == ')' || c == '[' || c == ';';
}

bool isDigit(char c) {
    return c >= '0' && c <= '9';
}

// A word as a message shows it: printable, short, quoted.
std::string shown(std::string_view text) {
    std::string out = "'";
    for (size_t i = 0; i < text.size() && i < MaxShownText; ++i)
        out += text[i] >= ' ' && text[i] <= '~' ? text[i] : '?';
    return out + (text.size() > MaxShownText ? "...'" : "'");
}

struct Reader {
    std::string_view text;
    size_t at;
};

void skipLine(Reader& r) {
    const size_t end = r.text.find('\n', r.at);
    r.at = end == std::string_view::npos ? r.text.size() : end + 1;
}

// A variation is another line of play, not the game: skipped whole, comments inside included.
bool skipVariation(Reader& r) {
    int depth = 0;
    for (; r.at < r.text.size(); ++r.at) {
        const char c = r.text[r.at];
        if (c == '{') {
            r.at = r.text.find('}', r.at);
            if (r.at == std::string_view::npos) return false;
        } else if (c == '(') {
            ++depth;
        } else if (c == ')' && --depth == 0) {
            ++r.at;
            return true;
        }
    }
    return false;
}

// Blanks, comments, variations, escape lines and annotation glyphs; "" or what is not closed.
std::string skipIgnored(Reader& r) {
    while (r.at < r.text.size()) {
        const char c = r.text[r.at];
        if (isBlank(c)) {
            ++r.at;
        } else if (c == ';' || (c == '%' && (r.at == 0 || r.text[r.at - 1] == '\n'))) {
            skipLine(r);
        } else if (c == '{') {
            const size_t close = r.text.find('}', r.at);
            if (close == std::string_view::npos) return "a comment in braces is not closed";
            r.at = close + 1;
        } else if (c == '(') {
            if (!skipVariation(r)) return "a variation in parentheses is not closed";
        } else if (c == '$') {
            while (r.at < r.text.size() && !endsWord(r.text[r.at])) ++r.at;
        } else {
            return "";
        }
    }
    return "";
}

std::string_view readWord(Reader& r) {
    const size_t start = r.at;
    while (r.at < r.text.size() && !endsWord(r.text[r.at])) ++r.at;
    return r.text.substr(start, r.at - start);
}

// [Name "value"], with \" and \\ inside the value.
std::string readTag(Reader& r, PdnTag& tag) {
    const size_t start = r.at++;
    auto skipBlanks = [&r] {
        while (r.at < r.text.size() && isBlank(r.text[r.at])) ++r.at;
    };
    skipBlanks();
    const size_t nameStart = r.at;
    while (r.at < r.text.size() &&
           (std::isalnum(static_cast<unsigned char>(r.text[r.at])) || r.text[r.at] == '_'))
        ++r.at;
    tag.name = r.text.substr(nameStart, r.at - nameStart);
    skipBlanks();
    bool closed = false;
    if (!tag.name.empty() && r.at < r.text.size() && r.text[r.at] == '"') {
        for (++r.at; r.at < r.text.size() && r.text[r.at] != '"' && r.text[r.at] != '\n'; ++r.at) {
            if (r.text[r.at] == '\\' && r.at + 1 < r.text.size()) ++r.at;
            tag.value += r.text[r.at];
        }
        closed = r.at < r.text.size() && r.text[r.at] == '"';
        ++r.at;
        skipBlanks();
        closed = closed && r.at < r.text.size() && r.text[r.at] == ']';
        ++r.at;
    }
    if (closed) return "";
    const size_t lineEnd = std::min(r.text.find('\n', start), r.text.size());
    return "malformed tag " + shown(r.text.substr(start, lineEnd - start));
}

// GameType 21 (the default) is the 8x8 board; 20 is the 10x10 board, whose men capture
// backwards too unless the Variant tag names "FRENCH 1": games of the usual 10x10 rules
// replay under "FRENCH 2", which allows every capture they can make.
std::string chooseVariant(const PdnGame& game, bool startGiven, int32_t& variant) {
    const std::string* setUp = findTag(game, "SetUp");
    if (findTag(game, "FEN") != nullptr || (!startGiven && setUp != nullptr && *setUp == "1"))
        return "a game from a set-up position (SetUp or FEN tag) cannot be replayed";
    const std::string* type = findTag(game, "GameType");
    const std::string number = type == nullptr ? "21" : type->substr(0, type->find(','));
    const std::string* name = findTag(game, "Variant");
    if (number == "21") {
        variant = 0;
    } else if (number == "20") {
        variant = name != nullptr && *name == ruleVariants[1].label ? 1 : 2;
    } else {
        return "GameType " + shown(*type) + " is not played here (20 is 10x10, 21 is 8x8)";
    }
    return "";
}

bool isResult(std::string_view word) {
    for (const char* result : {"1-0", "0-1", "2-0", "0-2", "1-1", "0-0", "*", "1/2-1/2"})
        if (word == result) return true;
    return false;
}

// "12." or "12..." before a move, written apart or joined to it.
std::string_view withoutMoveNumber(std::string_view word) {
    size_t i = 0;
    while (i < word.size() && isDigit(word[i])) ++i;
    if (i == 0 || i == word.size() || word[i] != '.') return word;
    while (i < word.size() && word[i] == '.') ++i;
    return word.substr(i);
}

// The squares of "32-28", "11x18", "26x17x10"; false when the word is not of that form.
bool readSquares(std::string_view word, int32_t* numbers, int32_t& count) {
    while (!word.empty() && (word.back() == '!' || word.back() == '?')) word.remove_suffix(1);
    count = 0;
    size_t i = 0;
    while (true) {
        int32_t value = 0;
        const size_t start = i;
        while (i < word.size() && isDigit(word[i]) && i - start < 2)
            value = value * 10 + word[i++] - '0';
        if (i == start || count == MaxWrittenSquares) return false;
        numbers[count++] = value;
        if (i == word.size()) return count >= 2;
        if (word[i] != '-' && word[i] != 'x' && word[i] != 'X') return false;
        ++i;
    }
}

// The written squares name the move when its start and end are the first and last, and any
// squares between are landing squares of its path in that order.
bool writtenAs(const Move& move, const Square& from, const int32_t* numbers, int32_t count) {
    if (pdnSquare(from) != numbers[0] || pdnSquare(move.path[move.steps - 1]) != numbers[count - 1])
        return false;
    int32_t k = 0;
    for (int32_t i = 1; i + 1 < count; ++i) {
        while (k < move.steps - 1 && pdnSquare(move.path[k]) != numbers[i]) ++k;
        if (k++ >= move.steps - 1) return false;
    }
    return true;
}

// How many different legal moves the squares name; the first is left in found.
int32_t matchMove(const Position& position, int32_t side, const int32_t* numbers, int32_t count,
                  Move& found) {
    int32_t matches = 0;
    generateMoves(position, side, legalMoves);
    do {
        for (int32_t i = 0; i < legalMoves.count; ++i) {
            const Move& move = legalMoves.moves[i];
            const Piece& piece = pieceOf(position, side, move.piece);
            if (!writtenAs(move, {piece.column, piece.row}, numbers, count)) continue;
            if (matches > 0 && sameMove(move, found)) continue;
            if (matches++ == 0) found = move;
        }
    } while (generateNextMoves(position, side, legalMoves));
    return matches;
}

std::string moveName(size_t ply, std::string_view word) {
    return "move " + std::to_string(ply / 2 + 1) + (ply % 2 == 0 ? ". " : "... ") + shown(word);
}

// Plays the word as the next move of the game; "" or what is wrong with it.
std::string playWord(std::string_view word, PdnGame& game) {
    const size_t ply = game.moves.size() + static_cast<size_t>(game.firstSide);
    const int32_t side = static_cast<int32_t>(ply % 2);
    int32_t numbers[MaxWrittenSquares];
    int32_t count = 0;
    if (!readSquares(word, numbers, count)) return moveName(ply, word) + " is not a move";
    Move move{};
    const int32_t matches = matchMove(game.final, side, numbers, count, move);
    if (matches == 0) return moveName(ply, word) + " is not legal";
    if (matches > 1)
        return moveName(ply, word) + " could be " + std::to_string(matches) +
               " moves; write its squares";
    const Position before = game.final;
    playMove(before, game.final, move, side);
    game.moves.push_back(move);
    return "";
}

std::string readTags(Reader& r, PdnGame& game) {
    while (true) {
        if (std::string what = skipIgnored(r); !what.empty()) return what;
        if (r.at == r.text.size() || r.text[r.at] != '[') return "";
        game.tags.emplace_back();
        if (std::string what = readTag(r, game.tags.back()); !what.empty()) return what;
    }
}

// The move text up to the result, the next game's tags or the end.
std::string readMoves(Reader& r, PdnGame& game) {
    while (true) {
        if (std::string what = skipIgnored(r); !what.empty()) return what;
        if (r.at == r.text.size() || r.text[r.at] == '[') return "";
        const std::string_view word = readWord(r);
        if (word.empty())
            return "unexpected " + shown(r.text.substr(r.at, 1)) + " after " +
                   std::to_string(game.moves.size()) + " moves";
        if (isResult(word)) {
            game.result = word;
            return "";
        }
        const std::string_view move = withoutMoveNumber(word);
        if (move.empty()) continue;
        if (std::string what = playWord(move, game); !what.empty()) return what;
    }
}

} // namespace

// Side 0 moves first, so it is Black on 8x8 (its back row, our row 7, holds 1-4)
// and White on 10x10 (its back row, our row 9, holds 46-50, 46 on our column 9).
int32_t pdnSquare(Square square) {
    if (!onTenByTen()) return 4 * (7 - square.row) + square.column / 2 + 1;
    return 5 * square.row + (9 - square.column) / 2 + 1;
}

bool squareOfPdn(int32_t number, Square& square) {
    const int32_t perRow = boardSize / 2;
    if (number < 1 || number > perRow * boardSize) return false;
    const int32_t rank = (number - 1) / perRow, place = (number - 1) % perRow;
    if (!onTenByTen()) {
        square = {2 * place + (rank % 2 == 0 ? 1 : 0), 7 - rank};
    } else {
        square = {9 - 2 * place - (rank % 2 == 0 ? 1 : 0), rank};
    }
    return true;
}

const std::string* findTag(const PdnGame& game, std::string_view name) {
    for (const PdnTag& tag : game.tags)
        if (tag.name == name) return &tag.value;
    return nullptr;
}

std::string readPdnGame(std::string_view text, PdnGame& game, const PdnStart* start) {
    game = PdnGame{};
    Reader r{text, 0};
    if (std::string what = readTags(r, game); !what.empty()) return what;
    if (std::string what = chooseVariant(game, start != nullptr, game.variant); !what.empty())
        return what;
    if (start != nullptr && start->variant != game.variant)
        return "the set-up position is not of the rule set the tags name";
    const int32_t previous = ruleVariant;
    selectRuleVariant(game.variant);
    setUpPosition(game.final);
    if (start != nullptr) {
        game.final = start->position;
        game.firstSide = start->side;
    }
    std::string what = readMoves(r, game);
    if (what.empty() && game.tags.empty() && game.moves.empty() && game.result.empty())
        what = "no PDN game found";
    if (!what.empty()) selectRuleVariant(previous);
    return what;
}

std::string readPdnFile(const char* path, std::string& text) {
    text.clear();
    // Non-blocking, so that a FIFO under the name is refused instead of waited on.
    const int fd = ::open(path, O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) return std::string("cannot read ") + shown(path) + ": " + std::strerror(errno);
    struct stat status {};
    std::string what;
    if (::fstat(fd, &status) != 0 || !S_ISREG(status.st_mode))
        what = shown(path) + " is not a plain file";
    char chunk[4096];
    while (what.empty() && text.size() < MaxPdnFileBytes) {
        const ssize_t got = ::read(fd, chunk, sizeof chunk);
        if (got < 0 && errno == EINTR) continue;
        if (got < 0) what = std::string("cannot read ") + shown(path) + ": " + std::strerror(errno);
        if (got <= 0) break;
        text.append(chunk, static_cast<size_t>(got));
    }
    ::close(fd);
    return what;
}
