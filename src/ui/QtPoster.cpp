#include "ui/QtPoster.h"

#include <QCoreApplication>

#include "platform/DebugOutput.h"

namespace qv::ui {

namespace {

class PostedMessageEvent final : public QEvent {
public:
    PostedMessageEvent(uint32_t message, uintptr_t wParam, intptr_t lParam)
        : QEvent(QtPoster::eventType()), message_(message), wParam_(wParam), lParam_(lParam) {}

    uint32_t message() const { return message_; }
    uintptr_t wParam() const { return wParam_; }
    intptr_t lParam() const { return lParam_; }

private:
    uint32_t message_;
    uintptr_t wParam_;
    intptr_t lParam_;
};

}  // namespace

QtPoster::QtPoster(QObject* parent) : QObject(parent) {
    setObjectName("qtPoster");
}

QEvent::Type QtPoster::eventType() {
    static const auto type = static_cast<QEvent::Type>(QEvent::registerEventType());
    return type;
}

bool QtPoster::postThreadMessage(uint32_t, uint32_t message, uintptr_t wParam, intptr_t lParam) {
    if (QCoreApplication::instance() == nullptr) {
        return false;
    }
    QCoreApplication::postEvent(this, new PostedMessageEvent(message, wParam, lParam));
    return true;
}

void QtPoster::customEvent(QEvent* event) {
    if (event->type() != eventType()) {
        QObject::customEvent(event);
        return;
    }
    const auto* posted = static_cast<PostedMessageEvent*>(event);
    if (!handler_) {
        platform::debugOutput("poster: message %u dropped, nobody listens\n", posted->message());
        return;
    }
    handler_(posted->message(), posted->wParam(), posted->lParam());
}

}  // namespace qv::ui
