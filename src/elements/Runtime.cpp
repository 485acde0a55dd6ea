#include "Runtime.h"

#include <QCoreApplication>

namespace zr::ui {

void DoEvents() {
    QCoreApplication::sendPostedEvents();
    QCoreApplication::processEvents(QEventLoop::AllEvents);
}

} // namespace zr::ui
