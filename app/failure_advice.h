// The lines a failure box adds under its first line: what went wrong in this
// machine's terms and what cures it. One table, FailureAdviceTable, holds every
// text; it is constant, and the fillers read the settings globals.
#pragma once

#include <string>

// How a row's failure text is compared with the failed step's text.
enum class FailureMatch {
    Whole,  // the same text
    Start,  // the step's text starts with it ("cannot create /home/...")
    Within, // the step's text holds it ("Cannot open DATAS/QVR.RAW")
};

struct FailureAdvice {
    const char* failure; // the box's first line as the step words it (after "ERROR:")
    FailureMatch match;  // how failure is compared
    bool (*applies)();   // a further condition on the settings, or nullptr for none
    const char* advice;  // one or two lines; {settings}, {width}, {height} and
                         // {hardware} are replaced by the settings file and its values
};

extern const FailureAdvice FailureAdviceTable[];
extern const int FailureAdviceCount;

// The advice of the first row that matches, filled in; "" when none does.
std::string failureAdvice(const char* failure);
// A box's whole text: the first line, then its advice on the lines below.
std::string failureBoxText(const char* firstLine, const char* failure);
