#pragma once
// The thin bridge between the link's worker thread and the window's thread: a task that ran
// on the worker hands its results to a window with OnWindowThread, which queues the call in
// the window's event loop. A window that goes away first calls Link::AbandonAndWait, so no
// task of its own is still running to call it; calls already queued die with the window.

#include <QMetaObject>
#include <QObject>
#include <utility>

namespace ui {

template <class Function>
void OnWindowThread(QObject* window, Function&& function) {
    QMetaObject::invokeMethod(window, std::forward<Function>(function), Qt::QueuedConnection);
}

}  // namespace ui
