#include "tools/options.h"

#include <string_view>

#include "run/run_link.h"

namespace {

bool readPositive(std::string_view text, std::uint64_t& value) { return readStepCount(text, value) && value > 0; }

}  // namespace

const char* usageText() {
    return "usage: tremblo-sim SCRIPT [--trace FILE] [--every K] [--at STEP] [--hash]\n"
           "       tremblo-sim --link FILE [--trace FILE] [--every K] [--at STEP] [--hash]\n"
           "       tremblo-sim --help\n"
           "\n"
           "Runs the one-cube scene headless, driven by SCRIPT (a file, - for standard input, or a\n"
           "page address holding #run=, in quotes).\n"
           "Script lines: key C | press BUTTON X Y | release BUTTON X Y | step N | scene | cube ...\n"
           "(the README lists them all; '#' starts a comment).\n"
           "\n"
           "  --link FILE   run the page address held in FILE (- for standard input), for\n"
           "                addresses too long for the command line; its &at=STEP stops the run\n"
           "                there, as --at does (an explicit --at wins)\n"
           "  --trace FILE  write a CSV trace (step,time,point,x,y,z,vx,vy,vz) to FILE, - for stdout\n"
           "  --every K     trace the moving points after every K-th step (default 100)\n"
           "  --at STEP     stop the run at STEP: after that many steps and the commands before the\n"
           "                next step, where the page's timeline shows step STEP\n"
           "  --hash        print the FNV-1a hash of the final positions and velocities\n"
           "                (16 hex digits on stdout; not with --trace -)\n"
           "  --help        print this help\n"
           "\n"
           "Exit status: 0 done, 1 the trace could not be written, 2 bad command line or script.\n";
}

bool parseOptions(int argc, const char* const* argv, RunnerOptions& options, std::string& error) {
    bool haveScript = false;
    bool haveTrace = false;
    bool haveEvery = false;
    bool haveHash = false;
    auto fail = [&error](std::string message) {
        error = std::move(message);
        return false;
    };
    for (int i = 1; i < argc; ++i) {
        const std::string_view arg = argv[i];
        if (arg == "--help" || arg == "-h") {
            options.help = true;
            return true;
        }
    }
    for (int i = 1; i < argc; ++i) {
        const std::string_view arg = argv[i];
        // Options that take a value accept it as the next argument or after '='.
        auto takeValue = [&](std::string_view name, std::string_view& value) {
            if (arg == name) {
                if (i + 1 >= argc) return fail(std::string(name) + " needs a value");
                value = argv[++i];
                return true;
            }
            value = arg.substr(name.size() + 1);
            return true;
        };
        auto isOption = [&](std::string_view name) {
            return arg == name || (arg.size() > name.size() && arg.substr(0, name.size()) == name &&
                                   arg[name.size()] == '=');
        };

        std::string_view value;
        if (isOption("--link")) {
            if (haveScript) return fail("more than one script given ('" + options.scriptPath + "' and --link)");
            if (!takeValue("--link", value)) return false;
            if (value.empty()) return fail("--link needs a file name (or - for standard input)");
            options.scriptPath = value;
            options.link = haveScript = true;
        } else if (isOption("--trace")) {
            if (haveTrace) return fail("--trace given twice");
            if (!takeValue("--trace", value)) return false;
            if (value.empty()) return fail("--trace needs a file name (or - for standard output)");
            options.tracePath = value;
            haveTrace = true;
        } else if (isOption("--every")) {
            if (haveEvery) return fail("--every given twice");
            if (!takeValue("--every", value)) return false;
            if (!readPositive(value, options.every))
                return fail("--every needs a positive integer, got '" + std::string(value) + "'");
            haveEvery = true;
        } else if (isOption("--at")) {
            if (options.stopAt) return fail("--at given twice");
            if (!takeValue("--at", value)) return false;
            std::uint64_t step = 0;
            if (!readStepCount(value, step)) return fail("--at needs a step count, got '" + std::string(value) + "'");
            options.stopAt = step;
        } else if (arg == "--hash") {
            if (haveHash) return fail("--hash given twice");
            options.hash = haveHash = true;
        } else if (arg.size() > 1 && arg[0] == '-') {
            return fail("unknown option '" + std::string(arg) + "' (try --help)");
        } else {
            if (haveScript) {
                const std::string first = options.link ? "--link" : "'" + options.scriptPath + "'";
                return fail("more than one script given (" + first + " and '" + std::string(arg) + "')");
            }
            if (arg.empty()) return fail("the script path is empty");
            options.scriptPath = arg;
            haveScript = true;
        }
    }
    if (!haveScript)
        return fail("no script given (usage: tremblo-sim SCRIPT|--link FILE [--trace FILE] [--every K] [--at STEP] [--hash])");
    if (haveEvery && !haveTrace) return fail("--every needs --trace");
    if (options.hash && options.tracePath == "-")
        return fail("--hash and --trace - would both write to standard output; write the trace to a file");
    return true;
}
