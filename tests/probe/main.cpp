#include "probe.h"

#include <cstdio>
#include <cstring>
#include <map>
#include <string>

namespace probe {
namespace {

struct Entry {
    std::string usage;
    Command command;
};

std::map<std::string, Entry, std::less<>>& commands() {
    static std::map<std::string, Entry, std::less<>> table;
    return table;
}

}  // namespace

Registration::Registration(std::string_view name, std::string_view usage, Command command) {
    commands().emplace(std::string(name), Entry{std::string(usage), command});
}

bool readInput(const char* path, std::string& text) {
    const bool fromStdin = std::strcmp(path, "-") == 0;
    std::FILE* file = fromStdin ? stdin : std::fopen(path, "rb");
    if (!file) return false;
    char buffer[65536];
    size_t got;
    while ((got = std::fread(buffer, 1, sizeof buffer, file)) > 0) text.append(buffer, got);
    const bool read = !std::ferror(file);
    if (!fromStdin) std::fclose(file);
    return read;
}

}  // namespace probe

int main(int argc, char** argv) {
    auto& table = probe::commands();
    if (argc >= 2) {
        auto found = table.find(argv[1]);
        if (found != table.end()) return found->second.command(argc - 2, argv + 2);
        std::fprintf(stderr, "korvo-probe: unknown subcommand '%s'\n", argv[1]);
    }
    std::fprintf(stderr, "usage: korvo-probe SUBCOMMAND ARG...\n");
    for (const auto& [name, entry] : table) std::fprintf(stderr, "  %s %s\n", name.c_str(), entry.usage.c_str());
    return 2;
}
