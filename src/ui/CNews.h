// The news pop-up: 300 x 150, shaped by its own skin, with the item's title as caption, painted
// title line and link, and the item's picture (or our default picture). It fades in while rising
// from the bottom-right corner of the screen's available area, and fades out when closed.
#pragma once

#include <QElapsedTimer>
#include <QImage>
#include <QWidget>
#include <string>

#include "online/NewsFile.h"
#include "ui/WebLinkOpener.h"

class QLabel;
class QPushButton;
class QTimer;

namespace qv::ui {

class CNews final : public QWidget {
public:
    // `item` is 1..3; `picturePath` the item's picture file.
    CNews(const online::NewsItem& item, const std::string& picturePath,
          LinkOpener opener = openWebLink, QWidget* parent = nullptr);

    // Shows the window at the corner and starts the rise and the fade in.
    void popUp();
    // The close button: fades out, then closes (the window deletes itself).
    void fadeOut();

    bool showsDefaultPicture() const { return defaultPicture_; }
    int risen() const { return risen_; }
    const QImage& picture() const { return picture_; }

    // Our own picture for an item without one.
    static QImage defaultPicture();

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    void riseTick();
    void fadeTick();
    QRect availableArea() const;

    online::NewsItem item_;
    LinkOpener opener_;
    QImage picture_;
    bool defaultPicture_ = false;
    QLabel* link_ = nullptr;
    QPushButton* close_ = nullptr;
    QTimer* riseTimer_ = nullptr;
    QTimer* fadeTimer_ = nullptr;
    QElapsedTimer fadeClock_;
    bool fadingOut_ = false;
    int risen_ = 0;
};

}  // namespace qv::ui
