#pragma once

#include <string_view>

// Returns only when this copy may go on; ends it with exit code 0, silently,
// while another copy holding the same name runs. The lock goes with the
// process; a failure to take it lets this copy go on.
void ensureSingleInstance(std::string_view name);
