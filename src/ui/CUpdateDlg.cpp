#include "ui/CUpdateDlg.h"

#include <QFont>
#include <QLabel>
#include <QLinearGradient>
#include <QListWidget>
#include <QPainter>
#include <QPushButton>

#include "platform/DebugOutput.h"
#include "platform/ProgramLocation.h"

namespace qv::ui {

namespace {

constexpr int kWidth = 410;
constexpr int kHeight = 268;
constexpr int kPictureWidth = 110;
constexpr int kTextLeft = 122;
constexpr int kTextWidth = kWidth - kTextLeft - 10;
constexpr int kLineY = 220;
constexpr int kLineLeft = 2;
constexpr int kLineRight = 400;
constexpr int kButtonTop = 232;
constexpr int kButtonWidth = 80;
constexpr int kButtonHeight = 26;
constexpr int kTitlePointSize = 10;
constexpr int kTitleWeight = 700;
constexpr QColor kLineColour(128, 128, 128);

QLabel* label(QWidget* parent, const char* name, const std::string& text, int top, int height,
              bool title = false) {
    auto* made = new QLabel(QString::fromStdString(text), parent);
    made->setObjectName(name);
    made->setWordWrap(true);
    made->setGeometry(kTextLeft, top, kTextWidth, height);
    if (title) {
        QFont font(QStringLiteral("Arial"), kTitlePointSize);
        font.setWeight(static_cast<QFont::Weight>(kTitleWeight));
        made->setFont(font);
    }
    return made;
}

QPushButton* button(QWidget* parent, const char* name, int slot) {
    auto* made = new QPushButton(parent);
    made->setObjectName(name);
    made->setGeometry(kWidth - (kButtonWidth + 10) * slot, kButtonTop, kButtonWidth, kButtonHeight);
    return made;
}

void showIf(QWidget* widget, bool visible) {
    widget->setVisible(visible);
}

void applyButton(QPushButton* widget, const online::UpdateButton& state) {
    widget->setText(QString::fromStdString(state.text));
    widget->setVisible(state.visible);
    widget->setEnabled(state.enabled);
}

}  // namespace

CUpdateDlg::CUpdateDlg(std::string versionFileUrl, std::string productPage, QWidget* parent,
                       LinkOpener opener, const lang::CMultiLangSupp& texts)
    : QDialog(parent),
      versionFileUrl_(std::move(versionFileUrl)),
      opener_(std::move(opener)),
      model_(texts, std::move(productPage)),
      poster_(this) {
    setObjectName("updateDialog");
    setFixedSize(kWidth, kHeight);
    const online::UpdateDialogView& view = model_.view();
    setWindowTitle(QString::fromStdString(view.caption));

    welcomeTitle_ = label(this, "updateWelcomeTitle", view.welcomeTitle, 16, 24, true);
    welcomeText_ = label(this, "updateWelcomeText", view.welcomeText, 56, 36);
    welcomeInternet_ = label(this, "updateWelcomeInternet", view.welcomeInternet, 96, 40);
    welcomeHint_ = label(this, "updateWelcomeHint", view.welcomeHint, 180, 30);

    foundTitle_ = label(this, "updateFoundTitle", view.foundTitle, 16, 24, true);
    updatesLabel_ = label(this, "updateUpdatesLabel", view.updatesLabel, 46, 20);
    detailsLabel_ = label(this, "updateDetailsLabel", view.detailsLabel, 66, 20);
    items_ = new QListWidget(this);
    items_->setObjectName("updateItems");
    items_->setGeometry(kTextLeft, 88, kTextWidth, 124);

    thanksTitle_ = label(this, "updateThanksTitle", view.thanksTitle, 16, 24, true);
    noUpdateText_ = label(this, "updateNoUpdateText", view.noUpdateText, 50, 24);
    followText_ = label(this, "updateFollowText", view.followText, 78, 44);
    productLink_ = label(this, "updateProductLink", {}, 124, 22);
    productLink_->setTextFormat(Qt::RichText);
    productLink_->setTextInteractionFlags(Qt::LinksAccessibleByMouse);
    productLink_->setText(QStringLiteral("<a href=\"%1\">%1</a>")
                              .arg(QString::fromStdString(view.productPage).toHtmlEscaped()));
    connect(productLink_, &QLabel::linkActivated, this,
            [this] { opener_(model_.view().productPage); });
    versionText_ = label(this, "updateVersionText", {}, 160, 40);

    failureText_ = label(this, "updateFailureText", view.failureText, 90, 44);

    cancel_ = button(this, "updateCancel", 1);
    next_ = button(this, "updateNext", 2);
    download_ = button(this, "updateDownload", 2);
    ok_ = button(this, "updateOk", 2);
    next_->setDefault(true);
    connect(next_, &QPushButton::clicked, this, &CUpdateDlg::pressNext);
    connect(download_, &QPushButton::clicked, this, &CUpdateDlg::pressDownload);
    connect(ok_, &QPushButton::clicked, this, &QDialog::accept);
    connect(cancel_, &QPushButton::clicked, this, &QDialog::reject);

    checker_ = std::make_unique<online::UpdateChecker>(poster_, platform::currentThreadId());
    poster_.setHandler([this](uint32_t message, uintptr_t, intptr_t) {
        if (message == online::kMessageUpdateChecked) {
            checked();
        }
    });
    render();
}

CUpdateDlg::~CUpdateDlg() {
    poster_.setHandler({});
    // A check still running is stopped before the window's parts go.
    checker_.reset();
}

void CUpdateDlg::pressNext() {
    if (!model_.beginCheck()) {
        return;
    }
    if (!checker_->start(versionFileUrl_)) {
        platform::debugOutput("update: a check is still running\n");
    }
    render();
}

void CUpdateDlg::pressDownload() {
    if (!opener_(model_.downloadUrl())) {
        platform::debugOutput("update: download address not opened\n");
    }
}

void CUpdateDlg::checked() {
    std::optional<online::UpdateCheckResult> result = checker_->takeResult();
    if (!result) {
        return;
    }
    model_.finishCheck(*result);
    render();
}

void CUpdateDlg::render() {
    const online::UpdateDialogView& view = model_.view();
    const bool welcome = view.page == online::UpdatePage::kWelcome;
    const bool found = view.page == online::UpdatePage::kUpdateFound;
    const bool none = view.page == online::UpdatePage::kNoUpdate;
    for (QWidget* widget :
         {static_cast<QWidget*>(welcomeTitle_), static_cast<QWidget*>(welcomeText_),
          static_cast<QWidget*>(welcomeInternet_), static_cast<QWidget*>(welcomeHint_)}) {
        showIf(widget, welcome);
    }
    for (QWidget* widget :
         {static_cast<QWidget*>(foundTitle_), static_cast<QWidget*>(updatesLabel_),
          static_cast<QWidget*>(detailsLabel_), static_cast<QWidget*>(items_)}) {
        showIf(widget, found);
    }
    for (QWidget* widget :
         {static_cast<QWidget*>(thanksTitle_), static_cast<QWidget*>(noUpdateText_),
          static_cast<QWidget*>(followText_), static_cast<QWidget*>(productLink_),
          static_cast<QWidget*>(versionText_)}) {
        showIf(widget, none);
    }
    showIf(failureText_, view.page == online::UpdatePage::kFailure);
    versionText_->setText(QString::fromStdString(view.versionText));
    if (items_->count() != static_cast<int>(view.items.size())) {
        items_->clear();
        for (const std::string& item : view.items) {
            items_->addItem(QString::fromStdString(item));
        }
    }
    applyButton(next_, view.next);
    applyButton(download_, view.download);
    applyButton(ok_, view.ok);
    applyButton(cancel_, view.cancel);
    if (view.ok.visible) {
        ok_->setDefault(true);
    }
}

void CUpdateDlg::paintEvent(QPaintEvent* event) {
    QDialog::paintEvent(event);
    QPainter painter(this);
    // The picture on the left: our own, a gradient with the program's mark.
    const QRect picture(0, 0, kPictureWidth, kLineY);
    QLinearGradient gradient(picture.topLeft(), picture.bottomRight());
    gradient.setColorAt(0, QColor(40, 120, 200));
    gradient.setColorAt(1, QColor(16, 40, 72));
    painter.fillRect(picture, gradient);
    painter.setPen(QColor(96, 255, 128));
    QFont mark = painter.font();
    mark.setBold(true);
    mark.setPixelSize(56);
    painter.setFont(mark);
    painter.drawText(picture, Qt::AlignCenter, QStringLiteral("Q"));
    painter.setPen(kLineColour);
    painter.drawLine(kLineLeft, kLineY, kLineRight, kLineY);
}

}  // namespace qv::ui
