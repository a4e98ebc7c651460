// The program's entry: start-up in its fixed order, then the event loop.
#include <QApplication>
#include <new>

#include "app/end_program.h"
#include "app/endpoints.h"
#include "app/main_window_qt.h"
#include "app/program_folder.h"
#include "app/upgrader.h"
#include "app/upgrader_events.h"
#include "app/upgrader_state.h"

int main(int argc, char** argv) {
    enterProgramFolder();
    QApplication app(argc, argv);  // the command line means nothing to the program
    QApplication::setQuitOnLastWindowClosed(false);  // only the exit sequence ends it
    try {
        createUpgraderState();
        setExitCleanup(freeUpgraderState);
        // Never freed: the exit sequence ends the process while they still exist.
        auto* window = new MainWindow();
        auto* upgrader = new Upgrader{upgraderState(), window->controls(), Endpoints::builtIn()};
        auto* events = new UpgraderEvents(*upgrader);
        window->setEvents(events);
        window->load();
    } catch (const std::bad_alloc&) {
        endProgramFatally("out of memory");
    }
    QApplication::exec();
    endProgram(0);
}
