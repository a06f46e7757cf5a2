#include "about_dlg.h"

#include <QDialogButtonBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QPainter>
#include <QPixmap>
#include <QVBoxLayout>

namespace tvx {

namespace {

QPixmap DrawIcon(int size) {
    QPixmap pixmap(size, size);
    pixmap.fill(Qt::transparent);
    QPainter p(&pixmap);
    p.setRenderHint(QPainter::Antialiasing);
    const qreal unit = size / 32.0;
    // A log book page with an arrow going into it.
    p.setPen(QPen(QColor(40, 60, 110), 1.5 * unit));
    p.setBrush(QColor(250, 246, 230));
    p.drawRoundedRect(QRectF(9 * unit, 3 * unit, 20 * unit, 26 * unit), 2 * unit, 2 * unit);
    p.setPen(QPen(QColor(120, 130, 150), 1.2 * unit));
    for (int line = 0; line < 5; ++line) {
        const qreal y = (9 + 4 * line) * unit;
        p.drawLine(QPointF(15 * unit, y), QPointF(26 * unit, y));
    }
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(200, 60, 40));
    const QPointF arrow[] = {{2 * unit, 13 * unit},  {10 * unit, 13 * unit}, {10 * unit, 9 * unit},
                             {17 * unit, 16 * unit}, {10 * unit, 23 * unit}, {10 * unit, 19 * unit},
                             {2 * unit, 19 * unit}};
    p.drawPolygon(arrow, 7);
    return pixmap;
}

}  // namespace

QIcon AppIcon() {
    QIcon icon;
    for (int size : {16, 32, 48, 64}) icon.addPixmap(DrawIcon(size));
    return icon;
}

CImpAboutDlg::CImpAboutDlg(QWidget* parent) : QDialog(parent) {
    setObjectName(QStringLiteral("aboutDialog"));
    setWindowTitle(QStringLiteral("About Tolvex Import"));
    setModal(true);

    auto* iconLabel = new QLabel(this);
    iconLabel->setObjectName(QStringLiteral("aboutIconLabel"));
    iconLabel->setPixmap(AppIcon().pixmap(48, 48));

    auto* programLabel =
        new QLabel(QStringLiteral("Tolvex 2007 Import Utility Companion Program"), this);
    programLabel->setObjectName(QStringLiteral("aboutProgramLabel"));
    auto* versionLabel = new QLabel(QStringLiteral("Version 1.02"), this);
    versionLabel->setObjectName(QStringLiteral("aboutVersionLabel"));

    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok, this);
    buttons->setObjectName(QStringLiteral("aboutButtons"));
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);

    auto* texts = new QVBoxLayout;
    texts->addWidget(programLabel);
    texts->addWidget(versionLabel);
    auto* row = new QHBoxLayout;
    row->addWidget(iconLabel, 0, Qt::AlignTop);
    row->addSpacing(12);
    row->addLayout(texts, 1);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(row);
    layout->addWidget(buttons);
    layout->setSizeConstraint(QLayout::SetFixedSize);
}

}  // namespace tvx
