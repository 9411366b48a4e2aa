#include "ui/TreeIcons.h"

#include <QPainter>
#include <QPainterPath>
#include <cmath>

namespace {

const QColor kOutline(40, 40, 40);
const QColor kBlue(40, 90, 170);
const QColor kSteel(150, 155, 165);

// A window with a title bar and two ticked lines.
void Settings(QPainter& p)
{
    p.setPen(kOutline);
    p.setBrush(Qt::white);
    p.drawRect(1, 1, 13, 13);
    p.fillRect(2, 2, 12, 3, kBlue);
    p.setPen(QPen(QColor(0, 140, 40), 1.6));
    for (int y : {8, 12}) {
        p.drawLine(QPointF(3, y - 1), QPointF(4.5, y + 0.5));
        p.drawLine(QPointF(4.5, y + 0.5), QPointF(7, y - 2));
    }
    p.setPen(QPen(kSteel, 1));
    p.drawLine(9, 7, 12, 7);
    p.drawLine(9, 11, 12, 11);
}

// One box above three, joined by lines.
void Structure(QPainter& p)
{
    p.setPen(kOutline);
    p.drawLine(7, 5, 7, 8);
    p.drawLine(2, 8, 13, 8);
    for (int x : {2, 7, 13})
        p.drawLine(x, 8, x, 10);
    p.setBrush(QColor(250, 210, 90));
    p.drawRect(5, 1, 5, 4);
    p.setBrush(QColor(120, 170, 230));
    for (int x : {0, 5, 11})
        p.drawRect(x, 10, 4, 4);
}

// A control gear box with a radio wave.
void Device(QPainter& p)
{
    p.setPen(kOutline);
    p.setBrush(kSteel);
    p.drawRect(QRectF(0.5, 8.5, 10, 6));
    p.fillRect(QRectF(2.5, 10.5, 5, 2), QColor(60, 200, 80));
    p.setBrush(Qt::NoBrush);
    p.setPen(QPen(kBlue, 1.4, Qt::SolidLine, Qt::RoundCap));
    for (double r : {2.5, 5.0, 7.5})
        p.drawArc(QRectF(8 - r, 8 - r, 2 * r, 2 * r), 5 * 16, 80 * 16);
}

// Hammer and screwdriver, crossed.
void Tools(QPainter& p)
{
    p.setPen(QPen(QColor(150, 95, 40), 2.2, Qt::SolidLine, Qt::RoundCap));
    p.drawLine(QPointF(3, 13), QPointF(10, 6)); // hammer handle
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(90, 95, 105));
    p.save();
    p.translate(10.5, 5.5);
    p.rotate(45);
    p.drawRect(QRectF(-4, -1.8, 8, 3.6)); // hammer head
    p.restore();
    p.setPen(QPen(kSteel.darker(120), 1.4, Qt::SolidLine, Qt::RoundCap));
    p.drawLine(QPointF(3.5, 3.5), QPointF(9, 9)); // blade
    p.setPen(QPen(QColor(200, 40, 40), 2.8, Qt::SolidLine, Qt::RoundCap));
    p.drawLine(QPointF(9.5, 9.5), QPointF(13, 13)); // grip
}

void Bulb(QPainter& p, bool lit)
{
    if (lit) {
        p.setPen(QPen(QColor(230, 170, 0), 1.2));
        for (int a = 0; a < 360; a += 45) {
            if (a == 270)
                continue;
            const double r = a * 3.14159265 / 180;
            p.drawLine(QPointF(8 + 5.8 * std::cos(r), 6 - 5.8 * std::sin(r)),
                       QPointF(8 + 7.6 * std::cos(r), 6 - 7.6 * std::sin(r)));
        }
    }
    p.setPen(QPen(lit ? QColor(160, 110, 0) : QColor(90, 90, 90), 1));
    p.setBrush(lit ? QColor(255, 225, 60) : QColor(235, 235, 235));
    QPainterPath glass;
    glass.addEllipse(QRectF(3.5, 1.5, 9, 9));
    p.drawPath(glass);
    p.setBrush(lit ? QColor(255, 225, 60) : QColor(235, 235, 235));
    p.setPen(Qt::NoPen);
    p.drawRect(QRectF(6, 9, 4, 2));
    p.setPen(kOutline);
    p.setBrush(kSteel);
    p.drawRect(QRectF(5.5, 11, 5, 3));
    p.drawLine(QPointF(6.5, 15), QPointF(9.5, 15));
}

// An arrow leaving an open box.
void Export(QPainter& p)
{
    p.setPen(kOutline);
    p.setBrush(QColor(230, 200, 140));
    p.drawRect(1, 7, 9, 7);
    p.setPen(QPen(QColor(0, 140, 40), 2, Qt::SolidLine, Qt::FlatCap));
    p.drawLine(QPointF(5, 10), QPointF(12, 3));
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(0, 140, 40));
    p.drawPolygon(QPolygonF({QPointF(15, 0), QPointF(8.5, 1.5), QPointF(13.5, 6.5)}));
}

void Wrench(QPainter& p)
{
    p.setRenderHint(QPainter::Antialiasing);
    p.setPen(QPen(kOutline, 1));
    p.setBrush(kSteel);
    QPainterPath tool;
    tool.addEllipse(QRectF(8, 1, 7, 7));
    QPainterPath handle;
    handle.moveTo(1.5, 12.5);
    handle.lineTo(9.5, 4.5);
    handle.lineTo(11.5, 6.5);
    handle.lineTo(3.5, 14.5);
    handle.closeSubpath();
    tool = tool.united(handle);
    QPainterPath jaw;
    jaw.addRect(QRectF(10.5, -1, 3, 5.5));
    QTransform turn;
    turn.translate(11.5, 4.5);
    turn.rotate(45);
    turn.translate(-11.5, -4.5);
    tool = tool.subtracted(turn.map(jaw));
    p.drawPath(tool);
}

void Gear(QPainter& p)
{
    p.setPen(QPen(kOutline, 1));
    p.setBrush(QColor(120, 130, 150));
    QPainterPath gear;
    gear.addEllipse(QPointF(8, 8), 5, 5);
    for (int k = 0; k < 8; ++k) {
        QPainterPath tooth;
        tooth.addRect(QRectF(-1.5, -7.5, 3, 4));
        QTransform t;
        t.translate(8, 8);
        t.rotate(k * 45);
        gear = gear.united(t.map(tooth));
    }
    QPainterPath hole;
    hole.addEllipse(QPointF(8, 8), 2, 2);
    p.drawPath(gear.subtracted(hole));
}

// A switch plate with a finger pressing its rocker.
void Hand(QPainter& p)
{
    p.setPen(kOutline);
    p.setBrush(Qt::white);
    p.drawRect(QRectF(0.5, 3.5, 10, 11));
    p.setBrush(QColor(210, 210, 210));
    p.drawRect(QRectF(3.5, 6.5, 4, 5));
    p.setBrush(QColor(240, 190, 150));
    p.setPen(QPen(QColor(150, 90, 60), 1));
    QPainterPath hand;
    hand.moveTo(5.5, 8);
    hand.lineTo(11, 2.5);
    hand.lineTo(15.5, 6);
    hand.lineTo(15.5, 11);
    hand.lineTo(12, 14);
    hand.lineTo(9, 11.5);
    hand.lineTo(7, 10);
    hand.closeSubpath();
    p.drawPath(hand);
}

// A green exit sign with a figure running to a door.
void Exit(QPainter& p)
{
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(0, 150, 70));
    p.drawRoundedRect(QRectF(0, 2, 16, 12), 1.5, 1.5);
    p.setBrush(Qt::white);
    p.drawRect(QRectF(11, 4, 3.5, 8));          // door
    p.drawEllipse(QPointF(5.5, 4.8), 1.3, 1.3); // head
    p.setPen(QPen(Qt::white, 1.5, Qt::SolidLine, Qt::RoundCap));
    p.drawLine(QPointF(5, 6.5), QPointF(4, 9.5));   // body
    p.drawLine(QPointF(4, 9.5), QPointF(6.5, 12));  // front leg
    p.drawLine(QPointF(4, 9.5), QPointF(2, 12));    // back leg
    p.drawLine(QPointF(2.5, 7.5), QPointF(7.5, 7)); // arms
    p.drawLine(QPointF(8, 9), QPointF(10, 9));      // arrow to the door
}

} // namespace

QPixmap DrawTreeIcon(int id)
{
    QPixmap pixmap(16, 16);
    pixmap.fill(Qt::transparent);
    QPainter p(&pixmap);
    p.setRenderHint(QPainter::Antialiasing, id != 206 && id != 207);
    switch (id) {
    case 206:
        Settings(p);
        break;
    case 207:
        Structure(p);
        break;
    case 208:
        Device(p);
        break;
    case 209:
        Tools(p);
        break;
    case 210:
        Bulb(p, false);
        break;
    case 211:
        Bulb(p, true);
        break;
    case 212:
        Export(p);
        break;
    case 213:
        Wrench(p);
        break;
    case 214:
        Gear(p);
        break;
    case 230:
        Hand(p);
        break;
    case 252:
        Exit(p);
        break;
    default:
        p.end();
        return {};
    }
    return pixmap;
}
