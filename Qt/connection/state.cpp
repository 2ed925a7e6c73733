#include "connection/state.h"

namespace {
struct Word {
    connection::State state;
    const char* text;
};
constexpr Word words[] = {
    { connection::State::None, "" },
    { connection::State::InProgress, "in progress" },
    { connection::State::Connected, "connected" },
    { connection::State::Error, "error" },
    { connection::State::Stop, "stop" },
    { connection::State::Disconnected, "disconnected" },
};
} // namespace

connection::State connection::stateOf(const QString& word)
{
    for (const Word& row : words) {
        if (word == QLatin1String(row.text))
            return row.state;
    }
    return State::None;
}

QString connection::wordOf(State state)
{
    for (const Word& row : words) {
        if (row.state == state)
            return QString::fromLatin1(row.text);
    }
    return QString();
}
