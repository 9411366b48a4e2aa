#include "ui/DlgProgressControl.h"

#include <QLabel>
#include <QPushButton>
#include <QtTest>
#include <thread>

class ProgressTests : public QObject
{
    Q_OBJECT

private slots:
    void textsAndButtonStayUntilGivenAgain()
    {
        QWidget owner;
        CDlgProgressControl box(&owner);
        box.SetInfoText("before the window"); // only stored
        QVERIFY(box.Show(ProgressKind::TextOnly, std::string("Search"), std::nullopt, std::nullopt,
                         std::nullopt));
        QVERIFY(!box.ButtonShown()); // a box that never got a button text shows none
        QCOMPARE(box.GetDlgItemText(306), QStringLiteral("before the window"));
        QVERIFY(!owner.isEnabled());
        QVERIFY(box.Show(ProgressKind::Steps, std::nullopt, std::string("Devices"), std::nullopt,
                         std::string("Cancel")));
        QVERIFY(box.ButtonShown());
        QVERIFY(box.Show(ProgressKind::Steps, std::nullopt, std::nullopt, std::nullopt, std::nullopt));
        QCOMPARE(box.ButtonText(), QStringLiteral("Cancel"));
        QCOMPARE(box.windowTitle(), QStringLiteral("Search"));
        QCOMPARE(box.GetDlgItemText(306), QStringLiteral("Devices"));
        box.Close();
        QVERIFY(owner.isEnabled());
    }

    void theBarWrapsAfterItsRangeAndCancelIsSeen()
    {
        CDlgProgressControl box;
        QVERIFY(box.Show(ProgressKind::Steps, std::string("x"), std::nullopt, std::nullopt,
                         std::string("Cancel")));
        box.SetRange(22);
        for (int i = 0; i < 22; ++i)
            box.Step();
        QCOMPARE(box.Position(), 22);
        box.Step();
        QCOMPARE(box.Position(), 0);
        QVERIFY(!box.CheckCancel());
        QTest::mouseClick(box.Item<QPushButton>(2), Qt::LeftButton);
        QVERIFY(box.CheckCancel());
    }

    void theBlockingCallRunsWhileTheBoxTakesItsTexts()
    {
        QWidget window;
        CProgressThread thread(&window);
        thread.Stop(); // never started: returns at once
        thread.SetCaption("Commissioning");
        thread.SetInfoText("Connecting");
        bool windowDisabledMeanwhile = false;
        thread.Run([&] {
            windowDisabledMeanwhile = !window.isEnabled();
            for (int i = 0; i < 50; ++i) {
                thread.SetInfoText("Step " + std::to_string(i)); // written while the box may read it
                std::this_thread::sleep_for(std::chrono::milliseconds(2));
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(700));
        });
        QVERIFY(windowDisabledMeanwhile);
        QVERIFY(window.isEnabled());
        QVERIFY(!thread.Running());
    }
};

QTEST_MAIN(ProgressTests)
#include "ProgressTests.moc"
