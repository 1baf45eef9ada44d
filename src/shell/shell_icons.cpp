#include "shell/shell_icons.h"

#include <QPainter>
#include <QPainterPath>

namespace {

QPixmap Canvas(int size) {
    QPixmap pm(size, size);
    pm.fill(Qt::transparent);
    return pm;
}

void Circle(QPainter& p, int size, QColor fill, QColor rim) {
    p.setPen(QPen(rim, qMax(1.0, size / 20.0)));
    p.setBrush(fill);
    const qreal m = size / 16.0;
    p.drawEllipse(QRectF(m, m, size - 2 * m, size - 2 * m));
}

// A white glyph text centred on the picture (an exclamation mark, a cross, a tick).
void Mark(QPainter& p, int size, const QString& text, QColor colour) {
    QFont f = p.font();
    f.setBold(true);
    f.setPixelSize(size * 2 / 3);
    p.setFont(f);
    p.setPen(colour);
    p.drawText(QRect(0, 0, size, size), Qt::AlignCenter, text);
}

QPixmap Cartridge(int size, QColor body) {
    QPixmap pm = Canvas(size);
    QPainter p(&pm);
    p.setRenderHint(QPainter::Antialiasing);
    const qreal s = size / 22.0;
    p.setPen(QPen(QColor(40, 40, 40), s));
    p.setBrush(body);
    p.drawRoundedRect(QRectF(4 * s, 2 * s, 14 * s, 15 * s), 2 * s, 2 * s);
    p.setBrush(QColor(230, 190, 60));
    for (int i = 0; i < 4; ++i) p.drawRect(QRectF((5.5 + 3 * i) * s, 17 * s, 2 * s, 3 * s));
    p.setBrush(Qt::white);
    p.drawRect(QRectF(6.5 * s, 4.5 * s, 9 * s, 5 * s));
    return pm;
}

QPixmap Glyph(ToolGlyph g, int size) {
    QPixmap pm = Canvas(size);
    QPainter p(&pm);
    p.setRenderHint(QPainter::Antialiasing);
    const qreal s = size / 22.0;
    auto pen = [&](QColor c, qreal w = 2.2) { p.setPen(QPen(c, w * s, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin)); };
    auto list = [&]() {  // a sheet with lines: the group list
        pen(QColor(60, 60, 60), 1.2);
        p.setBrush(QColor(250, 250, 240));
        p.drawRect(QRectF(2 * s, 3 * s, 12 * s, 16 * s));
        for (int i = 0; i < 4; ++i) p.drawLine(QPointF(4 * s, (7 + 3 * i) * s), QPointF(12 * s, (7 + 3 * i) * s));
    };
    switch (g) {
    case ToolGlyph::AddGroup:
        list();
        pen(QColor(0, 140, 0), 3);
        p.drawLine(QPointF(17 * s, 9 * s), QPointF(17 * s, 19 * s));
        p.drawLine(QPointF(12 * s, 14 * s), QPointF(22 * s, 14 * s));
        break;
    case ToolGlyph::DeleteGroup:
        list();
        pen(QColor(200, 0, 0), 3);
        p.drawLine(QPointF(13 * s, 10 * s), QPointF(21 * s, 18 * s));
        p.drawLine(QPointF(21 * s, 10 * s), QPointF(13 * s, 18 * s));
        break;
    case ToolGlyph::Write: {
        p.drawPixmap(QRectF(6 * s, 4 * s, 16 * s, 16 * s), Cartridge(size, QColor(70, 110, 200)), QRectF(0, 0, size, size));
        pen(QColor(200, 60, 0), 2.6);
        p.drawLine(QPointF(2 * s, 2 * s), QPointF(9 * s, 9 * s));
        p.drawLine(QPointF(9 * s, 9 * s), QPointF(9 * s, 4 * s));
        p.drawLine(QPointF(9 * s, 9 * s), QPointF(4 * s, 9 * s));
        break;
    }
    case ToolGlyph::Build: {  // a gear-like cog: building
        p.setBrush(QColor(120, 120, 130));
        pen(QColor(50, 50, 60), 1.2);
        QPainterPath path;
        const QPointF c(11 * s, 11 * s);
        for (int i = 0; i < 16; ++i) {
            const qreal a = i * M_PI / 8;
            const qreal r = (i % 2 ? 6.5 : 9.5) * s;
            const QPointF pt(c.x() + r * std::cos(a), c.y() + r * std::sin(a));
            i == 0 ? path.moveTo(pt) : path.lineTo(pt);
        }
        path.closeSubpath();
        p.drawPath(path);
        p.setBrush(QColor(240, 240, 240));
        p.drawEllipse(c, 3 * s, 3 * s);
        break;
    }
    case ToolGlyph::Load:
        p.drawPixmap(QRectF(0, 4 * s, 16 * s, 16 * s), Cartridge(size, QColor(70, 110, 200)), QRectF(0, 0, size, size));
        pen(QColor(0, 140, 0), 2.6);
        p.drawLine(QPointF(13 * s, 6 * s), QPointF(20 * s, 13 * s));
        p.drawLine(QPointF(20 * s, 13 * s), QPointF(20 * s, 8 * s));
        p.drawLine(QPointF(20 * s, 13 * s), QPointF(15 * s, 13 * s));
        break;
    case ToolGlyph::Stop: {
        p.setBrush(QColor(210, 30, 30));
        pen(QColor(120, 0, 0), 1.2);
        QPolygonF oct;
        for (int i = 0; i < 8; ++i) {
            const qreal a = M_PI / 8 + i * M_PI / 4;
            oct << QPointF(11 * s + 9.5 * s * std::cos(a), 11 * s + 9.5 * s * std::sin(a));
        }
        p.drawPolygon(oct);
        p.setBrush(Qt::white);
        p.setPen(Qt::NoPen);
        p.drawRect(QRectF(6 * s, 9.5 * s, 10 * s, 3 * s));
        break;
    }
    case ToolGlyph::About:
        Circle(p, size, QColor(40, 110, 210), QColor(20, 60, 140));
        Mark(p, size, QStringLiteral("i"), Qt::white);
        break;
    case ToolGlyph::Exit:
        pen(QColor(90, 60, 30), 1.4);
        p.setBrush(QColor(170, 120, 70));
        p.drawRect(QRectF(3 * s, 2 * s, 10 * s, 18 * s));
        pen(QColor(200, 0, 0), 2.6);
        p.drawLine(QPointF(10 * s, 11 * s), QPointF(20 * s, 11 * s));
        p.drawLine(QPointF(20 * s, 11 * s), QPointF(16 * s, 7 * s));
        p.drawLine(QPointF(20 * s, 11 * s), QPointF(16 * s, 15 * s));
        break;
    default:  // the hidden actions still get a picture of their own
        p.drawPixmap(0, 0, Cartridge(size, QColor(150, 150, 150)));
        break;
    }
    return pm;
}

const char* ThemeName(ToolGlyph g) {
    switch (g) {
    case ToolGlyph::AddGroup: return "list-add";
    case ToolGlyph::DeleteGroup: return "list-remove";
    case ToolGlyph::Write: return "document-send";
    case ToolGlyph::Build: return "system-run";
    case ToolGlyph::Load: return "document-open";
    case ToolGlyph::Stop: return "process-stop";
    case ToolGlyph::About: return "help-about";
    case ToolGlyph::Exit: return "application-exit";
    default: return "";
    }
}

}  // namespace

QPixmap MesIconPixmap(int icon, int size) {
    QPixmap pm = Canvas(size);
    QPainter p(&pm);
    p.setRenderHint(QPainter::Antialiasing);
    switch (icon) {
    case 0:
        Circle(p, size, QColor(30, 170, 60), QColor(10, 100, 30));
        Mark(p, size, QStringLiteral("✓"), Qt::white);
        break;
    case 1: {
        p.setPen(QPen(QColor(150, 110, 0), size / 20.0));
        p.setBrush(QColor(250, 200, 30));
        const qreal m = size / 14.0;
        p.drawPolygon(QPolygonF({QPointF(size / 2.0, m), QPointF(size - m, size - m), QPointF(m, size - m)}));
        QFont f = p.font();
        f.setBold(true);
        f.setPixelSize(size / 2);
        p.setFont(f);
        p.setPen(Qt::black);
        p.drawText(QRect(0, size / 5, size, size * 4 / 5), Qt::AlignCenter, QStringLiteral("!"));
        break;
    }
    case 2:
        Circle(p, size, QColor(210, 30, 30), QColor(120, 0, 0));
        Mark(p, size, QStringLiteral("!"), Qt::white);
        break;
    default:
        Circle(p, size, QColor(60, 60, 60), QColor(0, 0, 0));
        Mark(p, size, QStringLiteral("✕"), QColor(255, 80, 80));
        break;
    }
    return pm;
}

QIcon ToolIcon(ToolGlyph glyph) {
    QIcon own;
    for (int size : {16, 22, 24, 32}) own.addPixmap(Glyph(glyph, size));
    const char* name = ThemeName(glyph);
    if (*name == 0) return own;
    return QIcon::fromTheme(QString::fromLatin1(name), own);
}

QIcon AppIcon() {
    QIcon icon;
    for (int size : {16, 32, 48, 64}) icon.addPixmap(Cartridge(size, QColor(200, 60, 40)));
    return icon;
}
