// The system's file dialogs for the FileChooser interface.
#pragma once

#include <QPointer>
#include <QWidget>

#include "platform/FileChooser.h"

namespace qv::ui {

class QtFileChooser final : public platform::FileChooser {
public:
    // The dialogs belong to `owner`; without one, to the modal window then active (the window
    // that asks, as a rule).
    explicit QtFileChooser(QWidget* owner = nullptr) : owner_(owner) {}
    void setOwner(QWidget* owner) { owner_ = owner; }

    std::string saveFile(const std::string& initialFolder, const std::string& filter,
                         const std::string& defaultExtension) override;
    std::string openFile(const std::string& initialFolder, const std::string& filter) override;

private:
    QWidget* owner() const;

    QPointer<QWidget> owner_;
};

}  // namespace qv::ui
