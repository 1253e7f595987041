#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>

// Scripts are read whole before anything runs; beyond this size a script is refused rather
// than held in memory (64 MiB: about ten million commands).
constexpr std::size_t kMaxScriptBytes = std::size_t{64} << 20;

// Reads the script at `path` ("-": standard input; a page address with #run=: the run it
// carries, see run/run_link.h) into `text`, byte for byte. On failure returns false with a
// one-line reason in `error`. `at`, if given, gets an address's at= step (run/run_link.h).
bool readScriptFile(const std::string& path, std::string& text, std::string& error,
                    std::optional<std::uint64_t>* at = nullptr);

// Reads the run of the page address held in the file at `path` ("-": standard input), blanks
// and line ends around it dropped: for addresses too long for a command line (about 128 KiB
// on Linux). The same checks as an address given in place of a file.
bool readLinkFile(const std::string& path, std::string& text, std::string& error,
                  std::optional<std::uint64_t>* at = nullptr);

// How messages name the script at `path`: "<stdin>", "<link>" for an address, else the path.
std::string scriptName(const std::string& path);

// True when writing the file `written` would overwrite the regular file read as `read` ("-":
// standard input): the same file, compared by device and inode, so a link or another spelling
// of the path counts too.
bool wouldOverwrite(const std::string& written, const std::string& read);
