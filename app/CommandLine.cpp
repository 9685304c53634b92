#include "CommandLine.h"

#include <climits>
#include <cstdio>
#include <cstring>
#include <utility>

namespace faceloom {

namespace {

constexpr std::pair<const char*, UvSmooth> kUvSmoothModes[] = {
    {"none", UvSmooth::kNone},
    {"keep-corners", UvSmooth::kKeepCorners},
    {"keep-corners-junctions", UvSmooth::kKeepCornersJunctions},
    {"keep-corners-junctions-concave", UvSmooth::kKeepCornersJunctionsConcave},
    {"keep-boundaries", UvSmooth::kKeepBoundaries},
    {"all", UvSmooth::kAll},
};

constexpr std::pair<const char*, BoundarySmooth> kBoundarySmoothModes[] = {
    {"all", BoundarySmooth::kAll},
    {"keep-corners", BoundarySmooth::kKeepCorners},
};

constexpr std::pair<const char*, Scheme> kSchemes[] = {
    {"catmull-clark", Scheme::kCatmullClark},
    {"simple", Scheme::kSimple},
};

constexpr const char* kOptionList =
    "the options are --uv-smooth=MODE, --boundary-smooth=MODE, --scheme=TYPE, "
    "--limit-surface and --normals (see --help)";

template <class Mode, std::size_t N>
std::string modeList(const std::pair<const char*, Mode> (&modes)[N]) {
    std::string list;
    for (const auto& [name, mode] : modes) {
        list += (list.empty() ? "" : ", ") + std::string(name);
    }
    return list;
}

// Sets `mode` from `value`; false when the value names no mode.
template <class Mode, std::size_t N>
bool readMode(const std::pair<const char*, Mode> (&modes)[N], const std::string& value,
              Mode& mode) {
    for (const auto& [name, candidate] : modes) {
        if (value == name) {
            mode = candidate;
            return true;
        }
    }
    return false;
}

// The values the options with values were given, to refuse one given two different
// values: which one was meant is anybody's guess.
struct GivenValues {
    std::vector<std::pair<std::string, std::string>> values;  // option name, value

    // The refusal when `name` was given another value before; empty when not.
    std::string conflict(const std::string& name, const std::string& value) {
        for (const auto& [given, earlier] : values) {
            if (given == name && earlier != value) {
                return "ERROR : Option [" + name + "] given twice, as [" + earlier + "] and [" +
                       value + "]: give it once";
            }
        }
        values.emplace_back(name, value);
        return "";
    }
};

// Takes one option with a value (`name`, and `value` when there is one) into `line`.
void takeValuedOption(const std::string& name, const std::string* value, CommandLine& line,
                      GivenValues& given) {
    const auto take = [&](const auto& modes, auto& mode) {
        if (value == nullptr) {
            line.error = "ERROR : Option [" + name + "] needs a value: one of " + modeList(modes);
        } else if (!readMode(modes, *value, mode)) {
            line.error = "ERROR : Unknown value [" + *value + "] for [" + name + "]: use one of " +
                         modeList(modes);
        } else {
            line.error = given.conflict(name, *value);
        }
    };
    if (name == "--uv-smooth") {
        take(kUvSmoothModes, line.smoothing.uv);
    } else if (name == "--boundary-smooth") {
        take(kBoundarySmoothModes, line.smoothing.boundary);
    } else if (name == "--scheme") {
        take(kSchemes, line.smoothing.scheme);
    } else {
        line.error = "ERROR : Unknown option [" + name + "]: " + kOptionList;
    }
}

// The switches: options without a value. Null for another name.
bool* switchOf(const std::string& name, CommandLine& line) {
    if (name == "--limit-surface") {
        return &line.limit.limitSurface;
    }
    if (name == "--normals") {
        return &line.limit.normals;
    }
    return nullptr;
}

}  // namespace

CommandLine parseCommandLine(int argc, char** argv) {
    CommandLine line;
    line.help = argc > 1 && isHelpSwitch(argv[1]);
    GivenValues given;
    bool options = true;
    for (int i = 1; i < argc; ++i) {
        const std::string argument = argv[i];
        if (options && argument == "--") {
            options = false;
        } else if (!options || argument.size() <= 2 || argument.compare(0, 2, "--") != 0) {
            line.positional.push_back(argv[i]);
        } else if (argument == "--version") {
            line.version = true;
        } else if (argument == "--help") {
            // Counted by the usage text like a positional argument, as it always was.
            line.help = true;
            line.positional.push_back(argv[i]);
        } else if (!line.error.empty()) {
            continue;  // the first bad option is the one reported
        } else if (const auto equals = argument.find('='); equals != std::string::npos) {
            const std::string name = argument.substr(0, equals), value = argument.substr(equals + 1);
            if (switchOf(name, line) != nullptr) {
                line.error = "ERROR : Option [" + name + "] takes no value, [" + value +
                             "] given: write " + name + " alone";
            } else {
                takeValuedOption(name, &value, line, given);
            }
        } else if (bool* on = switchOf(argument, line)) {
            *on = true;
        } else {
            // --name VALUE: the value is the next argument, when there is one.
            const std::string value = i + 1 < argc ? argv[i + 1] : "";
            takeValuedOption(argument, i + 1 < argc ? &value : nullptr, line, given);
            i += (i + 1 < argc && line.error.empty()) ? 1 : 0;
        }
    }
    return line;
}

bool isHelpSwitch(const char* argument) {
    return std::strcmp(argument, "-h") == 0 || std::strcmp(argument, "--help") == 0;
}

int parseStepCount(const char* text) {
    const char* p = text;
    // The white space of the C locale, as atoi skips it.
    while (*p == ' ' || *p == '\t' || *p == '\n' || *p == '\v' || *p == '\f' || *p == '\r') {
        ++p;
    }
    bool negative = false;
    if (*p == '+' || *p == '-') {
        negative = (*p == '-');
        ++p;
    }
    long long value = 0;
    for (; *p >= '0' && *p <= '9'; ++p) {
        if (value <= INT_MAX) {  // stop growing once past int; the clamp below decides
            value = value * 10 + (*p - '0');
        }
    }
    if (negative) {
        value = -value;
    }
    if (value > INT_MAX) {
        return INT_MAX;
    }
    if (value < INT_MIN) {
        return INT_MIN;
    }
    return static_cast<int>(value);
}

void printUsage(int argc) {
    std::printf("[%d] argcs\n", argc);
    std::printf(
        "Example : Faceloom 3 foo.obj bar.obj\n\tI will subdivide the \"foo.obj\" with 3 step then "
        "write to \"bar.obj\"");
}

}  // namespace faceloom
