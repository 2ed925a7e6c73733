#pragma once

#include <QString>

// The words an attempt's state is held in: the hidden field
// `connectionStatus` and the dialer's status word. They are compared only
// here; everything else uses the enum.
namespace connection {

enum class State {
    None, // empty: no attempt, or one just started
    InProgress, // "in progress"
    Connected, // "connected"
    Error, // "error": the dial failed, its code is in the dialer
    Stop, // "stop": the dial was abandoned (dialer only)
    Disconnected, // "disconnected": reset by the user or the monitor (field only)
};

// The state a word stands for; an unknown word counts as None.
State stateOf(const QString& word);
QString wordOf(State state);

} // namespace connection
