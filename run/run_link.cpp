#include "run/run_link.h"

#include <algorithm>
#include <array>
#include <cstdint>

#ifdef TREMBLO_HAVE_ZLIB
#include <zlib.h>
#endif

namespace {

constexpr std::string_view kRunField = "run=";
constexpr char kBase64Url[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789-_";

int hexValue(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

// The fragment (after the first '#') with its %XX escapes decoded: mail programs write '&' and
// '=' as %26 and %3D. Strict: false when a '%' is not followed by two hexadecimal digits;
// otherwise such a '%' is kept as it is.
bool decodedFragment(std::string_view address, bool strict, std::string& fragment) {
    fragment.clear();
    const std::size_t hash = address.find('#');
    if (hash == std::string_view::npos) return true;
    for (std::size_t i = hash + 1; i < address.size(); ++i) {
        const bool escape = address[i] == '%' && i + 2 < address.size();
        const int high = escape ? hexValue(address[i + 1]) : -1;
        const int low = escape ? hexValue(address[i + 2]) : -1;
        if (address[i] == '%' && (high < 0 || low < 0)) {
            if (strict) return false;
            fragment += '%';
        } else if (address[i] == '%') {
            fragment += static_cast<char>(high * 16 + low);
            i += 2;
        } else {
            fragment += address[i];
        }
    }
    return true;
}

// The value of the fragment's run field, or false when there is none. Fields are separated
// by '&'; the page's `paused` is one.
bool runField(std::string_view fragment, std::string_view& data) {
    while (!fragment.empty()) {
        const std::size_t amp = fragment.find('&');
        const std::string_view field = fragment.substr(0, amp);
        if (field.substr(0, kRunField.size()) == kRunField) {
            data = field.substr(kRunField.size());
            return true;
        }
        if (amp == std::string_view::npos) break;
        fragment.remove_prefix(amp + 1);
    }
    return false;
}

int base64Value(char c) {
    if (c >= 'A' && c <= 'Z') return c - 'A';
    if (c >= 'a' && c <= 'z') return c - 'a' + 26;
    if (c >= '0' && c <= '9') return c - '0' + 52;
    if (c == '-') return 62;
    if (c == '_') return 63;
    return -1;
}

// A byte of the address as a message names it (web/page/run_link.js names it alike).
std::string byteShown(char c) {
    static const char kHex[] = "0123456789abcdef";
    const auto b = static_cast<unsigned char>(c);
    if (b == ' ') return "a space";
    if (b > ' ' && b < 0x7f) return std::string("'") + c + "'";
    return std::string("byte 0x") + kHex[b >> 4] + kHex[b & 0xf];
}

bool fromBase64Url(std::string_view data, std::string& bytes, std::string& error) {
    // Padding is not written, but a copied address may carry it.
    while (!data.empty() && data.back() == '=') data.remove_suffix(1);
    // A foreign character first: a space in the data also makes its length look cut short.
    for (std::size_t i = 0; i < data.size(); ++i) {
        if (base64Value(data[i]) < 0) {
            error = "the run in the address holds a character that is not base64url (" + byteShown(data[i]) +
                    ", at position " + std::to_string(i + 1) + ")";
            return false;
        }
    }
    if (data.size() % 4 == 1) {
        error = "the run in the address is cut short (" + std::to_string(data.size()) + " base64url characters)";
        return false;
    }
    bytes.clear();
    bytes.reserve(data.size() / 4 * 3 + 2);
    std::uint32_t bits = 0;
    int held = 0;
    for (std::size_t i = 0; i < data.size(); ++i) {
        const int value = base64Value(data[i]);
        bits = (bits << 6) | static_cast<std::uint32_t>(value);
        held += 6;
        if (held >= 8) {
            held -= 8;
            bytes += static_cast<char>((bits >> held) & 0xff);
        }
    }
    return true;
}

}  // namespace

bool runAddressStep(std::string_view address, std::optional<std::uint64_t>& at, std::string& error) {
    at.reset();
    std::string decoded;
    decodedFragment(address, false, decoded);
    std::string_view fragment = decoded;
    for (;;) {
        const std::size_t amp = fragment.find('&');
        const std::string_view field = fragment.substr(0, amp);
        if (field == "at" || field.substr(0, 3) == "at=") {
            std::uint64_t step = 0;
            if (at) {
                error = "the address gives at= twice";
                return false;
            }
            if (!readStepCount(field.substr(std::min<std::size_t>(3, field.size())), step)) {
                error = "the address's at= is not a step count (digits only, within 64 bits)";
                return false;
            }
            at = step;
        }
        if (amp == std::string_view::npos) return true;
        fragment.remove_prefix(amp + 1);
    }
}

std::string toBase64Url(std::string_view bytes) {
    std::string out;
    std::uint32_t bits = 0;
    int held = 0;
    for (const char c : bytes) {
        bits = (bits << 8) | static_cast<unsigned char>(c);
        held += 8;
        while (held >= 6) {
            held -= 6;
            out += kBase64Url[(bits >> held) & 63];
        }
    }
    if (held > 0) out += kBase64Url[(bits << (6 - held)) & 63];
    return out;
}

bool isRunAddress(std::string_view argument) {
    std::string fragment;
    std::string_view data;
    decodedFragment(argument, false, fragment);
    return runField(fragment, data);
}

#ifdef TREMBLO_HAVE_ZLIB

bool canDecodeRunAddress() { return true; }

namespace {

bool inflateRun(std::string_view packed, std::string& text, std::string& error) {
    z_stream stream{};
    if (inflateInit(&stream) != Z_OK) {
        error = "cannot start inflating the run";
        return false;
    }
    stream.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(packed.data()));
    stream.avail_in = static_cast<uInt>(packed.size());
    text.clear();
    std::array<char, 1 << 15> buffer;
    int status = Z_OK;
    bool tooLong = false;
    while (status == Z_OK) {
        stream.next_out = reinterpret_cast<Bytef*>(buffer.data());
        stream.avail_out = static_cast<uInt>(buffer.size());
        status = inflate(&stream, Z_NO_FLUSH);
        text.append(buffer.data(), buffer.size() - stream.avail_out);
        if (text.size() > kMaxLinkedRunBytes) {
            tooLong = true;
            break;
        }
        // No progress with input left would loop for ever; without input it is cut short.
        if (status == Z_BUF_ERROR) break;
    }
    const bool trailing = status == Z_STREAM_END && stream.avail_in != 0;
    inflateEnd(&stream);
    if (tooLong) {
        error = "the run in the address is longer than 1 MB";
    } else if (status == Z_STREAM_END && !trailing) {
        return true;
    } else if (trailing) {
        error = "the run in the address is damaged (bytes after its end)";
    } else if (status == Z_BUF_ERROR) {
        error = "the run in the address is damaged (cut short)";
    } else {
        error = "the run in the address is damaged (not deflate data)";
    }
    return false;
}

}  // namespace

std::string encodeRunData(std::string_view text) {
    uLongf size = compressBound(static_cast<uLong>(text.size()));
    std::string packed(size, '\0');
    compress2(reinterpret_cast<Bytef*>(packed.data()), &size, reinterpret_cast<const Bytef*>(text.data()),
              static_cast<uLong>(text.size()), Z_BEST_COMPRESSION);
    packed.resize(size);
    return toBase64Url(packed);
}

#else

bool canDecodeRunAddress() { return false; }

namespace {

bool inflateRun(std::string_view, std::string&, std::string& error) {
    error = "this build reads no runs from addresses (it has no zlib); download the run from the page and give the file";
    return false;
}

}  // namespace

std::string encodeRunData(std::string_view) { return {}; }

#endif

bool decodeRunAddress(std::string_view address, std::string& text, std::string& error) {
    if (!isRunAddress(address)) {
        error = "the address holds no run (no #run= field)";
        return false;
    }
    std::string fragment;
    std::string_view data;
    if (!decodedFragment(address, true, fragment)) {
        error = "the address holds a '%' that is not followed by two hexadecimal digits";
        return false;
    }
    runField(fragment, data);
    std::string packed;
    if (!fromBase64Url(data, packed, error)) return false;
    return inflateRun(packed, text, error);
}

bool readStepCount(std::string_view text, std::uint64_t& value) {
    if (text.empty()) return false;
    value = 0;
    for (const char c : text) {
        if (c < '0' || c > '9') return false;
        const auto digit = static_cast<std::uint64_t>(c - '0');
        if (value > (UINT64_MAX - digit) / 10) return false;
        value = value * 10 + digit;
    }
    return true;
}
