#include "run/script_file.h"

#include <cerrno>
#include <cstdio>
#include <cstring>

#include "run/run_link.h"

std::string scriptName(const std::string& path) {
    if (path == "-") return "<stdin>";
    if (isRunAddress(path)) return "<link>";
    return path;
}

bool readScriptFile(const std::string& path, std::string& text, std::string& error) {
    if (isRunAddress(path)) return decodeRunAddress(path, text, error);
    const bool fromStdin = path == "-";
    std::FILE* in = fromStdin ? stdin : std::fopen(path.c_str(), "rb");
    if (in == nullptr) {
        error = "cannot open script '" + path + "': " + std::strerror(errno);
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
    const std::string name = fromStdin ? std::string("standard input") : "'" + path + "'";
    if (tooLarge) {
        error = "script " + name + " is larger than " + std::to_string(kMaxScriptBytes >> 20) + " MiB";
        return false;
    }
    if (readFailed) {
        error = "cannot read script " + name + ": " + std::strerror(readErrno);
        return false;
    }
    return true;
}
