// The plain line that a failed start writes to standard error beside the
// error box: what is wrong, in words a player can act on. Reads the settings
// globals; owns no state.
#pragma once

#include <string>

// failure: the text of the failed step, as the error box shows it after "ERROR:".
std::string failureAdvice(const char* failure);
