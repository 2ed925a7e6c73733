#pragma once

#include <QString>

#include <cstddef>

// Explanatory texts for the remote-access error codes a PPTP or L2TP dial can
// leave in the dialer's error code.
namespace connection {
// The message for one error code; codes without their own message get the
// generic text. Translated in the "VelnorMain" context.
QString pppErrorText(int code);
// How many codes have their own message.
std::size_t knownPPPErrorCount();
} // namespace connection
