#pragma once
// Files that are not plain files: a named pipe blocks whoever opens it for
// reading until someone opens it for writing.
#include <chrono>
#include <functional>
#include <string>

#include "support/temp_folder.h"

// Makes a named pipe `name` in `folder`; returns its path ("" on failure).
std::string MakeFifo(const TempFolder& folder, const std::string& name);

// Runs `read`. True when it returns within `limit`; otherwise a watchdog opens
// the pipe at `fifo` for writing and closes it, so that the blocked reader
// sees the end and the test can go on, and the result is false.
bool ReturnsWithoutBlocking(const std::string& fifo, const std::function<void()>& read,
                            std::chrono::milliseconds limit = std::chrono::seconds(5));
