#include "ui/AboutDlg.h"

#include "res/Version.h"
#include "ui/AppIcon.h"
#include "ui_AboutDlg.h"

CAboutDlg::CAboutDlg(QWidget* parent)
    : QDialog(parent, Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                          Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint),
      ui(std::make_unique<Ui::AboutDlg>()) {
    ui->setupUi(this);
    ui->iconLabel->setPixmap(AppIcon().pixmap(32, 32));
    ui->versionLabel->setText(
        QStringLiteral("%1 Version %2").arg(version::PRODUCT_NAME, version::SHORT));
}

CAboutDlg::~CAboutDlg() = default;
