#pragma once
// Entering and leaving the delivery stop. While stopped, Command2 (the release
// command) is enabled, the settings and target-editor commands are locked and
// the main window is red; the sweep reads the state back from Command2.
struct SharedState;
class MonitorDisplay;

// The stop display, and the count of clean sweeps starts from nothing.
void enter_delivery_stop(SharedState& state, MonitorDisplay& display);

// Back to normal: normal display, chk_yokusi_cnt and fukkyu_cnt 0, the
// counter display following. Sends nothing and leaves Label6 alone.
void leave_delivery_stop(SharedState& state, MonitorDisplay& display);

// The release command's handler: the operator ends the stop by hand.
void Command2_Click(SharedState& state, MonitorDisplay& display);
