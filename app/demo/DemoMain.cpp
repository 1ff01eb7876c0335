// brioschedule-demo: makes the demo folder scripts/run and scripts/screenshot open the window on, and
// prints the environment that points the program at it, one shell assignment a line.
// Usage: brioschedule-demo <folder>
#include "BrioError.h"
#include "DemoFolder.h"

#include <iostream>

namespace {

// A value in single quotes for the shell.
std::string quoted(const std::string& value) {
    std::string out = "'";
    for (char c : value)
        out += c == '\'' ? std::string("'\\''") : std::string(1, c);
    return out + "'";
}

} // namespace

int main(int argc, char* argv[]) {
    if (argc != 2) {
        std::cerr << "uso: brioschedule-demo <carpeta>\n";
        return 2;
    }
    try {
        const brio::DemoFolder demo = brio::DemoFolder::Make(argv[1]);
        for (const auto& [name, value] : demo.Environment())
            std::cout << "export " << name << '=' << quoted(value) << '\n';
    } catch (const brio::BrioError& e) {
        std::cerr << "brioschedule-demo: " << e.report() << '\n';
        return 1;
    }
    return 0;
}
