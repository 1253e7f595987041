#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

// A run carried in a page address: ...#run=DATA, where DATA is the run's text compressed in
// the zlib format (what a browser's CompressionStream("deflate") makes) and written in
// base64url without padding. A field `at=STEP` names the step the page shows (its timeline's
// moment); other fields of the fragment, separated by '&' (the page's `paused`), are left alone. The fragment's %XX escapes are decoded before it is split
// into fields, as a mail program may have written `%26paused` or `run%3D`.

// A run that inflates to more than this is refused (1 MB), whatever its compressed size.
constexpr std::size_t kMaxLinkedRunBytes = 1'000'000;

// True when `argument` names a run by address (it holds "#run=", or an escaped "run%3D", in its
// fragment) rather than a file.
bool isRunAddress(std::string_view argument);

// True when this build can inflate a run from an address (it has zlib).
bool canDecodeRunAddress();

// Takes the run out of an address; on failure returns false with a one-line reason in `error`
// (bad characters, damaged or truncated data, too long, no run field).
bool decodeRunAddress(std::string_view address, std::string& text, std::string& error);

// The step named by the address's at= field, or none; false, with a one-line reason in `error`,
// for an at that is not a step count (digits only, within 64 bits) or one given twice.
bool runAddressStep(std::string_view address, std::optional<std::uint64_t>& at, std::string& error);

// A step count as the address's at= and the runner's options write it: digits only, within 64
// bits. False for anything else.
bool readStepCount(std::string_view text, std::uint64_t& value);

// Bytes in base64url without padding, as the page writes them into an address.
std::string toBase64Url(std::string_view bytes);

// The DATA of a run's address (without "#run="); empty when this build has no zlib.
std::string encodeRunData(std::string_view text);
