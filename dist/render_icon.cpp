// SPDX-License-Identifier: MIT
// Copyright (c) 2026 The Kestrine developers
// Renders the program's SVG icon as a square PNG of a given size, for the
// icon theme's fixed-size folders. Runs at build time only.
#include <QImage>
#include <QPainter>
#include <QSvgRenderer>
#include <iostream>

int main(int argc, char** argv)
{
    if (argc != 4) {
        std::cerr << "Usage: " << argv[0] << " ICON.svg SIZE OUTPUT.png\n";
        return 2;
    }
    const QString source = QString::fromLocal8Bit(argv[1]);
    bool isNumber = false;
    const int size = QString::fromLocal8Bit(argv[2]).toInt(&isNumber);
    const QString target = QString::fromLocal8Bit(argv[3]);
    if (!isNumber || size <= 0) {
        std::cerr << "Not a size in pixels: " << argv[2] << '\n';
        return 2;
    }
    QSvgRenderer renderer(source);
    if (!renderer.isValid()) {
        std::cerr << "Cannot read the SVG image " << argv[1] << '\n';
        return 1;
    }

    // Drawing into an image needs no application object, and so no display.
    QImage image(size, size, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    QPainter painter(&image);
    painter.setRenderHint(QPainter::Antialiasing);
    renderer.render(&painter, QRectF(0, 0, size, size));
    painter.end();
    if (!image.save(target, "PNG")) {
        std::cerr << "Cannot write " << argv[3] << '\n';
        return 1;
    }
    return 0;
}
