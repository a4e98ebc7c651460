#pragma once

#include <QMetaObject>
#include <QObject>
#include <QThread>
#include <utility>

#include "app/end_program.h"

// Runs work on the thread of context and returns when it is done. On that
// thread itself it runs at once, so a call from a handler never waits for the
// loop it is running in. From another thread it waits for the GUI thread;
// once the program is ending it does nothing, and a request still waiting
// when context is deleted is released by the toolkit without running.
template <typename Work>
void runOnGuiThread(QObject* context, Work&& work) {
    if (QThread::currentThread() == context->thread()) {
        work();
        return;
    }
    if (programEnding()) return;
    QMetaObject::invokeMethod(context, std::forward<Work>(work), Qt::BlockingQueuedConnection);
}
