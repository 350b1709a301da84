// SPDX-License-Identifier: MIT
// Copyright (c) 2026 The Kestrine developers
#include <QApplication>
#include <QDialog>

int main(int argc, char** argv)
{
    QApplication application(argc, argv);
    QDialog dialog;
    dialog.setWindowTitle(QStringLiteral("Kestrine"));
    dialog.exec();
    return 0;
}
