#include "wizard/cards.h"

#include <QLabel>
#include <QPixmap>
#include <QPushButton>
#include <QVBoxLayout>

#include "wizard/wizard_resources.h"

namespace tallivo {

namespace {

QLabel* Line(QWidget* owner, const char* name, const char* text, int pointSizeDelta, bool bold) {
    auto* label = new QLabel(QString::fromLatin1(text), owner);
    label->setObjectName(QString::fromLatin1(name));
    label->setAlignment(Qt::AlignCenter);
    QFont font = label->font();
    font.setPointSize(font.pointSize() + pointSizeDelta);
    font.setBold(bold);
    label->setFont(font);
    return label;
}

}  // namespace

Cards::Cards(QWidget* parent) : QDialog(parent) {
    LoadWizardResources();
    setObjectName(QStringLiteral("cards"));
    setWindowTitle(QStringLiteral("About"));
    setModal(true);
    setStyleSheet(QStringLiteral("#cards, QLabel { background-color: #E0E0E0; color: #000080; }"));

    auto* picture = new QLabel(this);
    picture->setObjectName(QStringLiteral("Picture1"));
    picture->setPixmap(QPixmap(QStringLiteral(":/wizard/cards_picture.jpg")));
    picture->setAlignment(Qt::AlignCenter);

    auto* quit = new QPushButton(QStringLiteral("Quit"), this);
    quit->setObjectName(QStringLiteral("Command3"));
    quit->setDefault(true);
    connect(quit, &QPushButton::clicked, this, &QDialog::accept);

    auto* page = new QVBoxLayout(this);
    page->setContentsMargins(16, 16, 16, 12);
    page->addWidget(picture);
    page->addSpacing(8);
    page->addWidget(Line(this, "Label2", "Output file wizard", 3, true));
    page->addWidget(Line(this, "Label3", "for PDA with Lumastock", 1, false));
    page->addSpacing(6);
    page->addWidget(Line(this, "Label4", "www.velmora.example", 0, false));
    page->addWidget(Line(this, "Label5", "support.velmora.example", 0, false));
    page->addSpacing(8);
    page->addWidget(quit, 0, Qt::AlignHCenter);
    layout()->setSizeConstraint(QLayout::SetFixedSize);
}

}  // namespace tallivo
