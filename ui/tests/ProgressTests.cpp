#include "device/tests/DeviceFixture.h"
#include "ui/DlgProgressControl.h"

#include <QLabel>
#include <QPushButton>
#include <QtTest>
#include <stdexcept>
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

    // The search's way: a click that waits in the queue during a pause is taken in by the next info
    // text, then the box is shown again as kind 3. The Cancel must still be seen, until the box closes.
    void aCancelStaysUntilTheBoxCloses()
    {
        CDlgProgressControl box;
        QVERIFY(box.Show(ProgressKind::Polling, std::string("Search"), std::string("A = 0"),
                         std::string("B = 0"), std::string("Cancel")));
        QVERIFY(!box.CheckCancel());
        QMetaObject::invokeMethod(box.Item<QPushButton>(2), "click", Qt::QueuedConnection);
        box.SetInfoText("A = 1");
        box.SetInfoText2("B = 1");
        QVERIFY(box.Show(ProgressKind::Steps, std::nullopt, std::nullopt, std::nullopt, std::nullopt));
        QVERIFY(box.CheckCancel());
        QVERIFY(box.CheckCancel());
        box.Close();
        QVERIFY(
            box.Show(ProgressKind::Polling, std::string("Search"), std::nullopt, std::nullopt, std::nullopt));
        QVERIFY(!box.CheckCancel()); // a box opened anew starts without
    }

    // A box opened while another is shown: the window stays disabled until the outer one closes.
    void nestedBoxesKeepTheWindowDisabledUntilTheLastCloses()
    {
        QWidget window;
        CDlgProgressControl outer(&window);
        QVERIFY(
            outer.Show(ProgressKind::Steps, std::string("Reset"), std::nullopt, std::nullopt, std::nullopt));
        {
            CDlgProgressControl inner(&window);
            QVERIFY(inner.Show(ProgressKind::Polling, std::string("Function"), std::nullopt, std::nullopt,
                               std::nullopt));
            inner.Show(ProgressKind::Steps, std::nullopt, std::nullopt, std::nullopt, std::nullopt);
            inner.Close();
            QVERIFY(!window.isEnabled());
            inner.Close(); // closing twice lets go only once
            QVERIFY(!window.isEnabled());
        } // the destructor closes again
        QVERIFY(!window.isEnabled());
        CProgressThread thread(&window);
        QVERIFY(thread.Start());
        thread.Stop();
        QVERIFY(!window.isEnabled());
        outer.Close();
        QVERIFY(window.isEnabled());

        // A window disabled before the boxes stays so after them.
        window.setEnabled(false);
        outer.Show(ProgressKind::TextOnly, std::nullopt, std::nullopt, std::nullopt, std::nullopt);
        outer.Close();
        QVERIFY(!window.isEnabled());
    }

    // The wait runs on the worker; this thread keeps the box alive and processes its events, and
    // texts set meanwhile, from either thread, reach the box.
    void theBusWaitRunsOnTheWorkerWhileTheBoxLives()
    {
        QWidget window;
        CProgressThread thread(&window);
        thread.Stop();                                         // never started: returns at once
        QCOMPARE(thread.Run([] { return S_FALSE; }), S_FALSE); // not started: runs here
        thread.SetCaption("Commissioning");
        thread.SetInfoText("Connecting");
        QVERIFY(thread.Start());
        QVERIFY(!window.isEnabled());

        const auto uiThread = std::this_thread::get_id();
        std::thread::id callThread;
        int eventsMeanwhile = 0;
        QTimer tick;
        QObject::connect(&tick, &QTimer::timeout, [&] { ++eventsMeanwhile; });
        tick.start(50);
        const HRESULT hr = thread.Run([&] {
            callThread = std::this_thread::get_id();
            for (int i = 0; i < 50; ++i) {
                thread.SetInfoText("Step " + std::to_string(i)); // written while the box may read it
                std::this_thread::sleep_for(std::chrono::milliseconds(2));
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(700));
            return E_ABORT;
        });
        QCOMPARE(hr, E_ABORT);
        QVERIFY(callThread != uiThread);
        QVERIFY(eventsMeanwhile >= 5);
        QVERIFY(thread.Running());
        thread.SetInfoText("Connected");
        thread.Stop();
        QVERIFY(window.isEnabled());
        QVERIFY(!thread.Running());
    }

    // The main window's verification: the real box and worker, a host that notes the thread of
    // every call. The project, the parameters and the model are read here; only the bus waits leave.
    void verificationReadsTheHostOnlyOnThisThread()
    {
        devicefixture::Rig rig;
        QWidget window;
        CProgressThread progress(&window);
        progress.SetCaption("Commissioning");
        QVERIFY(progress.Start());
        devicefixture::HostThread host;
        devicefixture::g_hostThread = &host;
        const EDeviceConnectionState state = rig.connection->CreateLifeDeviceConnection(true, &progress);
        devicefixture::g_hostThread = nullptr;
        progress.Stop();
        QCOMPARE(state, DeviceConnectionOk);
        QVERIFY2(host.strays == 0, host.firstStray.c_str());
        QVERIFY(host.calls > 5);
        QCOMPARE(rig.connections.size(), std::size_t{1});
        QVERIFY(!rig.Host().busThreads.empty());
        QCOMPARE(rig.Host().busThreads.count(std::this_thread::get_id()), std::size_t{0});
        QVERIFY(window.isEnabled());
    }

    // A worker that cannot start is no failure: no box, the window stays usable, calls run here.
    void aThreadThatCannotStartCarriesOnWithoutABox()
    {
        QWidget window;
        CProgressThread thread(&window, [](std::function<void()>) -> std::thread {
            throw std::system_error(std::make_error_code(std::errc::resource_unavailable_try_again));
        });
        QVERIFY(!thread.Start());
        QVERIFY(!thread.Running());
        QVERIFY(window.isEnabled());
        std::thread::id callThread;
        QCOMPARE(thread.Run([&] {
            callThread = std::this_thread::get_id();
            return S_OK;
        }),
                 S_OK);
        QCOMPARE(callThread, std::this_thread::get_id());
        thread.Stop();
        QVERIFY(window.isEnabled());
    }
};

QTEST_MAIN(ProgressTests)
#include "ProgressTests.moc"
