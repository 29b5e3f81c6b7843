#pragma once
// Monitoring without a display: the same start-up, checks, notices and
// delivery stop as the window, driven by a timer and by signals.
class EchoEngine;
struct CommandLine;

// Returns the exit status: 0 after SIGTERM or SIGINT, 1 when start-up failed.
// echo_right_error: 0, or the errno that kept the echo socket from opening.
int run_headless(int argc, char** argv, EchoEngine& engine, int echo_right_error,
                 const CommandLine& options);
