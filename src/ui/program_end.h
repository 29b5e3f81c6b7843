#pragma once
// Ending the program from the main window: at once, without running the
// secondary windows' close questions and without saving anything.

// Marks the program as ending and leaves the event loop. QCoreApplication::exit
// does not send close events (quit() would, and the windows would ask).
void end_program();

// True once end_program has run; close handlers then let their window go
// without a question.
bool program_ending();
