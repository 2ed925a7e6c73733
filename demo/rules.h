#pragma once

#include <string>

// Small checks and conversions the service applies to what it reads.
namespace demo {

// 32 hexadecimal digits, either case.
bool isDigest(const std::string& text);

// Lower-case hex MD5 of the bytes.
std::string md5Hex(const std::string& bytes);

// ASCII letters lowered; other bytes kept.
std::string lowerCase(std::string text);

// Surrounding spaces and tabs removed.
std::string trimmed(const std::string& text);

// Valid UTF-8 without control characters: text that can go into a document as it is.
bool isPrintableText(const std::string& text);

// One "@" between a non-empty local part and a dotted domain, no white space,
// and none of the separators of the client's plain-text replies.
bool isEmailAddress(const std::string& text);

std::string xmlEscaped(const std::string& text);

} // namespace demo
