// The poster of the window program: a message from any thread becomes an event on the
// user-interface thread, where the handler of the window that listens gets it.
#pragma once

#include <QEvent>
#include <QObject>
#include <cstdint>
#include <functional>

#include "platform/Poster.h"

namespace qv::ui {

class QtPoster final : public QObject, public platform::Poster {
public:
    using Handler = std::function<void(uint32_t message, uintptr_t wParam, intptr_t lParam)>;

    // Lives on the thread that creates it; every message is delivered there.
    explicit QtPoster(QObject* parent = nullptr);

    // Safe from any thread. The thread identifier is not needed: the events go to the thread this
    // object lives on. False only when no application object exists to deliver them.
    bool postThreadMessage(uint32_t threadId, uint32_t message, uintptr_t wParam,
                           intptr_t lParam) override;
    // Set and cleared on the user-interface thread. Messages that arrive while no handler is set
    // are dropped (with a line in the debug log).
    void setHandler(Handler handler) { handler_ = std::move(handler); }

    static QEvent::Type eventType();

protected:
    void customEvent(QEvent* event) override;

private:
    Handler handler_;
};

}  // namespace qv::ui
