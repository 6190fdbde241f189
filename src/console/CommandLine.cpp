#include "CommandLine.h"

namespace {

CommandLine refused(std::string problem)
{
    CommandLine line;
    line.action = CommandLine::Action::Refuse;
    line.problem = std::move(problem);
    return line;
}

} // namespace

CommandLine readCommandLine(const std::vector<std::string>& arguments)
{
    CommandLine line;
    for (std::size_t i = 0; i < arguments.size(); ++i) {
        const std::string& argument = arguments[i];
        if (argument == "-h" || argument == "--help") {
            line.action = CommandLine::Action::Help;
            return line;
        }
        if (argument == "-v" || argument == "--version") {
            line.action = CommandLine::Action::Version;
            return line;
        }
        if (argument == "--settings" || argument.starts_with("--settings=")) {
            const bool joined = argument != "--settings";
            if (!joined && i + 1 == arguments.size())
                return refused("--settings needs a file name.");
            line.settingsFile = joined ? argument.substr(11) : arguments[++i];
            if (line.settingsFile.empty())
                return refused("--settings needs a file name.");
            continue;
        }
        if (argument.starts_with("-"))
            return refused("Unknown option '" + argument + "'.");
        return refused("Unexpected argument '" + argument + "'.");
    }
    return line;
}

std::string usageText(const std::string& settingsPlaces)
{
    return "Usage: tarnwick [options]\n"
           "Installs J2ME games on phones over the air: serves the game directory\n"
           "to phones on the network, and shows the activity log on standard output.\n"
           "\n" +
           settingsPlaces +
           "\n\n"
           "Options:\n"
           "  -h, --help             Displays help on commandline options.\n"
           "  -v, --version          Displays version information.\n"
           "  --settings <file>      Read and write the settings in <file>.\n";
}
