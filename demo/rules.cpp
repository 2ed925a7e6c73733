#include "rules.h"

#include <QByteArray>
#include <QCryptographicHash>
#include <QString>

bool demo::isDigest(const std::string& text)
{
    return text.size() == 32 && text.find_first_not_of("0123456789abcdefABCDEF") == std::string::npos;
}

std::string demo::md5Hex(const std::string& bytes)
{
    const QByteArray data(bytes.data(), static_cast<int>(bytes.size()));
    return QCryptographicHash::hash(data, QCryptographicHash::Md5).toHex().toStdString();
}

std::string demo::lowerCase(std::string text)
{
    for (char& c : text) {
        if (c >= 'A' && c <= 'Z')
            c = static_cast<char>(c - 'A' + 'a');
    }
    return text;
}

std::string demo::trimmed(const std::string& text)
{
    const std::size_t first = text.find_first_not_of(" \t");
    if (first == std::string::npos)
        return {};
    return text.substr(first, text.find_last_not_of(" \t") - first + 1);
}

bool demo::isPrintableText(const std::string& text)
{
    for (const char c : text) {
        if (static_cast<unsigned char>(c) < 0x20 || c == 0x7f)
            return false;
    }
    const QByteArray bytes(text.data(), static_cast<int>(text.size()));
    return QString::fromUtf8(bytes).toUtf8() == bytes;
}

bool demo::isEmailAddress(const std::string& text)
{
    const std::size_t at = text.find('@');
    if (text.size() > 100 || at == std::string::npos || at == 0 || text.find('@', at + 1) != std::string::npos)
        return false;
    const std::string domain = text.substr(at + 1);
    const std::size_t dot = domain.find('.');
    if (dot == std::string::npos || dot == 0 || domain.back() == '.')
        return false;
    // "|" and "^" separate the fields of the client's plain-text reply and quick-connect list.
    return isPrintableText(text) && text.find_first_of(" |^") == std::string::npos;
}

std::string demo::xmlEscaped(const std::string& text)
{
    std::string escaped;
    escaped.reserve(text.size());
    for (const char c : text) {
        switch (c) {
        case '&':
            escaped += "&amp;";
            break;
        case '<':
            escaped += "&lt;";
            break;
        case '>':
            escaped += "&gt;";
            break;
        case '"':
            escaped += "&quot;";
            break;
        default:
            escaped += c;
        }
    }
    return escaped;
}
