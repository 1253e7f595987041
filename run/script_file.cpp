#include "run/script_file.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>

#include "run/run_link.h"

namespace {

// The bytes of the file at `path` ("-": standard input), at most kMaxScriptBytes; `what` names
// the file in messages ("script", "link").
bool readBytes(const std::string& path, const char* what, std::string& text, std::string& error) {
    const bool fromStdin = path == "-";
    std::FILE* in = fromStdin ? stdin : std::fopen(path.c_str(), "rb");
    if (in == nullptr) {
        error = std::string("cannot open ") + what + " '" + path + "': " + std::strerror(errno);
        return false;
    }
    text.clear();
    char buffer[1 << 16];
    bool tooLarge = false;
    std::size_t got = 0;
    while ((got = std::fread(buffer, 1, sizeof buffer, in)) > 0) {
        if (text.size() + got > kMaxScriptBytes) {
            tooLarge = true;
            break;
        }
        text.append(buffer, got);
    }
    const bool readFailed = std::ferror(in) != 0;
    const int readErrno = errno;
    if (!fromStdin) std::fclose(in);
    const std::string name = std::string(what) + " " + (fromStdin ? std::string("standard input") : "'" + path + "'");
    if (tooLarge) {
        error = name + " is larger than " + std::to_string(kMaxScriptBytes >> 20) + " MiB";
        return false;
    }
    if (readFailed) {
        error = "cannot read " + name + ": " + std::strerror(readErrno);
        return false;
    }
    return true;
}

bool isSpace(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; }

}  // namespace

std::string scriptName(const std::string& path) {
    if (path == "-") return "<stdin>";
    if (isRunAddress(path)) return "<link>";
    return path;
}

bool readScriptFile(const std::string& path, std::string& text, std::string& error, std::optional<std::uint64_t>* at) {
    if (isRunAddress(path)) return decodeRunAddress(path, text, error) && (at == nullptr || runAddressStep(path, *at, error));
    return readBytes(path, "script", text, error);
}

bool readLinkFile(const std::string& path, std::string& text, std::string& error, std::optional<std::uint64_t>* at) {
    std::string address;
    if (!readBytes(path, "link", address, error)) return false;
    // An editor's or echo's line end, and blanks around a pasted address.
    std::size_t begin = 0, end = address.size();
    while (begin < end && isSpace(address[begin])) ++begin;
    while (end > begin && isSpace(address[end - 1])) --end;
    address = address.substr(begin, end - begin);
    if (!isRunAddress(address)) {
        error = "the link " + (path == "-" ? std::string("on standard input") : "in '" + path + "'") +
                " holds no run (no #run= field)";
        return false;
    }
    return decodeRunAddress(address, text, error) && (at == nullptr || runAddressStep(address, *at, error));
}

bool wouldOverwrite(const std::string& written, const std::string& read) {
    struct stat out {};
    struct stat in {};
    if (::stat(written.c_str(), &out) != 0 || !S_ISREG(out.st_mode)) return false;
    // The node runner's descriptor 0 is its emulator's device; /dev/stdin is the real one.
    const bool got = read != "-" ? ::stat(read.c_str(), &in) == 0
                                 : (::fstat(STDIN_FILENO, &in) == 0 && S_ISREG(in.st_mode)) || ::stat("/dev/stdin", &in) == 0;
    return got && S_ISREG(in.st_mode) && in.st_dev == out.st_dev && in.st_ino == out.st_ino;
}
