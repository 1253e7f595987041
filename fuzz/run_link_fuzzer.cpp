// libFuzzer target over the decoding of runs from page addresses (base64url, then zlib's
// inflate). Whatever the bytes, decoding must not crash, hang or read past its input, and its
// answer must be consistent:
// - a rejection gives a one-line printable message;
// - an acceptance gives a run of at most kMaxLinkedRunBytes, and that run packed into an
//   address again decodes to the same bytes.
// Each input is tried three ways: as the run field's text (the base64url reading), as the
// packed bytes themselves written in base64url (zlib's inflate on anything), and, when it
// starts with '#', as a whole fragment (other fields and separators, the step's at= too).

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <optional>
#include <string>
#include <string_view>

#include "run/run_link.h"

namespace {

[[noreturn]] void broken(const char* what) {
    std::fprintf(stderr, "run link decoding: %s\n", what);
    std::abort();
}

void decodeAndCheck(const std::string& address) {
    std::string text, error;
    std::optional<std::uint64_t> at;
    if (!runAddressStep(address, at, error) && error.empty()) broken("a step rejected without a message");
    error.clear();
    if (!decodeRunAddress(address, text, error)) {
        if (error.empty()) broken("rejection without a message");
        for (const char c : error) {
            if (c < 0x20 || c > 0x7e) broken("rejection message is not one printable line");
        }
        return;
    }
    if (text.size() > kMaxLinkedRunBytes) broken("accepted a run longer than the limit");
    std::string again, againError;
    if (!decodeRunAddress("#run=" + encodeRunData(text), again, againError) || again != text) {
        broken("an accepted run, packed again, does not decode to itself");
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view input(reinterpret_cast<const char*>(data), size);
    decodeAndCheck("#run=" + std::string(input));
    decodeAndCheck("#run=" + toBase64Url(input));
    if (!input.empty() && input[0] == '#') decodeAndCheck(std::string(input));
    return 0;
}
