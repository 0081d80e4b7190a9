#include "engine/text.h"

#include <cstdarg>
#include <cstdint>
#include <cstdio>

#include "engine/c_locale.h"

namespace quorvat {

namespace {
// Windows-1252 code points of the bytes 0x80..0x9F; 0 where the byte is undefined.
constexpr char16_t cp1252_high[32] = {
    0x20AC, 0,      0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
    0x2039, 0x0152, 0,      0x017D, 0,      0,      0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
    0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0,      0x017E, 0x0178};

void append_utf8(std::string& out, uint32_t code) {
    if (code < 0x80) {
        out += static_cast<char>(code);
    } else if (code < 0x800) {
        out += static_cast<char>(0xC0 | (code >> 6));
        out += static_cast<char>(0x80 | (code & 0x3F));
    } else {
        out += static_cast<char>(0xE0 | (code >> 12));
        out += static_cast<char>(0x80 | ((code >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (code & 0x3F));
    }
}

// Length of the valid UTF-8 sequence at text[i], or 0 when it is not valid.
std::size_t sequence_length(std::string_view text, std::size_t i) {
    auto byte = [&](std::size_t k) { return static_cast<unsigned char>(text[k]); };
    unsigned char lead = byte(i);
    if (lead < 0x80) return 1;
    std::size_t length;
    uint32_t code;
    if (lead >= 0xC2 && lead <= 0xDF) {
        length = 2;
        code = lead & 0x1F;
    } else if (lead >= 0xE0 && lead <= 0xEF) {
        length = 3;
        code = lead & 0x0F;
    } else if (lead >= 0xF0 && lead <= 0xF4) {
        length = 4;
        code = lead & 0x07;
    } else {
        return 0;
    }
    if (i + length > text.size()) return 0;
    for (std::size_t k = 1; k < length; ++k) {
        if ((byte(i + k) & 0xC0) != 0x80) return 0;
        code = (code << 6) | (byte(i + k) & 0x3F);
    }
    // Reject overlong forms, surrogates and code points beyond U+10FFFF.
    if ((length == 3 && code < 0x800) || (length == 4 && (code < 0x10000 || code > 0x10FFFF)) ||
        (code >= 0xD800 && code <= 0xDFFF))
        return 0;
    return length;
}
}  // namespace

void append_format(std::string& line, const char* format, ...) {
    CLocaleScope c_numbers;
    char buffer[128];
    va_list args;
    va_start(args, format);
    int length = std::vsnprintf(buffer, sizeof buffer, format, args);
    va_end(args);
    if (length < 0) return;
    if (static_cast<std::size_t>(length) < sizeof buffer) {
        line.append(buffer, static_cast<std::size_t>(length));
        return;
    }
    // Too long for the buffer: format again into room of the right size.
    std::size_t start = line.size();
    line.resize(start + static_cast<std::size_t>(length) + 1);
    va_start(args, format);
    std::vsnprintf(line.data() + start, static_cast<std::size_t>(length) + 1, format, args);
    va_end(args);
    line.resize(start + static_cast<std::size_t>(length));
}

bool is_valid_utf8(std::string_view bytes) {
    for (std::size_t i = 0; i < bytes.size();) {
        std::size_t length = sequence_length(bytes, i);
        if (length == 0) return false;
        i += length;
    }
    return true;
}

std::size_t character_count(std::string_view bytes) {
    if (!is_valid_utf8(bytes)) return bytes.size();
    std::size_t count = 0;
    for (unsigned char byte : bytes)
        if ((byte & 0xC0) != 0x80) ++count;
    return count;
}

std::string to_utf8(std::string_view bytes) {
    if (is_valid_utf8(bytes)) return std::string(bytes);
    // Valid UTF-8 sequences stay; every other byte is a Windows-1252 character, so a line
    // that mixes the two (a UTF-8 message around a Windows-1252 name) shows both.
    std::string out;
    out.reserve(bytes.size() * 2);
    for (std::size_t i = 0; i < bytes.size();) {
        auto byte = static_cast<unsigned char>(bytes[i]);
        std::size_t length = sequence_length(bytes, i);
        if (length > 0) {
            out.append(bytes.substr(i, length));
            i += length;
            continue;
        }
        if (byte < 0xA0)
            append_utf8(out, cp1252_high[byte - 0x80] ? cp1252_high[byte - 0x80] : 0xFFFD);
        else
            append_utf8(out, byte);  // the Latin-1 range
        ++i;
    }
    return out;
}

}  // namespace quorvat
