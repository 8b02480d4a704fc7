// korvath-engine's command interpreter: one command line in, at most one answer line out.
// Owns the engine's session (its position and rule set), kept from command to command.
#pragma once

#include <string>
#include <string_view>

struct EngineAnswer {
    bool hasAnswer; // false for blank and comment lines, and for quit
    bool quit;      // the command was quit
    std::string text;
};

EngineAnswer answerCommand(std::string_view line);
