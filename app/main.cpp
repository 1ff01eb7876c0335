// Until the window exists: reads the list file next to the program and prints its rows.
#include "AdminListFile.h"
#include "BrioError.h"
#include "ProgramFolder.h"

#include <iostream>

int main() {
    try {
        brio::AdminListFile list(brio::ProgramFolder());
        const brio::TareaList tasks = list.getXMLTaskList();
        std::cout << "Listado: " << list.ListFilePath().string() << " (" << tasks.size() << " tareas)\n";
        for (const brio::clsTarea& t : tasks) {
            if (t.hidden())
                continue;
            const char* state = (t.State() & 128) ? "Error" : (t.Enabled() ? "" : "Deshabilitada");
            std::cout << t.Name() << '\t' << state << '\t'
                      << (t.StartTimeRandom() ? std::to_string(t.StartTimeRandom()) : "") << '\t' << t.Text()
                      << '\n';
        }
        return 0;
    } catch (const brio::BrioError& e) {
        std::cerr << e.report() << '\n';
        return 1;
    }
}
