#include "util/gne_text.h"

#include <unistd.h>

#include <cstdlib>
#include <cstring>
#include <string>

#include "platform/core/encoding.h"
#include "util/gne_error.h"

bool GneIsLeadByte(uint8_t byte) {
    return (byte >= 0x81 && byte <= 0x9F) || (byte >= 0xE0 && byte <= 0xFC);
}

size_t GneFitCp932(const char* text, size_t len, size_t max) {
    if (len <= max) return len;
    size_t i = 0;
    while (i < len) {
        const size_t w = (GneIsLeadByte(static_cast<uint8_t>(text[i])) && i + 1 < len) ? 2 : 1;
        if (i + w > max) break;
        i += w;
    }
    return i;
}

// ---- Base64 ----

char GneBase64Digit(int value) {
    static const char kAlphabet[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
    if (value < 0 || value > 63) return 0;
    return kAlphabet[value];
}

void GneEncodeBase64(const uint8_t* in, size_t n, char* out, int* out_length) {
    size_t o = 0;
    size_t i = 0;
    for (; i + 3 <= n; i += 3) {
        const uint32_t group = (uint32_t(in[i]) << 16) | (uint32_t(in[i + 1]) << 8) | in[i + 2];
        out[o++] = GneBase64Digit((group >> 18) & 63);
        out[o++] = GneBase64Digit((group >> 12) & 63);
        out[o++] = GneBase64Digit((group >> 6) & 63);
        out[o++] = GneBase64Digit(group & 63);
    }
    const size_t rest = n - i;
    if (rest == 1) {
        const uint32_t group = uint32_t(in[i]) << 16;
        out[o++] = GneBase64Digit((group >> 18) & 63);
        out[o++] = GneBase64Digit((group >> 12) & 63);
        out[o++] = '=';
        out[o++] = '=';
    } else if (rest == 2) {
        const uint32_t group = (uint32_t(in[i]) << 16) | (uint32_t(in[i + 1]) << 8);
        out[o++] = GneBase64Digit((group >> 18) & 63);
        out[o++] = GneBase64Digit((group >> 12) & 63);
        out[o++] = GneBase64Digit((group >> 6) & 63);
        out[o++] = '=';
    }
    if (out_length != nullptr) *out_length = static_cast<int>(o);
}

std::string GneEncodeBase64(const void* in, size_t n) {
    std::string text((n + 2) / 3 * 4, '\0');
    int length = 0;
    GneEncodeBase64(static_cast<const uint8_t*>(in), n, &text[0], &length);
    text.resize(static_cast<size_t>(length));
    return text;
}

// ---- Comparison and patterns ----

static char UpperAscii(char c) { return (c >= 'a' && c <= 'z') ? static_cast<char>(c - 'a' + 'A') : c; }

int GneCompareNoCase(const char* a, const char* b, int n) {
    for (int i = 0; i < n; ++i) {
        if (UpperAscii(a[i]) != UpperAscii(b[i])) return 0;
    }
    return 1;
}

int GneMatchWildcard(const char* pattern, const char* text) {
    const char* p = pattern != nullptr ? pattern : "";
    const char* t = text != nullptr ? text : "";
    for (;;) {
        if (*p == '*') return 1;
        if (*t == 0) return *p == 0 ? 1 : 0;
        if (*p == 0) return 0;
        if (*p != '?' && *p != *t) return 0;
        ++p;
        ++t;
    }
}

int GneContainsPattern(const char* text, const char* pattern) {
    if (text == nullptr || text[0] == 0) return 0;
    std::string cut(pattern != nullptr ? pattern : "");
    const size_t star = cut.find('*');
    if (star != std::string::npos) cut.resize(star);
    if (cut.empty()) return 1;
    return std::strstr(text, cut.c_str()) != nullptr ? 1 : 0;
}

// ---- Tokenisers ----

int GneSplitCommandLine(const char* text, char out[kCommandLineSlots][kCommandLineSlotSize]) {
    for (int i = 0; i < kCommandLineSlots; ++i) out[i][0] = 0;
    if (text == nullptr) return 0;
    int slot = 0;
    int pos = 0;
    bool quoted = false;
    for (const char* c = text; *c != 0; ++c) {
        if (*c == '"') {
            quoted = !quoted;
            continue;
        }
        if (*c == ' ' && !quoted) {
            if (slot + 1 >= kCommandLineSlots) break;
            ++slot;
            pos = 0;
            continue;
        }
        // A double-byte character is kept whole or dropped whole.
        const int width = (GneIsLeadByte(static_cast<uint8_t>(*c)) && c[1] != 0) ? 2 : 1;
        if (pos + width <= kCommandLineSlotSize - 1) {
            for (int k = 0; k < width; ++k) out[slot][pos++] = c[k];
            out[slot][pos] = 0;
        } else {
            pos = kCommandLineSlotSize - 1;  // full: the rest of this token is dropped
        }
        c += width - 1;
    }
    return slot;
}

static const char* FindOperator(const char* text) { return std::strpbrk(text, "<=>"); }

void GneSplitAssignment(const char* text, char* name, char* value) {
    name[0] = 0;
    value[0] = 0;
    if (text == nullptr) return;
    const char* op = FindOperator(text);
    if (op == nullptr) {
        std::strcpy(name, text);
        return;
    }
    const size_t name_len = static_cast<size_t>(op - text);
    std::memcpy(name, text, name_len);
    name[name_len] = 0;
    const char* rest = op + 1;
    if (*rest == '=') ++rest;
    size_t o = 0;
    for (; *rest != 0; ++rest) {
        if (*rest != '\'') value[o++] = *rest;
    }
    value[o] = 0;
}

void GneSplitComparison(const char* text, char* left, char* right, char* op) {
    left[0] = 0;
    right[0] = 0;
    op[0] = 0;
    if (text == nullptr) return;
    const char* at = FindOperator(text);
    if (at == nullptr) {
        std::strcpy(left, text);
        return;
    }
    const size_t left_len = static_cast<size_t>(at - text);
    std::memcpy(left, text, left_len);
    left[left_len] = 0;
    op[0] = *at;
    op[1] = 0;
    const char* rest = at + 1;
    if (*rest == '=') {
        op[1] = '=';
        op[2] = 0;
        ++rest;
    }
    std::strcpy(right, rest);
}

void GneParseRatio(const char* text, int* first, int* second) {
    char a[256] = {0};
    char b[256] = {0};
    const char* colon = text != nullptr ? std::strchr(text, ':') : nullptr;
    if (colon == nullptr) {
        GneErrorMsg(kGneBadParameter);
        if (text != nullptr) std::strncpy(a, text, sizeof a - 1);
    } else {
        const size_t len = static_cast<size_t>(colon - text);
        std::memcpy(a, text, len < sizeof a - 1 ? len : sizeof a - 1);
        std::strncpy(b, colon + 1, sizeof b - 1);
    }
    if (first != nullptr) *first = std::atoi(a);
    if (second != nullptr) *second = std::atoi(b);
}

int GneSplitBySemicolon(const char* text, char (*out)[256], int max_slots) {
    if (text == nullptr || text[0] == 0 || max_slots < 1) return 0;
    int count = 0;
    const char* start = text;
    for (;;) {
        const char* end = std::strchr(start, ';');
        const size_t len = end != nullptr ? static_cast<size_t>(end - start) : std::strlen(start);
        if (end == nullptr && len == 0) break;  // a final ';' adds nothing
        if (count >= max_slots) break;
        const size_t copy = GneFitCp932(start, len, 255);
        std::memcpy(out[count], start, copy);
        out[count][copy] = 0;
        ++count;
        if (end == nullptr) break;
        start = end + 1;
    }
    return count;
}

// ---- Numbers ----

int GneParseHex(const char* text) {
    unsigned value = 0;
    if (text == nullptr) return 0;
    for (const char* c = text; *c != 0; ++c) {
        unsigned digit = 0;
        if (*c >= '0' && *c <= '9') {
            digit = static_cast<unsigned>(*c - '0');
        } else if (*c >= 'a' && *c <= 'f') {
            digit = static_cast<unsigned>(*c - 'a' + 10);
        } else if (*c >= 'A' && *c <= 'F') {
            digit = static_cast<unsigned>(*c - 'A' + 10);
        } else {
            GneErrorMsg(kGneBadHexData);
        }
        value = (value << 4) + digit;
    }
    return static_cast<int>(value);
}

int GneIsDigits(const char* text) {
    if (text == nullptr) return 1;
    for (const char* c = text; *c != 0; ++c) {
        if (*c < '0' || *c > '9') return 0;
    }
    return 1;
}

// ---- Paths ----

static bool IsSeparator(char c) { return c == '\\' || c == '/'; }

// Index of the last separator that is no trail byte, walking the text
// character by character; -1 when there is none.
static long LastSeparator(const char* path) {
    long last = -1;
    for (long i = 0; path[i] != 0;) {
        const uint8_t byte = static_cast<uint8_t>(path[i]);
        if (GneIsLeadByte(byte) && path[i + 1] != 0) {
            i += 2;
            continue;
        }
        if (IsSeparator(path[i])) last = i;
        ++i;
    }
    return last;
}

int GneStripExtension(char* path) {
    if (path == nullptr) return -1;
    char* dot = std::strrchr(path, '.');
    if (dot == nullptr) return -1;
    *dot = 0;
    return static_cast<int>(dot - path);
}

void GneGetFolder(char* out, const char* path) {
    constexpr size_t kCapacity = 260;
    out[0] = 0;
    const long sep = path != nullptr ? LastSeparator(path) : -1;
    if (sep >= 1) {
        const size_t len = static_cast<size_t>(sep) < kCapacity - 1 ? static_cast<size_t>(sep) : kCapacity - 1;
        std::memmove(out, path, len);
        out[len] = 0;
        return;
    }
    if (sep == 0 && path[0] == '/') {
        std::strcpy(out, "/");
        return;
    }
    char buffer[4096];
    if (getcwd(buffer, sizeof buffer) == nullptr) {
        GneErrorMsg(kGneNoCurrentFolder);
        return;
    }
    const size_t len = std::strlen(buffer);
    const size_t copy = len < kCapacity - 1 ? len : kCapacity - 1;
    std::memcpy(out, buffer, copy);
    out[copy] = 0;
}

void GneGetFileName(char* out, const char* path) {
    if (path == nullptr) {
        out[0] = 0;
        return;
    }
    const long sep = LastSeparator(path);
    std::memmove(out, path + sep + 1, std::strlen(path + sep + 1) + 1);
}

std::string GneGetExtension(const std::string& path) {
    const size_t dot = path.rfind('.');
    if (dot == std::string::npos) return std::string();
    std::string ext = path.substr(dot + 1);
    for (size_t i = 0; i < ext.size(); ++i) {
        char& c = ext[i];
        if (GneIsLeadByte(static_cast<uint8_t>(c))) {
            ++i;  // the second byte of a double-byte character is no letter
        } else if (c >= 'A' && c <= 'Z') {
            c = static_cast<char>(c - 'A' + 'a');
        }
    }
    return ext;
}

void GneGetExtension(const char* path, char* out) {
    const std::string ext = GneGetExtension(std::string(path != nullptr ? path : ""));
    std::memcpy(out, ext.c_str(), ext.size() + 1);
}

// ---- Letter case and code pages ----

void GneToLowerCase(char* text) {
    if (text == nullptr) return;
    for (size_t i = 0; text[i] != 0;) {
        const uint8_t byte = static_cast<uint8_t>(text[i]);
        if (GneIsLeadByte(byte) && text[i + 1] != 0) {
            const uint8_t trail = static_cast<uint8_t>(text[i + 1]);
            // Full-width capitals 0x8260-0x8279 become small 0x8281-0x829A.
            if (byte == 0x82 && trail >= 0x60 && trail <= 0x79) {
                text[i + 1] = static_cast<char>(trail + 0x21);
            }
            i += 2;
            continue;
        }
        if (byte >= 'A' && byte <= 'Z') text[i] = static_cast<char>(byte - 'A' + 'a');
        ++i;
    }
}

int GneToUtf8(char* text, size_t capacity) {
    if (text == nullptr) return 0;
    const std::string utf8 = plat::Cp932ToUtf8(std::string(text));
    if (utf8.size() + 1 > capacity) return 0;
    std::memcpy(text, utf8.c_str(), utf8.size() + 1);
    return 1;
}

// ---- Files in memory ----

int GneSkipMacBinaryHeader(uint8_t* data, const char* tag, int* length) {
    if (data == nullptr || length == nullptr) return 0;
    if (tag != nullptr) {
        if (*length < 132 || std::memcmp(data + 128, tag, 4) != 0) return 0;
    } else if (*length <= 128) {
        return 0;
    }
    std::memmove(data, data + 128, static_cast<size_t>(*length - 128));
    *length -= 128;
    return 1;
}
