#pragma once
// Monitoring without a display: the same start-up, checks, notices and
// delivery stop as the window, driven by a timer and by signals.
#include <optional>

#include "core/echo_engine.h"

struct CommandLine;

// Returns the exit status: 0 after SIGTERM or SIGINT, 1 when start-up failed.
// echo_refused: why no echo socket could be opened; none when one was.
int run_headless(int argc, char** argv, EchoEngine& engine,
                 const std::optional<EchoFailure>& echo_refused, const CommandLine& options);
