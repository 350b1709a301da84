// SPDX-License-Identifier: MIT
// Copyright (c) 2026 The Kestrine developers
#include "app/about_dialog.h"

#include "app/maker_pages.h"
#include "controls/link_label.h"
#include "controls/resource_paths.h"
#include "platform/widgets/dialog_units.h"

#include <QDialogButtonBox>
#include <QHBoxLayout>
#include <QIcon>
#include <QLabel>
#include <QVBoxLayout>

namespace kestrine {

namespace {

constexpr int kIconSide = 64;

} // namespace

AboutDialog::AboutDialog(Shell& shell, UserDialogs& dialogs, QWidget* parent) : QDialog(parent)
{
    setWindowTitle(QStringLiteral("About Kestrine"));

    auto* icon = new QLabel(this);
    icon->setPixmap(QIcon(iconResourcePath(kAppIconId)).pixmap(kIconSide, kIconSide));
    icon->setAlignment(Qt::AlignTop);

    auto* name = new QLabel(QStringLiteral("Kestrine %1").arg(QStringLiteral(KESTRINE_VERSION)), this);
    name->setObjectName(QStringLiteral("nameAndVersion"));
    QFont nameFont = name->font();
    nameFont.setBold(true);
    nameFont.setPointSizeF(nameFont.pointSizeF() * 1.4);
    name->setFont(nameFont);

    auto* purpose = new QLabel(
        QStringLiteral("Joins the sound of your audio and video files, one after another, "
                       "into one WAV, FLAC, MP3, Opus, M4A, M4B audiobook or AIFF file, as the output "
                       "file's name says, at the sources' own rate and depth unless Options chooses "
                       "another: exact, without gaps."),
        this);
    purpose->setObjectName(QStringLiteral("purpose"));
    purpose->setWordWrap(true);

    auto* copyright = new QLabel(QStringLiteral("Copyright \u00A9 2026 The Kestrine developers"), this);

    homePageLink_ = new LinkLabel(homePageText(), shell, dialogs, this);
    homePageLink_->setObjectName(controlName(kHomePageLinkId));
    homePageLink_->SetAddress(homePageAddress());
    homePageLink_->SetUnderlineMode(LinkLabel::kUnderlineAlways);

    contactLink_ = new LinkLabel(QStringLiteral("Support Email: Click here"), shell, dialogs, this);
    contactLink_->setObjectName(controlName(kContactLinkId));
    contactLink_->SetAddress(contactPageAddress());
    contactLink_->SetUnderlineMode(LinkLabel::kUnderlineAlways);

    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok, this);
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);

    auto* text = new QVBoxLayout;
    text->addWidget(name);
    text->addWidget(purpose);
    text->addWidget(copyright);
    text->addSpacing(6);
    text->addWidget(homePageLink_, 0, Qt::AlignLeft);
    text->addWidget(contactLink_, 0, Qt::AlignLeft);
    text->addStretch();

    auto* body = new QHBoxLayout;
    body->addWidget(icon);
    body->addSpacing(12);
    body->addLayout(text, 1);

    auto* layout = new QVBoxLayout(this);
    layout->addLayout(body);
    layout->addWidget(buttons);
    layout->setSizeConstraint(QLayout::SetFixedSize);
    purpose->setMinimumWidth(280);
}

} // namespace kestrine
