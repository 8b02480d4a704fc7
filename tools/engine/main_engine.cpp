// korvath-engine: reads commands from standard input, one answer line per command, flushed.
#include <cstdio>
#include <iostream>
#include <string>

#include "tools/engine/engine.h"

int main() {
    std::string line;
    while (std::getline(std::cin, line)) {
        const EngineAnswer answer = answerCommand(line);
        if (answer.quit) break;
        if (!answer.hasAnswer) continue;
        std::fputs(answer.text.c_str(), stdout);
        std::fputc('\n', stdout);
        std::fflush(stdout);
    }
    return 0;
}
