#include "ui/TemplateDialog.h"

#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QtTest>

class TemplateDialogTests : public QObject
{
    Q_OBJECT

private slots:
    void controlsArePlacedInDialogUnitsOfTheFont()
    {
        CTemplateDialog dialog(103, nullptr);
        QVERIFY(dialog.Create());
        const QSize base = dialog.BaseUnits();
        QVERIFY(base.width() > 3 && base.height() > 8);
        auto* ok = dialog.Item<QPushButton>(1);
        QVERIFY(ok);
        QVERIFY(ok->isDefault());
        QCOMPARE(ok->geometry(), dialog.MapDialogRect(354, 298, 50, 14));
        QCOMPARE(ok->x(), (354 * base.width() * 2 + 4) / 8);
        QCOMPARE(dialog.width(), (579 * base.width() * 2 + 4) / 8);
        QCOMPARE(dialog.GetDlgItemText(201), QStringLiteral("<Label>"));
        QVERIFY(dialog.GetDlgItemText(-1).startsWith(QStringLiteral("0.")));
        QVERIFY(!dialog.GetDlgItem(999));
    }

    void cancelButtonEndsWithReject()
    {
        CTemplateDialog dialog(236, nullptr);
        QVERIFY(dialog.Create());
        QVERIFY(dialog.Item<QProgressBar>(305));
        dialog.show();
        QTest::mouseClick(dialog.Item<QPushButton>(2), Qt::LeftButton);
        QCOMPARE(dialog.result(), int(QDialog::Rejected));
        QVERIFY(!dialog.isVisible());
    }

    void aMissingTemplateIsNoDialog()
    {
        CTemplateDialog dialog(4711, nullptr);
        QVERIFY(!dialog.Create());
    }
};

QTEST_MAIN(TemplateDialogTests)
#include "TemplateDialogTests.moc"
