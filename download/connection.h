#pragma once

#include <cstddef>
#include <memory>
#include <optional>

class Task;

// The body of a connection thread. Without a range it is the task's first
// connection: it makes the opening exchange, the local file and the range
// table; with one it fetches that range through the range exchange.
void runConnection(std::shared_ptr<Task> task, int id, std::optional<std::size_t> range);
