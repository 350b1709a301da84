// SPDX-License-Identifier: MIT
// Copyright (c) 2026 The Kestrine developers
#pragma once

#include <QDialog>

namespace kestrine {

class LinkLabel;
class Shell;
class UserDialogs;

// The program's name, version and purpose, with links to the maker's home
// page and contact page.
class AboutDialog : public QDialog {
    Q_OBJECT

public:
    static constexpr int kHomePageLinkId = 1049;
    static constexpr int kContactLinkId = 1050;

    AboutDialog(Shell& shell, UserDialogs& dialogs, QWidget* parent = nullptr);

    LinkLabel* homePageLink() const { return homePageLink_; }
    LinkLabel* contactLink() const { return contactLink_; }

private:
    LinkLabel* homePageLink_ = nullptr;
    LinkLabel* contactLink_ = nullptr;
};

} // namespace kestrine
