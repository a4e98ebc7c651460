#include "download/download_request.h"

#include <string>

#include "app/upgrader.h"
#include "download/progress.h"
#include "download/transfer_engine.h"
#include "services/system_services.h"
#include "services/text_number.h"
#include "services/texts.h"
#include "services/web_fetch.h"

void onManualUpgradeClicked(Upgrader& upgrader) {
    UpgraderState& state = upgrader.state;
    Controls& ui = upgrader.ui;

    // A pending automatic exit must not cut the download short.
    ui.时钟1.setPeriod(0);

    if (resolveHost(upgrader.hosts.packageHost).empty()) {
        ui.时钟2.setPeriod(5000);
        ui.标签25.setCaption(std::string(texts::packageHostUnreachable));
        return;
    }

    // The engine never overwrites a file, so an old package has to go first. The
    // path is built anew: packagePath is empty when the start-up check stopped at
    // its network probe.
    deleteFile(concatTexts({currentDirectory(), texts::packageFileName}));

    TaskParam& task = state.taskParams;
    task.mode = 1;
    task.connections = 1;
    task.stopWait = 2000;
    task.connectTimeout = 5000;
    task.sendTimeout = 5001;
    task.receiveTimeout = 10000;
    task.receiveBlock = 1024;
    task.eventCallback = makeDownloadCallback(upgrader);

    // The display runs whatever addTask says: a refused task shows zeros.
    ui.时钟3.setPeriod(1000);

    task.url = ui.编辑框1.content();
    task.localPath = state.packagePath;

    // A second click while a task runs is refused here and leaves that task alone.
    addTask(*state.downloader, task);
}
