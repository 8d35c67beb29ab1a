#include "ui/about_window.h"

#include "core/build_config.h"
#include "ui/fitted_font.h"
#include "ui/program_pictures.h"
#include "ui_about_window.h"

namespace {

QString link(const QString& address, const QString& text) {
    return QStringLiteral("<a href=\"%1\">%2</a>").arg(address.toHtmlEscaped(), text.toHtmlEscaped());
}

}  // namespace

About::About(QWidget* parent) : QWidget(parent), ui(std::make_unique<Ui::About>()) {
    ui->setupUi(this);
    ui->lblDownloadPage->setText(link(QStringLiteral(TAVRIN_DOWNLOAD_URL), tr("Download Page")));
    ui->lblForumThread->setText(link(QStringLiteral(TAVRIN_FORUM_URL), tr("Forum Thread")));
    ui->lblDonate_2->setText(link(QStringLiteral("mailto:" TAVRIN_DONATION_ADDRESS),
                                  QStringLiteral(TAVRIN_DONATION_ADDRESS)));
    fitFontToRectanglesWhenShown(this);
}

About::~About() = default;

void About::showEvent(QShowEvent* event) {
    // ":/icon_on.png", at twice the label's size for dense screens, decoded
    // when the window is first shown.
    if (ui->lblIcon->pixmap().isNull())
        ui->lblIcon->setPixmap(programPicture(2 * ui->lblIcon->width()));
    QWidget::showEvent(event);
}

void About::open() {
    if (isVisible())
        raise();
    else
        show();
}

void About::on_btnClose_pressed() {
    close();
}
